// Native builds convert with iconv, using code page 932 as the ANSI code page of
// the Japanese systems the player targets.
#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "tags/wm/wm_text.h"

namespace kestrun::tags {
namespace {

constexpr const char* kAnsiCharset = "CP932";
constexpr const char* kWideCharset = "UTF-16LE";

// Runs iconv over the input; on an unconvertible sequence, skips unitBytes of
// input and emits the substitute bytes.
std::string Convert(const char* to, const char* from, const char* in, std::size_t inBytes, std::size_t unitBytes,
                    std::string_view substitute) {
  std::string result;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return result;
  char* src = const_cast<char*>(in);
  std::size_t left = inBytes;
  char buffer[256];
  while (left > 0) {
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
    result.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // Invalid or incomplete input: substitute one unit and go on.
      const std::size_t skip = left < unitBytes ? left : unitBytes;
      src += skip;
      left -= skip;
      result.append(substitute);
    }
  }
  iconv_close(cd);
  return result;
}

}  // namespace

std::u16string AnsiToWide(std::string_view text) {
  const std::string bytes =
      Convert(kWideCharset, kAnsiCharset, text.data(), text.size(), 1, std::string_view("?\0", 2));
  std::u16string wide(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return wide;
}

std::string WideToAnsiText(std::u16string_view text) {
  const std::size_t end = text.find(u'\0');
  if (end != std::u16string_view::npos) text = text.substr(0, end);
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return Convert(kAnsiCharset, kWideCharset, bytes.data(), bytes.size(), 2, "?");
}

}  // namespace kestrun::tags
