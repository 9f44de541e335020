// The title shown for a playing file: in the title display, the main window's
// caption and the video view's caption.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tags/id3/unicode_text.h"

namespace kestrun::tags {

inline constexpr std::size_t kDisplayTitleCapacity = 260;

// The text a playlist row shows for a file: the title, or the path's file-name part
// when the title is empty, then " - " and the artist when there is one.
std::string RowDisplayText(std::string_view path, std::string_view title, std::string_view artist);

// Writes the display title of path into text (capacity kDisplayTitleCapacity): the
// title and artist of the file's tags (ReadTitleArtist with the user's
// "AlwaysID3v1" choice) in the row text; for a file without tags the file-name
// part. Cut to fit without splitting a double-byte character. unicodeTags: the
// "UnicodeTags" conversion, or none.
void FormatDisplayTitle(const char* path, char* text, bool alwaysId3v1, AnsiFromUtf16 unicodeTags = nullptr);

}  // namespace kestrun::tags
