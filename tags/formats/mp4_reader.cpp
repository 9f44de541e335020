#include "tags/formats/mp4_reader.h"

#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/byte_reader.h"
#include "tags/id3/genre_names.h"

namespace kestrun::tags {

namespace {

// Containers of real files hold a few dozen children; more are not walked.
constexpr int kMostChildren = 1024;
// An item of the list is read up to this size; a longer one (cover art, lyrics)
// is passed over, and its text would be cut to a tag field's 127 bytes anyway.
constexpr std::uint64_t kMostItemBytes = 64 * 1024;
// Full-box headers (version, flags) are 4 bytes; mvhd/mdhd bodies in version 1
// are 32 bytes up to the end of the duration, in version 0 20.
constexpr std::size_t kTimesV1 = 32;
constexpr std::size_t kTimesV0 = 20;
constexpr std::uint32_t kDataTypeUtf8 = 1;
constexpr std::uint32_t kDataTypeUtf16 = 2;

using Type = std::array<char, 4>;
constexpr Type kFtyp = {'f', 't', 'y', 'p'};
constexpr Type kMoov = {'m', 'o', 'o', 'v'};
constexpr Type kMvhd = {'m', 'v', 'h', 'd'};
constexpr Type kMvex = {'m', 'v', 'e', 'x'};
constexpr Type kTrak = {'t', 'r', 'a', 'k'};
constexpr Type kMdia = {'m', 'd', 'i', 'a'};
constexpr Type kMdhd = {'m', 'd', 'h', 'd'};
constexpr Type kHdlr = {'h', 'd', 'l', 'r'};
constexpr Type kUdta = {'u', 'd', 't', 'a'};
constexpr Type kMeta = {'m', 'e', 't', 'a'};
constexpr Type kIlst = {'i', 'l', 's', 't'};
constexpr Type kData = {'d', 'a', 't', 'a'};
constexpr Type kTrkn = {'t', 'r', 'k', 'n'};
constexpr Type kGnre = {'g', 'n', 'r', 'e'};
constexpr char kCopyright = '\xA9';  // the first byte of "©nam" and its kind

struct Atom {
  Type type{};
  std::uint64_t body = 0;    // offset of the body
  std::uint64_t length = 0;  // of the body
};

// Walks the atoms in [start, end). Stops at an atom whose size runs past end or is
// smaller than its header; `cut` then says so.
class AtomWalk {
 public:
  AtomWalk(ByteSource& source, std::uint64_t start, std::uint64_t end) : source_(source), at_(start), end_(end) {}

  std::optional<Atom> Next() {
    if (at_ == end_ || ++count_ > kMostChildren) return std::nullopt;
    std::array<std::uint8_t, 16> header{};
    if (end_ - at_ < 8 || !source_.ReadAt(at_, std::span(header).first(8))) return Stop();
    platform::ByteReader reader(header);
    std::uint64_t size = reader.U32Be();
    Atom atom;
    std::memcpy(atom.type.data(), header.data() + 4, 4);
    std::uint64_t headerBytes = 8;
    if (size == 1) {
      // A 64-bit size follows the type.
      if (end_ - at_ < 16 || !source_.ReadAt(at_ + 8, std::span(header).subspan(8, 8))) return Stop();
      reader.Seek(8);
      size = reader.U64Be();
      headerBytes = 16;
    } else if (size == 0) {
      size = end_ - at_;  // up to the end of its container
    }
    if (size < headerBytes || size > end_ - at_) return Stop();
    atom.body = at_ + headerBytes;
    atom.length = size - headerBytes;
    at_ += size;
    return atom;
  }
  bool cut() const { return cut_; }

 private:
  std::optional<Atom> Stop() {
    cut_ = true;
    return std::nullopt;
  }
  ByteSource& source_;
  std::uint64_t at_;
  std::uint64_t end_;
  int count_ = 0;
  bool cut_ = false;
};

std::optional<Atom> FindChild(ByteSource& source, const Atom& parent, const Type& type, std::uint64_t skip = 0) {
  if (parent.length < skip) return std::nullopt;
  AtomWalk walk(source, parent.body + skip, parent.body + parent.length);
  while (const auto child = walk.Next()) {
    if (child->type == type) return child;
  }
  return std::nullopt;
}

struct Timing {
  std::uint64_t timescale = 0;
  std::uint64_t duration = 0;
};

// The time scale and duration of an mvhd or mdhd atom, version 0 or 1. A
// duration of all ones means "not known".
std::optional<Timing> ReadTiming(ByteSource& source, const Atom& atom) {
  std::vector<std::uint8_t> body;
  if (!source.Read(atom.body, static_cast<std::size_t>(std::min<std::uint64_t>(atom.length, kTimesV1)), body)) {
    return std::nullopt;
  }
  platform::ByteReader reader(body);
  const std::uint8_t version = reader.U8();
  reader.Skip(3);
  Timing timing;
  if (version == 1) {
    reader.Skip(16);
    timing.timescale = reader.U32Be();
    timing.duration = reader.U64Be();
    if (timing.duration == ~std::uint64_t{0}) return std::nullopt;
  } else if (version == 0 && body.size() >= kTimesV0) {
    reader.Skip(8);
    timing.timescale = reader.U32Be();
    timing.duration = reader.U32Be();
    if (timing.duration == 0xFFFFFFFFu) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (!reader.ok() || timing.timescale == 0 || timing.duration == 0) return std::nullopt;
  return timing;
}

// The media header of the first sound track ("soun" handler).
std::optional<Timing> SoundTrackTiming(ByteSource& source, const Atom& moov) {
  AtomWalk walk(source, moov.body, moov.body + moov.length);
  while (const auto trak = walk.Next()) {
    if (trak->type != kTrak) continue;
    const auto mdia = FindChild(source, *trak, kMdia);
    if (!mdia) continue;
    const auto hdlr = FindChild(source, *mdia, kHdlr);
    std::vector<std::uint8_t> handler;
    // Version and flags, a predefined word, then the handler type.
    if (!hdlr ||
        !source.Read(hdlr->body, static_cast<std::size_t>(std::min<std::uint64_t>(hdlr->length, 12)), handler) ||
        handler.size() < 12 || std::memcmp(handler.data() + 8, "soun", 4) != 0) {
      continue;
    }
    if (const auto mdhd = FindChild(source, *mdia, kMdhd)) return ReadTiming(source, *mdhd);
  }
  return std::nullopt;
}

std::optional<std::int64_t> MovieDuration(ByteSource& source, const Atom& moov) {
  if (FindChild(source, moov, kMvex)) return std::nullopt;
  std::optional<Timing> timing;
  if (const auto mvhd = FindChild(source, moov, kMvhd)) timing = ReadTiming(source, *mvhd);
  if (!timing) timing = SoundTrackTiming(source, moov);
  if (!timing) return std::nullopt;
  return SamplesToUnits(timing->duration, timing->timescale);
}

// The value of an item's first "data" atom: its type code and bytes.
struct ItemData {
  std::uint32_t type = 0;
  std::span<const std::uint8_t> value;
};

std::optional<ItemData> FirstData(std::span<const std::uint8_t> item) {
  platform::ByteReader reader(item);
  while (reader.remaining() >= 8) {
    const std::uint32_t size = reader.U32Be();
    const auto type = reader.Take(4);
    if (size < 8 || size - 8 > reader.remaining()) return std::nullopt;
    const auto body = reader.Take(size - 8);
    if (std::memcmp(type.data(), kData.data(), 4) != 0) continue;
    platform::ByteReader data(body);
    ItemData result;
    result.type = data.U32Be() & 0x00FFFFFF;  // the top byte is a version
    data.Skip(4);                             // locale
    if (!data.ok()) return std::nullopt;
    result.value = data.TakeRest();
    return result;
  }
  return std::nullopt;
}

std::string ItemText(const ItemData& data, AnsiFromUtf16 toAnsi) {
  if (data.type == kDataTypeUtf8) return TagTextToAnsi(data.value, toAnsi);
  if (data.type == kDataTypeUtf16) return TagTextToAnsi(data.value, toAnsi, true);
  return {};
}

// Big-endian 16-bit number at offset of a binary value.
std::optional<std::uint16_t> U16At(std::span<const std::uint8_t> value, std::size_t offset) {
  platform::ByteReader reader(value);
  reader.Skip(offset);
  const std::uint16_t n = reader.U16Be();
  if (!reader.ok()) return std::nullopt;
  return n;
}

void ReadItems(ByteSource& source, const Atom& ilst, TagFields& fields, AnsiFromUtf16 toAnsi) {
  AtomWalk walk(source, ilst.body, ilst.body + ilst.length);
  std::string genreNumber;
  std::vector<std::uint8_t> item;
  while (const auto atom = walk.Next()) {
    const Type& t = atom->type;
    const bool text = t[0] == kCopyright;
    if ((!text && t != kTrkn && t != kGnre) || atom->length > kMostItemBytes) continue;
    if (!source.Read(atom->body, static_cast<std::size_t>(atom->length), item)) continue;
    const auto data = FirstData(item);
    if (!data) continue;
    const std::string_view name(t.data() + 1, 3);
    std::string* target = nullptr;
    if (text) {
      if (name == "nam") target = &fields.title;
      if (name == "ART") target = &fields.artist;
      if (name == "alb") target = &fields.album;
      if (name == "day") target = &fields.year;
      if (name == "cmt") target = &fields.comment;
      if (name == "gen") target = &fields.genre;
      if (target != nullptr && target->empty()) *target = ItemText(*data, toAnsi);
    } else if (t == kTrkn) {
      // Two reserved bytes, then the track number and the count of tracks.
      const auto track = U16At(data->value, 2);
      if (track && *track != 0 && fields.track.empty()) fields.track = std::to_string(*track);
    } else if (const auto genre = U16At(data->value, 0); genre && *genre >= 1 && *genre <= kGenreSlots) {
      // "gnre" holds an ID3v1 genre number plus one.
      genreNumber = GenreNames[*genre - 1];
    }
  }
  fields.year = YearOfDate(fields.year);
  if (fields.genre.empty()) fields.genre = genreNumber;
}

// The item list under moov/udta/meta or moov/meta. The ISO "meta" atom is a full
// box (4 bytes of version and flags before its children); QuickTime's is not, and
// says so by a child header where the version would be.
std::optional<Atom> FindItemList(ByteSource& source, const Atom& moov) {
  std::optional<Atom> meta;
  if (const auto udta = FindChild(source, moov, kUdta)) meta = FindChild(source, *udta, kMeta);
  if (!meta) meta = FindChild(source, moov, kMeta);
  if (!meta) return std::nullopt;
  std::array<std::uint8_t, 8> first{};
  std::uint64_t skip = 4;
  if (meta->length >= 8 && source.ReadAt(meta->body, first) && std::memcmp(first.data() + 4, "hdlr", 4) == 0) skip = 0;
  return FindChild(source, *meta, kIlst, skip);
}

}  // namespace

bool LooksLikeMp4(ByteSource& source) {
  std::array<std::uint8_t, 8> header{};
  return source.ReadAt(0, header) && std::memcmp(header.data() + 4, kFtyp.data(), 4) == 0;
}

std::optional<ContainerInfo> ReadMp4(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi) {
  if (!LooksLikeMp4(source)) return std::nullopt;
  AtomWalk top(source, 0, source.Size());
  std::optional<Atom> moov;
  while (const auto atom = top.Next()) {
    if (atom->type == kMoov && !moov) moov = atom;
  }
  if (!moov) return std::nullopt;
  ContainerInfo result;
  if (Wants(parts, ContainerParts::Length) && !top.cut()) result.duration = MovieDuration(source, *moov);
  if (Wants(parts, ContainerParts::Tags)) {
    if (const auto ilst = FindItemList(source, *moov)) {
      ReadItems(source, *ilst, result.fields, toAnsi);
      result.hasTags = true;
    }
  }
  return result;
}

}  // namespace kestrun::tags
