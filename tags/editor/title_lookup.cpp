#include "tags/editor/title_lookup.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/file_io.h"
#include "tags/editor/midi_title.h"
#include "tags/editor/tag_format.h"
#include "tags/formats/container_file.h"
#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {

namespace {

// The ID3v1 record from the last 128 bytes of an open file.
bool ReadId3v1From(platform::File& file, std::string& title, std::string& artist) {
  std::uint64_t size = 0;
  if (!file.Size(size) || size < kId3v1Size) return false;
  std::array<unsigned char, kId3v1Size> record{};
  if (!file.Seek(size - kId3v1Size) || !file.ReadExact(record.data(), record.size())) return false;
  if (std::memcmp(record.data(), "TAG", 3) != 0) return false;
  title = DecodeId3v1Text(record.data() + kId3v1TitleOffset, kId3v1TextWidth);
  artist = DecodeId3v1Text(record.data() + kId3v1ArtistOffset, kId3v1TextWidth);
  return true;
}

// ID3v2 first (unless only ID3v1 is wanted), then ID3v1, through one open of the
// file: a folder of thousands of tagged files is read at the cost of one open
// each, which dominates the time on slow file systems.
bool ReadId3TitleArtist(const std::string& path, std::string& title, std::string& artist, bool alwaysId3v1,
                        AnsiFromUtf16 unicodeTags) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Read)) return false;
  if (!alwaysId3v1 && ReadId3v2TitleArtist(file, title, artist, unicodeTags)) return true;
  return ReadId3v1From(file, title, artist);
}

}  // namespace

bool ReadId3v1TitleArtist(const std::string& path, std::string& title, std::string& artist) {
  title.clear();
  artist.clear();
  platform::File file;
  return file.Open(path, platform::OpenMode::Read) && ReadId3v1From(file, title, artist);
}

bool ReadTitleArtist(const std::string& path, std::string& title, std::string& artist, bool alwaysId3v1,
                     AnsiFromUtf16 unicodeTags) {
  title.clear();
  artist.clear();
  switch (TagFormatOf(path)) {
    case TagFormat::Id3:
      return ReadId3TitleArtist(path, title, artist, alwaysId3v1, unicodeTags);
    case TagFormat::Midi:
      return ReadMidiTitleArtist(path, title, artist);
    case TagFormat::WindowsMedia: {
      char wmTitle[kWmTextCapacity] = {};
      char wmArtist[kWmTextCapacity] = {};
      const bool read = ReadWmTitleAuthor(path.c_str(), wmTitle, wmArtist, unicodeTags);
      title = wmTitle;
      artist = wmArtist;
      return read;
    }
    case TagFormat::Container: {
      // The texts are always Unicode; without the user's conversion the system's
      // code page takes them.
      TagFields fields;
      const bool read = ReadContainerTags(path, fields, unicodeTags);
      title = fields.title;
      artist = fields.artist;
      return read;
    }
    case TagFormat::None:
      break;
  }
  return false;
}

}  // namespace kestrun::tags
