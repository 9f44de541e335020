// One row of the playlist and the texts built from it.
//
// The playlist's rows are kept in memory and shown by the playlist window; this
// record is how a row's cells travel between the rows and the code that reads or
// writes playlist files.
// All texts are bytes in the system's ANSI code page (Shift-JIS on Japanese
// systems); nothing here converts characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ansi_text.h"

namespace kestrun::playlist {

// Buffer sizes used when cells are read back from the list (terminator included),
// so the longest texts are 259 (a path, platform::kPathCapacity), 127, 127 and 15
// bytes.
inline constexpr std::size_t kTagBufferSize = 128;
inline constexpr std::size_t kLengthBufferSize = 16;

// The list's columns, in creation order.
enum class Column : int { Path = 0, Title = 1, Artist = 2, Length = 3 };
inline constexpr int kColumnCount = 4;

struct PlaylistEntry {
  std::string path;    // full path or URL; the row's item text
  std::string title;   // tag title or file name; empty until tags are read
  std::string artist;  // tag artist, or empty
  std::string length;  // "%02d:%02d" (minutes not capped), or empty when unknown
  int key = 0;         // the row's item data, unique within the list
};

// The text shown in the main window while an entry plays: the title, or the file
// name part of the path when the title is empty, followed by " - " and the artist
// when there is one.
std::string entryDisplayName(std::string_view path, std::string_view title, std::string_view artist);

// The same into a caller's buffer of outSize bytes (cut to fit, always
// terminated). Null texts count as empty.
void entryDisplayName(const char* path, const char* title, const char* artist, char* out, std::size_t outSize);

// "%02d:%02d" of seconds / 60 and seconds % 60; negative values count as 0.
std::string FormatLength(long long seconds);

}  // namespace kestrun::playlist
