// The notification-area icon of the main window.
#pragma once

#include <windows.h>

namespace kestrun::app {

// Callback message of the tray icon.
inline constexpr UINT kTrayMessage = 0x8064;

void AddTrayIcon(HWND main);
void RemoveTrayIcon(HWND main);
// lParam of kTrayMessage: the mouse message.
void HandleTrayNotification(HWND main, UINT mouseMessage);

}  // namespace kestrun::app
