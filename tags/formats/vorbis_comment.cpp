#include "tags/formats/vorbis_comment.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "platform/ansi_path.h"
#include "platform/byte_reader.h"

namespace kestrun::tags {

namespace {

// Enough of a field for its name and the part of its value a 127-byte text can
// show, even at three UTF-8 bytes a character.
constexpr std::size_t kFieldReadBytes = 4096;
// A comment list names each field with at least its 4-byte length; a count beyond
// what the bytes can hold is a lie and is cut down to that.
constexpr std::uint64_t kFieldLengthBytes = 4;
// Real files carry a few dozen fields; a block of millions of empty ones is not
// walked to its end.
constexpr std::uint64_t kMostFields = 4096;

enum Slot { kTitle, kArtist, kAlbum, kYear, kComment, kTrack, kGenre, kDescription, kSlots };

struct NameSlot {
  std::string_view name;
  Slot slot;
};
constexpr NameSlot kNames[] = {
    {"TITLE", kTitle},     {"ARTIST", kArtist},     {"ALBUM", kAlbum}, {"DATE", kYear},
    {"COMMENT", kComment}, {"TRACKNUMBER", kTrack}, {"GENRE", kGenre}, {"DESCRIPTION", kDescription},
};

std::uint32_t U32At(ByteSource& source, std::uint64_t offset, bool& ok) {
  std::array<std::uint8_t, 4> bytes{};
  if (!source.ReadAt(offset, bytes)) {
    ok = false;
    return 0;
  }
  platform::ByteReader reader(bytes);
  return reader.U32();
}

}  // namespace

bool ReadVorbisComment(ByteSource& source, TagFields& fields, AnsiFromUtf16 toAnsi) {
  bool ok = true;
  const std::uint64_t vendor = U32At(source, 0, ok);
  if (!ok || !source.Holds(4, vendor + kFieldLengthBytes)) return false;
  std::uint64_t at = 4 + vendor;
  const std::uint64_t declared = U32At(source, at, ok);
  at += kFieldLengthBytes;
  const std::uint64_t count = std::min({declared, (source.Size() - at) / kFieldLengthBytes, kMostFields});

  std::array<std::string, kSlots> found;
  std::array<bool, kSlots> seen{};
  std::vector<std::uint8_t> field;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t length = U32At(source, at, ok);
    at += kFieldLengthBytes;
    if (!ok || !source.Holds(at, length)) break;
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(length, kFieldReadBytes));
    if (!source.Read(at, take, field)) break;
    at += length;
    const auto equals = std::find(field.begin(), field.end(), '=');
    if (equals == field.end()) continue;
    const std::string_view name(reinterpret_cast<const char*>(field.data()),
                                static_cast<std::size_t>(equals - field.begin()));
    for (const NameSlot& entry : kNames) {
      if (seen[entry.slot] || !platform::EqualsIgnoreCase(name, entry.name)) continue;
      seen[entry.slot] = true;
      const std::size_t valueAt = name.size() + 1;
      found[entry.slot] = TagTextToAnsi(std::span(field).subspan(valueAt), toAnsi);
    }
  }
  fields.title = found[kTitle];
  fields.artist = found[kArtist];
  fields.album = found[kAlbum];
  fields.year = YearOfDate(found[kYear]);
  fields.comment = seen[kComment] ? found[kComment] : found[kDescription];
  fields.track = found[kTrack];
  fields.genre = found[kGenre];
  return true;
}

}  // namespace kestrun::tags
