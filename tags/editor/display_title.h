// The title shown for a playing file: in the title display, the main window's
// caption and the video view's caption.
#pragma once

#include <cstddef>

namespace kestrun::tags {

inline constexpr std::size_t kDisplayTitleCapacity = 260;

// Writes the display title of path into text (capacity kDisplayTitleCapacity):
// the title and artist found in the file's tags formatted as a playlist row shows
// them, or the file-name part of the path when the file has none.
void FormatDisplayTitle(const char* path, char* text);

}  // namespace kestrun::tags
