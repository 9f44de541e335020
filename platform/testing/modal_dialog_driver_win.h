// Dialogs as a test finds and drives them: the visible dialog of a thread, the dialog
// a window owns, a modal dialog driven from inside its own message loop, and the
// common file dialog given a file name from another thread.
#pragma once

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "platform/testing/message_pump_win.h"

namespace kestrun::testing {

namespace dialog_search {

struct ByControl {
  int control;
  HWND exclude;
  HWND found;
};

inline BOOL CALLBACK MatchControl(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<ByControl*>(data);
  if (window != search->exclude && IsWindowVisible(window) && GetDlgItem(window, search->control) != nullptr) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

struct ByOwner {
  HWND owner;
  HWND found;
};

inline BOOL CALLBACK MatchOwner(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<ByOwner*>(data);
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (GetWindow(window, GW_OWNER) != search->owner || std::strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace dialog_search

// The visible top-level window of thread that holds control, other than exclude; or
// nullptr.
inline HWND FindThreadDialog(DWORD thread, int control, HWND exclude = nullptr) {
  dialog_search::ByControl search{control, exclude, nullptr};
  EnumThreadWindows(thread, &dialog_search::MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The visible dialog (window class "#32770") that owner owns, on owner's thread; or nullptr.
inline HWND OwnedDialog(HWND owner) {
  dialog_search::ByOwner search{owner, nullptr};
  EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), &dialog_search::MatchOwner,
                    reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline HWND WaitForThreadDialog(DWORD thread, int control, DWORD timeoutMs = 10000) {
  HWND dialog = nullptr;
  WaitUntil([&] { return (dialog = FindThreadDialog(thread, control)) != nullptr; }, timeoutMs);
  return dialog;
}

// Drives a modal dialog from inside its own message loop: a thread timer looks for
// the dialog every 50 ms and, once it is shown, hands it to the test's actions once;
// the actions end it (or arrange to). Runs on the thread that opens the dialog.
class ModalDialogDriver {
 public:
  // Finds the dialog to drive; nullptr while it is not shown yet.
  using Finder = std::function<HWND()>;
  using Actions = std::function<void(HWND)>;

  // Runs show() (which opens the modal dialog and returns its result) while actions
  // drive the dialog that find() gives. acted() tells whether they ran.
  static INT_PTR Run(Finder find, Actions actions, const std::function<INT_PTR()>& show) {
    state().find = std::move(find);
    state().actions = std::move(actions);
    state().acted = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ModalDialogDriver::Tick);
    const INT_PTR result = show();
    if (!state().acted) KillTimer(nullptr, timer);
    state().find = nullptr;
    state().actions = nullptr;
    return result;
  }
  // The same for the visible dialog of this thread that holds control.
  static INT_PTR Run(int control, Actions actions, const std::function<INT_PTR()>& show) {
    return Run([control] { return FindThreadDialog(GetCurrentThreadId(), control); }, std::move(actions), show);
  }
  // Whether the last Run's actions ran.
  static bool acted() { return state().acted; }

 private:
  struct State {
    Finder find;
    Actions actions;
    bool acted = false;
  };
  static State& state() {
    static State current;
    return current;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    State& s = state();
    if (s.acted || !s.find) return;
    HWND dialog = s.find();
    // The modal loop shows the dialog once it is idle; act on what the user sees.
    if (dialog == nullptr || !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, timer);
    s.acted = true;
    s.actions(dialog);
  }
};

// Run on a thread other than owner's while owner opens a common file dialog: waits
// up to 20 s for the dialog, types path into its file-name box and presses OK, as a
// user does. Closes the dialog whatever happens (after 10 s more at the latest), so
// a test never hangs on it. Returns whether the name was given; title, when given,
// receives the dialog's caption.
inline bool ChooseInFileDialog(HWND owner, const std::string& path, std::string* title = nullptr) {
  HWND dialog = nullptr;
  for (int i = 0; i < 400 && (dialog = OwnedDialog(owner)) == nullptr; ++i) Sleep(50);
  if (dialog == nullptr) return false;
  if (title != nullptr) {
    char text[64] = {};
    GetWindowTextA(dialog, text, sizeof(text));
    *title = text;
  }
  // The file-name box: an edit inside the combo box 1148, or the edit 1152.
  HWND edit = nullptr;
  if (HWND combo = GetDlgItem(dialog, 1148)) edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
  if (edit == nullptr) edit = GetDlgItem(dialog, 1152);
  if (edit == nullptr) edit = GetDlgItem(dialog, 1148);
  bool chosen = false;
  if (edit != nullptr) {
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    chosen = true;
  }
  // Still open after a while: give up rather than hang.
  for (int i = 0; i < 200 && IsWindow(dialog); ++i) Sleep(50);
  if (IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return chosen;
}

}  // namespace kestrun::testing
