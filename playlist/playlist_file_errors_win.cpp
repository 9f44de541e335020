#include "playlist/playlist_file_errors_win.h"

#include "resources/resource_ids.h"

namespace kestrun::playlist {

void WindowPlaylistFileErrors::ShowWriteError(const std::string& text, const std::string& caption) {
  MessageBoxA(mainWindow_, text.c_str(), caption.c_str(), MB_OK);
}

void WindowPlaylistFileErrors::ShowReadError(const std::string& text) {
  SetDlgItemTextA(mainWindow_, IDC_TITLE_DISPLAY, text.c_str());
}

}  // namespace kestrun::playlist
