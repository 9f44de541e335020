#include "playlist/entry_tags.h"

#include <string_view>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/limits.h"
#include "playlist/playlist_entry.h"
#include "tags/editor/title_lookup.h"

namespace kestrun::playlist {
namespace {

std::string CutTag(const std::string& text) { return std::string(platform::CutAnsiText(text, kTagBufferSize - 1)); }

}  // namespace

void LookUpTitleArtist(const std::string& path, bool alwaysId3v1, std::string& title, std::string& artist,
                       tags::AnsiFromUtf16 unicodeTags) {
  // The same lookup as the main window's title: ID3v2 or ID3v1 for MP3, the MIDI
  // meta events, the Windows Media attributes.
  title.clear();
  artist.clear();
  tags::ReadTitleArtist(path, title, artist, alwaysId3v1, unicodeTags);
  title = CutTag(title);
  artist = CutTag(artist);
}

void readEntryTags(RowStore& rows, int row, const TitleLookup& lookup) {
  if (row < 0 || row >= rows.RowCount()) return;
  const std::string path(platform::CutAnsiText(rows.Cell(row, Column::Path), platform::kPathMaxLength));
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
