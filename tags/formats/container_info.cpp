#include "tags/formats/container_info.h"

#include <cctype>
#include <limits>

#include "platform/ansi_text.h"

namespace kestrun::tags {

std::optional<std::int64_t> SamplesToUnits(std::uint64_t samples, std::uint64_t rate) {
  if (rate == 0) return std::nullopt;
  constexpr unsigned __int128 kUnits = 10'000'000;
  const unsigned __int128 units = static_cast<unsigned __int128>(samples) * kUnits / rate;
  if (units > static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
  return static_cast<std::int64_t>(units);
}

std::string TagTextToAnsi(std::span<const std::uint8_t> text, AnsiFromUtf16 toAnsi, bool utf16be) {
  std::u16string wide = utf16be ? DecodeUtf16(text.data(), text.size(), true) : DecodeUtf8(text.data(), text.size());
  if (const std::size_t nul = wide.find(u'\0'); nul != std::u16string::npos) wide.resize(nul);
  if (toAnsi == nullptr) toAnsi = DefaultTagConverter();
  const std::string ansi = toAnsi(wide);
  return std::string(platform::CutAnsiText(ansi, kTagTextMax - 1));
}

AnsiFromUtf16 DefaultTagConverter() {
#ifdef _WIN32
  return SystemAnsiFromUtf16;
#else
  return AsciiOrDefaultChar;
#endif
}

std::string YearOfDate(std::string text) {
  const auto digit = [&](std::size_t i) { return std::isdigit(static_cast<unsigned char>(text[i])) != 0; };
  if (text.size() > 4 && digit(0) && digit(1) && digit(2) && digit(3) && !digit(4)) text.resize(4);
  return text;
}

}  // namespace kestrun::tags
