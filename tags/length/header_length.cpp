#include "tags/length/header_length.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "platform/ansi_path.h"
#include "platform/byte_reader.h"
#include "platform/file_io.h"
#include "tags/formats/container_file.h"

namespace kestrun::tags {
namespace {

using Bytes = std::span<const std::uint8_t>;

// How much of the audio's start is read: the first frame and its Xing/VBRI tag,
// and enough frames behind them to see a bit rate change early in the file.
constexpr std::size_t kHeadBytes = 16 * 1024;
// The stretches read at the middle and at the end of the audio.
constexpr std::size_t kSampleBytes = 8 * 1024;
// Some encoders leave zeros between the tag and the first frame.
constexpr std::size_t kMostPadding = 4096;
// The largest frame (Layer II, 384 kbit/s at 32 kHz, padded) is 1729 bytes: a
// stretch read at any offset holds the start of a frame within this many bytes.
constexpr std::size_t kFrameSearchBytes = 2048;
// Frames are counted through the file in reads of this size.
constexpr std::size_t kCountChunkBytes = 256 * 1024;
// More tags than this at the end of one file are not believed.
constexpr int kMostTrailingTags = 8;

constexpr std::size_t kId3v1Bytes = 128;
constexpr std::string_view kId3v1Magic = "TAG";
constexpr std::size_t kApeFooterBytes = 32;
constexpr std::string_view kApeMagic = "APETAGEX";
constexpr std::uint32_t kApeVersion1 = 1000;
constexpr std::uint32_t kApeVersion2 = 2000;
constexpr std::uint32_t kApeHasHeader = 0x80000000u;
constexpr std::string_view kLyricsBegin = "LYRICSBEGIN";
constexpr std::string_view kLyrics1End = "LYRICSEND";
constexpr std::string_view kLyrics2End = "LYRICS200";
constexpr std::size_t kLyrics2SizeDigits = 6;
// Version 1 holds at most 5100 bytes of lyrics between its two markers.
constexpr std::size_t kLyrics1MostBytes = 5100 + 11 + 9;

// KSDATAFORMAT_SUBTYPE_PCM as it is stored in a WAVE_FORMAT_EXTENSIBLE format.
constexpr std::array<std::uint8_t, 16> kPcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::uint16_t kWavePcm = 1;
constexpr std::uint16_t kWaveExtensible = 0xFFFE;
// Size of the extensible format's fields behind the plain 16 bytes.
constexpr std::uint32_t kExtensibleFmtBytes = 40;

bool Is(Bytes bytes, std::string_view text) {
  return bytes.size() == text.size() &&
         std::equal(bytes.begin(), bytes.end(), text.begin(),
                    [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
}

// units = count * unitsPerSecond * numerator / denominator without overflow for
// any count a 64-bit file size allows.
std::int64_t Scale(std::uint64_t count, std::uint64_t numerator, std::uint64_t denominator) {
  const unsigned __int128 wide = static_cast<unsigned __int128>(count) * numerator * kHeaderUnitsPerSecond;
  const unsigned __int128 units = wide / denominator;
  if (units > static_cast<unsigned __int128>(INT64_MAX)) return INT64_MAX;
  return static_cast<std::int64_t>(units);
}

// Reads count bytes at offset (fewer at the end of the source).
std::vector<std::uint8_t> ReadStretch(ByteSource& source, std::uint64_t offset, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  bytes.resize(source.ReadUpTo(offset, bytes));
  return bytes;
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

// Frames of one stream share version, layer and sample rate; the bit rate is what
// a variable-rate encoder changes.
bool SameStream(const Frame& a, const Frame& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// The frame whose header is the four bytes at the reader's position (the reader
// does not move); nothing when fewer than four bytes are left.
std::optional<Frame> DecodeFrame(const platform::ByteReader& at) {
  platform::ByteReader header(at.Peek(4));
  const std::uint32_t word = header.U32Be();
  if (!header.ok() || (word >> 21) != 0x7FF) return std::nullopt;
  static constexpr int kKbps[2][3][15] = {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                           {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                           {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
                                          {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                           {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                           {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr int kRates[3] = {44100, 48000, 32000};
  const int versionBits = static_cast<int>((word >> 19) & 3);
  const int layerBits = static_cast<int>((word >> 17) & 3);
  const int bitrateIndex = static_cast<int>((word >> 12) & 15);
  const int rateIndex = static_cast<int>((word >> 10) & 3);
  const int padding = static_cast<int>((word >> 9) & 1);
  // Reserved version, layer and rate, and the free and forbidden bit rates, are no
  // frame whose size the header tells.
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return std::nullopt;
  }
  Frame frame;
  frame.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  frame.layer = 4 - layerBits;
  const int table = frame.version == 1 ? 0 : 1;
  frame.bitrate = kKbps[table][frame.layer - 1][bitrateIndex] * 1000;
  frame.sampleRate = kRates[rateIndex] / (frame.version == 1 ? 1 : frame.version == 2 ? 2 : 4);
  frame.mono = ((word >> 6) & 3) == 3;
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

// What the frame at the reader's position says of the frames that follow: a
// Xing/Info or VBRI tag with their count, a tag without a usable count (the file
// may change its bit rate, so nothing is known), or no tag at all.
struct FrameCount {
  bool tagged = false;
  std::uint32_t frames = 0;  // 0: no usable count
};

FrameCount VbrFrameCount(const Frame& frame, platform::ByteReader reader) {
  const std::size_t frameAt = reader.position();
  if (frame.layer == 3) {
    const std::size_t sideInfo = frame.version == 1 ? (frame.mono ? 17 : 32) : (frame.mono ? 9 : 17);
    platform::ByteReader xing = reader;
    xing.Skip(4 + sideInfo);
    const Bytes magic = xing.Take(4);
    const std::uint32_t flags = xing.U32Be();
    const std::uint32_t frames = xing.U32Be();
    if (xing.ok() && (Is(magic, "Xing") || Is(magic, "Info"))) return {true, (flags & 1) != 0 ? frames : 0};
  }
  // VBRI sits at a fixed place after the header: version, delay, quality, bytes, frames.
  constexpr std::size_t kVbriAt = 4 + 32;
  platform::ByteReader vbri = reader;
  vbri.Seek(frameAt + kVbriAt);
  const Bytes magic = vbri.Take(4);
  vbri.Skip(10);
  const std::uint32_t frames = vbri.U32Be();
  if (vbri.ok() && Is(magic, "VBRI")) return {true, frames};
  return {};
}

// How a walk along a chain of frames ended.
enum class Chain { Broken, OneRate, MixedRates };

// Walks the frames of `bytes` from `at` on, each where the one before ends, as far
// as the headers lie inside `bytes`. Every header must be one of first's stream;
// endsAudio says that bytes reaches the end of the audio, where bytes after the
// last whole frame that are shorter than a frame (a frame cut short, a stray byte
// or two) end the walk. frames counts the headers walked.
Chain WalkFrames(Bytes bytes, std::size_t at, const Frame& first, bool endsAudio, int& frames) {
  platform::ByteReader reader(bytes);
  bool mixed = false;
  frames = 0;
  while (reader.Seek(at) && reader.CanRead(4)) {
    const std::optional<Frame> frame = DecodeFrame(reader);
    if (!frame || !SameStream(*frame, first)) {
      if (endsAudio && reader.remaining() < static_cast<std::size_t>(first.bytes)) break;
      return Chain::Broken;
    }
    ++frames;
    mixed = mixed || frame->bitrate != first.bitrate;
    at += static_cast<std::size_t>(frame->bytes);
    if (at > bytes.size()) break;
  }
  return mixed ? Chain::MixedRates : Chain::OneRate;
}

// A stretch read at an offset that need not be a frame's start: the first place
// within a frame's length from which a chain of at least two frames runs through
// the whole stretch decides.
Chain SampleStretch(Bytes bytes, const Frame& first, bool endsAudio) {
  platform::ByteReader reader(bytes);
  const std::size_t searched = std::min(bytes.size(), kFrameSearchBytes);
  for (std::size_t at = 0; at < searched; ++at) {
    reader.Seek(at);
    if (reader.U8() != 0xFF) continue;
    int frames = 0;
    const Chain chain = WalkFrames(bytes, at, first, endsAudio, frames);
    if (chain != Chain::Broken && frames >= 2) return chain;
  }
  return Chain::Broken;
}

// True when the frames at the start (head, from headAt on), the middle and the end
// of the audio [firstAt, audioEnd) all run unbroken at first's bit rate.
bool OneRateThroughout(ByteSource& source, Bytes head, std::size_t headAt, std::uint64_t firstAt,
                       std::uint64_t audioEnd, const Frame& first) {
  const std::uint64_t audioBytes = audioEnd - firstAt;
  const bool headEndsAudio = head.size() - headAt >= audioBytes;
  int frames = 0;
  if (WalkFrames(head, headAt, first, headEndsAudio, frames) != Chain::OneRate) return false;
  if (headEndsAudio) return true;
  const std::uint64_t middle = firstAt + audioBytes / 2;
  const std::size_t middleBytes = static_cast<std::size_t>(std::min<std::uint64_t>(kSampleBytes, audioEnd - middle));
  const std::vector<std::uint8_t> atMiddle = ReadStretch(source, middle, middleBytes);
  if (atMiddle.size() != middleBytes ||
      SampleStretch(atMiddle, first, middle + middleBytes == audioEnd) != Chain::OneRate) {
    return false;
  }
  const std::size_t endBytes = static_cast<std::size_t>(std::min<std::uint64_t>(kSampleBytes, audioBytes));
  const std::vector<std::uint8_t> atEnd = ReadStretch(source, audioEnd - endBytes, endBytes);
  return atEnd.size() == endBytes && SampleStretch(atEnd, first, true) == Chain::OneRate;
}

// The length of the frames from `from` (a frame's start) to audioEnd, added up
// frame by frame. Nothing when the chain breaks before its last frame; a last
// frame cut short is not counted.
std::optional<std::int64_t> CountFrames(ByteSource& source, std::uint64_t from, std::uint64_t audioEnd,
                                        const Frame& first) {
  if (from > audioEnd) return std::nullopt;
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(kCountChunkBytes, audioEnd - from)));
  std::uint64_t samples = 0;
  std::uint64_t at = from;
  while (audioEnd - at >= 4) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), audioEnd - at));
    const Bytes bytes(chunk.data(), source.ReadUpTo(at, std::span(chunk.data(), want)));
    if (bytes.size() != want) return std::nullopt;
    platform::ByteReader reader(bytes);
    while (reader.CanRead(4)) {
      const std::uint64_t frameAt = at + reader.position();
      const std::optional<Frame> frame = DecodeFrame(reader);
      if (!frame || !SameStream(*frame, first)) {
        if (audioEnd - frameAt < static_cast<std::uint64_t>(first.bytes)) return Scale(samples, 1, first.sampleRate);
        return std::nullopt;
      }
      if (frameAt + static_cast<std::uint64_t>(frame->bytes) > audioEnd) return Scale(samples, 1, first.sampleRate);
      // A frame running past this read is counted from the next one.
      if (static_cast<std::size_t>(frame->bytes) > reader.remaining()) break;
      samples += static_cast<std::uint64_t>(frame->samples);
      reader.Skip(static_cast<std::size_t>(frame->bytes));
    }
    if (reader.position() == 0) return std::nullopt;
    at += reader.position();
  }
  return Scale(samples, 1, first.sampleRate);
}

// The tags at the end of a file, each measured back from `end` with `available`
// bytes before it that may belong to it: its whole size, or 0 when no such tag
// ends there.
std::uint64_t ApeTagSpan(ByteSource& source, std::uint64_t end, std::uint64_t available) {
  if (available < kApeFooterBytes) return 0;
  const std::vector<std::uint8_t> footer = ReadStretch(source, end - kApeFooterBytes, kApeFooterBytes);
  platform::ByteReader reader(footer);
  const Bytes magic = reader.Take(kApeMagic.size());
  const std::uint32_t version = reader.U32();
  const std::uint32_t size = reader.U32();  // items and footer, without the header
  reader.Skip(4);                           // item count
  const std::uint32_t flags = reader.U32();
  if (!reader.ok() || !Is(magic, kApeMagic) || (version != kApeVersion1 && version != kApeVersion2) ||
      size < kApeFooterBytes) {
    return 0;
  }
  const bool header = version == kApeVersion2 && (flags & kApeHasHeader) != 0;
  const std::uint64_t span = static_cast<std::uint64_t>(size) + (header ? kApeFooterBytes : 0);
  if (span > available) return 0;
  if (header && !Is(ReadStretch(source, end - span, kApeMagic.size()), kApeMagic)) return 0;
  return span;
}

std::uint64_t Lyrics3v2Span(ByteSource& source, std::uint64_t end, std::uint64_t available) {
  const std::size_t trailer = kLyrics2SizeDigits + kLyrics2End.size();
  if (available < trailer) return 0;
  const std::vector<std::uint8_t> bytes = ReadStretch(source, end - trailer, trailer);
  platform::ByteReader reader(bytes);
  const Bytes digits = reader.Take(kLyrics2SizeDigits);
  if (!Is(reader.Take(kLyrics2End.size()), kLyrics2End)) return 0;
  // The size counts everything from "LYRICSBEGIN" up to the size digits.
  std::uint64_t size = 0;
  for (const std::uint8_t digit : digits) {
    if (digit < '0' || digit > '9') return 0;
    size = size * 10 + (digit - '0');
  }
  const std::uint64_t span = size + trailer;
  if (size < kLyricsBegin.size() || span > available) return 0;
  if (!Is(ReadStretch(source, end - span, kLyricsBegin.size()), kLyricsBegin)) return 0;
  return span;
}

// Version 1 has no size: its start is found by its marker within the longest
// tag it can be.
std::uint64_t Lyrics3v1Span(ByteSource& source, std::uint64_t end, std::uint64_t available) {
  if (available < kLyricsBegin.size() + kLyrics1End.size()) return 0;
  if (!Is(ReadStretch(source, end - kLyrics1End.size(), kLyrics1End.size()), kLyrics1End)) return 0;
  const std::size_t searched = static_cast<std::size_t>(std::min<std::uint64_t>(kLyrics1MostBytes, available));
  const std::vector<std::uint8_t> bytes = ReadStretch(source, end - searched, searched);
  if (bytes.size() != searched) return 0;
  const auto begin =
      std::search(bytes.begin(), bytes.end() - kLyrics1End.size(), kLyricsBegin.begin(), kLyricsBegin.end(),
                  [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
  if (begin == bytes.end() - kLyrics1End.size()) return 0;
  return static_cast<std::uint64_t>(bytes.end() - begin);
}

std::string_view Extension(const std::string& path) {
  return std::string_view(path).substr(platform::ExtensionOffset(path));
}

}  // namespace

std::optional<std::int64_t> WavHeaderDuration(const std::uint8_t* head, std::size_t size, std::uint64_t fileSize) {
  platform::ByteReader reader(Bytes(head, size));
  const Bytes riff = reader.Take(4);
  reader.Skip(4);
  if (!Is(riff, "RIFF") || !Is(reader.Take(4), "WAVE")) return std::nullopt;
  std::uint32_t byteRate = 0;
  bool pcm = false;
  while (reader.CanRead(8)) {
    const Bytes id = reader.Take(4);
    const std::uint32_t chunkSize = reader.U32();
    const std::size_t body = reader.position();
    if (Is(id, "fmt ")) {
      if (chunkSize < 16) return std::nullopt;
      platform::ByteReader format(reader.Peek(std::min<std::size_t>(chunkSize, reader.remaining())));
      const std::uint16_t tag = format.U16();
      format.Skip(2 + 4);  // channels, sample rate
      byteRate = format.U32();
      format.Skip(2 + 2);  // block align, bits per sample
      if (!format.ok()) return std::nullopt;
      pcm = tag == kWavePcm;
      // The extensible format names its data by a sub-format GUID: only PCM has a
      // length of bytes over byte rate that a graph agrees with.
      if (tag == kWaveExtensible && chunkSize >= kExtensibleFmtBytes) {
        format.Skip(2 + 2 + 4);  // extension size, valid bits, channel mask
        const Bytes subFormat = format.Take(kPcmSubFormat.size());
        pcm = format.ok() && std::equal(subFormat.begin(), subFormat.end(), kPcmSubFormat.begin());
      }
    } else if (Is(id, "data")) {
      if (!pcm || byteRate == 0) return std::nullopt;
      const std::uint64_t left = fileSize > body ? fileSize - body : 0;
      return Scale(std::min<std::uint64_t>(chunkSize, left), 1, byteRate);
    }
    // Chunks are padded to an even size.
    const std::uint64_t next = static_cast<std::uint64_t>(body) + chunkSize + (chunkSize & 1);
    if (next > size || !reader.Seek(static_cast<std::size_t>(next))) return std::nullopt;
  }
  return std::nullopt;
}

std::uint64_t Id3v2TagSpan(const std::uint8_t* head, std::size_t size) {
  platform::ByteReader reader(Bytes(head, size));
  const Bytes magic = reader.Take(3);
  const std::uint8_t version = reader.U8();
  reader.Skip(1);  // revision
  const std::uint8_t flags = reader.U8();
  const std::uint32_t body = reader.Syncsafe32();  // a size that is not syncsafe is no tag
  if (!reader.ok() || !Is(magic, "ID3")) return 0;
  const bool footer = version == 4 && (flags & 0x10) != 0;
  return 10 + static_cast<std::uint64_t>(body) + (footer ? 10 : 0);
}

std::uint64_t AudioEndBeforeTags(ByteSource& source, std::uint64_t audioStart) {
  std::uint64_t end = source.Size();
  if (end <= audioStart) return audioStart;
  // Taggers stack their tags in either order: an APE tag before the ID3v1 tag, or
  // (as some write it) behind it. There is one ID3v1 tag at most.
  bool id3v1 = false;
  for (int found = 0; found < kMostTrailingTags; ++found) {
    const std::uint64_t available = end - audioStart;
    if (!id3v1 && available >= kId3v1Bytes &&
        Is(ReadStretch(source, end - kId3v1Bytes, kId3v1Magic.size()), kId3v1Magic)) {
      id3v1 = true;
      end -= kId3v1Bytes;
      // Lyrics3 version 1 exists only right before an ID3v1 tag.
      end -= Lyrics3v1Span(source, end, end - audioStart);
      continue;
    }
    std::uint64_t span = ApeTagSpan(source, end, available);
    if (span == 0) span = Lyrics3v2Span(source, end, available);
    if (span == 0) break;
    end -= span;
  }
  return end;
}

std::optional<std::int64_t> Mp3Duration(ByteSource& source, std::uint64_t audioStart, std::uint64_t audioEnd) {
  if (audioEnd <= audioStart || audioEnd > source.Size()) return std::nullopt;
  const std::uint64_t audioBytes = audioEnd - audioStart;
  const std::vector<std::uint8_t> head =
      ReadStretch(source, audioStart, static_cast<std::size_t>(std::min<std::uint64_t>(kHeadBytes, audioBytes)));
  platform::ByteReader reader(head);
  while (reader.position() < kMostPadding && reader.CanRead(1) && reader.Peek(1)[0] == 0) reader.Skip(1);
  const std::size_t start = reader.position();
  const std::optional<Frame> first = DecodeFrame(reader);
  if (!first) return std::nullopt;
  // A second frame of the same stream where the first one ends, or the audio must
  // end there: four bytes that merely look like a frame header are not enough.
  const std::size_t second = start + static_cast<std::size_t>(first->bytes);
  platform::ByteReader next(head);
  if (next.Seek(second) && next.CanRead(4)) {
    const std::optional<Frame> frame = DecodeFrame(next);
    if (!frame || !SameStream(*frame, *first)) return std::nullopt;
  } else if (second != audioBytes) {
    return std::nullopt;
  }
  const std::uint64_t firstAt = audioStart + start;
  if (const FrameCount count = VbrFrameCount(*first, reader); count.tagged) {
    if (count.frames == 0) return std::nullopt;
    return Scale(count.frames, static_cast<std::uint64_t>(first->samples),
                 static_cast<std::uint64_t>(first->sampleRate));
  }
  // Without a frame count, one bit rate is believed only where the file shows it
  // at its start, middle and end; a file that changes its rate (a quiet opening at
  // a low rate, a variable-rate encoder that wrote no header) has its frames
  // counted instead.
  if (OneRateThroughout(source, head, start, firstAt, audioEnd, *first)) {
    return Scale(audioEnd - firstAt, 8, static_cast<std::uint64_t>(first->bitrate));
  }
  return CountFrames(source, firstAt, audioEnd, *first);
}

std::optional<std::int64_t> Mp3FileDuration(ByteSource& source) {
  const std::vector<std::uint8_t> head = ReadStretch(source, 0, 10);
  const std::uint64_t tag = Id3v2TagSpan(head.data(), head.size());
  if (tag >= source.Size()) return std::nullopt;
  return Mp3Duration(source, tag, AudioEndBeforeTags(source, tag));
}

std::optional<std::int64_t> ReadHeaderDuration(const std::string& path) {
  // FLAC, MP4 and Ogg files are timed by their own stream headers.
  if (IsContainerPath(path)) return ReadContainerDuration(path);
  const std::string_view extension = Extension(path);
  const bool wav = platform::EqualsIgnoreCase(extension, ".wav");
  if (!wav && !platform::EqualsIgnoreCase(extension, ".mp3")) return std::nullopt;
  FileSource file;
  if (!file.Open(path)) return std::nullopt;
  if (wav) {
    const std::vector<std::uint8_t> head = ReadStretch(file, 0, kHeadBytes);
    return WavHeaderDuration(head.data(), head.size(), file.Size());
  }
  return Mp3FileDuration(file);
}

}  // namespace kestrun::tags
