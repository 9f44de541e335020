// The video view window: the video renderer draws into it. It sizes the video by
// zoom and aspect, switches to full screen and back, seeks by seconds and steps by
// frames on keys, moves together with the main window, takes dropped files, and
// captures the current frame to a numbered bitmap file in the program's directory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/companion_dialog_win.h"
#include "platform/limits.h"
#include "platform/time_format.h"
#include "playback/engine_state.h"
#include "playback/media_backend.h"
#include "playback/media_surfaces_win.h"
#include "playback/playback_controller.h"
#include "settings/player_settings.h"

namespace kestrun::playback {

// What the view needs of the windows around it (given by the application).
struct VideoViewHost {
  std::function<HWND()> mainWindow;
  // The main window's always-on-top setting.
  std::function<bool()> mainTopmost;
  // A text in the main window's title display.
  std::function<void(const std::string&)> showTitleText;
  // A dropped path: shown, made the current path outside the playlist, and played.
  std::function<void(const char*)> playDroppedPath;
};

// Zoom settings; the setting is applied to every new video.
enum ZoomSetting : int { kZoomHalf = 1, kZoomNormal = 2, kZoomDouble = 3, kZoomFullScreen = 4 };

// One second in the media framework's 100-nanosecond units.
inline constexpr std::int64_t kOneSecond = platform::kUnitsPerSecond;
// The volume while frames are stepped (silent).
inline constexpr long kSilentVolume = -10000;
// The main window sits this far above the view's top-left corner: its own height (at 1x).
inline constexpr int kMainAboveView = platform::kFaceHeight;

extern const char kCaptureSucceededFormat[];
extern const char kCaptureFailedText[];

class VideoViewWindow final : public platform::CompanionDialog {
 public:
  // The view plays through backend and draws on surface: both the media session.
  VideoViewWindow(PlaybackController& engine, MediaBackend& backend, VideoSurface& surface, std::string appDirectory)
      : engine_(engine), backend_(backend), surface_(surface), appDirectory_(std::move(appDirectory)) {}
  // router: where the view passes on the media keys it does not handle itself.
  HWND Create(HINSTANCE instance, platform::DialogRouter* router = nullptr) {
    return CreateHidden(instance, "IDD_View", nullptr, router);
  }
  void SetHost(VideoViewHost host) { host_ = std::move(host); }
  // Takes drops through the drag-and-drop target; and gives it back.
  void RegisterDropTarget();
  void RevokeDropTarget();

  // The capture switch (also what the settings send when they turn capture off).
  void ToggleCapture();
  // The view's share of the settings: frame capture, on unless saved off.
  void ApplySettings(const settings::PlayerSettings& loaded);
  // A new video: size it by the zoom setting (full screen when that is the setting).
  void ApplyZoomSetting();

  // The commands and keys.
  void Zoom(int numerator, int denominator);
  void Aspect(int across, int down);
  void FullScreenCommand();
  void SeekBy(std::int64_t delta);
  void StepFrame();
  // Captures the frame at the current position; ends playback either way.
  // Returns whether a file was written.
  bool Capture();

  int zoomSetting() const { return zoomSetting_; }
  bool fullScreen() const { return fullScreen_; }
  int captureCounter() const { return captureCounter_; }

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  bool OnCommand(int id);
  void OnKeyDown(WPARAM key);
  void ToggleFullScreen();
  // Sizes the view (topmost, not moved) so that its client area is width x height.
  void SizeClientArea(int width, int height);
  void FitVideo();
  void ShowInFront();
  // Keeps the main window just above the view.
  void MoveMainWindow();
  void OnDrop(WPARAM event, LPARAM lParam, INT_PTR& result);
  bool VideoShown() const { return !backend_.IsAudioOnly(); }
  void ShowTitle(const std::string& text) const {
    if (host_.showTitleText) host_.showTitleText(text);
  }

  PlaybackController& engine_;
  MediaBackend& backend_;
  VideoSurface& surface_;
  std::string appDirectory_;
  VideoViewHost host_;
  int zoomSetting_ = kZoomNormal;
  bool fullScreen_ = false;
  // The video window's message drain while full screen is on, and the view's place.
  HWND savedDrain_ = nullptr;
  RECT placementBeforeFullScreen_{};
  bool placementSaved_ = false;
  // The number in the next frame file's name; 0 at each start of the program.
  int captureCounter_ = 0;
  // Set while the view moves the main window, so the main window's move does not
  // move the view back in turn.
  bool movingMain_ = false;
  bool dropTargetRegistered_ = false;
};

}  // namespace kestrun::playback
