#include "playlist/playlist_entry.h"

#include <cstdio>

#include "platform/ansi_text.h"
#include "tags/editor/display_title.h"

namespace kestrun::playlist {

std::string entryDisplayName(std::string_view path, std::string_view title, std::string_view artist) {
  // The same text the main window's title shows for a file.
  return tags::RowDisplayText(path, title, artist);
}

void entryDisplayName(const char* path, const char* title, const char* artist, char* out,
                      std::size_t outSize) {
  const auto view = [](const char* text) { return text ? std::string_view(text) : std::string_view(); };
  platform::CopyToBuffer(entryDisplayName(view(path), view(title), view(artist)), out, outSize);
}

std::string FormatLength(long long seconds) {
  if (seconds < 0) seconds = 0;
  char text[48];
  std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60, seconds % 60);
  return text;
}

}  // namespace kestrun::playlist
