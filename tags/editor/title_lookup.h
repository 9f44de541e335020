// The title lookup: the title and artist of a file from its tags, as the playlist's
// rows and the main window's title show them.
#pragma once

#include <string>

#include "tags/id3/unicode_text.h"

namespace kestrun::tags {

// By the path's extension (TagFormatOf): .mp3 from the ID3v2 tag (unless alwaysId3v1)
// and otherwise, or without a readable ID3v2 tag, from the ID3v1 record; .mid from
// its meta events; .wma, .wmv, .asf from "Title" and "Author"; FLAC, MP4 and Ogg
// files from their own metadata (ReadContainerTags). Any other file, or
// a file without the tag, gives empty texts and false. A readable ID3v2 tag
// counts even when its title and artist are empty.
// alwaysId3v1 is the user's "AlwaysID3v1" choice, which the caller holds.
// unicodeTags is the user's "UnicodeTags" choice: with a converter the ID3v2
// reading takes ID3v2.4 tags and UTF-16/UTF-8 texts, converted by it; nullptr
// reads as before.
bool ReadTitleArtist(const std::string& path, std::string& title, std::string& artist, bool alwaysId3v1,
                     AnsiFromUtf16 unicodeTags = nullptr);

// Title and artist from the last 128 bytes of the file, read on their own without
// touching the shared ID3v1 record; each is cut to 30 bytes and its blank padding
// removed. False (both empty) without a "TAG" record.
bool ReadId3v1TitleArtist(const std::string& path, std::string& title, std::string& artist);

}  // namespace kestrun::tags
