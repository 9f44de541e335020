// Playlist files: extended M3U (the format of "default.m3u") and plain M3U.
//
// Extended:  "#EXTM3U" CR LF, then per row "#EXTINF:" seconds "," name CR LF and
//            the path, rows separated by CR LF with none after the last path.
// Plain:     the first row's path as a lead line, then every row's path, the
//            first one again included; again no CR LF after the last path.
// Readers skip the lead line of a plain file, so both formats round-trip.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "playlist/playlist_entry.h"
#include "playlist/playlist_file_errors.h"
#include "playlist/row_store.h"

namespace kestrun::playlist {

// Field limits of the readers (bytes, without terminator).
inline constexpr std::size_t kMaxSecondsField = 7;
inline constexpr std::size_t kMaxInfoName = 511;

enum class SaveResult {
  Saved,      // the file now holds the list
  EmptyList,  // nothing to write; the file was not touched
  NotOpened,  // the file could not be opened for writing (read-only, no access); not reported
  Failed,     // building or writing failed; reported, and the old file is as it was
};

// Write the whole list. The new text goes to a temporary file in the same folder
// that then replaces the old file, so a failure never leaves a half-written
// playlist behind.
SaveResult saveExtendedM3u(const RowStore& rows, const std::string& path, PlaylistFileErrors& errors);
SaveResult savePlainM3u(const RowStore& rows, const std::string& path, PlaylistFileErrors& errors);
// The playlist the player keeps for itself ("default.m3u"): extended, and an empty
// list is written too (as "#EXTM3U" alone), so an emptied playlist stays empty.
SaveResult saveAutomaticPlaylist(const RowStore& rows, const std::string& path, PlaylistFileErrors& errors);

// Appends the rows of a playlist file in file order: extended when the file starts
// with "#EXTM3U", else plain. False (and a read error shown) when the file cannot
// be read; a missing file is not created.
bool loadPlaylistFile(RowStore& rows, const std::string& path, PlaylistFileErrors& errors);

// The byte layouts, for the functions above and for tests.
std::string BuildExtendedM3u(const RowStore& rows);
std::string BuildPlainM3u(const RowStore& rows);
// The seconds field written for a length cell ("03:25" -> "205", "" -> "000").
std::string LengthToSeconds(std::string_view length);

struct ParsedPlaylist {
  bool extended = false;
  // Extended rows carry title, artist and length; plain rows only a path.
  std::vector<PlaylistEntry> entries;
};
ParsedPlaylist ParsePlaylistText(std::string_view text);

}  // namespace kestrun::playlist
