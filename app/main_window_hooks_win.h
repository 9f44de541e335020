// What the main window asks of the parts of the player around it, besides the
// engine and the skin it holds directly: the start-up and shutdown sequences, the
// saving at exit, and the companion windows it shows, hides and docks. The
// application fills the slots when it wires the parts together; an empty slot does
// nothing (and a missing window is nullptr).
#pragma once

#include <windows.h>

#include <functional>

namespace kestrun::app {

struct MainWindowHooks {
  // WM_INITDIALOG: the player's start-up sequence.
  std::function<void()> startUp;
  // WM_DESTROY: the player's shutdown sequence.
  std::function<void()> shutDown;
  // The close or the end of the session, before the engine stops: the playlist
  // into "default.m3u" and the settings; then the playlist's workers end.
  std::function<void()> saveForExit;
  // A double-click on the face hides the auxiliary windows.
  std::function<void()> hideCompanions;
};

// The windows that go with the main window.
struct CompanionWindows {
  std::function<HWND()> playlist;
  // Puts the playlist window's top-left corner at the main window's bottom-left one.
  std::function<void(HWND mainWindow)> dockPlaylist;
  std::function<HWND()> video;
};

}  // namespace kestrun::app
