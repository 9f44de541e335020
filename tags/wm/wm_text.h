// Conversion between the player's ANSI texts (the system code page; code page
// 932 in native builds) and the UTF-16 texts of the Windows Media attributes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tags/id3/unicode_text.h"

namespace kestrun::tags {

// The UTF-16 form of an ANSI text; the terminating zero follows data()[size()].
// Bytes that are not valid in the code page become a substitute character.
std::u16string AnsiToWide(std::string_view text);

// The whole ANSI form of a UTF-16 text (up to its first zero unit); characters the
// code page lacks become '?'.
std::string WideToAnsiText(std::u16string_view text);

// Converts text (zero-terminated) into out, cut to capacity - 1 bytes and
// terminated. The cut never splits a double-byte character. capacity 0 writes
// nothing.
// toAnsi, when given, converts instead of WideToAnsiText (the "UnicodeTags"
// conversion, which shows the code page's default character for what it lacks).
void WideToAnsi(const char16_t* text, char* out, std::size_t capacity, AnsiFromUtf16 toAnsi = nullptr);

}  // namespace kestrun::tags
