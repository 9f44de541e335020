#include "app/tray_icon_win.h"

#include <shellapi.h>

#include <string_view>

#include "platform/ansi_text.h"
#include "resources/menu_ids.h"

namespace kestrun::app {
namespace {

constexpr UINT kTrayIconId = 1;

NotifyIconCall notifyIcon = Shell_NotifyIconA;

NOTIFYICONDATAA IconData(HWND main) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;  // 88 bytes: the original record
  data.hWnd = main;
  data.uID = kTrayIconId;
  return data;
}

// The caption as the tip, cut to the tip's 63 bytes without splitting a
// double-byte character.
void CopyCaptionToTip(HWND main, NOTIFYICONDATAA& data) {
  char caption[sizeof(data.szTip)] = {};
  const int length = GetWindowTextA(main, caption, sizeof(caption));
  platform::CopyToBuffer(std::string_view(caption, length > 0 ? static_cast<std::size_t>(length) : 0), data.szTip,
                         sizeof(data.szTip));
}

}  // namespace

void SetNotifyIconCallForTesting(NotifyIconCall call) { notifyIcon = call != nullptr ? call : Shell_NotifyIconA; }

bool AddTrayIcon(HWND main, HINSTANCE instance) {
  NOTIFYICONDATAA data = IconData(main);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = LoadIconA(instance, "MY_ICON");
  CopyCaptionToTip(main, data);
  return notifyIcon(NIM_ADD, &data) != FALSE;
}

void RemoveTrayIcon(HWND main) {
  NOTIFYICONDATAA data = IconData(main);
  notifyIcon(NIM_DELETE, &data);
}

void UpdateTrayTip(HWND main) {
  NOTIFYICONDATAA data = IconData(main);
  data.uFlags = NIF_TIP;
  CopyCaptionToTip(main, data);
  notifyIcon(NIM_MODIFY, &data);
}

void HandleTrayNotification(HWND main, HMENU tray, UINT mouseMessage) {
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
