// The video view window: the video renderer draws into it. Its menu's capture
// switch decides whether later video graphs get the frame grabber.
#pragma once

#include <windows.h>

#include "platform/companion_dialog_win.h"
#include "playback/engine_state.h"

namespace kestrun::playback {

class VideoViewWindow final : public platform::CompanionDialog {
 public:
  explicit VideoViewWindow(GraphOptions& options) : options_(options) {}
  HWND Create(HINSTANCE instance) { return CreateHidden(instance, "IDD_View", nullptr); }
  // The capture command (also what the settings send when they turn capture off).
  void ToggleCapture();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  GraphOptions& options_;
};

}  // namespace kestrun::playback
