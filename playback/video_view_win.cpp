#include "playback/video_view_win.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "playback/frame_file.h"
#include "platform/drop_target_win.h"
#include "playlist/playlist_entry.h"
#include "resources/menu_ids.h"
#include "resources/resource_ids.h"

namespace kestrun::playback {

const char kCaptureSucceededFormat[] = "キャプチャー成功 %s";
const char kCaptureFailedText[] = "キャプチャー失敗";

namespace {

constexpr char kIconName[] = "MY_ICON";

}  // namespace

void VideoViewWindow::RegisterDropTarget() {
  if (window() == nullptr || dropTargetRegistered_) return;
  dropTargetRegistered_ = platform::RegisterPathDropTarget(window());
}

void VideoViewWindow::RevokeDropTarget() {
  if (!dropTargetRegistered_) return;
  if (window() != nullptr) platform::revokeDropTarget(window());
  dropTargetRegistered_ = false;
}

void VideoViewWindow::ApplySettings(const settings::PlayerSettings& loaded) {
  engine_.options().useCapture = true;
  if (!loaded.useCapture) ToggleCapture();
}

void VideoViewWindow::ToggleCapture() {
  auto& options = engine_.options();
  options.useCapture = !options.useCapture;
  if (HMENU menu = GetMenu(window())) {
    CheckMenuItem(menu, IDM_USE_CAPTURE, MF_BYCOMMAND | (options.useCapture ? MF_CHECKED : MF_UNCHECKED));
  }
}

void VideoViewWindow::ApplyZoomSetting() {
  switch (zoomSetting_) {
    case kZoomHalf:
      Zoom(1, 2);
      break;
    case kZoomDouble:
      Zoom(2, 1);
      break;
    case kZoomFullScreen:
      ToggleFullScreen();
      break;
    default:
      Zoom(1, 1);
      break;
  }
}

void VideoViewWindow::SizeClientArea(int width, int height) {
  HWND view = window();
  if (view == nullptr) return;
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(view, GWL_STYLE)), GetMenu(view) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrA(view, GWL_EXSTYLE)));
  SetWindowPos(view, HWND_TOPMOST, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE);
  // A narrow view wraps its menu bar onto more lines; the frame grows by what is missing.
  RECT client{};
  GetClientRect(view, &client);
  const int missingWidth = width - (client.right - client.left);
  const int missingHeight = height - (client.bottom - client.top);
  if (missingWidth != 0 || missingHeight != 0) {
    SetWindowPos(view, HWND_TOPMOST, 0, 0, frame.right - frame.left + missingWidth,
                 frame.bottom - frame.top + missingHeight, SWP_NOMOVE);
  }
}

void VideoViewWindow::FitVideo() {
  if (!surface_.HasVideoWindow() || window() == nullptr) return;
  RECT client{};
  GetClientRect(window(), &client);
  surface_.PlaceVideo(client.right - client.left, client.bottom - client.top);
}

void VideoViewWindow::ShowInFront() {
  SetForegroundWindow(window());
  ShowWindow(window(), SW_SHOW);
  UpdateWindow(window());
}

void VideoViewWindow::Zoom(int numerator, int denominator) {
  if (window() == nullptr) return;
  const std::optional<SIZE> size = surface_.NativeVideoSize();
  if (!size) return;
  SizeClientArea(static_cast<int>(size->cx * numerator / denominator),
                 static_cast<int>(size->cy * numerator / denominator));
  FitVideo();
  ShowInFront();
}

void VideoViewWindow::Aspect(int across, int down) {
  if (!surface_.HasVideo() || window() == nullptr) return;
  RECT client{};
  GetClientRect(window(), &client);
  const int width = client.right - client.left;
  SizeClientArea(width, width * down / across);
  FitVideo();
  ShowInFront();
}

void VideoViewWindow::ToggleFullScreen() {
  if (!VideoShown()) return;
  const std::optional<bool> fullScreen = surface_.FullScreen();
  if (!fullScreen) return;
  const HWND main = host_.mainWindow ? host_.mainWindow() : nullptr;
  const bool mainTopmost = host_.mainTopmost && host_.mainTopmost();
  if (!*fullScreen) {
    // Keys and clicks on the full-screen video still reach the view (Esc ends it).
    savedDrain_ = surface_.MessageDrain();
    surface_.SetMessageDrain(window());
    placementSaved_ = GetWindowRect(window(), &placementBeforeFullScreen_) != FALSE;
    ShowWindow(window(), SW_HIDE);
    if (mainTopmost && main != nullptr) {
      SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    surface_.SetFullScreen(true);
  } else {
    surface_.SetFullScreen(false);
    surface_.SetMessageDrain(savedDrain_);
    surface_.BringVideoToFront();
    if (mainTopmost && main != nullptr) {
      SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // Back where and as large as it was before.
    if (placementSaved_) {
      const RECT& r = placementBeforeFullScreen_;
      SetWindowPos(window(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
      placementSaved_ = false;
    }
    FitVideo();
    ShowInFront();
    SetFocus(window());
  }
}

void VideoViewWindow::FullScreenCommand() {
  if (!fullScreen_) {
    ToggleFullScreen();
    zoomSetting_ = kZoomFullScreen;
    fullScreen_ = true;
  } else {
    ToggleFullScreen();
    zoomSetting_ = kZoomNormal;
    fullScreen_ = false;
  }
}

void VideoViewWindow::SeekBy(std::int64_t delta) {
  if (!VideoShown()) return;
  std::int64_t position = 0;
  if (!backend_.CurrentPosition(position)) return;
  position += delta;
  const std::int64_t duration = engine_.state().duration;
  if (position > duration) position = duration;
  if (position < 0) position = 0;
  backend_.SeekTo(position, false);
}

void VideoViewWindow::StepFrame() {
  if (!VideoShown() || !surface_.CanStepFrames()) return;
  // Silent while stepping; the key's release gives the volume back.
  backend_.SetVolume(kSilentVolume);
  surface_.StepOneFrame();
}

bool VideoViewWindow::Capture() {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  GrabbedFrame frame;
  // The grabber passes samples through again afterwards, whatever came of the grab.
  HRESULT hr = surface_.GrabFrame(frame);
  std::string written;
  if (SUCCEEDED(hr)) {
    std::string file;
    if (!BuildFrameFile(frame.infoHeader.data(), frame.infoHeader.size(), frame.pixels.data(), frame.pixels.size(),
                        file)) {
      hr = VFW_E_INVALIDMEDIATYPE;
    } else {
      const std::string directory = appDirectory_;
      const auto nameFor = [&directory](int counter) { return FrameFileName(directory, counter); };
      if (!WriteNumberedFrameFile(appDirectory_, nameFor, captureCounter_, file, written)) hr = E_POINTER;
    }
  }
  // Capturing ends playback, whatever came of it.
  engine_.StopAndClose();
  ShowWindow(window(), SW_HIDE);
  if (!written.empty()) {
    std::vector<char> text(written.size() + sizeof(kCaptureSucceededFormat));
    std::snprintf(text.data(), text.size(), kCaptureSucceededFormat, written.c_str());
    ShowTitle(text.data());
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  if (FAILED(hr)) ShowTitle(kCaptureFailedText);
  return !written.empty();
}

void VideoViewWindow::MoveMainWindow() {
  const HWND main = host_.mainWindow ? host_.mainWindow() : nullptr;
  if (main == nullptr || movingMain_) return;
  RECT view{};
  GetWindowRect(window(), &view);
  // The main window's own height: the face at its zoom on a screen of high DPI.
  RECT face{};
  GetWindowRect(main, &face);
  const int above = face.bottom > face.top ? face.bottom - face.top : kMainAboveView;
  movingMain_ = true;
  SetWindowPos(main, nullptr, view.left, view.top - above, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
  movingMain_ = false;
}

void VideoViewWindow::OnDrop(WPARAM event, LPARAM lParam, INT_PTR& result) {
  platform::DropHandlers handlers;
  handlers.entered = [this] { SetForegroundWindow(window()); };
  handlers.dropped = [this](const std::string& path) {
    if (!path.empty() && host_.playDroppedPath) host_.playDroppedPath(path.c_str());
  };
  handlers.refused = [this](const char* message) {
    if (host_.showTitleText) host_.showTitleText(message);
  };
  auto* info = reinterpret_cast<platform::DropInfo*>(lParam);
  result = static_cast<INT_PTR>(platform::AnswerDrop(event, info, handlers));
}

bool VideoViewWindow::OnCommand(int id) {
  switch (id) {
    case IDM_VIEW_ZOOM_50:
      Zoom(1, 2);
      zoomSetting_ = kZoomHalf;
      return true;
    case IDM_VIEW_ZOOM_100:
      Zoom(1, 1);
      zoomSetting_ = kZoomNormal;
      return true;
    case IDM_VIEW_ZOOM_200:
      Zoom(2, 1);
      zoomSetting_ = kZoomDouble;
      return true;
    case IDM_VIEW_ASPECT_4_3:
      Aspect(4, 3);
      return true;
    case IDM_VIEW_ASPECT_16_9:
      Aspect(16, 9);
      return true;
    case IDM_VIEW_FULL_SCREEN:
      FullScreenCommand();
      return true;
    case IDM_VIEW_CAPTURE:
      if (VideoShown()) Capture();
      return true;
    case IDM_USE_CAPTURE:
      ToggleCapture();
      return true;
    case IDM_STOP:
      SendMessageA(window(), WM_CLOSE, 0, 0);
      return true;
    case IDM_PAUSE:
      engine_.TogglePause();
      return true;
    default:
      return false;
  }
}

void VideoViewWindow::OnKeyDown(WPARAM key) {
  switch (key) {
    case VK_ESCAPE:
    case '4':
    case 'F':
      OnCommand(IDM_VIEW_FULL_SCREEN);
      break;
    case VK_SPACE:
    case 'H':
      engine_.TogglePause();
      break;
    case '1':
      OnCommand(IDM_VIEW_ZOOM_50);
      break;
    case '2':
      OnCommand(IDM_VIEW_ZOOM_100);
      break;
    case '3':
      OnCommand(IDM_VIEW_ZOOM_200);
      break;
    case 'C':
      OnCommand(IDM_VIEW_CAPTURE);
      break;
    case 'E':
      OnCommand(IDM_STOP);
      break;
    case VK_LEFT:
      SeekBy(-kOneSecond);
      break;
    case VK_RIGHT:
      if (GetKeyState(VK_CONTROL) < 0) {
        StepFrame();
      } else {
        SeekBy(kOneSecond);
      }
      break;
    default:
      break;
  }
}

bool VideoViewWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), kIconName)) {
        SetClassLongPtrA(window(), GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
      }
      result = TRUE;
      return true;
    case WM_MOVE:
      MoveMainWindow();
      result = FALSE;
      return true;
    case WM_SIZE:
      if (VideoShown()) FitVideo();
      MoveMainWindow();
      result = FALSE;
      return true;
    case WM_CLOSE:
      ShowWindow(window(), SW_HIDE);
      if (VideoShown()) {
        engine_.StopKeepGraph();
        engine_.StopAndClose();
      }
      result = TRUE;
      return true;
    case WM_KEYDOWN:
      OnKeyDown(wParam);
      result = FALSE;
      return true;
    case WM_KEYUP:
      // Without an audio interface the volume call does nothing.
      if (wParam == VK_RIGHT) backend_.SetVolume(engine_.state().volume);
      result = FALSE;
      return true;
    case WM_COMMAND:
      result = TRUE;
      return OnCommand(LOWORD(wParam));
    case platform::kDropMessage:
      OnDrop(wParam, lParam, result);
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, result);
      result = TRUE;
      return true;
    default:
      return false;
  }
}

}  // namespace kestrun::playback
