// The playlist's file dialogs: open and save a playlist file, add media files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/shell_path_win.h"

namespace kestrun::playlist {

// The chosen playlist file, or an empty text on cancel.
std::string ShowOpenPlaylistDialog(HWND owner);
std::string ShowSavePlaylistDialog(HWND owner);

// What the add-files dialog returns.
struct FileSelection {
  bool chosen = false;   // OK was pressed and the names fit
  bool tooMany = false;  // the names did not fit the buffer; nothing was chosen
  std::vector<std::string> paths;
  // Why the first chosen file that was left out was (its path did not fit or did not
  // convert, nor its short form); None when every file is in paths.
  platform::PathRefusal refused = platform::PathRefusal::None;
};
// bufferSize: the bytes the dialog may write its selection into.
FileSelection ShowAddFilesDialog(HWND owner, std::size_t bufferSize);

// The buffer of the add-files dialog: room for a few thousand file names, so any
// selection a user makes by hand fits.
inline constexpr std::size_t kAddFilesBufferSize = 256 * 1024;

}  // namespace kestrun::playlist
