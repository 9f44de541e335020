#include "playlist/playlist_file_dialogs_win.h"

#include <commdlg.h>

#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "playlist/folder_scan_win.h"
#include "playlist/media_file_filter.h"
#include "playlist/media_files.h"
#include "playlist/playlist_entry.h"

namespace kestrun::playlist {
namespace {

// Filter texts: display text and pattern pairs, each ended by a zero byte, the
// list ended by a second one.
constexpr char kPlaylistFilter[] = "M3U Files (*.m3u)\0*.m3u\0";
constexpr char kOpenPlaylistTitle[] = "Open Media File...";
constexpr char kSavePlaylistTitle[] = "Save M3U...";
constexpr char kAddFilesTitle[] = "Open Media Files...";

std::string ShowPlaylistDialog(HWND owner, bool save) {
  const platform::ModalTurn turn;
  if (!turn) return std::string();
  char path[platform::kPathCapacity] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kPlaylistFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof(path);
  dialog.lpstrTitle = save ? kSavePlaylistTitle : kOpenPlaylistTitle;
  dialog.lpstrDefExt = save ? "m3u" : "*";
  // The save dialog does not ask for an existing file: a playlist is saved to a
  // new name as often as over an old one.
  dialog.Flags = OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  return chosen ? std::string(path) : std::string();
}

bool IsRootFolder(std::string_view folder) { return IsFolderRoot(folder); }

}  // namespace

std::string ShowOpenPlaylistDialog(HWND owner) { return ShowPlaylistDialog(owner, false); }
std::string ShowSavePlaylistDialog(HWND owner) { return ShowPlaylistDialog(owner, true); }

FileSelection ShowAddFilesDialog(HWND owner, std::size_t bufferSize) {
  FileSelection selection;
  const platform::ModalTurn turn;
  if (!turn) return selection;
  std::vector<char> buffer(bufferSize, '\0');
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = MediaFileFilter().c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = kAddFilesTitle;
  dialog.lpstrDefExt = "*";
  dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (!GetOpenFileNameA(&dialog)) {
    selection.tooMany = CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
    return selection;
  }
  selection.chosen = true;
  selection.paths = ParseFileSelection(buffer.data(), buffer.size(), &IsRootFolder);
  return selection;
}

}  // namespace kestrun::playlist
