#include "app/tray_icon.h"

#include <shellapi.h>

#include "app/app_state.h"
#include "playback/player_state.h"
#include "resources/menu_ids.h"

namespace kestrun::app {
namespace {

constexpr UINT kTrayIconId = 1;
constexpr int kTipLength = 63;

NOTIFYICONDATAA IconData(HWND main) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;  // 88 bytes: the original record
  data.hWnd = main;
  data.uID = kTrayIconId;
  return data;
}

}  // namespace

void AddTrayIcon(HWND main) {
  NOTIFYICONDATAA data = IconData(main);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = LoadIconA(App().instance, "MY_ICON");
  GetWindowTextA(main, data.szTip, kTipLength + 1);
  Shell_NotifyIconA(NIM_ADD, &data);
}

void RemoveTrayIcon(HWND main) {
  NOTIFYICONDATAA data = IconData(main);
  Shell_NotifyIconA(NIM_DELETE, &data);
}

void HandleTrayNotification(HWND main, UINT mouseMessage) {
  HMENU tray = playback::Player().windows.trayPopup;
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
      SetForegroundWindow(main);
      break;
    case WM_LBUTTONDBLCLK:
      SetForegroundWindow(main);
      SendMessageA(main, WM_SYSCOMMAND, SC_RESTORE, 0);
      if (tray != nullptr) EnableMenuItem(tray, IDM_RESTORE, MF_BYCOMMAND | MF_GRAYED);
      break;
    case WM_RBUTTONUP:
      if (tray != nullptr) {
        SetForegroundWindow(main);
        POINT cursor{};
        GetCursorPos(&cursor);
        TrackPopupMenu(tray, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, main, nullptr);
        PostMessageA(main, WM_NULL, 0, 0);
      }
      break;
    case WM_RBUTTONDBLCLK:
      SendMessageA(main, WM_COMMAND, IDC_NEXT_BUTTON, 0);
      break;
    default:
      break;
  }
}

}  // namespace kestrun::app
