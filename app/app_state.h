// Process-wide state of the application shell: the hand-off between instances,
// the loaded libraries and the long-lived windows and menus. The playback engine's
// share (current path, application directory, result windows) is in
// playback/player_state.h.
#pragma once

#include <windows.h>

namespace kestrun::app {

// Texts and names of the single-instance protocol.
inline constexpr char kHandoffMessageName[] = "kesopenfine";
inline constexpr char kInstanceMutexName[] = "Quenfold'Ambrel";
inline constexpr DWORD kHandoffWaitMs = 350;
inline constexpr int kAtomNameLimit = 255;

inline constexpr char kMainWindowTitle[] = "Quenfold' Ambrel";
inline constexpr char kPathTooLong[] = "パスが長すぎます";

struct AppState {
  HINSTANCE instance = nullptr;
  UINT handoffMessage = 0;
  UINT taskbarCreatedMessage = 0;
  HANDLE instanceMutex = nullptr;
  ATOM handoffAtom = 0;
  HMODULE richEdit = nullptr;
  HWND tagEditorWindow = nullptr;
  HWND equalizerWindow = nullptr;
  // The command line was refused (too long); shown once the window exists.
  bool commandLineRefused = false;
  int exitCode = 0;
};

AppState& App();

}  // namespace kestrun::app
