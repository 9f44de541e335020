#include "app/title_display.h"

#include "app/app_state.h"
#include "playback/playback_control.h"
#include "playback/player_state.h"
#include "resources/menu_ids.h"

namespace kestrun::app {
namespace {

WNDPROC g_previous = nullptr;

struct KeyCommand {
  WPARAM key;
  int command;
};
// Keys that send a command to the main window.
constexpr KeyCommand kKeyCommands[] = {
    {'1', IDM_RATE_2_0},     {'2', IDM_RATE_1_25}, {'3', IDM_RATE_1_0},      {'4', IDM_RATE_0_5},
    {'A', IDM_REPEAT_ALL},   {'B', IDM_VOLUME},    {'E', IDC_STOP_BUTTON},   {'F', IDM_FILTERS},
    {'H', IDC_PAUSE_BUTTON}, {'K', IDM_FAST_SEEK}, {'L', IDM_SLEEP},         {'M', IDM_EFFECTS},
    {'N', IDC_NEXT_BUTTON},  {'O', IDM_OPEN_KEY},  {'P', IDM_PLAY_KEY},      {'R', IDM_REPEAT_ONE},
    {'S', IDM_SHUFFLE},      {'T', IDM_TOPMOST},
};

int CursorXInMain() {
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(playback::Player().windows.main, &cursor);
  return cursor.x;
}

// Returns true when the key was handled and must not reach the control.
bool HandleKey(WPARAM key) {
  HWND main = playback::Player().windows.main;
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (key == VK_CONTROL) {
    playback::OnZoneKey(true, CursorXInMain());
    return false;
  }
  for (const auto& entry : kKeyCommands) {
    if (entry.key == key) {
      SendMessageA(main, WM_COMMAND, entry.command, 0);
      return false;
    }
  }
  switch (key) {
    case 'C':
      if (!ctrl) SendMessageA(main, WM_COMMAND, IDM_PLAYLIST_KEY, 0);
      return false;
    case 'Q':
      if (HWND equalizer = App().equalizerWindow) {
        ShowWindow(equalizer, IsWindowVisible(equalizer) ? SW_HIDE : SW_SHOW);
      }
      return false;
    case 'U':
      SendMessageA(main, WM_COMMAND, IsWindowVisible(main) ? IDM_MINIMIZE : IDM_RESTORE, 0);
      return false;
    case 'V':
      if (!ctrl) SendMessageA(main, WM_COMMAND, IDC_PREVIOUS_BUTTON, 0);
      return false;
    case 'X':
      PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK TitleDisplayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (HandleKey(wParam)) return 0;
      break;
    case WM_KEYUP:
      if (wParam == VK_CONTROL) playback::OnZoneKey(false, CursorXInMain());
      break;
    case WM_CHAR:
    case WM_IME_CHAR:
      return 0;  // the display is not for typing
    case WM_ERASEBKGND:
      UpdateWindow(window);
      break;
    default:
      break;
  }
  return CallWindowProcA(g_previous, window, message, wParam, lParam);
}

}  // namespace

void SubclassTitleDisplay(HWND display) {
  if (display == nullptr || g_previous != nullptr) return;
  g_previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(display, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TitleDisplayProc)));
}

void RestoreTitleDisplay(HWND display) {
  if (display == nullptr || g_previous == nullptr) return;
  SetWindowLongPtrA(display, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
  g_previous = nullptr;
}

}  // namespace kestrun::app
