#include "platform/dpi_win.h"

namespace kestrun::platform {
namespace {

// Values of the dialog manager's DPI-change switches (Windows 10 1703 and later).
constexpr int kDialogDisableAll = 0x0001;
constexpr int kControlDisableFontUpdate = 0x0001;
constexpr int kControlDisableRelayout = 0x0002;

template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                           : nullptr;
}

}  // namespace

int WindowDpi(HWND window) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = User32Function<DpiForWindow>("GetDpiForWindow");
  if (dpiForWindow != nullptr && window != nullptr) {
    if (const UINT dpi = dpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
  }
  int dpi = 0;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : kDefaultDpi;
}

int ScaleFromDefaultDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, kDefaultDpi); }

int ScaleToDefaultDpi(int pixels, int dpi) { return dpi > 0 ? MulDiv(pixels, kDefaultDpi, dpi) : pixels; }

void KeepDialogLayoutOnDpiChange(HWND dialog) {
  using DialogBehaviour = BOOL(WINAPI*)(HWND, int, int);
  static const auto dialogBehaviour = User32Function<DialogBehaviour>("SetDialogDpiChangeBehavior");
  static const auto controlBehaviour = User32Function<DialogBehaviour>("SetDialogControlDpiChangeBehavior");
  if (dialogBehaviour != nullptr) dialogBehaviour(dialog, kDialogDisableAll, kDialogDisableAll);
  if (controlBehaviour == nullptr) return;
  const int controls = kControlDisableFontUpdate | kControlDisableRelayout;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    controlBehaviour(child, controls, controls);
  }
}

}  // namespace kestrun::platform
