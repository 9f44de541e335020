// Drives a modal dialog from inside its own message loop: a thread timer finds the
// dialog (the visible dialog of this thread holding a given control) and hands it to
// the test's actions, which end it.
#pragma once

#include <windows.h>

#include <functional>

namespace kestrun::shell::testing {

struct ModalDriver {
  static inline int controlId = 0;
  static inline std::function<void(HWND)> act;
  static inline bool acted = false;

  static BOOL CALLBACK Find(HWND window, LPARAM found) {
    if (IsWindowVisible(window) && GetDlgItem(window, controlId) != nullptr) {
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
    return TRUE;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &ModalDriver::Find, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr || acted) return;
    KillTimer(nullptr, timer);
    acted = true;
    act(dialog);
  }

  // Runs show() (which opens the modal dialog) while actions(dialog) drive it.
  static INT_PTR Run(int control, std::function<void(HWND)> actions, const std::function<INT_PTR()>& show) {
    controlId = control;
    act = std::move(actions);
    acted = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ModalDriver::Tick);
    const INT_PTR result = show();
    if (!acted) KillTimer(nullptr, timer);
    return result;
  }
};

}  // namespace kestrun::shell::testing
