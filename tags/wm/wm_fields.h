// The seven tag fields of .wma, .wmv and .asf files, read from and written to the
// file's Windows Media attributes (stream 0).
#pragma once

#include <cstddef>
#include <cstdint>

#include "tags/wm/wm_editor.h"
#include "tags/wm/wm_text.h"

namespace kestrun::tags {

// Capacities in bytes, terminator included.
inline constexpr std::size_t kWmTextCapacity = 128;
inline constexpr std::size_t kWmYearCapacity = 8;
inline constexpr std::size_t kWmTrackCapacity = 8;

// The texts exchanged with the tag editor and rename by tag, in the system's ANSI
// code page.
struct WmFields {
  char title[kWmTextCapacity];
  char artist[kWmTextCapacity];
  char album[kWmTextCapacity];
  char year[kWmYearCapacity];
  char comment[kWmTextCapacity];
  char track[kWmTrackCapacity];
  char genre[kWmTextCapacity];
};

inline constexpr char16_t kWmTitle[] = u"Title";
inline constexpr char16_t kWmAuthor[] = u"Author";
inline constexpr char16_t kWmAlbumTitle[] = u"WM/AlbumTitle";
inline constexpr char16_t kWmDescription[] = u"Description";
inline constexpr char16_t kWmGenre[] = u"WM/Genre";
inline constexpr char16_t kWmGenreId[] = u"WM/GenreID";
inline constexpr char16_t kWmYear[] = u"WM/Year";
inline constexpr char16_t kWmTrack[] = u"WM/Track";

// Reads all seven fields (cleared first). False when the file cannot be opened as
// an ASF file or closing it fails; fields read before a failure stay filled.
// toAnsi: the "UnicodeTags" conversion of the texts, or nullptr for the usual one.
bool ReadWmFields(const char* path, WmFields& fields, AnsiFromUtf16 toAnsi = nullptr);
// Writes all seven fields. False when the file cannot be opened or the changes
// cannot be written.
bool WriteWmFields(const char* path, const WmFields& fields);
// Reads "Title" and "Author" into two 128-byte texts, which it empties first.
bool ReadWmTitleAuthor(const char* path, char* title, char* artist, AnsiFromUtf16 toAnsi = nullptr);

// One attribute as text, cut to capacity - 1 bytes: numbers in unsigned decimal,
// strings converted to ANSI; binary, boolean and GUID values give no text. A
// missing or empty attribute leaves text unchanged and is no failure.
WmResult GetWmAttributeText(WmHeaderInfo& headerInfo, const char16_t* name, char* text, std::size_t capacity,
                            AnsiFromUtf16 toAnsi = nullptr);
bool SetWmStringAttribute(WmHeaderInfo& headerInfo, const char16_t* name, const char* text);
bool SetWmDwordAttribute(WmHeaderInfo& headerInfo, const char16_t* name, std::uint32_t value);

}  // namespace kestrun::tags
