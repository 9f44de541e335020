#include "app/tag_commands.h"

#include "platform/ansi_path.h"
#include "platform/limits.h"
#include "resources/menu_ids.h"
#include "tags/editor/title_lookup.h"

namespace kestrun::app {

void ReadEntryTags(playlist::RowStore& rows, int row, bool alwaysId3v1) {
  const std::string path = rows.Cell(row, playlist::Column::Path);
  std::string title;
  std::string artist;
  tags::ReadTitleArtist(path, title, artist, alwaysId3v1);
  if (title.empty()) title = path.substr(platform::FileNameOffset(path));
  rows.SetCell(row, playlist::Column::Title, playlist::CutAnsiText(title, playlist::kTagBufferSize - 1));
  if (!artist.empty())
    rows.SetCell(row, playlist::Column::Artist, playlist::CutAnsiText(artist, playlist::kTagBufferSize - 1));
}

std::optional<tags::RenameForm> RenameFormForCommand(int command) {
  switch (command) {
    case IDM_RENAME_PAREN_ARTIST_TITLE:
      return tags::RenameForm::ArtistTitle;
    case IDM_RENAME_PAREN_ARTIST_ALBUM_TITLE:
      return tags::RenameForm::ArtistAlbumTitle;
    case IDM_RENAME_TITLE:
      return tags::RenameForm::Title;
    case IDM_RENAME_ARTIST_DASH_TITLE:
      return tags::RenameForm::ArtistDashTitle;
    case IDM_RENAME_USER_PATTERN:
      return tags::RenameForm::UserPattern;
    default:
      return std::nullopt;
  }
}

int RenameSelectedRows(playlist::RowStore& rows, tags::RenameForm form, const tags::RenameOptions& options) {
  if (rows.RowCount() == 0) return 0;
  return tags::RenameByTag(
      playlist::SelectedRows(rows),
      [&rows](int row) {
        return std::string(
            playlist::CutAnsiText(rows.Cell(row, playlist::Column::Path), platform::kPathMaxLength));
      },
      [&rows](int row, const std::string& path) { rows.SetCell(row, playlist::Column::Path, path); }, form, options);
}

std::optional<std::string> FirstSelectedPath(const playlist::RowStore& rows) {
  if (rows.RowCount() == 0) return std::nullopt;
  const int row = rows.NextSelected(-1);
  if (row < 0) return std::nullopt;
  return std::string(playlist::CutAnsiText(rows.Cell(row, playlist::Column::Path), platform::kPathMaxLength));
}

}  // namespace kestrun::app
