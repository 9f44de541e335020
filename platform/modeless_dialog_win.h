// Modeless dialogs: their keyboard routing in the message loop, and a base class that
// ties a dialog window to the object holding its state.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>

namespace kestrun::platform {

// Where a modeless dialog stands in the message loop's keyboard handling: the loop offers
// each message to the registered dialogs in this order.
enum class DialogSlot { TagEditor = 0, Main = 1, FilterList = 2, Equalizer = 3, Count };

// The modeless dialogs the message loop hands keyboard messages to (Tab, arrow keys,
// Enter and Esc reach dialog navigation only through IsDialogMessageA).
class DialogRouter {
 public:
  // Replaces what the slot held.
  void Register(DialogSlot slot, HWND dialog);
  // Clears every slot holding dialog.
  void Unregister(HWND dialog);
  HWND At(DialogSlot slot) const;
  // Offers the message to each registered dialog in slot order (IsDialogMessageA);
  // true when one of them took it.
  bool Route(MSG& message) const;

  // Where the dialogs created with this router send a WM_APPCOMMAND (the keyboard's
  // media keys) that they leave unhandled: the default handling of a top-level
  // window passes it to no other window of the program.
  void SetAppCommandWindow(HWND window) { appCommandWindow_ = window; }
  HWND appCommandWindow() const { return appCommandWindow_; }

 private:
  std::array<HWND, static_cast<std::size_t>(DialogSlot::Count)> dialogs_{};
  HWND appCommandWindow_ = nullptr;
};

// Base of a modeless dialog whose state object lives on the dialog window (DWLP_USER).
//
// The window may die before the object (its owner is destroyed, or someone calls
// DestroyWindow on it): the object then forgets the window and leaves the router, so
// nothing keeps a dangling window or object pointer.
//
// The base destructor detaches the object before destroying a window that still exists,
// so HandleMessage never runs on a half-destroyed object; a derived class that wants to
// see WM_DESTROY for that case calls Destroy() in its own destructor.
class ModelessDialog {
 public:
  // Destroys the window if it still exists.
  virtual ~ModelessDialog();

  ModelessDialog(const ModelessDialog&) = delete;
  ModelessDialog& operator=(const ModelessDialog&) = delete;

  // Creates the dialog from a resource named `resource` (CreateDialogParamA with `this` as the
  // init parameter), stores `this` on the window before WM_INITDIALOG reaches HandleMessage,
  // and registers it with router in slot when both are given; with a router, the dialog
  // passes on the WM_APPCOMMAND it does not handle. Returns the window or nullptr.
  // A window this object already had is destroyed first.
  HWND Create(HINSTANCE instance, const char* resource, HWND owner, DialogRouter* router = nullptr,
              std::optional<DialogSlot> slot = std::nullopt);
  // The same from a template in memory (CreateDialogIndirectParamA).
  HWND CreateIndirect(HINSTANCE instance, const DLGTEMPLATE* dialog_template, HWND owner,
                      DialogRouter* router = nullptr, std::optional<DialogSlot> slot = std::nullopt);

  HWND window() const { return window_; }
  // DestroyWindow + unregister; idempotent, and safe after the window died.
  void Destroy();

 protected:
  ModelessDialog() = default;
  // The dialog's own message handling; the return value is the dialog procedure's.
  virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Registers a freshly created window with the router.
  HWND Attach(HWND created, DialogRouter* router, std::optional<DialogSlot> slot);
  // Forgets the window and leaves the router (the window is gone or going).
  void Forget(HWND window);

  HWND window_ = nullptr;
  DialogRouter* router_ = nullptr;
};

}  // namespace kestrun::platform
