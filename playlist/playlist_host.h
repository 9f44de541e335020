// What the playlist window asks of the rest of the player (PlaylistHost: playing a
// row, the main window's focus, measuring a file's length with a real graph, the tag
// editor, editing the rename pattern) and the choices its tag commands read
// (PlaylistPreferences), which the window keeps itself. The application implements
// the host; the playlist knows nothing of the playback engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/player_settings.h"

namespace kestrun::playlist {

class PlaylistHost {
 public:
  virtual ~PlaylistHost() = default;

  // Stops what plays (unless nothing was opened yet), makes row the current track
  // and opens and plays path.
  virtual void PlayRow(int row, const std::string& path) = 0;
  // The keyboard focus goes back to the main window's title display.
  virtual void FocusMainTitle() = 0;
  // The playing time of the file in 100-nanosecond units, from a graph built for
  // it; nothing when the file cannot be rendered or has no duration. Called from
  // the playlist's worker threads, several at once, each inside a COM apartment of
  // its own: it must touch no window and no state of the player.
  virtual std::optional<std::int64_t> MeasureDuration(const std::string& path) = 0;
  // Shows the tag editor, loaded with path when it is one the editor reads (empty:
  // no row chosen, the editor is only shown).
  virtual void OpenTagEditor(const std::string& path) = 0;
  // Lets the user edit the rename pattern in its dialog over the playlist window;
  // pattern is changed only when the user confirms.
  virtual void EditRenamePattern(std::string& pattern) = 0;
};

// The playlist's tag choices, loaded with the settings and changed from its menus.
struct PlaylistPreferences {
  // "AlwaysTagRead": tags are read for rows as they are added.
  bool alwaysTagRead = false;
  // "AlwaysID3v1": MP3 titles come from ID3v1 only. Nothing until it was loaded or
  // chosen: the menu then keeps its own state.
  std::optional<bool> alwaysId3v1;
  // "UnicodeTags": ID3v2.4 tags and UTF-16/UTF-8 texts are read too.
  bool unicodeTags = false;
  // "UserDefine": the pattern the user-pattern rename command expands.
  std::string renamePattern = settings::kDefaultRenamePattern;
};

}  // namespace kestrun::playlist
