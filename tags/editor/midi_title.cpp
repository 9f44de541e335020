#include "tags/editor/midi_title.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/file_io.h"

namespace kestrun::tags {
namespace {

// The text of the first 0xFF <type> event in the window, or "" when the event is
// missing or its text does not qualify.
std::string MetaText(const std::uint8_t* bytes, std::size_t size, std::uint8_t type) {
  for (std::size_t at = 0; at + 1 < size; ++at) {
    if (bytes[at] != kMidiMetaEvent || bytes[at + 1] != type) continue;
    // The first occurrence decides, whether or not its text can be taken.
    const std::size_t lengthAt = at + 2;
    if (lengthAt >= size) return {};
    const std::size_t start = lengthAt + 1;
    if (start >= size) return {};
    const std::uint8_t* end = bytes + size;
    if (std::find(bytes + start, end, 0) == end) return {};
    const std::size_t length = std::min<std::size_t>(bytes[lengthAt], size - start);
    const std::uint8_t* text = bytes + start;
    const std::uint8_t* stop = std::find(text, text + length, 0);
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(stop - text));
  }
  return {};
}

}  // namespace

void ScanMidiMetaTexts(const std::uint8_t* bytes, std::size_t size, std::string& title, std::string& artist) {
  title = MetaText(bytes, size, kMidiNameEvent);
  artist = MetaText(bytes, size, kMidiArtistEvent);
}

bool ReadMidiTitleArtist(const std::string& path, std::string& title, std::string& artist) {
  title.clear();
  artist.clear();
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Read)) return false;
  std::array<std::uint8_t, kMidiScanSize> window{};
  if (!file.ReadExact(window.data(), window.size())) return false;
  ScanMidiMetaTexts(window.data(), window.size(), title, artist);
  return true;
}

}  // namespace kestrun::tags
