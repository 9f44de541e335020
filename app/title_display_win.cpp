#include "app/title_display_win.h"

#include <commctrl.h>

#include "app/application_win.h"
#include "playlist/clipboard_win.h"
#include "resources/menu_ids.h"

namespace kestrun::app {
namespace {

constexpr UINT_PTR kSubclassId = IDC_TITLE_DISPLAY;

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

}  // namespace

bool TitleDisplayKeys::Install(HWND display) {
  if (display == nullptr) return false;
  return subclass_.Install(display, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

int TitleDisplayKeys::CursorXInMain() const {
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(app_.main().window(), &cursor);
  return cursor.x;
}

bool TitleDisplayKeys::HandleKey(WPARAM key) {
  HWND main = app_.main().window();
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (key == VK_CONTROL) {
    app_.skinnedControls().OnZoneKey(true, CursorXInMain());
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
      if (ctrl) {
        playlist::setClipboardText(main, app_.engine().state().currentPath.c_str());
        // The control's own copy would put its (empty) selection over the path.
        return true;
      } else {
        SendMessageA(main, WM_COMMAND, IDM_PLAYLIST_KEY, 0);
      }
      break;
    case 'Q':
      app_.equalizerDialog().ToggleVisible();
      break;
    case 'U':
      SendMessageA(main, WM_COMMAND, IsWindowVisible(main) ? IDM_MINIMIZE : IDM_RESTORE, 0);
      break;
    case 'V':
      if (ctrl) {
        char path[playback::kPathCapacity] = {};
        if (!playlist::getClipboardPath(main, path, sizeof(path))) break;
        app_.engine().PlayOutsidePath(path);
        return true;  // the paste must not reach the control
      }
      SendMessageA(main, WM_COMMAND, IDC_PREVIOUS_BUTTON, 0);
      break;
    case 'X':
      PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
      break;
    default:
      break;
  }
  return false;
}

LRESULT CALLBACK TitleDisplayKeys::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data) {
  auto* self = reinterpret_cast<TitleDisplayKeys*>(data);
  switch (message) {
    case WM_KEYDOWN:
      if (self->HandleKey(wParam)) return 0;
      break;
    case WM_KEYUP:
      if (wParam == VK_CONTROL) self->app_.skinnedControls().OnZoneKey(false, self->CursorXInMain());
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
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace kestrun::app
