#include "app/companion_windows.h"

#include <commctrl.h>

#include <initializer_list>
#include <string>

#include "playback/player_state.h"
#include "playlist/list_view_row_store_win.h"
#include "playlist/m3u_file.h"
#include "playlist/playlist_file_errors_win.h"
#include "resources/menu_ids.h"

namespace kestrun::app {
namespace {

struct ColumnSpec {
  const char* header;
  int width;
};
// The playlist's four columns: path, title, artist, length.
constexpr ColumnSpec kColumns[] = {{"ファイル名", 200}, {"タイトル", 100}, {"アーティスト", 90}, {"演奏時間", 60}};

// Closing a companion window hides it; it lives as long as the main window.
INT_PTR CALLBACK HideOnCloseProc(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);
      return TRUE;
    default:
      return FALSE;
  }
}

// The video view's capture switch; the rest of the view comes with its window.
INT_PTR CALLBACK VideoViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDM_USE_CAPTURE) {
    auto& player = playback::Player();
    player.useCapture = !player.useCapture;
    if (HMENU menu = GetMenu(window)) {
      CheckMenuItem(menu, IDM_USE_CAPTURE, MF_BYCOMMAND | (player.useCapture ? MF_CHECKED : MF_UNCHECKED));
    }
    return TRUE;
  }
  return HideOnCloseProc(window, message, wParam, lParam);
}

// The playlist window: the list fills it.
INT_PTR CALLBACK PlaylistProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    HWND list = GetDlgItem(window, IDC_PLAYLIST_LIST);
    if (list != nullptr) MoveWindow(list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return TRUE;
  }
  return HideOnCloseProc(window, message, wParam, lParam);
}

HWND CreateHidden(HINSTANCE instance, const char* resource, DLGPROC procedure) {
  HWND window = CreateDialogParamA(instance, resource, nullptr, procedure, 0);
  if (window != nullptr) {
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
  }
  return window;
}

void SetUpPlaylist(HINSTANCE instance, CompanionWindows& windows) {
  HWND list = windows.playlistList;
  int index = 0;
  for (const auto& column : kColumns) {
    LVCOLUMNA header{};
    header.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.fmt = LVCFMT_LEFT;
    header.cx = column.width;
    header.pszText = const_cast<char*>(column.header);
    header.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&header));
  }
  const LPARAM styles = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
  windows.rows = std::make_unique<playlist::ListViewRowStore>(list);

  const std::string saved = std::string(playback::Player().appDirectory) + kDefaultPlaylistName;
  if (GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES) {
    playlist::WindowPlaylistFileErrors errors(playback::Player().windows.main);
    playlist::loadPlaylistFile(*windows.rows, saved, errors);
  }
  windows.playlistPopupMenu = LoadMenuA(instance, "POPUP");
  if (windows.playlistPopupMenu != nullptr) windows.playlistPopup = GetSubMenu(windows.playlistPopupMenu, 0);
}

}  // namespace

void CreateCompanionWindows(HINSTANCE instance, CompanionWindows& windows) {
  windows.playlist = CreateHidden(instance, "IDD_LISTDLG", PlaylistProc);
  if (windows.playlist != nullptr) {
    windows.playlistList = GetDlgItem(windows.playlist, IDC_PLAYLIST_LIST);
    if (windows.playlistList != nullptr) SetUpPlaylist(instance, windows);
    windows.tagEditor = CreateHidden(instance, "IDD_EDIT", HideOnCloseProc);
  }
  windows.videoView = CreateHidden(instance, "IDD_View", VideoViewProc);
  windows.filterList = CreateHidden(instance, "IDD_FILTERLIST", HideOnCloseProc);
  windows.equalizer = CreateHidden(instance, "IDD_EQUALIZER", HideOnCloseProc);
}

void DestroyCompanionWindows(CompanionWindows& windows) {
  for (HWND window : {windows.videoView, windows.filterList, windows.equalizer, windows.tagEditor,
                      windows.playlist}) {
    if (window != nullptr) DestroyWindow(window);
  }
  if (windows.playlistPopupMenu != nullptr) DestroyMenu(windows.playlistPopupMenu);
  windows.rows.reset();
  windows = CompanionWindows{};
}

}  // namespace kestrun::app
