// Small tagged files for the title lookup and rename tests.
#pragma once

#include <string>

#include "tags/id3/id3v1.h"
#include "tags/id3/tag_fields.h"
#include "tags/id3/tests/tag_builder.h"

namespace kestrun::tags::testing {

// The 128-byte ID3v1 record for the fields, with an optional raw track byte.
inline std::string Id3v1Bytes(const TagFields& fields, int trackByte = -1) {
  unsigned char record[kId3v1Size];
  EncodeId3v1Record(fields, record);
  if (trackByte >= 0) record[kId3v1TrackOffset] = static_cast<unsigned char>(trackByte);
  return std::string(reinterpret_cast<const char*>(record), kId3v1Size);
}

inline TagFields TitleArtist(const std::string& title, const std::string& artist, const std::string& album = "") {
  TagFields fields;
  fields.title = title;
  fields.artist = artist;
  fields.album = album;
  return fields;
}

// An ID3v2.3 tag holding TIT2 and TPE1 (a frame is left out when its text is empty).
inline std::string Id3v2TitleArtist(const std::string& title, const std::string& artist) {
  std::string frames;
  if (!title.empty()) frames += Frame23("TIT2", Text(title));
  if (!artist.empty()) frames += Frame23("TPE1", Text(artist));
  if (frames.empty()) frames = Frame23("TALB", Text("only an album"));
  return Tag(frames, 16);
}

}  // namespace kestrun::tags::testing
