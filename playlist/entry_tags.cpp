#include "playlist/entry_tags.h"

#include <string_view>

#include "platform/ansi_path.h"
#include "playlist/playlist_entry.h"
#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::playlist {
namespace {

std::string CutTag(const std::string& text) {
  return std::string(CutAnsiText(text, kTagBufferSize - 1));
}

bool HasExtension(const std::string& path, std::string_view extension) {
  const std::size_t dot = platform::ExtensionOffset(path);
  return dot < path.size() && platform::EqualsIgnoreCase(std::string_view(path).substr(dot), extension);
}

void ReadMp3TitleArtist(const std::string& path, bool alwaysId3v1, std::string& title, std::string& artist) {
  if (!alwaysId3v1 && tags::ReadId3v2TitleArtist(path, title, artist) && (!title.empty() || !artist.empty())) {
    return;
  }
  title.clear();
  artist.clear();
  if (!tags::ReadId3v1Tag(path)) return;
  const tags::TagFields fields = tags::DecodeId3v1Record(tags::Id3v1Record);
  title = fields.title;
  artist = fields.artist;
}

}  // namespace

void LookUpTitleArtist(const std::string& path, bool alwaysId3v1, std::string& title, std::string& artist) {
  title.clear();
  artist.clear();
  if (HasExtension(path, ".mp3")) {
    ReadMp3TitleArtist(path, alwaysId3v1, title, artist);
  } else if (HasExtension(path, ".wma") || HasExtension(path, ".wmv") || HasExtension(path, ".asf")) {
    char wmTitle[kTagBufferSize] = {};
    char wmArtist[kTagBufferSize] = {};
    if (tags::ReadWmTitleAuthor(path.c_str(), wmTitle, wmArtist)) {
      title = wmTitle;
      artist = wmArtist;
    }
  }
  title = CutTag(title);
  artist = CutTag(artist);
}

void readEntryTags(RowStore& rows, int row, const TitleLookup& lookup) {
  if (row < 0 || row >= rows.RowCount()) return;
  const std::string path(CutAnsiText(rows.Cell(row, Column::Path), kPathBufferSize - 1));
  std::string title;
  std::string artist;
  if (lookup) lookup(path, title, artist);
  title = CutTag(title);
  artist = CutTag(artist);
  if (title.empty()) title = path.substr(platform::FileNameOffset(path));
  rows.SetCell(row, Column::Title, title);
  if (!artist.empty()) rows.SetCell(row, Column::Artist, artist);
}

}  // namespace kestrun::playlist
