// How the playback engine shows its results: the main window implements this, and
// the engine's tests use a fake. Every call comes from the user-interface thread,
// except PostPosition, which the position timer calls from its own thread.
#pragma once

#include <cstdint>
#include <string>

namespace kestrun::playback {

// Which menus a check mark goes to: the main window's pop-up only, or the tray
// icon's menu as well (play modes, rates and the Windows Media core switch).
enum class MenuScope { MainMenu, MainAndTrayMenus };

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
  // Left edge of the seek knob in main-window client pixels.
  virtual void PlaceSeekKnob(int left) = 0;
  // The zone marker under the seek track, from left over width pixels.
  virtual void ShowZone(int left, int width) = 0;
  virtual void HideZone() = 0;
  virtual void HideVideo() = 0;

  virtual void SetChecked(int commandId, bool checked, MenuScope scope) = 0;
  virtual void FocusTitle() = 0;
  virtual void FocusMain() = 0;

  // Position timer thread: hands a position of graph `generation` to the
  // user-interface thread, which passes it to PlaybackController::ShowPosition.
  // Must not wait for the user-interface thread.
  virtual void PostPosition(std::int64_t position, unsigned generation) = 0;
};

}  // namespace kestrun::playback
