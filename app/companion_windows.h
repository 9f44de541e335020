// The long-lived companion windows the start-up sequence creates hidden: the
// playlist, the video view, the filters in use, the equalizer and the tag editor.
// Each closes by hiding; their own behaviour is added in their subsystems.
#pragma once

#include <windows.h>

namespace kestrun::app {

struct CompanionWindows {
  HWND playlist = nullptr;
  HWND playlistList = nullptr;
  HWND videoView = nullptr;
  HWND filterList = nullptr;
  HWND equalizer = nullptr;
  HWND tagEditor = nullptr;
};

CompanionWindows CreateCompanionWindows(HINSTANCE instance);
void DestroyCompanionWindows(const CompanionWindows& windows);

}  // namespace kestrun::app
