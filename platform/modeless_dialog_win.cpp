#include "platform/modeless_dialog_win.h"

namespace kestrun::platform {

namespace {

std::size_t Index(DialogSlot slot) { return static_cast<std::size_t>(slot); }

}  // namespace

void DialogRouter::Register(DialogSlot slot, HWND dialog) {
  if (slot >= DialogSlot::Count) return;
  dialogs_[Index(slot)] = dialog;
}

void DialogRouter::Unregister(HWND dialog) {
  if (dialog == nullptr) return;
  for (HWND& held : dialogs_) {
    if (held == dialog) held = nullptr;
  }
}

HWND DialogRouter::At(DialogSlot slot) const {
  if (slot >= DialogSlot::Count) return nullptr;
  return dialogs_[Index(slot)];
}

bool DialogRouter::Route(MSG& message) const {
  // IsDialogMessageA only takes messages for the dialog itself or its descendants, so
  // the order matters only when registered dialogs are nested.
  for (HWND dialog : dialogs_) {
    if (dialog != nullptr && IsDialogMessageA(dialog, &message)) return true;
  }
  return false;
}

ModelessDialog::~ModelessDialog() {
  if (window_ != nullptr && IsWindow(window_)) {
    // The derived part of the object is gone already: detach before destroying, so the
    // messages of the destruction never reach HandleMessage.
    SetWindowLongPtrA(window_, DWLP_USER, 0);
    HWND window = window_;
    Forget(window);
    DestroyWindow(window);
    return;
  }
  Forget(window_);
}

HWND ModelessDialog::Create(HINSTANCE instance, const char* resource, HWND owner, DialogRouter* router,
                            std::optional<DialogSlot> slot) {
  Destroy();
  HWND created =
      CreateDialogParamA(instance, resource, owner, &ModelessDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  return Attach(created, router, slot);
}

HWND ModelessDialog::CreateIndirect(HINSTANCE instance, const DLGTEMPLATE* dialog_template, HWND owner,
                                    DialogRouter* router, std::optional<DialogSlot> slot) {
  Destroy();
  HWND created = CreateDialogIndirectParamA(instance, dialog_template, owner, &ModelessDialog::DialogProc,
                                            reinterpret_cast<LPARAM>(this));
  return Attach(created, router, slot);
}

HWND ModelessDialog::Attach(HWND created, DialogRouter* router, std::optional<DialogSlot> slot) {
  // A dialog that destroyed itself during WM_INITDIALOG has already been forgotten.
  if (created == nullptr || window_ != created) return nullptr;
  if (router != nullptr) {
    if (slot) router->Register(*slot, created);
    router_ = router;
  }
  return created;
}

void ModelessDialog::Destroy() {
  HWND window = window_;
  if (window == nullptr) return;
  // WM_NCDESTROY forgets the window; the call below covers a window that died without
  // our procedure seeing it (or one DestroyWindow refuses, from another thread).
  if (IsWindow(window)) DestroyWindow(window);
  Forget(window);
}

void ModelessDialog::Forget(HWND window) {
  if (router_ != nullptr) router_->Unregister(window);
  router_ = nullptr;
  if (window_ == window) window_ = nullptr;
}

INT_PTR CALLBACK ModelessDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ModelessDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<ModelessDialog*>(lParam);
    if (self == nullptr) return FALSE;
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->window_ = window;
  } else {
    self = reinterpret_cast<ModelessDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    // Messages before WM_INITDIALOG (WM_SETFONT and the like), or after the object let
    // go of the window, get the default handling.
    if (self == nullptr) return FALSE;
  }

  const INT_PTR result = self->HandleMessage(message, wParam, lParam);

  if (message == WM_APPCOMMAND && result == FALSE && self->router_ != nullptr) {
    HWND target = self->router_->appCommandWindow();
    if (target != nullptr && target != window && SendMessageA(target, WM_APPCOMMAND, wParam, lParam) != FALSE) {
      SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
  }

  if (message == WM_NCDESTROY) {
    // The last message the window gets: nothing may point at it, nor it at us, afterwards.
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->Forget(window);
  }
  return result;
}

}  // namespace kestrun::platform
