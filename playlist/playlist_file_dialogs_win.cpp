#include "playlist/playlist_file_dialogs_win.h"

#include <commdlg.h>
#include <shlwapi.h>

#include <cwchar>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/shell_path_win.h"

#include "platform/ansi_path.h"
#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "platform/shared_texts.h"
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
  // Asked for wide, as every path from the shell is: never a cut path or one with "?"
  // for a character the code page lacks.
  std::vector<wchar_t> path(platform::kDialogPathCapacity, L'\0');
  const std::wstring filter = platform::WideFromAnsi(std::string_view(kPlaylistFilter, sizeof(kPlaylistFilter)));
  const std::wstring title = platform::WideFromAnsi(save ? kSavePlaylistTitle : kOpenPlaylistTitle);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = save ? L"m3u" : L"*";
  // The save dialog does not ask for an existing file: a playlist is saved to a
  // new name as often as over an old one.
  dialog.Flags = OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) {
    // Not a cancel: the pick did not fit even this buffer. Said, not dropped silently.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
      MessageBoxA(owner, platform::kPathTooLong, platform::kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    return std::string();
  }
  return platform::ChosenAnsiPath(owner, std::wstring_view(path.data(), wcsnlen(path.data(), path.size())),
                                  platform::kErrorCaption);
}

}  // namespace

std::string ShowOpenPlaylistDialog(HWND owner) { return ShowPlaylistDialog(owner, false); }
std::string ShowSavePlaylistDialog(HWND owner) { return ShowPlaylistDialog(owner, true); }

FileSelection ShowAddFilesDialog(HWND owner, std::size_t bufferSize) {
  FileSelection selection;
  const platform::ModalTurn turn;
  if (!turn) return selection;
  // Asked for wide: the ANSI dialog cuts nothing but turns characters the code page
  // lacks into "?", which names another file or none.
  std::vector<wchar_t> buffer(bufferSize / sizeof(wchar_t), L'\0');
  const std::wstring filter = platform::WideFromAnsi(MediaFileFilter());
  const std::wstring title = platform::WideFromAnsi(kAddFilesTitle);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"*";
  dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) {
    selection.tooMany = CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
    return selection;
  }
  selection.chosen = true;
  // One full path, or the folder followed by the names chosen in it; zero-separated,
  // ended by an empty string.
  std::vector<std::wstring> parts;
  for (std::size_t offset = 0; offset < buffer.size() && buffer[offset] != L'\0';) {
    const std::wstring part(buffer.data() + offset, wcsnlen(buffer.data() + offset, buffer.size() - offset));
    offset += part.size() + 1;
    parts.push_back(part);
  }
  std::vector<std::wstring> chosen;
  if (parts.size() == 1) {
    chosen = parts;
  } else if (parts.size() > 1) {
    for (std::size_t i = 1; i < parts.size(); ++i) chosen.push_back(platform::JoinFolderName(parts[0], parts[i]));
  }
  for (const std::wstring& path : chosen) {
    platform::ShellPath ansi = platform::AnsiPathFromWide(path);
    if (ansi.refused()) {
      if (selection.refused == platform::PathRefusal::None) selection.refused = ansi.refusal;
    } else {
      selection.paths.push_back(std::move(ansi.path));
    }
  }
  return selection;
}

}  // namespace kestrun::playlist
