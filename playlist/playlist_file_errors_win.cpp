#include "playlist/playlist_file_errors_win.h"

namespace kestrun::playlist {

namespace {
constexpr int kTitleDisplayId = 1008;
}

void WindowPlaylistFileErrors::ShowWriteError(const std::string& text, const std::string& caption) {
  MessageBoxA(mainWindow_, text.c_str(), caption.c_str(), MB_OK);
}

void WindowPlaylistFileErrors::ShowReadError(const std::string& text) {
  SetDlgItemTextA(mainWindow_, kTitleDisplayId, text.c_str());
}

}  // namespace kestrun::playlist
