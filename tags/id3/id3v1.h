// The 128-byte ID3v1 record at the end of an MP3 file (with the ID3v1.1 track
// byte), as the player reads, shows and writes it.
//
// Layout (offsets into the record): "TAG" 0..2, title 3..32, artist 33..62,
// album 63..92, year 93..96, comment 97..125, track 126, genre 127. Texts are
// ANSI bytes without a terminator. The player pads with blanks (0x20), never with
// zero bytes, and 0x20 in the track byte means "no track".
#pragma once

#include <cstddef>
#include <string>

#include "tags/id3/tag_fields.h"

namespace kestrun::tags {

inline constexpr std::size_t kId3v1Size = 128;
inline constexpr std::size_t kId3v1TitleOffset = 3;
inline constexpr std::size_t kId3v1ArtistOffset = 33;
inline constexpr std::size_t kId3v1AlbumOffset = 63;
inline constexpr std::size_t kId3v1YearOffset = 93;
inline constexpr std::size_t kId3v1CommentOffset = 97;
inline constexpr std::size_t kId3v1TrackOffset = 126;
inline constexpr std::size_t kId3v1GenreOffset = 127;
inline constexpr std::size_t kId3v1TextWidth = 30;
inline constexpr std::size_t kId3v1YearWidth = 4;
inline constexpr std::size_t kId3v1CommentWidth = 29;
inline constexpr unsigned char kId3v1NoTrack = 0x20;

// The process-wide record: the record of the file last read, or the record being
// prepared for writing. Used from the user-interface thread only.
extern unsigned char Id3v1Record[kId3v1Size];

// Reads the last 128 bytes of the file into Id3v1Record (all zero when the file
// cannot be opened or is shorter than 128 bytes); true when they begin with "TAG".
bool ReadId3v1Tag(const std::string& path);

// Writes Id3v1Record over the file's ID3v1 record, or appends it when there is
// none. Clears the read-only attribute for the write and puts it back. True when
// all 128 bytes were written. The file is never truncated.
bool WriteId3v1Tag(const std::string& path);

// The trimming step of decoding: when text[lastIndex] is a blank, it and every
// blank directly before it become zero bytes; otherwise the text is terminated
// after lastIndex. text holds at least lastIndex + 2 bytes.
void TrimTrailingBlanks(char* text, int lastIndex);

// Copies bytes of text into field up to a zero byte or width bytes, whichever
// comes first, without splitting a double-byte character: a character that would
// not fit whole stays out, and so does a lead byte the text itself ends in.
// Writes no terminator and leaves the rest of the field as it was.
void CopyUpToNul(unsigned char* field, const char* text, std::size_t width);

// One text field of a record as the editor and the title lookup show it: the
// bytes up to the field's width (at most 30) or its first zero byte, blank padding
// trimmed (TrimTrailingBlanks), and a lead byte left alone at the end dropped.
std::string DecodeId3v1Text(const unsigned char* field, std::size_t width);

// The display texts of a record: title, artist, album, year and comment trimmed
// of blank padding; the track number in decimal ("" for no track); the genre name
// from GenreNames, "Blues" for a slot without a name.
TagFields DecodeId3v1Record(const unsigned char* record);
// The genre byte in decimal, as the editor keeps it next to the name.
std::string Id3v1GenreNumberText(const unsigned char* record);

// Fills a record for writing: blanks, "TAG", the texts cut to their widths, the
// track byte (1..255, else blank) and the genre byte (Id3v1GenreSlot).
void EncodeId3v1Record(const TagFields& fields, unsigned char* record);

// The slot of the first GenreNames entry that begins with name, ignoring ASCII
// case; 0 ("Blues") when no entry does.
int Id3v1GenreSlot(const std::string& name);

}  // namespace kestrun::tags
