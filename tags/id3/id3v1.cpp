#include "tags/id3/id3v1.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <cstring>
#include <string_view>

#include "platform/ansi_text.h"
#include "platform/byte_reader.h"
#include "platform/file_io.h"
#include "tags/id3/genre_names.h"
#include "tags/id3/read_only_guard.h"

namespace kestrun::tags {

namespace {

using platform::File;
using platform::OpenMode;

constexpr char kId3v1Marker[] = "TAG";
constexpr std::size_t kMarkerSize = 3;
// Shown for a genre byte whose slot has no name.
constexpr char kFallbackGenreName[] = "Blues";

// The leading decimal number of a text, as atoi reads it (leading blanks, an
// optional sign); saturates instead of overflowing.
long LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 100000) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

bool StartsWithIgnoreCase(const char* name, const std::string& prefix) {
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char a = name[i];
    if (a == '\0') return false;
    const char b = prefix[i];
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a) != lower(b)) return false;
  }
  return true;
}

// A text field (at most 30 bytes) for display: up to its first zero byte, blanks
// trimmed when the field ends in one.
std::string DecodeField(std::span<const std::uint8_t> field) {
  char text[kId3v1TextWidth + 2] = {};
  std::size_t i = 0;
  for (; i < field.size() && i < kId3v1TextWidth && field[i] != 0; ++i) text[i] = static_cast<char>(field[i]);
  TrimTrailingBlanks(text, static_cast<int>(std::min(field.size(), kId3v1TextWidth)) - 1);
  // Another program may have cut a character in half at the end of the field; its
  // lead byte alone would swallow whatever the text is joined with.
  return std::string(platform::DropLoneLeadByte(text));
}

}  // namespace

unsigned char Id3v1Record[kId3v1Size];

bool ReadId3v1Tag(const std::string& path) {
  std::memset(Id3v1Record, 0, sizeof Id3v1Record);
  File file;
  if (!file.Open(path, OpenMode::Read)) return false;
  std::uint64_t size = 0;
  if (!file.Size(size) || size < kId3v1Size || !file.Seek(size - kId3v1Size)) return false;
  unsigned char record[kId3v1Size];
  if (!file.ReadExact(record, sizeof record)) return false;
  std::memcpy(Id3v1Record, record, sizeof record);
  return std::memcmp(Id3v1Record, kId3v1Marker, kMarkerSize) == 0;
}

bool WriteId3v1Tag(const std::string& path) {
  // Puts a removed read-only attribute back however the write ends.
  ReadOnlyGuard readOnly(path);
  File file;
  if (!file.Open(path, OpenMode::ReadWrite)) return false;
  std::uint64_t size = 0;
  if (!file.Size(size) || size < kId3v1Size || !file.Seek(size - kId3v1Size)) return false;
  unsigned char marker[kMarkerSize];
  if (!file.ReadExact(marker, sizeof marker)) return false;
  const bool hasRecord = std::memcmp(marker, kId3v1Marker, kMarkerSize) == 0;
  if (!file.Seek(hasRecord ? size - kId3v1Size : size)) return false;
  return file.Write(Id3v1Record, kId3v1Size);
}

void TrimTrailingBlanks(char* text, int lastIndex) {
  if (lastIndex < 0) return;
  if (text[lastIndex] != ' ') {
    text[lastIndex + 1] = '\0';
    return;
  }
  for (int i = lastIndex; i >= 0 && text[i] == ' '; --i) text[i] = '\0';
}

void CopyUpToNul(unsigned char* field, const char* text, std::size_t width) {
  // A field that ended in the lead byte of a character cut in half would be shown
  // with a broken last character, and rename by tag would build a name whose
  // lead byte takes the dot of the extension appended to it for its trail byte.
  const std::string_view cut = platform::DropLoneLeadByte(platform::CutAnsiText(text, width));
  std::memcpy(field, cut.data(), cut.size());
}

std::string DecodeId3v1Text(const unsigned char* field, std::size_t width) {
  return DecodeField(std::span<const std::uint8_t>(field, std::min(width, kId3v1TextWidth)));
}

TagFields DecodeId3v1Record(const unsigned char* record) {
  // The fields lie one after the other behind the marker.
  platform::ByteReader in(std::span<const std::uint8_t>(record, kId3v1Size));
  in.Skip(kMarkerSize);
  TagFields fields;
  fields.title = DecodeField(in.Take(kId3v1TextWidth));
  fields.artist = DecodeField(in.Take(kId3v1TextWidth));
  fields.album = DecodeField(in.Take(kId3v1TextWidth));
  fields.year = DecodeField(in.Take(kId3v1YearWidth));
  fields.comment = DecodeField(in.Take(kId3v1CommentWidth));
  const std::uint8_t track = in.U8();
  if (track != kId3v1NoTrack) fields.track = std::to_string(track);
  const char* genre = GenreNames[in.U8()];
  fields.genre = genre[0] != '\0' ? genre : kFallbackGenreName;
  return fields;
}

std::string Id3v1GenreNumberText(const unsigned char* record) { return std::to_string(record[kId3v1GenreOffset]); }

void EncodeId3v1Record(const TagFields& fields, unsigned char* record) {
  std::memset(record, ' ', kId3v1Size);
  std::memcpy(record, kId3v1Marker, kMarkerSize);
  CopyUpToNul(record + kId3v1TitleOffset, fields.title.c_str(), kId3v1TextWidth);
  CopyUpToNul(record + kId3v1ArtistOffset, fields.artist.c_str(), kId3v1TextWidth);
  CopyUpToNul(record + kId3v1AlbumOffset, fields.album.c_str(), kId3v1TextWidth);
  CopyUpToNul(record + kId3v1YearOffset, fields.year.c_str(), kId3v1YearWidth);
  CopyUpToNul(record + kId3v1CommentOffset, fields.comment.c_str(), kId3v1CommentWidth);
  const long track = LeadingNumber(fields.track);
  record[kId3v1TrackOffset] = (track >= 1 && track <= 255) ? static_cast<unsigned char>(track) : kId3v1NoTrack;
  record[kId3v1GenreOffset] = static_cast<unsigned char>(Id3v1GenreSlot(fields.genre));
}

int Id3v1GenreSlot(const std::string& name) {
  for (int slot = 0; slot < kGenreSlots; ++slot) {
    if (GenreNames[slot][0] != '\0' && StartsWithIgnoreCase(GenreNames[slot], name)) return slot;
  }
  return 0;
}

}  // namespace kestrun::tags
