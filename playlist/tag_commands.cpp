#include "playlist/tag_commands.h"

#include <string>

#include "platform/ansi_text.h"
#include "platform/limits.h"
#include "playlist/playlist_entry.h"
#include "resources/menu_ids.h"

namespace kestrun::playlist {

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

int RenameSelectedRows(RowStore& rows, tags::RenameForm form, const tags::RenameOptions& options) {
  if (rows.RowCount() == 0) return 0;
  return tags::RenameByTag(
      SelectedRows(rows),
      [&rows](int row) {
        return std::string(platform::CutAnsiText(rows.Cell(row, Column::Path), platform::kPathMaxLength));
      },
      [&rows](int row, const std::string& path) { rows.SetCell(row, Column::Path, path); }, form, options);
}

}  // namespace kestrun::playlist
