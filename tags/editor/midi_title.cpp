#include "tags/editor/midi_title.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/byte_reader.h"
#include "platform/file_io.h"

namespace kestrun::tags {
namespace {

// The text of the first 0xFF <type> event in the window, or "" when the event is
// missing or its text does not qualify.
std::string MetaText(std::span<const std::uint8_t> window, std::uint8_t type) {
  platform::ByteReader reader(window);
  while (reader.CanRead(2)) {
    const std::span<const std::uint8_t> event = reader.Peek(2);
    if (event[0] != kMidiMetaEvent || event[1] != type) {
      reader.Skip(1);
      continue;
    }
    // The first occurrence decides, whether or not its text can be taken: its
    // length byte and its first byte must lie inside the window.
    reader.Skip(2);
    const std::uint8_t length = reader.U8();
    if (!reader.ok() || reader.AtEnd()) return {};
    const std::span<const std::uint8_t> rest = reader.TakeRest();
    if (std::find(rest.begin(), rest.end(), 0) == rest.end()) return {};
    const std::span<const std::uint8_t> text = rest.first(std::min<std::size_t>(length, rest.size()));
    return std::string(text.begin(), std::find(text.begin(), text.end(), 0));
  }
  return {};
}

}  // namespace

void ScanMidiMetaTexts(const std::uint8_t* bytes, std::size_t size, std::string& title, std::string& artist) {
  const std::span<const std::uint8_t> window(bytes, size);
  title = MetaText(window, kMidiNameEvent);
  artist = MetaText(window, kMidiArtistEvent);
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
