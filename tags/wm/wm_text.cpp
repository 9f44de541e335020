#include "tags/wm/wm_text.h"

#include "platform/ansi_text.h"

namespace kestrun::tags {

void WideToAnsi(const char16_t* text, char* out, std::size_t capacity, AnsiFromUtf16 toAnsi) {
  if (capacity == 0) return;
  const std::u16string_view wide = text != nullptr ? std::u16string_view(text) : std::u16string_view();
  const std::string ansi = toAnsi != nullptr ? toAnsi(wide) : WideToAnsiText(wide);
  platform::CopyToBuffer(ansi, out, capacity);
}

}  // namespace kestrun::tags
