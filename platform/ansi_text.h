// Cutting ANSI text (bytes in the system's code page, Shift-JIS on Japanese systems)
// to a byte limit without splitting a double-byte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrun::platform {

// Cuts text to at most maxBytes without leaving half of a double-byte character
// at the end (a lead byte whose trail byte was cut off is dropped as well).
std::string_view CutAnsiText(std::string_view text, std::size_t maxBytes);

// Copies text into a C buffer of bufferSize bytes (terminator included), cut as
// CutAnsiText does. Nothing is written when bufferSize is 0.
void CopyToBuffer(std::string_view text, char* buffer, std::size_t bufferSize);

}  // namespace kestrun::platform
