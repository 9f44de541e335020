#include "tags/wm/wm_text.h"

#include <cstring>

#include "platform/ansi_path.h"

namespace kestrun::tags {

void WideToAnsi(const char16_t* text, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  const std::string ansi = WideToAnsiText(text != nullptr ? std::u16string_view(text) : std::u16string_view());
  // Walk whole characters so a lead byte is never left without its trail byte.
  std::size_t length = 0;
  while (length < ansi.size()) {
    const std::size_t step =
        platform::IsLeadByte(static_cast<unsigned char>(ansi[length])) && length + 1 < ansi.size() ? 2 : 1;
    if (length + step > capacity - 1) break;
    length += step;
  }
  std::memcpy(out, ansi.data(), length);
  out[length] = '\0';
}

}  // namespace kestrun::tags
