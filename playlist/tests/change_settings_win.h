// Changes some of a playlist window's settings the way a load does: its whole share
// gathered, the change made, and the share applied again.
#pragma once

#include "playlist/playlist_window_win.h"
#include "settings/player_settings.h"

namespace kestrun::testing {

template <typename Change>
void ChangeSettings(playlist::PlaylistWindow& window, Change change) {
  settings::PlayerSettings share;
  window.GatherSettings(share);
  change(share);
  window.ApplySettings(share);
}

inline void SetAlwaysTagRead(playlist::PlaylistWindow& window, bool on) {
  ChangeSettings(window, [on](settings::PlayerSettings& share) { share.alwaysTagRead = on; });
}

}  // namespace kestrun::testing
