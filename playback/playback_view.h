// How the playback engine shows its results: the main window implements this, and
// the engine's tests use a fake. The engine says what changed (a play mode, a rate,
// a position); which menu items, controls and pixels show it is the view's business.
// Every call comes from the user-interface thread, except PostPosition, which the
// position timer calls from its own thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrun::playback {

class PlaybackView {
 public:
  virtual ~PlaybackView() = default;

  // A message or an idle title in the title display.
  virtual void ShowTitleText(const std::string& text) = 0;
  // The title of a file that starts playing: title display (scrolled when it is
  // wider than the display), caption, video caption, tooltip and tray tip.
  virtual void ShowPlayingTitle(const std::string& title) = 0;
  // The main window's caption alone.
  virtual void ShowCaption(const std::string& text) = 0;
  // Runs or stops the title marquee's timer.
  virtual void SetMarqueeRunning(bool running) = 0;

  virtual void ShowTimeText(const std::string& text) = 0;
  // The seek knob at position of duration (100-nanosecond units); position 0, or no
  // duration, is the knob's idle place at the start of the track.
  virtual void ShowSeekPosition(std::int64_t position, std::int64_t duration) = 0;
  // Zone repeat ended: its marker goes.
  virtual void HideZone() = 0;
  virtual void HideVideo() = 0;

  // The play mode is now playMode (PlayMode values; normal marks none).
  virtual void ShowPlayMode(int playMode) = 0;
  // The rate the user chose; nothing when none is chosen (a new graph runs at the
  // normal rate without a choice).
  virtual void ShowRate(std::optional<double> chosen) = 0;
  virtual void ShowFastSeek(bool on) = 0;
  // Whether wma, wmv and asf go through the Windows Media core.
  virtual void ShowWindowsMediaCore(bool on) = 0;

  virtual void FocusTitle() = 0;
  virtual void FocusMain() = 0;

  // Position timer thread: hands a position of graph `generation` to the
  // user-interface thread, which passes it to PlaybackController::ShowPosition.
  // Must not wait for the user-interface thread.
  virtual void PostPosition(std::int64_t position, unsigned generation) = 0;
};

}  // namespace kestrun::playback
