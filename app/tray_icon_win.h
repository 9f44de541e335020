// The notification-area icon of the main window.
#pragma once

#include <windows.h>

namespace kestrun::app {

// Callback message of the tray icon.
inline constexpr UINT kTrayMessage = 0x8064;

// False when the shell refused the icon.
bool AddTrayIcon(HWND main, HINSTANCE instance);
void RemoveTrayIcon(HWND main);
// The tip follows the main window's caption.
void UpdateTrayTip(HWND main);
// The shell call behind the functions above: Shell_NotifyIconA unless a test puts
// another in (nullptr puts it back).
using NotifyIconCall = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
void SetNotifyIconCallForTesting(NotifyIconCall call);

// lParam of kTrayMessage: the mouse message. trayPopup is the tray icon's menu.
void HandleTrayNotification(HWND main, HMENU trayPopup, UINT mouseMessage);

}  // namespace kestrun::app
