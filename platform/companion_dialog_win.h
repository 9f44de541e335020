// A long-lived companion window of the main window (playlist, video view, filters in
// use, equalizer, tag editor): created hidden at start-up, hidden again when the
// user closes it, destroyed with the main window.
#pragma once

#include <windows.h>

#include "platform/modeless_dialog_win.h"

namespace kestrun::platform {

class CompanionDialog : public ModelessDialog {
 public:
  // Creates the dialog hidden.
  HWND CreateHidden(HINSTANCE instance, const char* resource, HWND owner, DialogRouter* router = nullptr,
                    std::optional<DialogSlot> slot = std::nullopt) {
    HWND created = Create(instance, resource, owner, router, slot);
    if (created != nullptr) {
      ShowWindow(created, SW_HIDE);
      UpdateWindow(created);
    }
    return created;
  }

 protected:
  // The window's own messages; false leaves them to the default handling below.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) { return false; }

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) final {
    INT_PTR result = FALSE;
    if (OnMessage(message, wParam, lParam, result)) return result;
    switch (message) {
      case WM_INITDIALOG:
        return TRUE;
      case WM_CLOSE:
        ShowWindow(window(), SW_HIDE);
        return TRUE;
      default:
        return FALSE;
    }
  }
};

}  // namespace kestrun::platform
