#include "tags/id3/id3v2.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/byte_reader.h"
#include "platform/file_io.h"
#include "tags/id3/genre_names.h"
#include "tags/id3/read_only_guard.h"
#include "tags/id3/system_error.h"

namespace kestrun::tags {

namespace {

using platform::ByteReader;
using platform::File;
using platform::OpenMode;
using Bytes = std::span<const std::uint8_t>;

constexpr char kId3Marker[] = "ID3";
constexpr std::size_t kMarkerSize = 3;
// Prefix of the temporary and backup files made next to the edited file.
constexpr char kTempPrefix[] = "tms";
constexpr std::uint8_t kFlagUnsynchronised = 0x80;
constexpr std::uint8_t kFlagExtendedHeader = 0x40;
// ID3v2.2: the whole tag is compressed, with no defined scheme.
constexpr std::uint8_t kFlag22Compressed = 0x40;
// ID3v2.4: a copy of the header follows the tag.
constexpr std::uint8_t kFlag24Footer = 0x10;
constexpr std::size_t kFooterSize = 10;
constexpr std::size_t kV23FrameHeader = 10;
constexpr std::size_t kV22FrameHeader = 6;
// The largest size a 4-byte syncsafe number holds.
constexpr std::uint32_t kMaxSyncsafe = 0x0FFFFFFF;
// Tags up to this size are read without first checking the file's size.
constexpr std::uint32_t kUncheckedTagSize = 1 << 20;
// Chunk size for copying the audio behind a grown tag.
constexpr std::size_t kCopyChunk = 1 << 20;
constexpr std::uint8_t kCommLanguage[] = {'e', 'n', 'g'};

// ID3v2.3 frame format flags (the second flag byte): a replaced frame's new
// plain data is neither compressed, encrypted nor grouped.
constexpr std::uint16_t kFrame23Format = 0x00E0;
constexpr std::uint16_t kFrame23Compressed = 0x00C0;  // compressed or encrypted
constexpr std::uint16_t kFrame23Grouped = 0x0020;
// ID3v2.4 frame format flags (the second flag byte).
constexpr std::uint8_t kFrame24Grouped = 0x40;
constexpr std::uint8_t kFrame24Compressed = 0x08;
constexpr std::uint8_t kFrame24Encrypted = 0x04;
constexpr std::uint8_t kFrame24Unsynchronised = 0x02;
constexpr std::uint8_t kFrame24DataLength = 0x01;
constexpr std::uint16_t kFrame24Format =
    kFrame24Grouped | kFrame24Compressed | kFrame24Encrypted | kFrame24Unsynchronised | kFrame24DataLength;
constexpr std::uint8_t kEncodingLatin = 0;
constexpr std::uint8_t kEncodingUtf16 = 1;
constexpr std::uint8_t kEncodingUtf16BigEndian = 2;
constexpr std::uint8_t kEncodingUtf8 = 3;

// ID3v2.2 frame IDs with their ID3v2.3 counterparts: the whole published list,
// and the sort-name, compilation and grouping frames a widespread jukebox writes
// into ID3v2.2 tags. PIC and LNK change their layout too (see ConvertV22Frame);
// CRM (an encrypted meta frame) has no counterpart.
struct IdTranslation {
  char from[4];
  char to[5];
};
constexpr IdTranslation kV22Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"EQU", "EQUA"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"},
    {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"},
    {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"},
    {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"},
    {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"},
    {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"},
    {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"}, {"TCP", "TCMP"}, {"TST", "TSOT"}, {"TSP", "TSOP"}, {"TSA", "TSOA"},
    {"TS2", "TSO2"}, {"TSC", "TSOC"}, {"GP1", "GRP1"}, {"MVN", "MVNM"}, {"MVI", "MVIN"}, {"PCS", "PCST"},
};

const IdTranslation* FindV22Id(Bytes id) {
  for (const auto& t : kV22Ids) {
    if (std::memcmp(id.data(), t.from, 3) == 0) return &t;
  }
  return nullptr;
}

// A picture frame's 3-letter image format as the MIME type of ID3v2.3.
std::string MimeOfImageFormat(Bytes format) {
  std::string name;
  for (std::uint8_t c : format) {
    if (c == 0 || c == ' ') break;
    name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c));
  }
  if (name == "jpg") return "image/jpeg";
  if (name == "-->") return name;  // the picture is a link
  return "image/" + name;
}

// The ID3v2.3 data of an ID3v2.2 frame; false when it has no counterpart.
bool ConvertV22Frame(Bytes id, Bytes data, char (&newId)[5], std::vector<std::uint8_t>& out) {
  const IdTranslation* known = FindV22Id(id);
  if (known == nullptr) return false;
  std::memcpy(newId, known->to, 5);
  if (std::memcmp(id.data(), "PIC", 3) == 0) {
    // encoding, image format (3 bytes) -> encoding, MIME type, zero byte.
    ByteReader in(data);
    const std::uint8_t encoding = in.U8();
    const Bytes format = in.Take(3);
    if (!in.ok()) return false;
    const std::string mime = MimeOfImageFormat(format);
    out.push_back(encoding);
    out.insert(out.end(), mime.begin(), mime.end());
    out.push_back(0);
    const Bytes rest = in.TakeRest();
    out.insert(out.end(), rest.begin(), rest.end());
    return true;
  }
  if (std::memcmp(id.data(), "LNK", 3) == 0) {
    // The linked frame's ID is three characters in ID3v2.2, four in ID3v2.3.
    ByteReader in(data);
    const Bytes linked = in.Take(3);
    const IdTranslation* target = in.ok() ? FindV22Id(linked) : nullptr;
    if (target == nullptr) return false;
    out.assign(target->to, target->to + 4);
    const Bytes rest = in.TakeRest();
    out.insert(out.end(), rest.begin(), rest.end());
    return true;
  }
  out.assign(data.begin(), data.end());
  return true;
}

// Four bytes of seven bits each; a stray top bit is ignored, as other readers do.
std::uint32_t SyncsafeOf(Bytes p) {
  std::uint32_t value = 0;
  for (std::uint8_t b : p) value = (value << 7) | (b & 0x7Fu);
  return value;
}

void WriteSyncsafe(std::uint32_t value, std::uint8_t* p) {
  p[0] = static_cast<std::uint8_t>((value >> 21) & 0x7F);
  p[1] = static_cast<std::uint8_t>((value >> 14) & 0x7F);
  p[2] = static_cast<std::uint8_t>((value >> 7) & 0x7F);
  p[3] = static_cast<std::uint8_t>(value & 0x7F);
}

void AppendSyncsafe(std::uint32_t value, std::vector<std::uint8_t>& out) {
  std::uint8_t bytes[4];
  WriteSyncsafe(value, bytes);
  out.insert(out.end(), bytes, bytes + 4);
}

void WriteBigEndian32(std::uint32_t value, std::vector<std::uint8_t>& out) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool IsFrameIdChar(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// True when the body holds a frame ID at pos with room for a frame header.
bool FrameIdAt(Bytes body, std::size_t pos) {
  if (pos > body.size() || body.size() - pos < kV23FrameHeader) return false;
  return std::all_of(body.begin() + static_cast<std::ptrdiff_t>(pos),
                     body.begin() + static_cast<std::ptrdiff_t>(pos + 4), IsFrameIdChar);
}

// Where a frame may end: at the end of the body, at padding, or where the next
// frame starts.
bool IsFrameBoundary(Bytes body, std::size_t pos) {
  if (pos == body.size()) return true;
  if (pos > body.size()) return false;
  return body[pos] == 0 || FrameIdAt(body, pos);
}

// Where the string that starts at p ends: the length before its terminator (one
// zero byte, or a zero code unit for the UTF-16 encodings) and the length with
// it; without a terminator both are size.
struct EncodedEnd {
  std::size_t text;
  std::size_t withTerminator;
};
EncodedEnd FindTerminator(std::uint8_t encoding, const std::uint8_t* p, std::size_t size) {
  if (encoding == kEncodingUtf16 || encoding == kEncodingUtf16BigEndian) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
      if (p[i] == 0 && p[i + 1] == 0) return {i, i + 2};
    }
    return {size, size};
  }
  const auto* end = std::find(p, p + size, std::uint8_t{0});
  const auto text = static_cast<std::size_t>(end - p);
  return {text, text < size ? text + 1 : size};
}

// A text as the callers see it: up to its first zero byte.
std::string TextUpToNul(const std::uint8_t* p, std::size_t size) {
  const auto* end = std::find(p, p + size, std::uint8_t{0});
  return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
}

// True for a comment frame whose description is empty (a lone byte-order mark
// counts as empty): the one comment the editor shows.
bool HasEmptyDescription(const std::vector<std::uint8_t>& data) {
  constexpr std::size_t kDescriptionStart = 1 + sizeof kCommLanguage;
  if (data.size() <= kDescriptionStart) return false;
  const std::uint8_t encoding = data[0];
  const std::uint8_t* p = data.data() + kDescriptionStart;
  const std::size_t left = data.size() - kDescriptionStart;
  const EncodedEnd description = FindTerminator(encoding, p, left);
  if (description.withTerminator == description.text) return false;  // no terminator
  if (description.text == 0) return true;
  return encoding == kEncodingUtf16 && description.text == 2 &&
         ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF));
}

bool IsBeyondAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// UTF-16 with a byte-order mark (little-endian, as most taggers write it) or
// big-endian without one.
void AppendUtf16(std::u16string_view units, bool bigEndian, bool withMark, std::vector<std::uint8_t>& out) {
  if (withMark) {
    out.push_back(bigEndian ? 0xFE : 0xFF);
    out.push_back(bigEndian ? 0xFF : 0xFE);
  }
  for (char16_t unit : units) {
    const auto low = static_cast<std::uint8_t>(unit & 0xFF);
    const auto high = static_cast<std::uint8_t>(unit >> 8);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
  }
}

// A string in one of the four encodings, with its terminator when asked for.
void AppendEncoded(std::uint8_t encoding, std::u16string_view wide, std::string_view ansi, bool terminated,
                   std::vector<std::uint8_t>& out) {
  switch (encoding) {
    case kEncodingUtf16:
      AppendUtf16(wide, false, true, out);
      break;
    case kEncodingUtf16BigEndian:
      AppendUtf16(wide, true, false, out);
      break;
    case kEncodingUtf8: {
      const std::string utf8 = Utf8FromUtf16(wide);
      out.insert(out.end(), utf8.begin(), utf8.end());
      break;
    }
    default:
      out.insert(out.end(), ansi.begin(), ansi.end());
      break;
  }
  if (!terminated) return;
  out.push_back(0);
  if (encoding == kEncodingUtf16 || encoding == kEncodingUtf16BigEndian) out.push_back(0);
}

// A text of the tag as the callers get it: at most max bytes of whole characters.
std::string CutText(const std::string& text, std::size_t max) { return std::string(platform::CutAnsiText(text, max)); }

enum class HeaderProbe { Present, Absent, Unreadable };

// Looks at the first 5 bytes. A file that cannot be opened or read is not the
// same as a file without a tag: the writer must not put a second tag in front of
// a tag it merely failed to see.
HeaderProbe ProbeId3v2Header(const std::string& path) {
  File file;
  if (!file.Open(path, OpenMode::Read)) return HeaderProbe::Unreadable;
  std::uint8_t start[5];
  std::size_t have = 0;
  while (have < sizeof start) {
    std::size_t got = 0;
    if (!file.Read(start + have, sizeof start - have, got)) return HeaderProbe::Unreadable;
    if (got == 0) return HeaderProbe::Absent;  // shorter than a header
    have += got;
  }
  return std::memcmp(start, kId3Marker, kMarkerSize) == 0 ? HeaderProbe::Present : HeaderProbe::Absent;
}

bool ReadTagFile(const std::string& path, Id3v2Tag& tag, AnsiFromUtf16 toAnsi) {
  if (!HasId3v2Header(path)) return false;
  tag.SetUnicodeReading(toAnsi);
  // LoadTag takes an ID3v2.4 tag only with Unicode reading on.
  return tag.LoadTag(path) == 0 && tag.HasTag();
}

// Puts the finished temporary file in the place of the edited file, keeping the
// original under a backup name until the new file is in place. When the last
// move fails the backup goes back to the original name, so the user never ends
// up without the file.
int ReplaceWithTemp(const std::string& path, const std::string& directory, const std::string& temp) {
  std::string backup;
  ClearSystemError();
  if (!platform::MakeTempFile(directory, kTempPrefix, backup)) {
    const int error = LastSystemError();
    platform::DeleteFileAt(temp);
    return error;
  }
  // The backup name must be free for the move; if the delete fails the move
  // below fails too and nothing has changed.
  platform::DeleteFileAt(backup);
  ClearSystemError();
  if (!platform::MoveFileTo(path, backup)) {
    const int error = LastSystemError();
    platform::DeleteFileAt(temp);
    if (platform::FileExists(path)) platform::DeleteFileAt(backup);
    return error;
  }
  ClearSystemError();
  if (!platform::MoveFileTo(temp, path)) {
    const int error = LastSystemError();
    // Only when the original is back under its name is the new copy dropped;
    // otherwise both files stay, so nothing the user had is lost.
    if (platform::MoveFileTo(backup, path)) platform::DeleteFileAt(temp);
    return error;
  }
  // A backup that cannot be deleted leaves a stray file, but the edit itself is
  // complete, so it is not reported as a failure.
  platform::DeleteFileAt(backup);
  return 0;
}

}  // namespace

Id3v2Frame::Id3v2Frame(const char (&frameId)[5], std::vector<std::uint8_t> frameData, std::uint16_t frameFlags)
    : data(std::move(frameData)), flags(frameFlags) {
  std::memcpy(id.data(), frameId, 4);
}

Id3v2Tag::Id3v2Tag() { Reset(); }

void Id3v2Tag::Reset() {
  hasTag_ = false;
  inFile_ = false;
  header_.fill(0);
  std::memcpy(header_.data(), kId3Marker, kMarkerSize);
  header_[3] = 3;
  version_ = 0x0300;
  spaceInFile_ = 0;
  frames_.clear();
  unconvertible_.clear();
}

std::uint32_t Id3v2Tag::FrameKey(std::string_view id) {
  std::uint32_t key = 0;
  for (std::size_t i = 0; i < 4 && i < id.size(); ++i)
    key |= std::uint32_t{static_cast<std::uint8_t>(id[i])} << (8 * i);
  return key;
}

const Id3v2Frame* Id3v2Tag::FindFrame(std::string_view id) const {
  for (const Id3v2Frame& frame : frames_) {
    if (frame.Id() == id) return &frame;
  }
  return nullptr;
}

const Id3v2Frame& Id3v2Tag::FrameAt(std::string_view id) const {
  const Id3v2Frame* frame = FindFrame(id);
  if (frame == nullptr) throw std::out_of_range("no such frame");
  return *frame;
}

std::size_t Id3v2Tag::FrameCount(std::string_view id) const {
  return static_cast<std::size_t>(
      std::count_if(frames_.begin(), frames_.end(), [id](const Id3v2Frame& f) { return f.Id() == id; }));
}

std::size_t Id3v2Tag::FieldFrame(std::string_view id) const {
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    if (frames_[i].Id() != id) continue;
    if (id == "COMM" && !HasEmptyDescription(frames_[i].data)) continue;
    return i;
  }
  return frames_.size();
}

// ID3v2.2 (any revision) and ID3v2.3 revision 0 are read; ID3v2.4 with Unicode
// reading on.
bool Id3v2Tag::IsReadableVersion(std::uint8_t major, std::uint8_t revision) const {
  return major == 2 || (major == 3 && revision == 0) || (major == 4 && toAnsi_ != nullptr);
}

int Id3v2Tag::ParseTag(const std::uint8_t* bytes, std::size_t size) {
  Reset();
  ByteReader in(Bytes(bytes, size));
  const Bytes marker = in.Take(kMarkerSize);
  const std::uint8_t major = in.U8();
  const std::uint8_t revision = in.U8();
  const std::uint8_t flags = in.U8();
  const std::uint32_t tagSize = SyncsafeOf(in.Take(4));
  if (!in.ok() || std::memcmp(marker.data(), kId3Marker, kMarkerSize) != 0) return kId3v2NoTag;
  if (!IsReadableVersion(major, revision)) return kId3v2NoTag;
  const Bytes rawBody = in.Take(tagSize);
  if (!in.ok()) return kId3v2NoTag;
  std::memcpy(header_.data(), bytes, kId3v2HeaderSize);
  spaceInFile_ = tagSize;

  if (major == 4) {
    // Unsynchronisation and sizes work per frame; the extended header's size
    // counts its own four bytes. Some writers set the extended-header flag with
    // no extended header: the body then starts with a frame ID.
    std::size_t start = 0;
    if ((flags & kFlagExtendedHeader) && !FrameIdAt(rawBody, 0)) {
      ByteReader extended(rawBody);
      const std::uint32_t extendedSize = SyncsafeOf(extended.Take(4));
      if (!extended.ok() || extendedSize < 4 || extendedSize > tagSize) return kId3v2NoTag;
      start = extendedSize;
    }
    // The tag is written back without an extended header, and with padding in
    // place of a footer (the two exclude each other).
    if (flags & kFlag24Footer) spaceInFile_ = tagSize + static_cast<std::uint32_t>(kFooterSize);
    header_[5] &= static_cast<std::uint8_t>(~(kFlagExtendedHeader | kFlag24Footer));
    version_ = 0x0400;
    ParseFrames24(rawBody, start, (flags & kFlagUnsynchronised) != 0);
    hasTag_ = true;
    inFile_ = true;
    return 0;
  }
  const bool v22 = major == 2;
  Bytes body = rawBody;
  std::vector<std::uint8_t> resynchronised;
  if (flags & kFlagUnsynchronised) {
    resynchronised = Resynchronise(rawBody.data(), rawBody.size());
    body = resynchronised;
  }
  std::size_t start = 0;
  if (v22 && (flags & kFlag22Compressed)) {
    // No compression scheme was ever defined for ID3v2.2: nothing in the body
    // can be read or converted.
    unconvertible_ = "compressed tag";
    body = {};
  } else if (!v22 && (flags & kFlagExtendedHeader) && !FrameIdAt(body, 0)) {
    // An extended header that does not fit the body leaves nothing trustworthy
    // to read: the file reads as having no tag.
    ByteReader extended(body);
    const std::uint32_t extendedSize = SyncsafeOf(extended.Take(4));
    if (!extended.ok() || extendedSize > extended.remaining()) return kId3v2NoTag;
    start = std::size_t{extendedSize} + 4;
  }
  header_[5] &= static_cast<std::uint8_t>(~kFlagExtendedHeader);
  ParseFrames(body, start, v22);
  // An ID3v2.2 tag is written back as ID3v2.3.0.
  header_[3] = 3;
  header_[4] = 0;
  version_ = 0x0300;
  hasTag_ = true;
  inFile_ = true;
  return 0;
}

void Id3v2Tag::ParseFrames(Bytes body, std::size_t start, bool v22) {
  ByteReader in(body);
  if (!in.Seek(start)) return;
  while (!in.AtEnd()) {
    char id[5] = {};
    std::vector<std::uint8_t> data;
    std::uint16_t flags = 0;
    if (!v22) {
      if (in.remaining() < kV23FrameHeader) break;
      const Bytes rawId = in.Take(4);
      if (std::all_of(rawId.begin(), rawId.end(), [](std::uint8_t b) { return b == 0; })) break;  // padding
      const std::uint32_t dataSize = in.U32Be();
      flags = in.U16Be();
      const Bytes content = in.Take(dataSize);
      if (!in.ok()) break;
      std::memcpy(id, rawId.data(), 4);
      try {
        data.assign(content.begin(), content.end());
      } catch (const std::bad_alloc&) {
        break;
      }
    } else {
      if (in.remaining() < kV22FrameHeader) break;
      const Bytes rawId = in.Take(3);
      if (rawId[0] == 0) break;  // padding
      const std::uint32_t dataSize = in.U24Be();
      const Bytes content = in.Take(dataSize);
      if (!in.ok()) break;
      try {
        if (!ConvertV22Frame(rawId, content, id, data)) {
          // Read on, so the fields still show, but the tag is never written:
          // writing it would drop this frame.
          if (unconvertible_.empty()) unconvertible_.assign(reinterpret_cast<const char*>(rawId.data()), 3);
          continue;
        }
      } catch (const std::bad_alloc&) {
        break;
      }
    }
    try {
      frames_.emplace_back(id, std::move(data), flags);
    } catch (const std::bad_alloc&) {
      break;
    }
  }
}

void Id3v2Tag::ParseFrames24(Bytes body, std::size_t start, bool allUnsynchronised) {
  ByteReader in(body);
  if (!in.Seek(start)) return;
  while (in.remaining() >= kV23FrameHeader) {
    const Bytes rawId = in.Take(4);
    if (std::all_of(rawId.begin(), rawId.end(), [](std::uint8_t b) { return b == 0; })) break;  // padding
    const Bytes sizeBytes = in.Take(4);
    const std::uint16_t flags = in.U16Be();
    // Some writers put plain sizes where syncsafe ones belong. As established
    // readers do, the plain size is taken when the syncsafe one does not end on
    // a frame boundary but the plain one does (or the bytes are not syncsafe).
    std::uint32_t dataSize = SyncsafeOf(sizeBytes);
    const std::uint32_t plain = ByteReader(sizeBytes).U32Be();
    if (plain != dataSize) {
      const bool syncsafe = std::none_of(sizeBytes.begin(), sizeBytes.end(), [](std::uint8_t b) { return b & 0x80; });
      const std::size_t dataStart = in.position();
      const bool syncsafeFits = syncsafe && dataSize <= in.remaining() && IsFrameBoundary(body, dataStart + dataSize);
      const bool plainFits = plain <= in.remaining() && IsFrameBoundary(body, dataStart + plain);
      if (!syncsafeFits && plainFits) dataSize = plain;
    }
    const Bytes stored = in.Take(dataSize);
    if (!in.ok()) break;

    char id[5] = {};
    std::memcpy(id, rawId.data(), 4);
    try {
      Id3v2Frame frame(id, {}, flags);
      frame.stored.assign(stored.begin(), stored.end());
      frame.keepStored = true;
      const std::uint8_t format = flags & 0xFF;
      // A compressed or encrypted frame is kept as it is but cannot be read.
      if (!(format & (kFrame24Compressed | kFrame24Encrypted))) {
        ByteReader content(stored);
        if (format & kFrame24Grouped) content.Skip(1);
        if (format & kFrame24DataLength) content.Skip(4);
        if (content.ok()) {
          const Bytes rest = content.TakeRest();
          frame.data = (allUnsynchronised || (format & kFrame24Unsynchronised))
                           ? Resynchronise(rest.data(), rest.size())
                           : std::vector<std::uint8_t>(rest.begin(), rest.end());
        }
      }
      frames_.push_back(std::move(frame));
    } catch (const std::bad_alloc&) {
      break;
    }
  }
}

int Id3v2Tag::LoadTag(const std::string& path) {
  Reset();
  File file;
  ClearSystemError();
  if (!file.Open(path, OpenMode::Read)) return LastSystemError();
  return LoadTagFrom(file);
}

int Id3v2Tag::LoadTagFrom(File& file) {
  Reset();
  ClearSystemError();
  if (!file.Seek(0)) return LastSystemError();
  std::uint8_t header[kId3v2HeaderSize];
  if (!file.ReadExact(header, sizeof header)) return kId3v2NoTag;
  if (std::memcmp(header, kId3Marker, kMarkerSize) != 0 || !IsReadableVersion(header[3], header[4])) {
    return kId3v2NoTag;
  }
  const std::uint32_t tagSize = SyncsafeOf(Bytes(header + 6, 4));
  if (tagSize > kUncheckedTagSize) {
    // A size beyond the file is a corrupt header, not a reason to allocate. A
    // small tag is simply read: a short read tells the same, without asking
    // for the file's size (the title lookup of a folder costs its system calls).
    std::uint64_t fileSize = 0;
    ClearSystemError();
    if (!file.Size(fileSize)) return LastSystemError();
    if (fileSize < kId3v2HeaderSize || tagSize > fileSize - kId3v2HeaderSize) return kId3v2NoTag;
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(kId3v2HeaderSize + std::size_t{tagSize});
  } catch (const std::bad_alloc&) {
    return OutOfMemoryError();
  }
  std::memcpy(bytes.data(), header, sizeof header);
  if (tagSize != 0 && !file.ReadExact(bytes.data() + kId3v2HeaderSize, tagSize)) return kId3v2NoTag;
  return ParseTag(bytes.data(), bytes.size());
}

std::string Id3v2Tag::DecodeText(std::uint8_t encoding, const std::uint8_t* p, std::size_t size) const {
  const std::size_t length = FindTerminator(encoding, p, size).text;
  switch (encoding) {
    case kEncodingLatin:
      return std::string(reinterpret_cast<const char*>(p), length);
    case kEncodingUtf16:
      // Without a byte-order mark: little-endian, as the tools that leave it out
      // write it.
      return toAnsi_(DecodeUtf16(p, length, false));
    case kEncodingUtf16BigEndian:
      return toAnsi_(DecodeUtf16(p, length, true));
    case kEncodingUtf8:
      return toAnsi_(DecodeUtf8(p, length));
    default:
      return {};
  }
}

std::string Id3v2Tag::GetText(std::string_view id) const {
  if (id.size() != 4) return {};
  const std::size_t index = FieldFrame(id);
  if (index == frames_.size()) return {};
  const Id3v2Frame& frame = frames_[index];
  std::vector<std::uint8_t> ungrouped;
  const std::vector<std::uint8_t>* content = &frame.data;
  if (version_ != 0x0400) {
    // An ID3v2.3 frame keeps its data as stored: compressed or encrypted text
    // cannot be shown, and a group byte comes before the text.
    if (frame.flags & kFrame23Compressed) return {};
    if ((frame.flags & kFrame23Grouped) && !frame.data.empty()) {
      ungrouped.assign(frame.data.begin() + 1, frame.data.end());
      content = &ungrouped;
    }
  }
  const std::vector<std::uint8_t>& data = *content;
  if (data.empty()) return {};
  if (data[0] != kEncodingLatin) {
    // Unicode texts are read only when asked for; otherwise they read as "".
    if (toAnsi_ == nullptr || data[0] > kEncodingUtf8) return {};
    const std::uint8_t encoding = data[0];
    if (id[0] == 'T') return DecodeText(encoding, data.data() + 1, data.size() - 1);
    std::size_t descriptionStart = 0;
    if (id == "COMM") {
      descriptionStart = 1 + sizeof kCommLanguage;
    } else if (id[0] == 'W') {
      descriptionStart = 1;
    } else {
      return {};
    }
    if (data.size() < descriptionStart) return {};
    const std::size_t left = data.size() - descriptionStart;
    const EncodedEnd description = FindTerminator(encoding, data.data() + descriptionStart, left);
    if (description.withTerminator == description.text) return {};  // no terminator
    const std::uint8_t* text = data.data() + descriptionStart + description.withTerminator;
    const std::size_t textSize = left - description.withTerminator;
    // A URL is single-byte whatever encoding its description has.
    if (id[0] == 'W') return TextUpToNul(text, textSize);
    return DecodeText(encoding, text, textSize);
  }
  if (id[0] == 'T') return TextUpToNul(data.data() + 1, data.size() - 1);
  std::size_t descriptionStart = 0;
  if (id == "COMM") {
    descriptionStart = 1 + sizeof kCommLanguage;
  } else if (id[0] == 'W') {
    descriptionStart = 1;
  } else {
    return {};
  }
  if (data.size() < descriptionStart) return {};
  const auto* begin = data.data() + descriptionStart;
  const auto* end = data.data() + data.size();
  const auto* terminator = std::find(begin, end, std::uint8_t{0});
  if (terminator == end) return {};
  return TextUpToNul(terminator + 1, static_cast<std::size_t>(end - terminator - 1));
}

std::vector<std::uint8_t> Id3v2Tag::EncodeText24(std::string_view id, std::string_view text,
                                                 const Id3v2Frame* old) const {
  // The frame's own encoding stays; text beyond ASCII that a single-byte (or
  // new) frame cannot hold goes in as UTF-8.
  std::uint8_t encoding =
      old != nullptr && !old->data.empty() && old->data[0] <= kEncodingUtf8 ? old->data[0] : kEncodingLatin;
  if (encoding == kEncodingLatin && IsBeyondAscii(text)) encoding = kEncodingUtf8;
  std::u16string wide;
  if (encoding != kEncodingLatin) {
    if (toUtf16_ != nullptr) {
      wide = toUtf16_(text);
    } else {
      for (char c : text) wide.push_back(static_cast<unsigned char>(c));  // ASCII only gets here
    }
  }
  std::vector<std::uint8_t> data;
  data.reserve(1 + sizeof kCommLanguage + 2 + (wide.size() + 1) * 3 + text.size());
  data.push_back(encoding);
  if (id == "COMM") {
    data.insert(data.end(), std::begin(kCommLanguage), std::end(kCommLanguage));
    AppendEncoded(encoding, u"", "", true, data);  // the empty description
  }
  AppendEncoded(encoding, wide, text, false, data);
  return data;
}

void Id3v2Tag::SetText(std::string_view id, std::string_view text) {
  if (id.size() != 4) return;
  if (id[0] != 'T' && id != "COMM" && id[0] != 'W') return;
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  const std::size_t index = FieldFrame(id);
  Id3v2Frame* existing = index < frames_.size() ? &frames_[index] : nullptr;
  if (text.empty()) {
    if (existing != nullptr) frames_.erase(frames_.begin() + static_cast<std::ptrdiff_t>(index));
    return;
  }
  std::vector<std::uint8_t> data;
  const bool wasUnicode = existing != nullptr && !existing->data.empty() && existing->data[0] != kEncodingLatin;
  const std::u16string wide =
      toUtf16_ != nullptr && wasUnicode && IsBeyondAscii(text) && id[0] != 'W' ? toUtf16_(text) : std::u16string();
  if (version_ == 0x0400 && id[0] != 'W') {
    if (IsBeyondAscii(text) && toUtf16_ == nullptr) return;  // cannot be encoded faithfully
    data = EncodeText24(id, text, existing);
  } else if (!wide.empty()) {
    // ID3v2.3 knows UTF-16 with a byte-order mark.
    data.push_back(kEncodingUtf16);
    if (id == "COMM") {
      data.insert(data.end(), std::begin(kCommLanguage), std::end(kCommLanguage));
      AppendEncoded(kEncodingUtf16, u"", "", true, data);  // the empty description
    }
    AppendEncoded(kEncodingUtf16, wide, text, false, data);
  } else {
    data.push_back(kEncodingLatin);
    if (id == "COMM") {
      data.insert(data.end(), std::begin(kCommLanguage), std::end(kCommLanguage));
      data.push_back(0);
    } else if (id[0] == 'W') {
      data.push_back(0);
    }
    data.insert(data.end(), text.begin(), text.end());
  }
  if (existing != nullptr) {
    // The frame keeps its status flags; the format flags described the old
    // data (compressed, encrypted, grouped, unsynchronised, a length before
    // it) and would make other readers misread the new plain data.
    existing->data = std::move(data);
    existing->flags &= static_cast<std::uint16_t>(~(version_ == 0x0400 ? kFrame24Format : kFrame23Format));
    existing->stored.clear();
    existing->keepStored = false;
    return;
  }
  char frameId[5] = {};
  std::memcpy(frameId, id.data(), 4);
  frames_.emplace_back(frameId, std::move(data));
}

std::string Id3v2Tag::GetGenre() const {
  std::string genre = GetText("TCON");
  // Strip leading "(n)" references; "((" stands for a literal "(".
  while (!genre.empty()) {
    if (platform::IsLeadByte(static_cast<unsigned char>(genre[0])) || genre[0] != '(') break;
    if (genre.size() > 1 && genre[1] == '(') {
      genre.erase(0, 1);
      break;
    }
    const std::size_t close = genre.find(')');
    if (close == std::string::npos) break;
    genre.erase(0, close + 1);
  }
  return genre;
}

void Id3v2Tag::SetGenre(std::string_view name) {
  name = name.substr(0, std::min(name.size(), name.find('\0')));
  if (name.empty()) {
    SetText("TCON", name);
    return;
  }
  int slot = -1;
  for (int i = 0; i < kGenreSlots; ++i) {
    if (name == Id3v2GenreNames[i]) {
      slot = i;
      break;
    }
  }
  // Slot 255 is written without its number: 255 stands for "no numbered genre".
  if (slot < 0 || slot == 255) {
    SetText("TCON", name);
    return;
  }
  std::string text = "(";
  text += std::to_string(slot);
  text += ')';
  text.append(name.data(), name.size());
  SetText("TCON", text);
}

std::vector<std::uint8_t> Id3v2Tag::SerializeFrames() const {
  // Frames in write order; a stable sort keeps frames of one ID in their order.
  std::vector<const Id3v2Frame*> order;
  order.reserve(frames_.size());
  for (const Id3v2Frame& frame : frames_) order.push_back(&frame);
  std::stable_sort(order.begin(), order.end(),
                   [](const Id3v2Frame* a, const Id3v2Frame* b) { return FrameKey(a->Id()) < FrameKey(b->Id()); });
  const bool v24 = version_ == 0x0400;
  const bool allUnsynchronised = v24 && (header_[5] & kFlagUnsynchronised);
  std::vector<std::uint8_t> out;
  for (const Id3v2Frame* frame : order) {
    std::uint16_t flags = frame->flags;
    std::vector<std::uint8_t> replaced;
    const std::vector<std::uint8_t>* data = &frame->data;
    if (v24 && frame->keepStored) {
      data = &frame->stored;
    } else if (allUnsynchronised) {
      // A tag marked unsynchronised as a whole has every frame so.
      replaced = Unsynchronise(frame->data);
      data = &replaced;
      flags |= kFrame24Unsynchronised;
    }
    if (data->size() < 2) continue;
    out.insert(out.end(), frame->id.begin(), frame->id.end());
    if (v24) {
      AppendSyncsafe(static_cast<std::uint32_t>(data->size()), out);
    } else {
      WriteBigEndian32(static_cast<std::uint32_t>(data->size()), out);
    }
    out.push_back(static_cast<std::uint8_t>(flags >> 8));
    out.push_back(static_cast<std::uint8_t>(flags & 0xFF));
    out.insert(out.end(), data->begin(), data->end());
  }
  return out;
}

std::vector<std::uint8_t> Unsynchronise(const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> out;
  out.reserve(body.size() * 2);
  for (std::size_t i = 0; i < body.size(); ++i) {
    out.push_back(body[i]);
    if (body[i] == 0xFF && i + 1 < body.size() && (body[i + 1] == 0x00 || body[i + 1] >= 0xE0)) out.push_back(0);
  }
  return out;
}

std::vector<std::uint8_t> Resynchronise(const std::uint8_t* body, std::size_t size) {
  std::vector<std::uint8_t> out;
  out.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(body[i]);
    if (body[i] == 0xFF && i + 1 < size && body[i + 1] == 0x00) ++i;
  }
  return out;
}

std::vector<std::uint8_t> Id3v2Tag::BuildTag(const std::vector<std::uint8_t>& body, std::uint32_t tagSize) {
  WriteSyncsafe(tagSize, header_.data() + 6);
  std::vector<std::uint8_t> tag(kId3v2HeaderSize + std::size_t{tagSize}, 0);
  std::copy(header_.begin(), header_.end(), tag.begin());
  // std::copy, not memcpy: an empty body has no data pointer to copy from.
  std::copy(body.begin(), body.end(), tag.begin() + kId3v2HeaderSize);
  return tag;
}

int Id3v2Tag::WriteGrown(const std::string& path, const std::vector<std::uint8_t>& tag, std::uint64_t oldTagEnd) {
  File source;
  ClearSystemError();
  if (!source.Open(path, OpenMode::Read)) return LastSystemError();
  std::uint64_t size = 0;
  if (!source.Size(size)) return LastSystemError();
  const std::string directory = path.substr(0, platform::FileNameOffset(path));
  std::string temp;
  ClearSystemError();
  if (!platform::MakeTempFile(directory, kTempPrefix, temp)) return LastSystemError();

  // Streams the audio behind the new tag chunk by chunk, so a large file never
  // has to fit in memory.
  const int error = [&]() -> int {
    std::vector<std::uint8_t> chunk;
    try {
      chunk.resize(kCopyChunk);
    } catch (const std::bad_alloc&) {
      return OutOfMemoryError();
    }
    File target;
    ClearSystemError();
    if (!target.Open(temp, OpenMode::Create)) return LastSystemError();
    if (!target.Write(tag.data(), tag.size())) return LastSystemError();
    if (oldTagEnd < size) {
      if (!source.Seek(oldTagEnd)) return LastSystemError();
      std::uint64_t left = size - oldTagEnd;
      while (left > 0) {
        std::size_t got = 0;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        if (!source.Read(chunk.data(), want, got)) return LastSystemError();
        if (got == 0) {
          // The file shrank since its size was taken: a shorter copy would cut
          // off the end of the audio, so the write fails instead.
          ClearSystemError();
          return LastSystemError();
        }
        if (!target.Write(chunk.data(), got)) return LastSystemError();
        left -= got;
      }
    }
    return 0;
  }();
  source.Close();
  if (error != 0) {
    platform::DeleteFileAt(temp);
    return error;
  }
  return ReplaceWithTemp(path, directory, temp);
}

int Id3v2Tag::SaveTag(const std::string& path) {
  if (!hasTag_) return kId3v2NoTag;
  // Writing an ID3v2.2 tag with a frame left out would lose that frame.
  if (!unconvertible_.empty()) return kId3v2CannotConvert;
  // The kept header describes the tag in the file (or the one prepared for it);
  // spaceInFile_ says where the audio begins. The write below builds the new
  // header in header_, which stays only once the file holds it; after a failed
  // write the next save must still start the audio where the old tag ends.
  const std::array<std::uint8_t, kId3v2HeaderSize> keptHeader = header_;
  const std::uint32_t keptSpace = spaceInFile_;
  const int error = [&]() -> int {
    std::vector<std::uint8_t> body;
    try {
      const std::vector<std::uint8_t> frames = SerializeFrames();
      if (version_ == 0x0400) {
        // ID3v2.4 unsynchronises frame by frame; the frames did so already.
        body = frames;
      } else {
        body = Unsynchronise(frames);
        if (body.size() != frames.size()) header_[5] |= kFlagUnsynchronised;
      }
    } catch (const std::bad_alloc&) {
      return OutOfMemoryError();
    }
    const std::uint32_t oldSize = spaceInFile_;
    try {
      if (!inFile_) {
        // A prepared tag goes in front of the whole file; it keeps its size when
        // the frames fit, as if it had been created first and then rewritten.
        const std::uint32_t newSize =
            body.size() <= oldSize ? oldSize : static_cast<std::uint32_t>(body.size() + kId3v2GrowPadding);
        if (body.size() > kMaxSyncsafe - kId3v2GrowPadding) return OutOfMemoryError();
        const int grown = WriteGrown(path, BuildTag(body, newSize), 0);
        if (grown == 0) {
          inFile_ = true;
          spaceInFile_ = newSize;
        }
        return grown;
      }
      if (body.size() <= oldSize) {
        // Fits: the tag keeps its size and only its own bytes are rewritten, in
        // one write.
        const std::vector<std::uint8_t> tag = BuildTag(body, oldSize);
        File file;
        ClearSystemError();
        if (!file.Open(path, OpenMode::ReadWrite)) return LastSystemError();
        if (!file.Seek(0) || !file.Write(tag.data(), tag.size())) return LastSystemError();
        return 0;
      }
      if (body.size() > kMaxSyncsafe - kId3v2GrowPadding) return OutOfMemoryError();
      const auto newSize = static_cast<std::uint32_t>(body.size() + kId3v2GrowPadding);
      const std::vector<std::uint8_t> tag = BuildTag(body, newSize);
      const int grown = WriteGrown(path, tag, kId3v2HeaderSize + std::uint64_t{oldSize});
      if (grown == 0) spaceInFile_ = newSize;
      return grown;
    } catch (const std::bad_alloc&) {
      return OutOfMemoryError();
    }
  }();
  if (error != 0) {
    header_ = keptHeader;
    spaceInFile_ = keptSpace;
  }
  return error;
}

void Id3v2Tag::PrepareNewTag(const std::string& path) {
  Reset();
  const std::size_t nameStart = platform::FileNameOffset(path);
  const std::size_t extension = platform::ExtensionOffset(path);
  SetText("TIT2", std::string_view(path).substr(nameStart, extension - nameStart));
  const std::vector<std::uint8_t> frames = SerializeFrames();
  const std::vector<std::uint8_t> body = Unsynchronise(frames);
  if (body.size() != frames.size()) header_[5] |= kFlagUnsynchronised;
  spaceInFile_ = static_cast<std::uint32_t>(body.size()) + kId3v2GrowPadding;
  WriteSyncsafe(spaceInFile_, header_.data() + 6);
  hasTag_ = true;
}

int Id3v2Tag::CreateTag(const std::string& path) {
  if (hasTag_) return kId3v2NoTag;
  try {
    PrepareNewTag(path);
  } catch (const std::bad_alloc&) {
    Reset();
    return OutOfMemoryError();
  }
  const int error = SaveTag(path);
  if (error != 0) Reset();
  return error;
}

bool HasId3v2Header(const std::string& path) { return ProbeId3v2Header(path) == HeaderProbe::Present; }

bool HasId3v24Header(const std::string& path) {
  File file;
  std::uint8_t start[4];
  if (!file.Open(path, OpenMode::Read) || !file.ReadExact(start, sizeof start)) return false;
  return std::memcmp(start, kId3Marker, kMarkerSize) == 0 && start[3] == 4;
}

bool ReadId3v2Fields(const std::string& path, TagFields& fields, AnsiFromUtf16 toAnsi, std::size_t maxBytes) {
  Id3v2Tag tag;
  if (!ReadTagFile(path, tag, toAnsi)) return false;
  fields = TagFields{};
  fields.title = CutText(tag.GetTitle(), maxBytes);
  fields.artist = CutText(tag.GetArtist(), maxBytes);
  fields.album = CutText(tag.GetAlbum(), maxBytes);
  fields.comment = CutText(tag.GetComment(), maxBytes);
  fields.year = CutText(tag.GetYear(), maxBytes);
  fields.track = CutText(tag.GetTrack(), maxBytes);
  fields.genre = CutText(tag.GetGenre(), maxBytes);
  return true;
}

bool ReadId3v2TitleArtist(File& file, std::string& title, std::string& artist, AnsiFromUtf16 toAnsi) {
  Id3v2Tag tag;
  tag.SetUnicodeReading(toAnsi);
  if (tag.LoadTagFrom(file) != 0 || !tag.HasTag()) return false;
  title = CutText(tag.GetTitle(), kTagTextMax);
  artist = CutText(tag.GetArtist(), kTagTextMax);
  return true;
}

bool ReadId3v2TitleArtist(const std::string& path, std::string& title, std::string& artist, AnsiFromUtf16 toAnsi) {
  File file;
  return file.Open(path, OpenMode::Read) && ReadId3v2TitleArtist(file, title, artist, toAnsi);
}

namespace {

// The write behind both front ends. changed == nullptr: a field counts as
// changed when its text is not what the reader gives.
Id3v2WriteResult WriteFields(const std::string& path, const TagFields& fields, const TagFieldSet* changed,
                             AnsiFromUtf16 toAnsi, Utf16FromAnsi toUtf16) {
  // Refused before anything is touched: the file stays as it is.
  if (toAnsi == nullptr && HasId3v24Header(path)) return Id3v2WriteResult::Version24Refused;
  const HeaderProbe probe = ProbeId3v2Header(path);
  if (probe == HeaderProbe::Unreadable) return Id3v2WriteResult::Failed;
  Id3v2Tag tag;
  tag.SetUnicodeReading(toAnsi);
  tag.SetUnicodeWriting(toUtf16);
  TagFieldSet set = changed != nullptr ? *changed : TagFieldSet{};
  if (probe == HeaderProbe::Absent) {
    // The new tag and the fields are written together, in one rewrite of the
    // file; every field goes in, an empty title removing the file-name title.
    try {
      tag.PrepareNewTag(path);
    } catch (const std::bad_alloc&) {
      return Id3v2WriteResult::Failed;
    }
    set = TagFieldSet::All();
  } else if (tag.LoadTag(path) != 0 || !tag.HasTag()) {
    return Id3v2WriteResult::Failed;
  } else if (!tag.Unconvertible().empty()) {
    return Id3v2WriteResult::CannotConvert;
  } else if (changed == nullptr) {
    // A field that reads as the caller's text was not changed: its frame stays
    // as it is, even when it holds more than the field shows.
    const auto differs = [&tag](std::string_view id, const std::string& text) {
      return CutText(tag.GetText(id), kTagTextMax) != text;
    };
    set.title = differs("TIT2", fields.title);
    set.artist = differs("TPE1", fields.artist);
    set.album = differs("TALB", fields.album);
    set.comment = differs("COMM", fields.comment);
    set.year = differs(tag.YearId(), fields.year);
    set.track = differs("TRCK", fields.track);
    set.genre = CutText(tag.GetGenre(), kTagTextMax) != fields.genre;
  }
  if (tag.Version() == 0x0400 && toUtf16 == nullptr) {
    // ID3v2.4 text beyond ASCII needs the way back to Unicode; without it the
    // change could not be written, and the write must not claim it was.
    const std::pair<bool, const std::string*> texts[] = {{set.title, &fields.title},     {set.artist, &fields.artist},
                                                         {set.album, &fields.album},     {set.year, &fields.year},
                                                         {set.comment, &fields.comment}, {set.track, &fields.track},
                                                         {set.genre, &fields.genre}};
    for (const auto& [wanted, text] : texts) {
      if (wanted && IsBeyondAscii(*text)) return Id3v2WriteResult::Failed;
    }
  }
  ReadOnlyGuard readOnly(path);
  try {
    if (set.title) tag.SetText("TIT2", fields.title);
    if (set.artist) tag.SetText("TPE1", fields.artist);
    if (set.album) tag.SetText("TALB", fields.album);
    if (set.comment) tag.SetText("COMM", fields.comment);
    if (set.year) tag.SetYear(fields.year);
    if (set.track) tag.SetText("TRCK", fields.track);
    if (set.genre) tag.SetGenre(fields.genre);
  } catch (const std::bad_alloc&) {
    return Id3v2WriteResult::Failed;
  }
  return tag.SaveTag(path) == 0 ? Id3v2WriteResult::Written : Id3v2WriteResult::Failed;
}

}  // namespace

Id3v2WriteResult WriteId3v2Changes(const std::string& path, const TagFields& fields, const TagFieldSet& changed,
                                   AnsiFromUtf16 toAnsi, Utf16FromAnsi toUtf16) {
  return WriteFields(path, fields, &changed, toAnsi, toUtf16);
}

bool WriteId3v2Fields(const std::string& path, const TagFields& fields, AnsiFromUtf16 toAnsi, Utf16FromAnsi toUtf16) {
  return WriteFields(path, fields, nullptr, toAnsi, toUtf16) == Id3v2WriteResult::Written;
}

}  // namespace kestrun::tags
