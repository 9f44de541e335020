// Adding a folder's media files to the playlist, with or without its subfolders.
#pragma once

#include <functional>
#include <string>

#include "playlist/row_store.h"

namespace kestrun::playlist {

// Called after each entry of a scan so the windows can stay responsive; answering
// false ends the scan there.
using ScanPump = std::function<bool()>;

// Appends the media files of folder (not of its subfolders) in the order the
// system lists them.
void addFolderFiles(const std::string& folder, RowStore& rows, const ScanPump& pump = {});

// Appends the media files of folder and, depth-first in listing order, of every
// folder below it. A folder reached again through a link (a loop back into the
// tree) is not entered a second time, and paths longer than 259 bytes are skipped.
// When the first entry a folder lists is a media file (only drive roots, which list
// no "." entry, do that), its row's title is its size as "%d byte".
void addFolderTree(const std::string& folder, RowStore& rows, const ScanPump& pump = {});

// True for a drive root such as "C:\" (the shell's notion of a root).
bool IsFolderRoot(std::string_view folder);

}  // namespace kestrun::playlist
