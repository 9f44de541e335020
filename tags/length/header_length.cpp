#include "tags/length/header_length.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/ansi_path.h"
#include "platform/file_io.h"
#include "tags/formats/container_file.h"

namespace kestrun::tags {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
bool Is(const std::uint8_t* p, const char (&text)[5]) { return std::equal(p, p + 4, text); }

// units = count * unitsPerSecond * numerator / denominator without overflow for
// any count a 64-bit file size allows.
std::int64_t Scale(std::uint64_t count, std::uint64_t numerator, std::uint64_t denominator) {
  const unsigned __int128 wide = static_cast<unsigned __int128>(count) * numerator * kHeaderUnitsPerSecond;
  const unsigned __int128 units = wide / denominator;
  if (units > static_cast<unsigned __int128>(INT64_MAX)) return INT64_MAX;
  return static_cast<std::int64_t>(units);
}

// One MPEG audio frame header, decoded.
struct Frame {
  int version = 0;  // 1: MPEG-1, 2: MPEG-2, 25: MPEG-2.5
  int layer = 0;
  int bitrate = 0;  // bits per second
  int sampleRate = 0;
  int samples = 0;  // per frame
  int bytes = 0;    // frame size
  bool mono = false;
};

std::optional<Frame> DecodeFrame(const std::uint8_t* p) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
  static constexpr int kKbps[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr int kRates[3] = {44100, 48000, 32000};
  Frame frame;
  const int versionBits = (p[1] >> 3) & 3;
  const int layerBits = (p[1] >> 1) & 3;
  const int bitrateIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  // Reserved version, layer and rate, and the free and forbidden bit rates, are no
  // frame whose size the header tells.
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return std::nullopt;
  }
  frame.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  frame.layer = 4 - layerBits;
  const int table = frame.version == 1 ? 0 : 1;
  frame.bitrate = kKbps[table][frame.layer - 1][bitrateIndex] * 1000;
  frame.sampleRate = kRates[rateIndex] / (frame.version == 1 ? 1 : frame.version == 2 ? 2 : 4);
  const int padding = (p[2] >> 1) & 1;
  frame.mono = (p[3] >> 6) == 3;
  if (frame.layer == 1) {
    frame.samples = 384;
    frame.bytes = (12 * frame.bitrate / frame.sampleRate + padding) * 4;
  } else if (frame.layer == 2 || frame.version == 1) {
    frame.samples = 1152;
    frame.bytes = 144 * frame.bitrate / frame.sampleRate + padding;
  } else {
    frame.samples = 576;
    frame.bytes = 72 * frame.bitrate / frame.sampleRate + padding;
  }
  return frame;
}

// What the frame at p (size bytes available from p on) says of the frames that
// follow: a Xing/Info or VBRI tag with their count, a tag without a usable count
// (the file may change its bit rate, so nothing is known), or no tag at all.
struct FrameCount {
  bool tagged = false;
  std::uint32_t frames = 0;  // 0: no usable count
};

FrameCount VbrFrameCount(const Frame& frame, const std::uint8_t* p, std::size_t size) {
  if (frame.layer == 3) {
    const std::size_t sideInfo = frame.version == 1 ? (frame.mono ? 17 : 32) : (frame.mono ? 9 : 17);
    const std::size_t at = 4 + sideInfo;
    if (at + 12 <= size && (Is(p + at, "Xing") || Is(p + at, "Info"))) {
      const std::uint32_t flags = Be32(p + at + 4);
      return {true, (flags & 1) != 0 ? Be32(p + at + 8) : 0};
    }
  }
  constexpr std::size_t kVbriAt = 4 + 32;
  if (kVbriAt + 18 <= size && Is(p + kVbriAt, "VBRI")) return {true, Be32(p + kVbriAt + 14)};
  return {};
}

std::string_view Extension(const std::string& path) {
  return std::string_view(path).substr(platform::ExtensionOffset(path));
}

}  // namespace

std::optional<std::int64_t> WavHeaderDuration(const std::uint8_t* head, std::size_t size, std::uint64_t fileSize) {
  if (size < 12 || !Is(head, "RIFF") || !Is(head + 8, "WAVE")) return std::nullopt;
  std::uint32_t byteRate = 0;
  bool pcm = false;
  std::size_t at = 12;
  while (at + 8 <= size) {
    const std::uint32_t chunkSize = Le32(head + at + 4);
    const std::size_t body = at + 8;
    if (Is(head + at, "fmt ")) {
      if (chunkSize < 16 || body + 16 > size) return std::nullopt;
      const std::uint16_t format = Le16(head + body);
      // Plain PCM, or the extensible form (its sub-format is not looked at: the
      // length is bytes over byte rate either way).
      pcm = format == 1 || format == 0xFFFE;
      byteRate = Le32(head + body + 8);
    } else if (Is(head + at, "data")) {
      if (!pcm || byteRate == 0) return std::nullopt;
      const std::uint64_t left = fileSize > body ? fileSize - body : 0;
      return Scale(std::min<std::uint64_t>(chunkSize, left), 1, byteRate);
    }
    // Chunks are padded to an even size.
    const std::uint64_t next = static_cast<std::uint64_t>(body) + chunkSize + (chunkSize & 1);
    if (next > size) return std::nullopt;
    at = static_cast<std::size_t>(next);
  }
  return std::nullopt;
}

std::uint64_t Id3v2TagSpan(const std::uint8_t* head, std::size_t size) {
  if (size < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
  if ((head[6] | head[7] | head[8] | head[9]) & 0x80) return 0;  // not a synchsafe size
  const std::uint64_t body = (static_cast<std::uint64_t>(head[6]) << 21) | (head[7] << 14) | (head[8] << 7) | head[9];
  const bool footer = head[3] == 4 && (head[5] & 0x10) != 0;
  return 10 + body + (footer ? 10 : 0);
}

std::optional<std::int64_t> Mp3HeaderDuration(const std::uint8_t* data, std::size_t size, std::uint64_t audioBytes) {
  // Some encoders leave zeros between the tag and the first frame.
  constexpr std::size_t kMostPadding = 4096;
  std::size_t start = 0;
  while (start < size && start < kMostPadding && data[start] == 0) ++start;
  if (start + 4 > size || start >= audioBytes) return std::nullopt;
  const std::optional<Frame> first = DecodeFrame(data + start);
  if (!first) return std::nullopt;
  // A second frame of the same kind where the first one ends, or the file must end
  // there: four bytes that merely look like a frame header are not enough.
  const std::size_t second = start + static_cast<std::size_t>(first->bytes);
  if (second + 4 <= size) {
    const std::optional<Frame> next = DecodeFrame(data + second);
    if (!next || next->version != first->version || next->layer != first->layer ||
        next->sampleRate != first->sampleRate) {
      return std::nullopt;
    }
  } else if (second != audioBytes) {
    return std::nullopt;
  }
  if (const FrameCount count = VbrFrameCount(*first, data + start, size - start); count.tagged) {
    if (count.frames == 0) return std::nullopt;
    return Scale(count.frames, static_cast<std::uint64_t>(first->samples),
                 static_cast<std::uint64_t>(first->sampleRate));
  }
  // Without a frame count the bit rate must be the same in every frame the read
  // part holds; a file that changes it needs the graph.
  std::size_t at = start;
  while (at + 4 <= size && at < audioBytes) {
    const std::optional<Frame> frame = DecodeFrame(data + at);
    if (!frame || frame->bitrate != first->bitrate || frame->sampleRate != first->sampleRate) {
      // A tail of other bytes after the last full frame of the read part is the end
      // of the buffer cutting a frame, or the end of the audio; anything else is not
      // one bit rate.
      if (at + static_cast<std::size_t>(first->bytes) <= size) return std::nullopt;
      break;
    }
    at += static_cast<std::size_t>(frame->bytes);
  }
  return Scale(audioBytes - start, 8, static_cast<std::uint64_t>(first->bitrate));
}

std::optional<std::int64_t> ReadHeaderDuration(const std::string& path) {
  // FLAC, MP4 and Ogg files are timed by their own stream headers.
  if (IsContainerPath(path)) return ReadContainerDuration(path);
  const std::string_view extension = Extension(path);
  const bool wav = platform::EqualsIgnoreCase(extension, ".wav");
  if (!wav && !platform::EqualsIgnoreCase(extension, ".mp3")) return std::nullopt;
  platform::File file;
  std::uint64_t fileSize = 0;
  if (!file.Open(path, platform::OpenMode::Read) || !file.Size(fileSize)) return std::nullopt;
  constexpr std::size_t kHeadBytes = 16 * 1024;
  std::vector<std::uint8_t> head(kHeadBytes);
  std::size_t got = 0;
  if (!file.Read(head.data(), head.size(), got)) return std::nullopt;
  if (wav) return WavHeaderDuration(head.data(), got, fileSize);

  const std::uint64_t tag = Id3v2TagSpan(head.data(), got);
  if (tag >= fileSize) return std::nullopt;
  std::uint64_t end = fileSize;
  // An ID3v1 tag closes the file: its 128 bytes are not audio.
  if (fileSize >= tag + 128) {
    std::uint8_t tail[3] = {};
    if (!file.Seek(fileSize - 128) || !file.ReadExact(tail, sizeof(tail))) return std::nullopt;
    if (tail[0] == 'T' && tail[1] == 'A' && tail[2] == 'G') end -= 128;
  }
  if (tag != 0) {
    if (!file.Seek(tag) || !file.Read(head.data(), head.size(), got)) return std::nullopt;
  }
  return Mp3HeaderDuration(head.data(), got, end - tag);
}

}  // namespace kestrun::tags
