#include "tags/editor/title_lookup.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/ansi_path.h"
#include "platform/file_io.h"
#include "tags/editor/midi_title.h"
#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {
namespace {

bool alwaysId3v1Setting = false;

std::string_view ExtensionOf(const std::string& path) {
  const std::string_view view(path);
  return view.substr(platform::ExtensionOffset(view));
}

// One 30-byte text of a record, terminated and trimmed as the record's decoding does.
std::string RecordText(const unsigned char* record, std::size_t offset) {
  std::array<char, kId3v1TextWidth + 2> text{};
  std::memcpy(text.data(), record + offset, kId3v1TextWidth);
  TrimTrailingBlanks(text.data(), static_cast<int>(kId3v1TextWidth) - 1);
  return std::string(text.data());
}

}  // namespace

void SetLookupAlwaysId3v1(bool alwaysId3v1) { alwaysId3v1Setting = alwaysId3v1; }
bool LookupAlwaysId3v1() { return alwaysId3v1Setting; }

bool ReadId3v1TitleArtist(const std::string& path, std::string& title, std::string& artist) {
  title.clear();
  artist.clear();
  platform::File file;
  std::uint64_t size = 0;
  if (!file.Open(path, platform::OpenMode::Read) || !file.Size(size) || size < kId3v1Size) return false;
  std::array<unsigned char, kId3v1Size> record{};
  if (!file.Seek(size - kId3v1Size) || !file.ReadExact(record.data(), record.size())) return false;
  if (std::memcmp(record.data(), "TAG", 3) != 0) return false;
  title = RecordText(record.data(), kId3v1TitleOffset);
  artist = RecordText(record.data(), kId3v1ArtistOffset);
  return true;
}

bool ReadTitleArtist(const std::string& path, std::string& title, std::string& artist, bool alwaysId3v1) {
  title.clear();
  artist.clear();
  const std::string_view extension = ExtensionOf(path);
  if (platform::EqualsIgnoreCase(extension, ".mp3")) {
    if (!alwaysId3v1 && ReadId3v2TitleArtist(path, title, artist)) return true;
    return ReadId3v1TitleArtist(path, title, artist);
  }
  if (platform::EqualsIgnoreCase(extension, ".mid")) return ReadMidiTitleArtist(path, title, artist);
  if (IsWmExtension(extension)) {
    char wmTitle[kWmTextCapacity] = {};
    char wmArtist[kWmTextCapacity] = {};
    const bool read = ReadWmTitleAuthor(path.c_str(), wmTitle, wmArtist);
    title = wmTitle;
    artist = wmArtist;
    return read;
  }
  return false;
}

bool ReadTitleArtist(const std::string& path, std::string& title, std::string& artist) {
  return ReadTitleArtist(path, title, artist, alwaysId3v1Setting);
}

bool IsWmExtension(std::string_view extension) {
  return platform::EqualsIgnoreCase(extension, ".wma") || platform::EqualsIgnoreCase(extension, ".wmv") ||
         platform::EqualsIgnoreCase(extension, ".asf");
}

}  // namespace kestrun::tags
