#include "app/companion_windows.h"

#include <initializer_list>

#include "resources/resource_ids.h"

namespace kestrun::app {
namespace {

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

HWND CreateHidden(HINSTANCE instance, const char* resource) {
  HWND window = CreateDialogParamA(instance, resource, nullptr, HideOnCloseProc, 0);
  if (window != nullptr) {
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
  }
  return window;
}

}  // namespace

CompanionWindows CreateCompanionWindows(HINSTANCE instance) {
  CompanionWindows windows;
  windows.playlist = CreateHidden(instance, "IDD_LISTDLG");
  if (windows.playlist != nullptr) {
    windows.playlistList = GetDlgItem(windows.playlist, IDC_PLAYLIST_LIST);
    windows.tagEditor = CreateHidden(instance, "IDD_EDIT");
  }
  windows.videoView = CreateHidden(instance, "IDD_View");
  windows.filterList = CreateHidden(instance, "IDD_FILTERLIST");
  windows.equalizer = CreateHidden(instance, "IDD_EQUALIZER");
  return windows;
}

void DestroyCompanionWindows(const CompanionWindows& windows) {
  for (HWND window : {windows.videoView, windows.filterList, windows.equalizer, windows.tagEditor,
                      windows.playlist}) {
    if (window != nullptr) DestroyWindow(window);
  }
}

}  // namespace kestrun::app
