#include "playlist/playlist_entry.h"

#include <cstdio>
#include <cstring>

#include "platform/ansi_path.h"
#include "platform/time_format.h"

namespace kestrun::playlist {

namespace {
constexpr std::string_view kArtistSeparator = " - ";
}

std::string_view CutAnsiText(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  // Walk whole characters so a trail byte is never taken for a lead byte.
  std::size_t end = 0;
  while (end < maxBytes) {
    const std::size_t width = platform::IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > maxBytes) break;
    end += width;
  }
  return text.substr(0, end);
}

void CopyToBuffer(std::string_view text, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return;
  const std::string_view cut = CutAnsiText(text, bufferSize - 1);
  if (!cut.empty()) std::memcpy(buffer, cut.data(), cut.size());
  buffer[cut.size()] = '\0';
}

std::string entryDisplayName(std::string_view path, std::string_view title, std::string_view artist) {
  std::string name(title.empty() ? path.substr(platform::FileNameOffset(path)) : title);
  if (!artist.empty()) {
    name += kArtistSeparator;
    name += artist;
  }
  return name;
}

void entryDisplayName(const char* path, const char* title, const char* artist, char* out,
                      std::size_t outSize) {
  const auto view = [](const char* text) { return text ? std::string_view(text) : std::string_view(); };
  CopyToBuffer(entryDisplayName(view(path), view(title), view(artist)), out, outSize);
}

std::string FormatLength(long long seconds) { return platform::FormatMinutesSeconds(seconds); }

}  // namespace kestrun::playlist
