// The playlist window (IDD_LISTDLG): its list control is the playlist's only
// storage. Created hidden at start-up, filled from the saved playlist; closing it
// hides it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/companion_dialog_win.h"
#include "platform/win32_handles.h"
#include "playlist/row_store.h"

namespace kestrun::playlist {

// The automatic playlist in the application directory.
inline constexpr char kDefaultPlaylistName[] = "\\default.m3u";

class PlaylistWindow final : public platform::CompanionDialog {
 public:
  // Creates the window hidden, sets up its list control and loads the saved
  // playlist of appDirectory; errors are shown owned by mainWindow.
  HWND Create(HINSTANCE instance, HWND mainWindow, const std::string& appDirectory);

  HWND list() const { return list_; }
  // The rows; null when the window could not be made.
  RowStore* rows() const { return rows_.get(); }
  // The right-click menu (first sub-menu of the "POPUP" resource).
  HMENU popup() const { return popupMenu_ ? GetSubMenu(popupMenu_.get(), 0) : nullptr; }
  // Saves the rows as the automatic playlist.
  void SaveDefaultPlaylist(HWND mainWindow, const std::string& appDirectory) const;
  // Moves the window so its top-left corner is the main window's bottom-left corner.
  void DockUnder(HWND mainWindow) const;

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void SetUpList(HINSTANCE instance);

  HWND list_ = nullptr;
  std::unique_ptr<RowStore> rows_;
  platform::MenuHandle popupMenu_;
};

}  // namespace kestrun::playlist
