// The one owner of the player's process-wide state: one object per subsystem, each
// holding its own window handles, created together and torn down in the reverse
// order. It wires the parts together itself: each part gets only the narrow pieces
// it uses (the main window its hooks, the playlist its host), never the whole
// application; nothing else is global.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/main_window_win.h"
#include "equalizer/ui/effect_dialog_win.h"
#include "equalizer/ui/equalizer_dialog_win.h"
#include "platform/modeless_dialog_win.h"
#include "platform/shell_path_win.h"
#include "platform/win32_handles_win.h"
#include "playback/filter_list_win.h"
#include "playback/media_session_win.h"
#include "playback/playback_controller.h"
#include "playback/position_timer_win.h"
#include "playback/video_view_win.h"
#include "playlist/playlist_window_win.h"
#include "skin/skin_win.h"
#include "skin/skinned_controls_win.h"
#include "shell/about_dialog_win.h"
#include "shell/association_dialog_win.h"
#include "shell/association_registry_win.h"
#include "shell/sleep_timer_dialog_win.h"
#include "shell/volume_dialog_win.h"
#include "tags/editor/tag_editor_dialog_win.h"

namespace kestrun::app {

class Application {
 public:
  // appDirectory: the program file's directory without the trailing backslash.
  Application(HINSTANCE instance, std::string appDirectory);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Creates the main window, which runs the start-up sequence; nullptr on failure.
  HWND CreateMainWindow();

  // The message loop of the run, keyboard navigation to the modeless dialogs first;
  // returns the exit code.
  int RunMessageLoop();
  // Why the command line's path was refused; its message is shown once the window exists.
  void SetCommandLineRefusal(platform::PathRefusal refusal) { commandLineRefusal_ = refusal; }
  // The file the command line named, played once the main window is set up.
  void SetStartupPath(std::string path) { startupPath_ = std::move(path); }

  // What asks Windows to shut down after the player has closed (a sleep timer that ran
  // out with its box checked). Tests put their own here.
  void SetWindowsShutdown(std::function<void()> shutdown) { windowsShutdown_ = std::move(shutdown); }
  // The sleep timer's clock in milliseconds; tests put their own here.
  void SetSleepClock(std::function<std::uint64_t()> clock) { sleepClock_ = std::move(clock); }

 private:
  // Tests reach the parts through this (defined by the tests' fixture only).
  friend struct ApplicationTestAccess;

  // The main window's hooks and the other windows' links to each other.
  void Wire();
  // The start-up sequence, while the main window initialises.
  void RunStartupSequence();
  // The shutdown sequence, while the main window is destroyed.
  void RunShutdownSequence();
  // A double-click on the main window's body hides the auxiliary windows.
  void HideAuxiliaryWindows();
  // Loads the settings and has each part apply its own share (the command tricks
  // included). fileGiven: a file came on the command line.
  void LoadSettings(bool fileGiven);
  // Gathers each part's share of the settings and writes them.
  void SaveSettings();
  void ConnectEqualizerWindows();
  // The sleep timer ran out: close as the user would, then shut down if asked. False
  // while a modal dialog of the player is open: it is asked to close, and the timer
  // asks again.
  bool SleepExpired(bool shutdownWindows);

  HINSTANCE instance_;
  std::string appDirectory_;
  platform::DialogRouter router_;
  platform::PathRefusal commandLineRefusal_ = platform::PathRefusal::None;
  std::string startupPath_;

  // Declared in the order they depend on each other: the engine reports to the main
  // window, drives the session and is ticked by the timer.
  MainWindow main_;
  playback::DirectShowSession session_;
  playback::MultimediaPositionTimer positionTimer_;
  playback::PlaybackController engine_;
  skin::Skin skin_;
  skin::SkinnedControls skinnedControls_;
  playlist::PlaylistWindow playlist_;
  tags::TagEditorDialog tagEditor_;
  playback::VideoViewWindow videoView_;
  playback::FilterListWindow filterList_;
  equalizer::EqualizerDialog equalizerDialog_;
  // What the playlist window asks of the player.
  std::unique_ptr<playlist::PlaylistHost> playlistHost_;
  // The COM apartment of the equalizer and effect filters, from start-up to shutdown.
  std::optional<platform::ComApartment> apartment_;

  // The shell's small dialogs; the volume and sleep dialogs live from first use on.
  shell::RegistryClassRoot classRoot_;
  shell::SettingsAssociationBackup associationBackup_;
  shell::AssociationDialog associationDialog_;
  shell::AboutDialog aboutDialog_;
  shell::VolumeDialog volumeDialog_;
  std::function<std::uint64_t()> sleepClock_;
  shell::SleepTimerDialog sleepTimerDialog_;
  std::function<void()> windowsShutdown_;
  bool shutdownAfterClose_ = false;
};

}  // namespace kestrun::app
