#include "platform/modal_guard_win.h"

#include <algorithm>

namespace kestrun::platform {
namespace {

// The turn belongs to the program's user-interface thread. The windows that thread had
// before the turn was taken: the modal dialog is a window made after that moment.
struct TurnState {
  bool taken = false;
  DWORD thread = 0;
  std::vector<HWND> windowsBefore;
};

TurnState& State() {
  static TurnState state;
  return state;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

std::vector<HWND> ThreadWindows(DWORD thread) {
  std::vector<HWND> windows;
  EnumThreadWindows(thread, &CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

}  // namespace

ModalTurn::ModalTurn() {
  TurnState& state = State();
  if (state.taken) {
    BringOpenDialogToFront();
    return;
  }
  state.taken = true;
  state.thread = GetCurrentThreadId();
  state.windowsBefore = ThreadWindows(state.thread);
  held_ = true;
}

ModalTurn::~ModalTurn() {
  if (!held_) return;
  TurnState& state = State();
  state.taken = false;
  state.windowsBefore.clear();
}

bool ModalTurn::Taken() { return State().taken; }

// The window the user can act on while the turn is taken: the newest visible, enabled
// one made since, which is the dialog itself or a prompt it opened (which leaves the
// dialog disabled below it); null when there is none.
static HWND OpenDialogWindow() {
  const TurnState& state = State();
  if (!state.taken) return nullptr;
  for (HWND window : ThreadWindows(state.thread)) {
    if (std::find(state.windowsBefore.begin(), state.windowsBefore.end(), window) != state.windowsBefore.end()) {
      continue;
    }
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) continue;
    if (GetWindow(window, GW_OWNER) == nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_POPUP) == 0) continue;
    return window;
  }
  return nullptr;
}

bool ModalTurn::BringOpenDialogToFront() {
  HWND window = OpenDialogWindow();
  if (window == nullptr) return false;
  SetForegroundWindow(window);
  SetActiveWindow(window);
  BringWindowToTop(window);
  return true;
}

bool ModalTurn::CancelOpenDialog() {
  HWND window = OpenDialogWindow();
  // Posted, not sent: the dialog handles it in its own loop, as a click on its close box.
  return window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0) != FALSE;
}

INT_PTR PassAppCommandToOwner(HWND dialog, WPARAM wParam, LPARAM lParam) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner == nullptr || SendMessageA(owner, WM_APPCOMMAND, wParam, lParam) == FALSE) return FALSE;
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
  return TRUE;
}

}  // namespace kestrun::platform
