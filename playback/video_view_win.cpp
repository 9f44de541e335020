#include "playback/video_view_win.h"

#include "resources/menu_ids.h"

namespace kestrun::playback {

void VideoViewWindow::ToggleCapture() {
  options_.useCapture = !options_.useCapture;
  if (HMENU menu = GetMenu(window())) {
    CheckMenuItem(menu, IDM_USE_CAPTURE, MF_BYCOMMAND | (options_.useCapture ? MF_CHECKED : MF_UNCHECKED));
  }
}

bool VideoViewWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDM_USE_CAPTURE) {
    ToggleCapture();
    result = TRUE;
    return true;
  }
  return false;
}

}  // namespace kestrun::playback
