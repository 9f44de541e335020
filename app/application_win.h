// The one owner of the player's process-wide state: one object per subsystem, each
// holding its own window handles, created together and torn down in the reverse
// order. Windows and the message loop reach everything through this object; nothing
// else is global.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/main_window_win.h"
#include "equalizer/ui/equalizer_dialog_win.h"
#include "platform/modeless_dialog_win.h"
#include "platform/win32_handles.h"
#include "playback/filter_list_win.h"
#include "playback/media_session_win.h"
#include "playback/playback_controller.h"
#include "playback/position_timer_win.h"
#include "playback/video_view_win.h"
#include "playlist/playlist_window_win.h"
#include "settings/player_settings.h"
#include "tags/editor/tag_editor_dialog_win.h"

namespace kestrun::app {

inline constexpr char kPathTooLong[] = "パスが長すぎます";

class Application {
 public:
  // appDirectory: the program file's directory without the trailing backslash.
  Application(HINSTANCE instance, std::string appDirectory);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Creates the main window, which runs the start-up sequence; nullptr on failure.
  HWND CreateMainWindow();

  // The start-up sequence, while the main window initialises.
  void RunStartupSequence();
  // The shutdown sequence, while the main window is destroyed.
  void RunShutdownSequence();

  HINSTANCE instance() const { return instance_; }
  const std::string& appDirectory() const { return appDirectory_; }
  platform::DialogRouter& router() { return router_; }
  // The shell's share of the settings, live between load and save.
  settings::PlayerSettings& settings() { return settings_; }
  // The command line was refused (too long); shown once the window exists.
  void SetCommandLineRefused(bool refused) { commandLineRefused_ = refused; }

  MainWindow& main() { return main_; }
  playback::DirectShowSession& session() { return session_; }
  playback::PlaybackController& engine() { return engine_; }
  playlist::PlaylistWindow& playlist() { return playlist_; }
  tags::TagEditorDialog& tagEditor() { return tagEditor_; }
  playback::VideoViewWindow& videoView() { return videoView_; }
  playback::FilterListWindow& filterList() { return filterList_; }
  equalizer::EqualizerDialog& equalizerDialog() { return equalizerDialog_; }

 private:
  HINSTANCE instance_;
  std::string appDirectory_;
  platform::DialogRouter router_;
  settings::PlayerSettings settings_;
  bool commandLineRefused_ = false;

  // Declared in the order they depend on each other: the engine reports to the main
  // window, drives the session and is ticked by the timer.
  MainWindow main_;
  playback::DirectShowSession session_;
  playback::MultimediaPositionTimer positionTimer_;
  playback::PlaybackController engine_;
  playlist::PlaylistWindow playlist_;
  tags::TagEditorDialog tagEditor_;
  playback::VideoViewWindow videoView_;
  playback::FilterListWindow filterList_;
  equalizer::EqualizerDialog equalizerDialog_;
  // What the playlist window asks of the engine and the settings.
  std::unique_ptr<playlist::PlaylistHost> playlistHost_;
  // The COM apartment of the equalizer and effect filters, from start-up to shutdown.
  std::optional<platform::ComApartment> apartment_;
};

// Loads the settings and applies them to the engine and the windows (the command
// tricks included). fileGiven: a file came on the command line.
void LoadSettings(Application& app, bool fileGiven);
// Gathers the settings from the engine and the windows and writes them.
void SaveSettings(Application& app);

}  // namespace kestrun::app
