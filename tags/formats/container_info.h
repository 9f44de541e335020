// What the FLAC, MP4 and Ogg readers find in a file: its playing time from the
// stream headers and the texts of its own metadata, shown in the player's ANSI
// code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tags/id3/tag_fields.h"
#include "tags/id3/unicode_text.h"

namespace kestrun::tags {

// Which parts a caller needs; a reader reads no more of the file than they take
// (the length commands never read the tags, the title lookup never reads an Ogg
// file's last page).
enum class ContainerParts { Length = 1, Tags = 2, Both = 3 };
inline bool Wants(ContainerParts parts, ContainerParts part) {
  return (static_cast<int>(parts) & static_cast<int>(part)) != 0;
}

struct ContainerInfo {
  std::optional<std::int64_t> duration;  // 100-nanosecond units
  bool hasTags = false;                  // a comment block or item list was read
  TagFields fields;
};

// samples / rate in 100-nanosecond units, truncated; nothing for a zero rate or a
// result beyond 64 bits.
std::optional<std::int64_t> SamplesToUnits(std::uint64_t samples, std::uint64_t rate);

// UTF-8 (or, with utf16be, UTF-16 big-endian) tag text in the code page of toAnsi:
// characters it lacks become its default character, the text ends at a zero
// character and is cut to kTagTextMax - 1 bytes without splitting a double-byte
// character.
std::string TagTextToAnsi(std::span<const std::uint8_t> text, AnsiFromUtf16 toAnsi, bool utf16be = false);

// The converter the container readers use when the caller gives none: the
// system's ANSI code page on Windows, the ASCII stand-in elsewhere.
AnsiFromUtf16 DefaultTagConverter();

// "2009-05-01" and "2009" give "2009": the year field holds digits only, so a
// full date keeps its year. Any other text is kept as it is.
std::string YearOfDate(std::string text);

}  // namespace kestrun::tags
