// The DPI a window is shown at, and sizes given for 96 DPI scaled to it. The calls
// that answer per window and per monitor exist from Windows 10 on; they are looked
// up at run time, and older systems answer the system's DPI.
#pragma once

#include <windows.h>

namespace kestrun::platform {

inline constexpr int kDefaultDpi = 96;

// The DPI of the monitor the window is on (per-monitor awareness), or the system's.
int WindowDpi(HWND window);
// A size in pixels at 96 DPI as many pixels at dpi (rounded), and back again.
int ScaleFromDefaultDpi(int pixels, int dpi);
int ScaleToDefaultDpi(int pixels, int dpi);
// Tells the dialog manager to leave a dialog's size, layout and control fonts alone
// when the window moves to a monitor of another DPI: the window lays itself out.
void KeepDialogLayoutOnDpiChange(HWND dialog);

}  // namespace kestrun::platform
