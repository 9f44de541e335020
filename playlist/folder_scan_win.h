// Adding a folder's media files to the playlist, with or without its subfolders.
#pragma once

#include <functional>
#include <string>

#include "platform/shell_path_win.h"
#include "playlist/row_store.h"

namespace kestrun::playlist {

// Called after each entry of a scan so the windows can stay responsive; answering
// false ends the scan there.
using ScanPump = std::function<bool()>;

// Media files a scan left out: their paths were refused (too long for an ANSI path,
// or with characters the code page lacks, and no short form helped).
struct ScanRefusals {
  int count = 0;
  platform::PathRefusal first = platform::PathRefusal::None;  // the reason of the first
};

// Appends the media files of folder (not of its subfolders) in the order the
// system lists them. Folders are listed wide; a file whose path is refused is
// added by its short form or left out (and counted), never cut.
ScanRefusals addFolderFiles(const std::string& folder, RowStore& rows, const ScanPump& pump = {});

// Appends the media files of folder and, depth-first in listing order, of every
// folder below it. A folder reached again through a link (a loop back into the
// tree) is not entered a second time; refused paths are treated as above.
// When the first entry a folder lists is a media file (only drive roots, which list
// no "." entry, do that), its row's title is its size as "%d byte".
ScanRefusals addFolderTree(const std::string& folder, RowStore& rows, const ScanPump& pump = {});

}  // namespace kestrun::playlist
