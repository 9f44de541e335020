#include "playlist/playlist_entry.h"

#include <cstdio>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/time_format.h"

namespace kestrun::playlist {

namespace {
constexpr std::string_view kArtistSeparator = " - ";
}

std::string entryDisplayName(std::string_view path, std::string_view title, std::string_view artist) {
  std::string name(title.empty() ? path.substr(platform::FileNameOffset(path)) : title);
  if (!artist.empty()) {
    name += kArtistSeparator;
    name += artist;
  }
  return name;
}

void entryDisplayName(const char* path, const char* title, const char* artist, char* out, std::size_t outSize) {
  const auto view = [](const char* text) { return text ? std::string_view(text) : std::string_view(); };
  platform::CopyToBuffer(entryDisplayName(view(path), view(title), view(artist)), out, outSize);
}

std::string FormatLength(long long seconds) { return platform::FormatMinutesSeconds(seconds); }

}  // namespace kestrun::playlist
