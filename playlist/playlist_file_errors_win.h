// Playlist-file failures shown the player's way: a message box owned by the main
// window, and a line in the main window's title display (control 1008).
#pragma once

#include <windows.h>

#include "playlist/playlist_file_errors.h"

namespace kestrun::playlist {

class WindowPlaylistFileErrors final : public PlaylistFileErrors {
 public:
  explicit WindowPlaylistFileErrors(HWND mainWindow) : mainWindow_(mainWindow) {}
  void ShowWriteError(const std::string& text, const std::string& caption) override;
  void ShowReadError(const std::string& text) override;

 private:
  HWND mainWindow_;
};

}  // namespace kestrun::playlist
