// One modal dialog of the player at a time, and the media keys while one is open.
//
// While a modal dialog is up, only its owner is disabled: the playlist window, the
// video view and the modeless dialogs still take commands. A command that opened a
// second modal dialog (or a file dialog) from one of them would run a message loop
// inside the first one's, and the inner dialog could then act on windows and state the
// outer one is still using. Each place that opens a modal dialog takes the turn first;
// when another modal dialog is open, it does not open its own and the open one comes to
// the front instead.
#pragma once

#include <windows.h>

#include <vector>

namespace kestrun::platform {

class ModalTurn {
 public:
  // Takes the turn when no other modal dialog of the program is open; otherwise leaves
  // it to the open dialog and brings that dialog to the front.
  ModalTurn();
  // Gives the turn back when this object held it.
  ~ModalTurn();

  ModalTurn(const ModalTurn&) = delete;
  ModalTurn& operator=(const ModalTurn&) = delete;

  // True when the caller may open its modal dialog.
  bool held() const { return held_; }
  explicit operator bool() const { return held_; }

  // True while some ModalTurn is held.
  static bool Taken();
  // Brings the open modal dialog (or the prompt it opened on top of itself) to the
  // front; false when none is open or it cannot be found.
  static bool BringOpenDialogToFront();
  // Asks the open modal dialog (or the prompt it opened on top of itself) to close as
  // its close box would; false when none is open or it cannot be found. The dialog ends
  // later, in its own loop; a prompt without a cancel answer stays.
  static bool CancelOpenDialog();

 private:
  bool held_ = false;
};

// A modal dialog's handling of WM_APPCOMMAND (the keyboard's media keys): the default
// handling of a top-level window passes it to no other window of the program, so the
// dialog sends it to its owner, which acts on it or passes it on in turn. Returns what
// the dialog procedure returns (TRUE, with the message result set, when the owner took it).
INT_PTR PassAppCommandToOwner(HWND dialog, WPARAM wParam, LPARAM lParam);

}  // namespace kestrun::platform
