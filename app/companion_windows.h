// The long-lived companion windows the start-up sequence creates hidden: the
// playlist, the video view, the filters in use, the equalizer and the tag editor.
// Closing one hides it. The playlist window sets up its list control (the
// playlist's only storage) and restores the saved playlist.
#pragma once

#include <windows.h>

#include <memory>

#include "playlist/row_store.h"

namespace kestrun::app {

struct CompanionWindows {
  HWND playlist = nullptr;
  HWND playlistList = nullptr;
  HWND videoView = nullptr;
  HWND filterList = nullptr;
  HWND equalizer = nullptr;
  HWND tagEditor = nullptr;
  HMENU playlistPopupMenu = nullptr;  // the "POPUP" resource
  HMENU playlistPopup = nullptr;      // its first submenu: the right-click menu
  std::unique_ptr<playlist::RowStore> rows;
};

// The automatic playlist in the application directory.
inline constexpr char kDefaultPlaylistName[] = "\\default.m3u";

void CreateCompanionWindows(HINSTANCE instance, CompanionWindows& windows);
void DestroyCompanionWindows(CompanionWindows& windows);

}  // namespace kestrun::app
