// The genre lists shared by the tag code: GenreNames names ID3v1 genre bytes and
// the Windows Media numeric genre, and fills the tag editor's drop-down;
// Id3v2GenreNames numbers the genre of a written ID3v2 TCON frame. Empty slots
// hold "" (never a null pointer).
#pragma once

namespace kestrun::tags {

inline constexpr int kGenreSlots = 256;

extern const char* const GenreNames[256];
extern const char* const Id3v2GenreNames[256];

}  // namespace kestrun::tags
