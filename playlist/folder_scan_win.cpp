#include "playlist/folder_scan_win.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/limits.h"
#include "platform/win32_handles.h"
#include "playlist/media_files.h"
#include "playlist/playlist_entry.h"

namespace kestrun::playlist {
namespace {

constexpr char kSizeTitleFormat[] = "%d byte";

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// A folder as the file system knows it, whatever path or link led to it.
struct FolderIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FolderIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
  }
};

bool IdentifyFolder(const std::string& folder, FolderIdentity& identity) {
  platform::FileHandle handle(CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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
  // The folders being listed, from the top one down to the current one.
  std::vector<FolderIdentity> open;

  bool Pump() {
    if (pump && !pump()) stopped = true;
    return !stopped;
  }

  void List(const std::string& folder) {
    const bool root = IsFolderRoot(folder);
    const std::string pattern = folder + (root ? "*" : "\\*");
    if (pattern.size() >= platform::kPathCapacity) return;
    WIN32_FIND_DATAA found{};
    platform::FindHandle find(FindFirstFileA(pattern.c_str(), &found));
    if (!find) return;
    bool first = true;
    do {
      const bool isFirst = first;
      first = false;
      if (IsDotEntry(found.cFileName)) continue;
      const std::string path = JoinFolderPath(folder, found.cFileName, root);
      if (path.size() >= platform::kPathCapacity) continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (recurse) Enter(path);
      } else if (IsMediaFileName(found.cFileName)) {
        const int row = appendRow(rows, path);
        if (recurse && isFirst) {
          char size[32];
          std::snprintf(size, sizeof(size), kSizeTitleFormat, static_cast<int>(found.nFileSizeLow));
          rows.SetCell(row, Column::Title, size);
        }
      }
      if (!Pump()) return;
    } while (FindNextFileA(find.get(), &found));
  }

  void Enter(const std::string& folder) {
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

bool IsFolderRoot(std::string_view folder) {
  const std::string copy(folder);
  return PathIsRootA(copy.c_str()) != FALSE;
}

void addFolderFiles(const std::string& folder, RowStore& rows, const ScanPump& pump) {
  Scan scan{rows, pump, false, false, {}};
  scan.List(folder);
}

void addFolderTree(const std::string& folder, RowStore& rows, const ScanPump& pump) {
  Scan scan{rows, pump, true, false, {}};
  scan.Enter(folder);
}

}  // namespace kestrun::playlist
