// Which tags a file carries, told by its extension alone (any case), the way the
// title lookup, the tag editor and rename by tag all choose their reader.
#pragma once

#include <string_view>

namespace kestrun::tags {

enum class TagFormat {
  None,          // no tags the player reads
  Id3,           // ".mp3": an ID3v2 tag at the start, an ID3v1 record at the end
  Midi,          // ".mid": title and artist from the meta events (read only)
  WindowsMedia,  // ".wma", ".wmv", ".asf": the Windows Media attributes
  Container,     // FLAC, MP4 and Ogg files: their own metadata (read only)
};

// The format of the file at path by the extension of its file-name part (double-
// byte aware: a trail byte is never taken for the dot).
TagFormat TagFormatOf(std::string_view path);

}  // namespace kestrun::tags
