#include "tags/editor/title_lookup.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/file_io.h"
#include "tags/editor/midi_title.h"
#include "tags/editor/tag_format.h"
#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {

bool ReadId3v1TitleArtist(const std::string& path, std::string& title, std::string& artist) {
  title.clear();
  artist.clear();
  platform::File file;
  std::uint64_t size = 0;
  if (!file.Open(path, platform::OpenMode::Read) || !file.Size(size) || size < kId3v1Size) return false;
  std::array<unsigned char, kId3v1Size> record{};
  if (!file.Seek(size - kId3v1Size) || !file.ReadExact(record.data(), record.size())) return false;
  if (std::memcmp(record.data(), "TAG", 3) != 0) return false;
  title = DecodeId3v1Text(record.data() + kId3v1TitleOffset, kId3v1TextWidth);
  artist = DecodeId3v1Text(record.data() + kId3v1ArtistOffset, kId3v1TextWidth);
  return true;
}

bool ReadTitleArtist(const std::string& path, std::string& title, std::string& artist, bool alwaysId3v1,
                     AnsiFromUtf16 unicodeTags) {
  title.clear();
  artist.clear();
  switch (TagFormatOf(path)) {
    case TagFormat::Id3:
      if (!alwaysId3v1 && ReadId3v2TitleArtist(path, title, artist, unicodeTags)) return true;
      return ReadId3v1TitleArtist(path, title, artist);
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
    case TagFormat::None:
      break;
  }
  return false;
}

}  // namespace kestrun::tags
