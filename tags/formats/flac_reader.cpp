#include "tags/formats/flac_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/byte_reader.h"
#include "tags/formats/vorbis_comment.h"

namespace kestrun::tags {

namespace {

constexpr std::uint8_t kMagic[4] = {'f', 'L', 'a', 'C'};
constexpr std::uint8_t kStreamInfo = 0;
constexpr std::uint8_t kVorbisComment = 4;
constexpr std::uint8_t kInvalidBlock = 127;
constexpr std::size_t kBlockHeaderBytes = 4;
// Real files have a handful of metadata blocks; a longer chain is not walked.
constexpr int kMostBlocks = 512;
// The last frame is looked for in this much of the file's end at least, and in
// twice the largest frame STREAMINFO names (or, when it names none, of a frame of
// uncompressed samples) when that is more, never beyond 1 MiB.
constexpr std::uint64_t kTailBytes = 64 * 1024;
constexpr std::uint64_t kMostTailBytes = 1024 * 1024;

// Frame headers end in a CRC-8 (polynomial 0x07) of the header, frames in a CRC-16
// (polynomial 0x8005) of the whole frame; both most significant bit first.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (std::uint8_t byte : bytes) {
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
  }
  return crc;
}

std::uint8_t Crc8(std::span<const std::uint8_t> bytes) {
  std::uint8_t crc = 0;
  for (std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

// The number coded like UTF-8 (up to 36 bits in seven bytes) that a frame header
// carries: the frame number with a fixed block size, else the first sample number.
std::optional<std::uint64_t> ReadCodedNumber(platform::ByteReader& reader) {
  const std::uint8_t first = reader.U8();
  int more = 0;
  std::uint64_t value = 0;
  if ((first & 0x80) == 0) {
    value = first;
  } else if (first == 0xFE) {
    more = 6;
  } else {
    while (more < 6 && (first & (0x40 >> more))) ++more;
    if (more == 0 || more == 6) return std::nullopt;  // a continuation byte, or 0xFF
    value = first & (0x3F >> more);
  }
  for (int i = 0; i < more; ++i) {
    const std::uint8_t next = reader.U8();
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
  }
  if (!reader.ok()) return std::nullopt;
  return value;
}

// The sample after the frame whose header starts at `header`, or nothing when the
// bytes there are no frame header (its own CRC-8 must match).
std::optional<std::uint64_t> FrameEndSample(std::span<const std::uint8_t> header, const FlacStreamInfo& info) {
  platform::ByteReader reader(header);
  const std::uint16_t sync = reader.U16Be();
  if ((sync & 0xFFFE) != 0xFFF8) return std::nullopt;
  const bool variable = (sync & 1) != 0;
  const std::uint8_t sizes = reader.U8();
  const std::uint8_t channels = reader.U8();
  if ((sizes >> 4) == 0 || (sizes & 0x0F) == 0x0F || (channels & 1) != 0 || (channels >> 4) > 10) return std::nullopt;
  const std::optional<std::uint64_t> number = ReadCodedNumber(reader);
  if (!number) return std::nullopt;
  const int sizeCode = sizes >> 4;
  std::uint64_t blockSize = 0;
  if (sizeCode == 1) {
    blockSize = 192;
  } else if (sizeCode <= 5) {
    blockSize = 576u << (sizeCode - 2);
  } else if (sizeCode == 6) {
    blockSize = reader.U8() + 1u;
  } else if (sizeCode == 7) {
    blockSize = reader.U16Be() + 1u;
  } else {
    blockSize = 256u << (sizeCode - 8);
  }
  const int rateCode = sizes & 0x0F;
  if (rateCode == 12) reader.Skip(1);
  if (rateCode == 13 || rateCode == 14) reader.Skip(2);
  const std::size_t covered = reader.position();
  const std::uint8_t crc = reader.U8();
  if (!reader.ok() || Crc8(header.first(covered)) != crc) return std::nullopt;
  if (variable) return *number + blockSize;
  return *number * info.maxBlockSize + blockSize;
}

// Whether the stream's last frame is whole and ends where STREAMINFO says the
// samples end. The last frame runs to the end of the file (or to an ID3v1 record
// closing it), so the last header whose frame checksum matches over that span is
// it. Only the last few headers are tried: a cut file has no whole last frame, and
// audio bytes that look like a header are rare.
bool LastFrameEndsAtTotal(ByteSource& source, std::uint64_t audioStart, const FlacStreamInfo& info) {
  constexpr int kMostHeadersTried = 4;
  constexpr std::size_t kId3v1Bytes = 128;
  if (audioStart >= source.Size()) return false;
  const std::uint64_t audio = source.Size() - audioStart;
  const std::uint64_t largestFrame =
      info.maxFrameBytes != 0 ? info.maxFrameBytes
                              : std::uint64_t{info.maxBlockSize} * info.channels * info.bitsPerSample / 8 + 64;
  const std::uint64_t want = std::min(kMostTailBytes, std::max(kTailBytes, 2 * largestFrame));
  const std::uint64_t tailBytes = std::min(audio, want);
  std::vector<std::uint8_t> tail;
  if (!source.Read(source.Size() - tailBytes, static_cast<std::size_t>(tailBytes), tail)) return false;
  std::size_t end = tail.size();
  if (end >= kId3v1Bytes && std::memcmp(tail.data() + end - kId3v1Bytes, "TAG", 3) == 0) end -= kId3v1Bytes;
  int tried = 0;
  for (std::size_t at = end; at-- > 0 && tried < kMostHeadersTried;) {
    if (tail[at] != 0xFF || at + 2 >= end || (tail[at + 1] & 0xFE) != 0xF8) continue;
    const auto frameEnd = FrameEndSample(std::span(tail).subspan(at, end - at), info);
    if (!frameEnd) continue;
    ++tried;
    const auto frame = std::span(tail).subspan(at, end - at);
    const std::uint16_t stored = static_cast<std::uint16_t>((frame[frame.size() - 2] << 8) | frame.back());
    if (Crc16(frame.first(frame.size() - 2)) == stored) return *frameEnd == info.totalSamples;
  }
  return false;
}

}  // namespace

std::optional<FlacStreamInfo> ParseFlacStreamInfo(std::span<const std::uint8_t> body) {
  platform::ByteReader reader(body);
  FlacStreamInfo info;
  reader.Skip(2);  // smallest block size
  info.maxBlockSize = reader.U16Be();
  reader.Skip(3);  // smallest frame size
  info.maxFrameBytes = reader.U24Be();
  const std::uint64_t packed = reader.U64Be();
  if (!reader.ok()) return std::nullopt;
  info.sampleRate = static_cast<std::uint32_t>(packed >> 44);
  info.channels = static_cast<std::uint32_t>((packed >> 41) & 7) + 1;
  info.bitsPerSample = static_cast<std::uint32_t>((packed >> 36) & 31) + 1;
  info.totalSamples = packed & ((std::uint64_t{1} << 36) - 1);
  if (info.sampleRate == 0) return std::nullopt;
  return info;
}

std::uint64_t LeadingId3v2Bytes(ByteSource& source) {
  std::array<std::uint8_t, 10> header{};
  if (!source.ReadAt(0, header) || std::memcmp(header.data(), "ID3", 3) != 0) return 0;
  platform::ByteReader reader{std::span<const std::uint8_t>(header).subspan(6)};
  const std::uint64_t body = reader.Syncsafe32();
  if (!reader.ok()) return 0;
  const bool footer = (header[5] & 0x10) != 0;
  return 10 + body + (footer ? 10 : 0);
}

bool LooksLikeFlac(ByteSource& source) {
  std::array<std::uint8_t, 4> magic{};
  return source.ReadAt(LeadingId3v2Bytes(source), magic) && std::memcmp(magic.data(), kMagic, 4) == 0;
}

std::optional<ContainerInfo> ReadFlac(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi) {
  if (!LooksLikeFlac(source)) return std::nullopt;
  std::uint64_t at = LeadingId3v2Bytes(source) + sizeof kMagic;
  ContainerInfo result;
  std::optional<FlacStreamInfo> info;
  bool last = false;
  for (int block = 0; block < kMostBlocks && !last; ++block) {
    std::array<std::uint8_t, kBlockHeaderBytes> header{};
    if (!source.ReadAt(at, header)) return std::nullopt;
    last = (header[0] & 0x80) != 0;
    const std::uint8_t type = header[0] & 0x7F;
    const std::uint64_t length = (std::uint64_t{header[1]} << 16) | (header[2] << 8) | header[3];
    at += kBlockHeaderBytes;
    // A block running past the end is a cut file: nothing of it is trusted.
    if (type == kInvalidBlock || !source.Holds(at, length)) return std::nullopt;
    if (block == 0) {
      // STREAMINFO comes first in every FLAC stream.
      std::vector<std::uint8_t> body;
      if (type != kStreamInfo || length < kFlacStreamInfoBytes || !source.Read(at, kFlacStreamInfoBytes, body)) {
        return std::nullopt;
      }
      info = ParseFlacStreamInfo(body);
      if (!info) return std::nullopt;
    } else if (type == kVorbisComment && !result.hasTags && Wants(parts, ContainerParts::Tags)) {
      ExtentSource comment(source);
      comment.Append(at, length);
      result.hasTags = ReadVorbisComment(comment, result.fields, toAnsi);
    }
    at += length;
  }
  if (!last) return std::nullopt;
  if (Wants(parts, ContainerParts::Length) && info->totalSamples != 0 && LastFrameEndsAtTotal(source, at, *info)) {
    result.duration = SamplesToUnits(info->totalSamples, info->sampleRate);
  }
  return result;
}

}  // namespace kestrun::tags
