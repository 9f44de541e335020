#include "playlist/folder_scan_win.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/ansi_path.h"
#include "platform/limits.h"
#include "platform/shell_path_win.h"
#include "platform/win32_handles_win.h"
#include "playlist/media_files.h"
#include "playlist/playlist_entry.h"

namespace kestrun::playlist {
namespace {

constexpr char kSizeTitleFormat[] = "%d byte";

bool IsDotEntry(const wchar_t* name) { return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0; }

// Whether a listed name is a media file, judged by its extension alone (extensions
// are ASCII), so that a name the code page cannot hold is still recognised.
bool IsMediaName(const wchar_t* name) {
  const wchar_t* dot = std::wcsrchr(name, L'.');
  if (dot == nullptr) return false;
  std::string extension = "x";
  for (const wchar_t* c = dot; *c != L'\0'; ++c) {
    if (*c > 0x7F) return false;
    extension += static_cast<char>(*c);
  }
  return IsMediaFileName(extension);
}

// A folder as the file system knows it, whatever path or link led to it.
struct FolderIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FolderIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
  }
};

bool IdentifyFolder(const std::wstring& folder, FolderIdentity& identity) {
  platform::FileHandle handle(CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle.get(), &info)) return false;
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

struct Scan {
  RowStore& rows;
  const ScanPump& pump;
  bool recurse;
  bool stopped = false;
  // The first reason a media file was left out, and how many were.
  ScanRefusals refusals;
  // The folders being listed, from the top one down to the current one.
  std::vector<FolderIdentity> open;

  bool Pump() {
    if (pump && !pump()) stopped = true;
    return !stopped;
  }

  // Listed wide: a name the code page cannot hold, or a path longer than an ANSI
  // path, comes back whole, and is then added by its short form or left out.
  void List(const std::wstring& folder) {
    // A drive root ends in its backslash; a share's top folder does not.
    const std::wstring pattern = platform::JoinFolderName(folder, L"*");
    WIN32_FIND_DATAW found{};
    platform::FindHandle find(FindFirstFileW(pattern.c_str(), &found));
    if (!find) return;
    bool first = true;
    do {
      const bool isFirst = first;
      first = false;
      if (IsDotEntry(found.cFileName)) continue;
      const std::wstring path = platform::JoinFolderName(folder, found.cFileName);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (recurse) Enter(path);
      } else if (IsMediaName(found.cFileName)) {
        const platform::ShellPath ansi = platform::AnsiPathFromWide(path);
        if (ansi.refused()) {
          if (refusals.count++ == 0) refusals.first = ansi.refusal;
        } else {
          const int row = appendRow(rows, ansi.path);
          if (recurse && isFirst) {
            char size[32];
            std::snprintf(size, sizeof(size), kSizeTitleFormat, static_cast<int>(found.nFileSizeLow));
            rows.SetCell(row, Column::Title, size);
          }
        }
      }
      if (!Pump()) return;
    } while (FindNextFileW(find.get(), &found));
  }

  void Enter(const std::wstring& folder) {
    FolderIdentity identity;
    const bool known = IdentifyFolder(folder, identity);
    if (known) {
      for (const FolderIdentity& above : open) {
        if (above == identity) return;  // a link back into the tree
      }
      open.push_back(identity);
    }
    List(folder);
    if (known) open.pop_back();
  }
};

}  // namespace

ScanRefusals addFolderFiles(const std::string& folder, RowStore& rows, const ScanPump& pump) {
  Scan scan{rows, pump, false, false, {}, {}};
  scan.List(platform::WideFromAnsi(folder));
  return scan.refusals;
}

ScanRefusals addFolderTree(const std::string& folder, RowStore& rows, const ScanPump& pump) {
  Scan scan{rows, pump, true, false, {}, {}};
  scan.Enter(platform::WideFromAnsi(folder));
  return scan.refusals;
}

}  // namespace kestrun::playlist
