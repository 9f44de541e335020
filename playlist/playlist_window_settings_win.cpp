// The playlist window's share of the settings: the order of the list's columns and
// the tag choices of its menus, applied at start-up and gathered when the player
// saves its settings.
#include "playlist/playlist_window_win.h"

#include "settings/settings_conversions.h"

namespace kestrun::playlist {

void PlaylistWindow::ApplySettings(const settings::PlayerSettings& loaded) {
  appliedColumnOrder_ = loaded.columnOrder;
  ApplyColumnOrder(loaded.columnOrder);
  preferences_.alwaysTagRead = loaded.alwaysTagRead;
  if (loaded.alwaysTagRead) ShowAlwaysTagRead(true);
  // A missing value leaves the menu's own state alone.
  if (loaded.alwaysId3v1) {
    preferences_.alwaysId3v1 = loaded.alwaysId3v1;
    ShowTagSource(*loaded.alwaysId3v1);
  }
  preferences_.unicodeTags = loaded.unicodeTags;
  ShowUnicodeTags(loaded.unicodeTags);
  preferences_.renamePattern = loaded.renamePattern;
}

void PlaylistWindow::GatherSettings(settings::PlayerSettings& saved) const {
  // The order the user dragged the headers into; a list that cannot tell keeps the
  // order it was given.
  saved.columnOrder = appliedColumnOrder_;
  if (const auto order = ColumnOrder(); order && settings::IsColumnPermutation(order->data())) {
    saved.columnOrder = *order;
  }
  saved.alwaysTagRead = preferences_.alwaysTagRead;
  saved.alwaysId3v1 = preferences_.alwaysId3v1;
  saved.unicodeTags = preferences_.unicodeTags;
  saved.renamePattern = preferences_.renamePattern;
}

}  // namespace kestrun::playlist
