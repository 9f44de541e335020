#include "tags/formats/ogg_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/byte_reader.h"
#include "tags/formats/flac_reader.h"
#include "tags/formats/vorbis_comment.h"

namespace kestrun::tags {

namespace {

constexpr std::size_t kPageHeaderBytes = 27;
constexpr std::uint64_t kMostPageBytes = kPageHeaderBytes + 255 + 255 * 255;
constexpr std::uint64_t kTailBytes = 2 * kMostPageBytes;
// The headers of real files take a few pages, or a few hundred with a large
// picture in the comments; a longer walk is not made.
constexpr int kMostHeaderPages = 2048;
constexpr std::uint8_t kFirstPage = 0x02;
constexpr std::uint64_t kNoGranule = ~std::uint64_t{0};
constexpr std::uint32_t kOpusRate = 48000;

constexpr std::uint8_t kVorbisId[] = {0x01, 'v', 'o', 'r', 'b', 'i', 's'};
constexpr std::uint8_t kVorbisComment[] = {0x03, 'v', 'o', 'r', 'b', 'i', 's'};
constexpr std::uint8_t kOpusId[] = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd'};
constexpr std::uint8_t kOpusComment[] = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's'};
constexpr std::uint8_t kFlacId[] = {0x7F, 'F', 'L', 'A', 'C'};
// The Ogg FLAC first packet: its signature, version, header count, "fLaC", then
// the STREAMINFO block with its 4-byte header.
constexpr std::size_t kFlacStreamInfoAt = 5 + 2 + 2 + 4 + 4;

struct Page {
  std::uint8_t flags = 0;
  std::uint64_t granule = 0;
  std::uint32_t serial = 0;
  std::uint32_t checksum = 0;
  std::vector<std::uint8_t> lacing;
  std::uint64_t body = 0;    // offset of the body
  std::uint64_t length = 0;  // of the body
  std::uint64_t end() const { return body + length; }
};

std::optional<Page> ReadPage(ByteSource& source, std::uint64_t at) {
  std::array<std::uint8_t, kPageHeaderBytes> header{};
  if (!source.ReadAt(at, header) || std::memcmp(header.data(), "OggS", 4) != 0 || header[4] != 0) return std::nullopt;
  platform::ByteReader reader(header);
  reader.Skip(5);
  Page page;
  page.flags = reader.U8();
  page.granule = reader.U64();
  page.serial = reader.U32();
  reader.Skip(4);  // sequence number
  page.checksum = reader.U32();
  const std::uint8_t segments = reader.U8();
  if (!source.Read(at + kPageHeaderBytes, segments, page.lacing)) return std::nullopt;
  page.body = at + kPageHeaderBytes + segments;
  for (std::uint8_t lace : page.lacing) page.length += lace;
  if (!source.Holds(page.body, page.length)) return std::nullopt;
  return page;
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    table[i] = r;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

// The page checksum: CRC-32 (polynomial 0x04C11DB7, not reflected) of the whole
// page with its checksum field taken as zero.
std::uint32_t PageChecksum(std::span<const std::uint8_t> page) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < page.size(); ++i) {
    const std::uint8_t byte = (i >= 22 && i < 26) ? 0 : page[i];
    crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ byte) & 0xFF];
  }
  return crc;
}

bool StartsWith(ByteSource& packet, std::span<const std::uint8_t> signature) {
  std::vector<std::uint8_t> bytes;
  return packet.Read(0, signature.size(), bytes) && std::equal(bytes.begin(), bytes.end(), signature.begin());
}

enum class Codec { Vorbis, Opus, Flac };

struct Stream {
  Codec codec = Codec::Vorbis;
  std::uint32_t serial = 0;
  std::uint64_t rate = 0;
  std::uint64_t preSkip = 0;
};

std::optional<Stream> ReadIdentification(ByteSource& packet) {
  std::vector<std::uint8_t> bytes;
  Stream stream;
  if (StartsWith(packet, kVorbisId)) {
    if (!packet.Read(0, 16, bytes)) return std::nullopt;
    platform::ByteReader reader(bytes);
    reader.Skip(sizeof kVorbisId);
    const std::uint32_t version = reader.U32();
    const std::uint8_t channels = reader.U8();
    stream.rate = reader.U32();
    if (version != 0 || channels == 0) return std::nullopt;
  } else if (StartsWith(packet, kOpusId)) {
    if (!packet.Read(0, 19, bytes)) return std::nullopt;
    platform::ByteReader reader(bytes);
    reader.Skip(sizeof kOpusId);
    const std::uint8_t version = reader.U8();
    const std::uint8_t channels = reader.U8();
    stream.preSkip = reader.U16();
    // Versions 0.x are this layout; a new major version may not be.
    if ((version & 0xF0) != 0 || channels == 0) return std::nullopt;
    stream.codec = Codec::Opus;
    stream.rate = kOpusRate;
  } else if (StartsWith(packet, kFlacId)) {
    if (!packet.Read(kFlacStreamInfoAt, kFlacStreamInfoBytes, bytes)) return std::nullopt;
    const auto info = ParseFlacStreamInfo(bytes);
    if (!info) return std::nullopt;
    stream.codec = Codec::Flac;
    stream.rate = info->sampleRate;
  } else {
    return std::nullopt;
  }
  if (stream.rate == 0) return std::nullopt;
  return stream;
}

// Where the comment structure starts in the comment packet, by codec.
std::optional<std::uint64_t> CommentStart(ByteSource& packet, Codec codec) {
  switch (codec) {
    case Codec::Vorbis:
      if (StartsWith(packet, kVorbisComment)) return sizeof kVorbisComment;
      break;
    case Codec::Opus:
      if (StartsWith(packet, kOpusComment)) return sizeof kOpusComment;
      break;
    case Codec::Flac: {
      // A metadata block header of type VORBIS_COMMENT.
      std::vector<std::uint8_t> header;
      if (packet.Read(0, 4, header) && (header[0] & 0x7F) == 4) return 4;
      break;
    }
  }
  return std::nullopt;
}

// The granule position of the stream's last whole page in the file's tail. Only
// the last few pages of the stream are checksummed: a real file's last page is the
// first one tried, and a tail packed with page headers must not cost a checksum
// over 64 KiB for each.
std::optional<std::uint64_t> LastGranule(ByteSource& source, std::uint32_t serial) {
  constexpr int kMostPagesTried = 16;
  int tried = 0;
  const std::uint64_t tailBytes = std::min(source.Size(), kTailBytes);
  std::vector<std::uint8_t> tail;
  if (!source.Read(source.Size() - tailBytes, static_cast<std::size_t>(tailBytes), tail)) return std::nullopt;
  MemorySource inTail(tail);
  for (std::size_t at = tail.size(); at-- > 0 && tried < kMostPagesTried;) {
    if (tail[at] != 'O') continue;
    const auto page = ReadPage(inTail, at);
    if (!page || page->serial != serial || page->granule == kNoGranule) continue;
    ++tried;
    if (PageChecksum(std::span(tail).subspan(at, static_cast<std::size_t>(page->end() - at))) != page->checksum) {
      continue;
    }
    return page->granule;
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeOgg(ByteSource& source) {
  std::array<std::uint8_t, 4> magic{};
  return source.ReadAt(0, magic) && std::memcmp(magic.data(), "OggS", 4) == 0;
}

std::optional<ContainerInfo> ReadOgg(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi) {
  const auto first = ReadPage(source, 0);
  if (!first || (first->flags & kFirstPage) == 0) return std::nullopt;
  // The first two packets of the first logical stream, gathered from its pages.
  ExtentSource packets[2] = {ExtentSource(source), ExtentSource(source)};
  const std::size_t wanted = Wants(parts, ContainerParts::Tags) ? 2 : 1;
  std::size_t done = 0;
  std::uint64_t at = 0;
  for (int pages = 0; pages < kMostHeaderPages && done < wanted; ++pages) {
    const auto page = pages == 0 ? first : ReadPage(source, at);
    if (!page) break;
    at = page->end();
    if (page->serial != first->serial) continue;
    std::uint64_t piece = page->body;
    for (std::uint8_t lace : page->lacing) {
      if (done == wanted) break;
      packets[done].Append(piece, lace);
      piece += lace;
      if (lace < 255) ++done;
    }
  }
  if (done == 0) return std::nullopt;
  auto stream = ReadIdentification(packets[0]);
  if (!stream) return std::nullopt;
  stream->serial = first->serial;

  ContainerInfo result;
  if (done == 2) {
    if (const auto start = CommentStart(packets[1], stream->codec)) {
      ExtentSource comment(static_cast<ByteSource&>(packets[1]));
      comment.Append(*start, packets[1].Size() - *start);
      result.hasTags = ReadVorbisComment(comment, result.fields, toAnsi);
    }
  }
  if (Wants(parts, ContainerParts::Length)) {
    const auto granule = LastGranule(source, stream->serial);
    if (granule && *granule > stream->preSkip)
      result.duration = SamplesToUnits(*granule - stream->preSkip, stream->rate);
  }
  return result;
}

}  // namespace kestrun::tags
