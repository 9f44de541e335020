// Unicode texts of ID3v2 frames (UTF-16 with or without byte-order mark, UTF-16
// big-endian, UTF-8) turned into the ANSI bytes the rest of the player works in.
// The conversion into the code page is passed in: the system's on Windows, a
// stand-in in tests and tools, so the decoding itself is portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrun::tags {

// Turns UTF-16 text into the bytes of a code page; a character the code page
// cannot show becomes its default character.
using AnsiFromUtf16 = std::string (*)(std::u16string_view text);

// A stand-in code page for tests and tools: ASCII stays, everything else is "?".
std::string AsciiOrDefaultChar(std::u16string_view text);
// UTF-8 as the "code page": lets tools print the decoded text exactly.
std::string Utf8FromUtf16(std::u16string_view text);
// The way back: the bytes of a code page as UTF-16, for a text the user typed into
// a field whose frame held Unicode.
using Utf16FromAnsi = std::u16string (*)(std::string_view text);
// The stand-in that pairs with Utf8FromUtf16: the "code page" is UTF-8.
std::u16string Utf16FromUtf8(std::string_view text);

#ifdef _WIN32
// The system's ANSI code page (WideCharToMultiByte with CP_ACP and its default
// character).
std::string SystemAnsiFromUtf16(std::u16string_view text);
// The system's ANSI code page read back (MultiByteToWideChar with CP_ACP).
std::u16string SystemUtf16FromAnsi(std::string_view text);
#endif

// UTF-8 bytes as UTF-16; a malformed or overlong sequence and a surrogate code
// becomes U+FFFD.
std::u16string DecodeUtf8(const std::uint8_t* bytes, std::size_t size);
// UTF-16 bytes as code units, a trailing odd byte dropped. A byte-order mark at
// the start decides the order and is dropped; without one, bigEndian does.
std::u16string DecodeUtf16(const std::uint8_t* bytes, std::size_t size, bool bigEndian);

}  // namespace kestrun::tags
