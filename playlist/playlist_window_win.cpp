#include "playlist/playlist_window_win.h"

#include <commctrl.h>

#include "playlist/list_view_row_store_win.h"
#include "playlist/m3u_file.h"
#include "playlist/playlist_file_errors_win.h"
#include "resources/resource_ids.h"

namespace kestrun::playlist {
namespace {

struct ColumnSpec {
  const char* header;
  int width;
};
// The playlist's four columns: path, title, artist, length.
constexpr ColumnSpec kColumns[] = {{"ファイル名", 200}, {"タイトル", 100}, {"アーティスト", 90}, {"演奏時間", 60}};

}  // namespace

HWND PlaylistWindow::Create(HINSTANCE instance, HWND mainWindow, const std::string& appDirectory) {
  if (CreateHidden(instance, "IDD_LISTDLG", nullptr) == nullptr) return nullptr;
  list_ = GetDlgItem(window(), IDC_PLAYLIST_LIST);
  if (list_ == nullptr) return window();
  SetUpList(instance);
  const std::string saved = appDirectory + kDefaultPlaylistName;
  if (GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES) {
    WindowPlaylistFileErrors errors(mainWindow);
    loadPlaylistFile(*rows_, saved, errors);
  }
  return window();
}

void PlaylistWindow::SetUpList(HINSTANCE instance) {
  int index = 0;
  for (const auto& column : kColumns) {
    LVCOLUMNA header{};
    header.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.fmt = LVCFMT_LEFT;
    header.cx = column.width;
    header.pszText = const_cast<char*>(column.header);
    header.iSubItem = index;
    SendMessageA(list_, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&header));
  }
  const LPARAM styles = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
  rows_ = std::make_unique<ListViewRowStore>(list_);
  popupMenu_.reset(LoadMenuA(instance, "POPUP"));
}

void PlaylistWindow::SaveDefaultPlaylist(HWND mainWindow, const std::string& appDirectory) const {
  if (!rows_) return;
  WindowPlaylistFileErrors errors(mainWindow);
  saveExtendedM3u(*rows_, appDirectory + kDefaultPlaylistName, errors);
}

void PlaylistWindow::DockUnder(HWND mainWindow) const {
  if (window() == nullptr || mainWindow == nullptr) return;
  RECT main{};
  GetWindowRect(mainWindow, &main);
  SetWindowPos(window(), nullptr, main.left, main.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(window());
}

bool PlaylistWindow::OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) {
  if (message == WM_SIZE && list_ != nullptr) {
    // The list fills the window.
    MoveWindow(list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    result = TRUE;
    return true;
  }
  return false;
}

}  // namespace kestrun::playlist
