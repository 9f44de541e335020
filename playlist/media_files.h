// Which files the folder scans take, how their paths are formed, and the
// multi-selection the add-files dialog hands back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::playlist {

// The extensions a folder scan adds, in the order they are tested: the classic
// DirectShow types, then the FLAC, MP4/AAC and Ogg types that current Windows
// decodes through Media Foundation.
inline constexpr std::string_view kMediaExtensions[] = {
    ".mp3",  ".wav",  ".wma", ".mid", ".mpa", ".mp2", ".snd",  ".au",   ".aif", ".aiff",
    ".midi", ".rmi",  ".cda", ".avi", ".qt",  ".mov", ".mpg",  ".mpeg", ".m1v", ".wmv",
    ".asf",  ".flac", ".m4a", ".m4b", ".mp4", ".aac", ".opus", ".ogg",  ".oga"};

// True when the file name's extension (double-byte aware, case-insensitive) is one
// of kMediaExtensions.
bool IsMediaFileName(std::string_view name);

// True when the name's extension is ".m3u", case-insensitive.
bool IsM3uFileName(std::string_view name);

// The paths in the add-files dialog's buffer: either one full path, or a folder
// followed by file names, each ended by a zero byte, with a further zero byte at
// the end. Folder and name are joined by platform::JoinFolderName. Reads no further
// than size bytes; a list that runs off the end gives the names that ended inside.
std::vector<std::string> ParseFileSelection(const char* buffer, std::size_t size);

}  // namespace kestrun::playlist
