#include "tags/id3/id3v2.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/file_io.h"
#include "tags/id3/genre_names.h"
#include "tags/id3/read_only_guard.h"
#include "tags/id3/system_error.h"

namespace kestrun::tags {

namespace {

using platform::File;
using platform::OpenMode;

constexpr char kId3Marker[] = "ID3";
constexpr std::size_t kMarkerSize = 3;
// Prefix of the temporary and backup files made next to the edited file.
constexpr char kTempPrefix[] = "tms";
constexpr std::uint8_t kFlagUnsynchronised = 0x80;
constexpr std::uint8_t kFlagExtendedHeader = 0x40;
constexpr std::size_t kV23FrameHeader = 10;
constexpr std::size_t kV22FrameHeader = 6;
// The largest size a 4-byte syncsafe number holds.
constexpr std::uint32_t kMaxSyncsafe = 0x0FFFFFFF;
// Chunk size for copying the audio behind a grown tag.
constexpr std::size_t kCopyChunk = 1 << 20;
constexpr std::uint8_t kCommLanguage[] = {'e', 'n', 'g'};

// ID3v2.2 frame IDs the reader understands, with their ID3v2.3 names. A v2.2 tag
// is read only up to the first frame outside this table.
struct IdTranslation {
  char from[4];
  char to[5];
};
constexpr IdTranslation kV22Ids[] = {
    {"TT2", "TIT2"}, {"TRK", "TRCK"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TYE", "TYER"},
    {"TCO", "TCON"}, {"COM", "COMM"}, {"TCM", "TCOM"}, {"TOA", "TOPE"}, {"TCR", "TCOP"},
    {"WXX", "WXXX"}, {"TSS", "TSSE"}, {"TEN", "TENC"},
};

std::uint32_t ReadSyncsafe(const std::uint8_t* p) {
  return (std::uint32_t{p[0] & 0x7Fu} << 21) | (std::uint32_t{p[1] & 0x7Fu} << 14) |
         (std::uint32_t{p[2] & 0x7Fu} << 7) | std::uint32_t{p[3] & 0x7Fu};
}

void WriteSyncsafe(std::uint32_t value, std::uint8_t* p) {
  p[0] = static_cast<std::uint8_t>((value >> 21) & 0x7F);
  p[1] = static_cast<std::uint8_t>((value >> 14) & 0x7F);
  p[2] = static_cast<std::uint8_t>((value >> 7) & 0x7F);
  p[3] = static_cast<std::uint8_t>(value & 0x7F);
}

std::uint32_t ReadBigEndian(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

void WriteBigEndian32(std::uint32_t value, std::vector<std::uint8_t>& out) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// ID3v2.4 frame format flags (the second flag byte).
constexpr std::uint8_t kFrame24Grouped = 0x40;
constexpr std::uint8_t kFrame24Compressed = 0x08;
constexpr std::uint8_t kFrame24Encrypted = 0x04;
constexpr std::uint8_t kFrame24Unsynchronised = 0x02;
constexpr std::uint8_t kFrame24DataLength = 0x01;
constexpr std::uint8_t kEncodingLatin = 0;
constexpr std::uint8_t kEncodingUtf16 = 1;
constexpr std::uint8_t kEncodingUtf16BigEndian = 2;
constexpr std::uint8_t kEncodingUtf8 = 3;

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

// A text of the tag as the callers get it: at most max bytes of whole characters.
std::string CutText(const std::string& text, std::size_t max) {
  return std::string(platform::CutAnsiText(text, max));
}

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
  frames_.clear();
}

std::uint32_t Id3v2Tag::FrameKey(std::string_view id) {
  std::uint32_t key = 0;
  for (std::size_t i = 0; i < 4 && i < id.size(); ++i) key |= std::uint32_t{static_cast<std::uint8_t>(id[i])} << (8 * i);
  return key;
}

// ID3v2.2 (any revision) and ID3v2.3 revision 0 are read; ID3v2.4 with Unicode
// reading on.
bool Id3v2Tag::IsReadableVersion(std::uint8_t major, std::uint8_t revision) const {
  return major == 2 || (major == 3 && revision == 0) || (major == 4 && toAnsi_ != nullptr);
}

int Id3v2Tag::ParseTag(const std::uint8_t* bytes, std::size_t size) {
  Reset();
  if (size < kId3v2HeaderSize || std::memcmp(bytes, kId3Marker, kMarkerSize) != 0) return kId3v2NoTag;
  if (!IsReadableVersion(bytes[3], bytes[4])) return kId3v2NoTag;
  const std::uint32_t tagSize = ReadSyncsafe(bytes + 6);
  if (tagSize > size - kId3v2HeaderSize) return kId3v2NoTag;

  std::memcpy(header_.data(), bytes, kId3v2HeaderSize);
  if (bytes[3] == 4) {
    // Unsynchronisation and sizes work per frame; the extended header's size
    // counts its own four bytes.
    std::size_t start = 0;
    if (header_[5] & kFlagExtendedHeader) {
      if (tagSize < 4) return kId3v2NoTag;
      const std::uint32_t extended = ReadSyncsafe(bytes + kId3v2HeaderSize);
      if (extended < 4 || extended > tagSize) return kId3v2NoTag;
      start = extended;
    }
    version_ = 0x0400;
    ParseFrames24(bytes + kId3v2HeaderSize, tagSize, start, (header_[5] & kFlagUnsynchronised) != 0);
    hasTag_ = true;
    inFile_ = true;
    return 0;
  }
  const bool v22 = bytes[3] == 2;
  const std::uint8_t* body = bytes + kId3v2HeaderSize;
  std::size_t bodySize = tagSize;
  std::vector<std::uint8_t> resynchronised;
  if (header_[5] & kFlagUnsynchronised) {
    resynchronised = Resynchronise(body, bodySize);
    body = resynchronised.data();
    bodySize = resynchronised.size();
  }
  std::size_t start = 0;
  if (header_[5] & kFlagExtendedHeader) {
    // An extended header that does not fit the body leaves nothing trustworthy
    // to read: the file reads as having no tag.
    if (bodySize < 4) return kId3v2NoTag;
    const std::uint32_t extended = ReadSyncsafe(body);
    if (extended > bodySize - 4) return kId3v2NoTag;
    start = std::size_t{extended} + 4;
    header_[5] &= static_cast<std::uint8_t>(~kFlagExtendedHeader);
  }
  version_ = v22 ? static_cast<std::uint16_t>(0x0200 | header_[4]) : 0x0300;
  ParseFrames(body, bodySize, start);
  // An ID3v2.2 tag is written back as ID3v2.3.0.
  header_[3] = 3;
  header_[4] = 0;
  version_ = 0x0300;
  hasTag_ = true;
  inFile_ = true;
  return 0;
}

void Id3v2Tag::ParseFrames(const std::uint8_t* body, std::size_t size, std::size_t start) {
  std::size_t pos = start;
  const bool v22 = version_ < 0x0300;
  while (pos < size) {
    const std::size_t remaining = size - pos;
    const std::uint8_t* p = body + pos;
    char id[5] = {};
    std::uint32_t dataSize = 0;
    std::uint16_t flags = 0;
    std::size_t headerSize = 0;
    if (!v22) {
      headerSize = kV23FrameHeader;
      if (remaining < headerSize) break;
      if (p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0) break;  // padding
      std::memcpy(id, p, 4);
      dataSize = ReadBigEndian(p + 4, 4);
      flags = static_cast<std::uint16_t>(ReadBigEndian(p + 8, 2));
    } else {
      headerSize = kV22FrameHeader;
      if (remaining < headerSize) break;
      dataSize = ReadBigEndian(p + 3, 3);
      const IdTranslation* known = nullptr;
      for (const auto& t : kV22Ids) {
        if (std::memcmp(p, t.from, 3) == 0) known = &t;
      }
      if (known == nullptr) break;
      std::memcpy(id, known->to, 4);
    }
    if (dataSize > remaining - headerSize) break;
    const std::uint8_t* data = p + headerSize;
    const std::uint32_t key = FrameKey(std::string_view(id, 4));
    if (frames_.find(key) == frames_.end()) {
      try {
        frames_.emplace(key, Id3v2Frame(id, std::vector<std::uint8_t>(data, data + dataSize), flags));
      } catch (const std::bad_alloc&) {
        break;
      }
    }
    pos += headerSize + dataSize;
  }
}

void Id3v2Tag::ParseFrames24(const std::uint8_t* body, std::size_t size, std::size_t start, bool allUnsynchronised) {
  std::size_t pos = start;
  while (pos < size) {
    const std::size_t remaining = size - pos;
    const std::uint8_t* p = body + pos;
    if (remaining < kV23FrameHeader) break;
    if (p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0) break;  // padding
    char id[5] = {};
    std::memcpy(id, p, 4);
    const std::uint32_t dataSize = ReadSyncsafe(p + 4);
    const auto flags = static_cast<std::uint16_t>(ReadBigEndian(p + 8, 2));
    if (dataSize > remaining - kV23FrameHeader) break;
    pos += kV23FrameHeader + dataSize;

    const std::uint8_t format = p[9];
    if (format & (kFrame24Compressed | kFrame24Encrypted)) continue;
    const std::uint8_t* data = p + kV23FrameHeader;
    std::size_t left = dataSize;
    if (format & kFrame24Grouped) {
      if (left < 1) continue;
      ++data;
      --left;
    }
    if (format & kFrame24DataLength) {
      if (left < 4) continue;
      data += 4;
      left -= 4;
    }
    const std::uint32_t key = FrameKey(std::string_view(id, 4));
    if (frames_.find(key) != frames_.end()) continue;
    try {
      std::vector<std::uint8_t> kept = (allUnsynchronised || (format & kFrame24Unsynchronised))
                                           ? Resynchronise(data, left)
                                           : std::vector<std::uint8_t>(data, data + left);
      frames_.emplace(key, Id3v2Frame(id, std::move(kept), flags));
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
  const std::uint32_t tagSize = ReadSyncsafe(header + 6);
  std::uint64_t fileSize = 0;
  ClearSystemError();
  if (!file.Size(fileSize)) return LastSystemError();
  // A size beyond the file is a corrupt header, not a reason to allocate.
  if (fileSize < kId3v2HeaderSize || tagSize > fileSize - kId3v2HeaderSize) return kId3v2NoTag;
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
  const auto it = frames_.find(FrameKey(id));
  if (it == frames_.end()) return {};
  const std::vector<std::uint8_t>& data = it->second.data;
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

void Id3v2Tag::SetText(std::string_view id, std::string_view text) {
  if (id.size() != 4) return;
  const std::uint32_t key = FrameKey(id);
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  if (text.empty()) {
    frames_.erase(key);
    return;
  }
  std::vector<std::uint8_t> data;
  const auto existing = frames_.find(key);
  const bool wasUnicode = existing != frames_.end() && !existing->second.data.empty() &&
                          existing->second.data[0] != kEncodingLatin;
  const bool beyondAscii =
      std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (toUtf16_ != nullptr && wasUnicode && beyondAscii && (id[0] == 'T' || id == "COMM")) {
    const std::u16string wide = toUtf16_(text);
    if (!wide.empty()) {
      // ID3v2.3 knows UTF-16 with a byte-order mark: little-endian, as most taggers write it.
      const auto appendUtf16 = [&data](std::u16string_view units) {
        data.push_back(0xFF);
        data.push_back(0xFE);
        for (char16_t unit : units) {
          data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
          data.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
      };
      data.push_back(kEncodingUtf16);
      if (id == "COMM") {
        data.insert(data.end(), std::begin(kCommLanguage), std::end(kCommLanguage));
        appendUtf16(u"");  // the empty description, terminated
        data.push_back(0);
        data.push_back(0);
      }
      appendUtf16(wide);
      existing->second.data = std::move(data);  // the frame keeps its flags
      return;
    }
  }
  if (id[0] == 'T') {
    data.push_back(0);
  } else if (id == "COMM") {
    data.push_back(0);
    data.insert(data.end(), std::begin(kCommLanguage), std::end(kCommLanguage));
    data.push_back(0);
  } else if (id[0] == 'W') {
    data.push_back(0);
    data.push_back(0);
  } else {
    return;
  }
  data.insert(data.end(), text.begin(), text.end());
  const auto it = frames_.find(key);
  if (it != frames_.end()) {
    it->second.data = std::move(data);  // the frame keeps its flags
    return;
  }
  char frameId[5] = {};
  std::memcpy(frameId, id.data(), 4);
  frames_.emplace(key, Id3v2Frame(frameId, std::move(data)));
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
  std::vector<std::uint8_t> out;
  for (const auto& [key, frame] : frames_) {
    if (frame.DataSize() < 2) continue;
    out.insert(out.end(), frame.id.begin(), frame.id.end());
    WriteBigEndian32(frame.DataSize(), out);
    out.push_back(static_cast<std::uint8_t>(frame.flags >> 8));
    out.push_back(static_cast<std::uint8_t>(frame.flags & 0xFF));
    out.insert(out.end(), frame.data.begin(), frame.data.end());
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
  std::memcpy(tag.data(), header_.data(), kId3v2HeaderSize);
  std::memcpy(tag.data() + kId3v2HeaderSize, body.data(), body.size());
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
  // An ID3v2.4 tag is read only: its frames were kept decoded, not as written.
  if (!hasTag_ || version_ == 0x0400) return kId3v2NoTag;
  // The kept header describes the tag in the file (or the one prepared for it):
  // its size says where the audio begins. The write below builds the new header
  // in header_, which stays only once the file holds it; after a failed write
  // the next save must still start the audio where the old tag ends.
  const std::array<std::uint8_t, kId3v2HeaderSize> keptHeader = header_;
  const int error = [&]() -> int {
    std::vector<std::uint8_t> body;
    try {
      const std::vector<std::uint8_t> frames = SerializeFrames();
      body = Unsynchronise(frames);
      if (body.size() != frames.size()) header_[5] |= kFlagUnsynchronised;
    } catch (const std::bad_alloc&) {
      return OutOfMemoryError();
    }
    const std::uint32_t oldSize = ReadSyncsafe(keptHeader.data() + 6);
    try {
      if (!inFile_) {
        // A prepared tag goes in front of the whole file; it keeps its size when
        // the frames fit, as if it had been created first and then rewritten.
        const std::uint32_t newSize =
            body.size() <= oldSize ? oldSize : static_cast<std::uint32_t>(body.size() + kId3v2GrowPadding);
        if (body.size() > kMaxSyncsafe - kId3v2GrowPadding) return OutOfMemoryError();
        const int grown = WriteGrown(path, BuildTag(body, newSize), 0);
        if (grown == 0) inFile_ = true;
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
      return WriteGrown(path, tag, kId3v2HeaderSize + std::uint64_t{oldSize});
    } catch (const std::bad_alloc&) {
      return OutOfMemoryError();
    }
  }();
  if (error != 0) header_ = keptHeader;
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
  WriteSyncsafe(static_cast<std::uint32_t>(body.size()) + kId3v2GrowPadding, header_.data() + 6);
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

bool ReadId3v2Fields(const std::string& path, TagFields& fields, AnsiFromUtf16 toAnsi) {
  Id3v2Tag tag;
  if (!ReadTagFile(path, tag, toAnsi)) return false;
  fields = TagFields{};
  fields.title = CutText(tag.GetTitle(), kTagTextMax);
  fields.artist = CutText(tag.GetArtist(), kTagTextMax);
  fields.album = CutText(tag.GetAlbum(), kTagTextMax);
  fields.comment = CutText(tag.GetComment(), kTagTextMax);
  fields.year = CutText(tag.GetYear(), kTagTextMax);
  fields.track = CutText(tag.GetTrack(), kTagTextMax);
  fields.genre = CutText(tag.GetGenre(), kTagTextMax);
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

bool WriteId3v2Fields(const std::string& path, const TagFields& fields, AnsiFromUtf16 toAnsi, Utf16FromAnsi toUtf16) {
  // Refused before the read-only attribute is touched: the file stays as it is.
  if (HasId3v24Header(path)) return false;
  ReadOnlyGuard readOnly(path);
  const HeaderProbe probe = ProbeId3v2Header(path);
  if (probe == HeaderProbe::Unreadable) return false;
  Id3v2Tag tag;
  tag.SetUnicodeReading(toAnsi);
  tag.SetUnicodeWriting(toUtf16);
  if (probe == HeaderProbe::Absent) {
    // The new tag and the fields are written together, in one rewrite of the file.
    try {
      tag.PrepareNewTag(path);
    } catch (const std::bad_alloc&) {
      return false;
    }
  } else if (tag.LoadTag(path) != 0 || !tag.HasTag() || tag.Version() > 0x0300) {
    return false;
  }
  try {
    // A field that reads as the caller's text was not changed: its frame stays
    // as it is, even when it holds more than the field shows.
    const auto setIfChanged = [&tag](std::string_view id, const std::string& text) {
      if (CutText(tag.GetText(id), kTagTextMax) != text) tag.SetText(id, text);
    };
    setIfChanged("TIT2", fields.title);
    setIfChanged("TPE1", fields.artist);
    setIfChanged("TALB", fields.album);
    setIfChanged("COMM", fields.comment);
    setIfChanged("TYER", fields.year);
    setIfChanged("TRCK", fields.track);
    if (CutText(tag.GetGenre(), kTagTextMax) != fields.genre) tag.SetGenre(fields.genre);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return tag.SaveTag(path) == 0;
}

}  // namespace kestrun::tags
