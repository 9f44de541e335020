// Conversion with the system's ANSI code page.
#include <windows.h>

#include "tags/wm/wm_text.h"

namespace kestrun::tags {

std::u16string AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(wide.data()),
                      n);
  return wide;
}

std::string WideToAnsiText(std::u16string_view text) {
  const std::size_t end = text.find(u'\0');
  if (end != std::u16string_view::npos) text = text.substr(0, end);
  if (text.empty()) return {};
  const auto* src = reinterpret_cast<const wchar_t*>(text.data());
  // Two bytes per UTF-16 unit is the most a double-byte code page needs.
  std::string ansi(text.size() * 2 + 1, '\0');
  const int n = WideCharToMultiByte(CP_ACP, 0, src, static_cast<int>(text.size()), ansi.data(),
                                    static_cast<int>(ansi.size()), nullptr, nullptr);
  ansi.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return ansi;
}

}  // namespace kestrun::tags
