#include "app/title_display_win.h"

#include <commctrl.h>
#include <imm.h>
#include <richedit.h>

#include "app/main_window_win.h"
#include "platform/clipboard_win.h"
#include "platform/limits.h"
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
    {'1', IDM_RATE_2_0},     {'2', IDM_RATE_1_25}, {'3', IDM_RATE_1_0},    {'4', IDM_RATE_0_5},
    {'A', IDM_REPEAT_ALL},   {'B', IDM_VOLUME},    {'E', IDC_STOP_BUTTON}, {'F', IDM_FILTERS},
    {'H', IDC_PAUSE_BUTTON}, {'K', IDM_FAST_SEEK}, {'L', IDM_SLEEP},       {'M', IDM_EFFECTS},
    {'N', IDC_NEXT_BUTTON},  {'O', IDM_OPEN_KEY},  {'P', IDM_PLAY_KEY},    {'R', IDM_REPEAT_ONE},
    {'S', IDM_SHUFFLE},      {'T', IDM_TOPMOST},
};

// Keys outside the table that move and press the focus frame over the face.
bool IsFocusKey(WPARAM key) {
  switch (key) {
    case VK_TAB:
    case VK_SPACE:
    case VK_RETURN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      return true;
    default:
      return false;
  }
}

}  // namespace

TitleDisplayKeys::VirtualKeyLookup TitleDisplayKeys::virtualKeyLookup_ = ImmGetVirtualKey;

bool TitleDisplayKeys::Install(HWND display) {
  if (display == nullptr) return false;
  // Nothing typed, pasted, cut, undone or composed may change the shown title; the
  // program itself still sets it with WM_SETTEXT, which read-only does not refuse.
  SendMessageA(display, EM_SETREADONLY, TRUE, 0);
  // Without an input context the IME composes nothing here, and its keys arrive as
  // the real keys.
  ImmAssociateContext(display, nullptr);
  return subclass_.Install(display, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void TitleDisplayKeys::SetVirtualKeyLookupForTesting(VirtualKeyLookup lookup) {
  virtualKeyLookup_ = lookup != nullptr ? lookup : ImmGetVirtualKey;
}

int TitleDisplayKeys::CursorXInMain() const {
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(main_.window(), &cursor);
  return cursor.x;
}

bool TitleDisplayKeys::HandleKey(WPARAM key) {
  HWND main = main_.window();
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (key == VK_CONTROL) {
    controls_.OnZoneKey(true, CursorXInMain());
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
        platform::setClipboardText(main, engine_.state().currentPath.c_str());
        // The control's own copy would put its (empty) selection over the path.
        return true;
      } else {
        SendMessageA(main, WM_COMMAND, IDM_PLAYLIST_KEY, 0);
      }
      break;
    case 'Q':
      if (main_.entryPoints().equalizer) main_.entryPoints().equalizer();
      break;
    case 'U':
      SendMessageA(main, WM_COMMAND, IsWindowVisible(main) ? IDM_MINIMIZE : IDM_RESTORE, 0);
      break;
    case 'V':
      if (ctrl) {
        platform::ShellPath pasted;
        if (!platform::getClipboardPath(main, pasted)) return true;
        if (pasted.refused()) {
          main_.ShowTitleText(platform::RefusalMessage(pasted.refusal));
        } else if (!pasted.path.empty()) {
          engine_.PlayOutsidePath(pasted.path);
        }
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
    case WM_KEYDOWN: {
      // With an IME on, a key it took arrives as VK_PROCESSKEY: the table keys
      // act on the key that was pressed.
      const WPARAM key = wParam == VK_PROCESSKEY ? virtualKeyLookup_(window) : wParam;
      if (key == VK_PROCESSKEY || key == 0) return 0;
      if (IsFocusKey(key) && self->focusKeys_ && self->focusKeys_(key)) {
        return 0;
      }
      if (self->HandleKey(key)) return 0;
      // Shift with an arrow key would select.
      const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
      DropSelection(window);
      return result;
    }
    case WM_KEYUP:
      if (wParam == VK_CONTROL) self->controls_.OnZoneKey(false, self->CursorXInMain());
      break;
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
      return 0;  // the display is not for typing, nor for composing
    case WM_ERASEBKGND:
      UpdateWindow(window);
      break;
    case WM_GETDLGCODE: {
      // The dialog manager selects the whole text of a control that asks for it
      // whenever it hands the main window's focus on (after a knob drag, say). Tab and
      // Enter come here too, not to the dialog manager: they move and press the focus
      // frame over the face's controls.
      LRESULT code = (DefSubclassProc(window, message, wParam, lParam) & ~DLGC_HASSETSEL) | DLGC_WANTTAB;
      const auto* asked = reinterpret_cast<const MSG*>(lParam);
      if (asked != nullptr && asked->message == WM_KEYDOWN && asked->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
      return code;
    }
    case EM_SETSEL:
      // Any selection becomes an empty one at the start of the text.
      return DefSubclassProc(window, EM_SETSEL, 0, 0);
    case EM_EXSETSEL: {
      CHARRANGE start{0, 0};
      return DefSubclassProc(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE: {
      // Mouse drags and double clicks select inside the control without a
      // selection message: the text is shown, never highlighted.
      const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
      DropSelection(window);
      return result;
    }
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void TitleDisplayKeys::DropSelection(HWND display) {
  if (!IsWindow(display)) return;  // a key may have closed the player
  CHARRANGE range{};
  DefSubclassProc(display, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  if (range.cpMin != range.cpMax) DefSubclassProc(display, EM_SETSEL, 0, 0);
}

}  // namespace kestrun::app
