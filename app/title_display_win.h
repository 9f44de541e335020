// The title display (control 1008): keyboard focus holder of the main window. Its
// keys are the player's shortcuts, also with an IME on; nothing typed, pasted or
// composed changes its text, and its text is never shown selected.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "platform/win32_handles_win.h"
#include "playback/playback_controller.h"
#include "skin/skinned_controls_win.h"

namespace kestrun::app {

class MainWindow;

class TitleDisplayKeys {
 public:
  // main: the window the keys' commands go to; engine: the path copied and pasted;
  // controls: the zone marker that Ctrl shows.
  TitleDisplayKeys(MainWindow& main, playback::PlaybackController& engine, skin::SkinnedControls& controls)
      : main_(main), engine_(engine), controls_(controls) {}
  bool Install(HWND display);
  void Remove() { subclass_.Remove(); }
  // Keys outside the key table (Tab, Space, Enter, the arrows) offered first to
  // handler, which answers true when it used the key.
  void SetFocusKeys(std::function<bool(WPARAM key)> handler) { focusKeys_ = std::move(handler); }

  // How a VK_PROCESSKEY key-down is resolved to the key pressed (ImmGetVirtualKey
  // unless a test puts another in; nullptr puts it back).
  using VirtualKeyLookup = UINT(WINAPI*)(HWND);
  static void SetVirtualKeyLookupForTesting(VirtualKeyLookup lookup);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data);
  // True when the key was used up and must not reach the control.
  bool HandleKey(WPARAM key);
  int CursorXInMain() const;
  // Collapses a selection the control made by itself to an empty one.
  static void DropSelection(HWND display);

  static VirtualKeyLookup virtualKeyLookup_;

  MainWindow& main_;
  playback::PlaybackController& engine_;
  skin::SkinnedControls& controls_;
  platform::WindowSubclass subclass_;
  std::function<bool(WPARAM key)> focusKeys_;
};

}  // namespace kestrun::app
