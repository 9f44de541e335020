#include "tags/wm/wm_text.h"

#include "platform/ansi_text.h"

namespace kestrun::tags {

void WideToAnsi(const char16_t* text, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  const std::string ansi = WideToAnsiText(text != nullptr ? std::u16string_view(text) : std::u16string_view());
  platform::CopyToBuffer(ansi, out, capacity);
}

}  // namespace kestrun::tags
