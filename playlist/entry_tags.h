// Reading a row's title and artist from its file's tags.
#pragma once

#include <functional>
#include <string>

#include "playlist/row_store.h"
#include "tags/id3/unicode_text.h"

namespace kestrun::playlist {

// Fills title and artist (each at most 127 bytes, both empty to begin with) from
// the tags of the file at path; a file without readable tags leaves both empty.
using TitleLookup = std::function<void(const std::string& path, std::string& title, std::string& artist)>;

// The row's title becomes the tag title, or the file-name part of its path when the
// tags have none; the artist cell is written only when the tags name an artist, so
// a file without one keeps the row's previous artist.
void readEntryTags(RowStore& rows, int row, const TitleLookup& lookup);

// The readers there are, chosen by extension (case-insensitive): ".mp3" through
// ID3v2 and then ID3v1 (ID3v1 only when alwaysId3v1), ".wma", ".wmv" and ".asf"
// through the Windows Media attributes. Other files give no texts. unicodeTags
// (the "UnicodeTags" choice) also reads ID3v2.4 and Unicode texts, converted by
// it; nullptr reads as before.
void LookUpTitleArtist(const std::string& path, bool alwaysId3v1, std::string& title, std::string& artist,
                       tags::AnsiFromUtf16 unicodeTags = nullptr);

}  // namespace kestrun::playlist
