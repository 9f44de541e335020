// What the playlist window needs from the rest of the player: playing a row, the
// main window's focus, measuring a file's length with a real graph, the tag
// editor, the rename pattern and the playlist's two tag settings. The application implements it; the
// playlist knows nothing of the playback engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

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

  // The user's rename pattern ("UserDefine"), which the user-pattern rename command
  // expands; edited in its dialog over the playlist window.
  virtual std::string renamePattern() const = 0;
  virtual void EditRenamePattern() = 0;

  // "AlwaysTagRead": tags are read for rows as they are added.
  virtual bool alwaysTagRead() const = 0;
  virtual void setAlwaysTagRead(bool on) = 0;
  // "AlwaysID3v1": MP3 titles come from ID3v1 only.
  virtual bool alwaysId3v1() const = 0;
  virtual void setAlwaysId3v1(bool on) = 0;
  // "UnicodeTags": ID3v2.4 tags and UTF-16/UTF-8 texts are read too. Off unless a
  // host keeps the choice.
  virtual bool unicodeTags() const { return false; }
  virtual void setUnicodeTags(bool) {}
};

}  // namespace kestrun::playlist
