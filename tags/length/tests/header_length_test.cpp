#include "tags/length/header_length.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "platform/testing/temp_dir.h"
#include "tags/id3/tests/tag_builder.h"

namespace kestrun::tags {
namespace {

constexpr std::int64_t kSecond = kHeaderUnitsPerSecond;

void PutLe32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void PutLe16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}
void PutBe32(std::string& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

// A RIFF/WAVE file: format tag, byte rate, optional chunk before the data, and the
// data chunk's stated size (dataBytes of data actually follow).
std::string Wav(std::uint16_t format, std::uint32_t byteRate, std::uint32_t statedData, std::uint32_t dataBytes,
                const std::string& extraChunk = {}) {
  std::string out = "RIFF";
  PutLe32(out, 0);
  out += "WAVEfmt ";
  PutLe32(out, 16);
  PutLe16(out, format);
  PutLe16(out, 2);
  PutLe32(out, byteRate / 4);
  PutLe32(out, byteRate);
  PutLe16(out, 4);
  PutLe16(out, 16);
  out += extraChunk;
  out += "data";
  PutLe32(out, statedData);
  out.append(dataBytes, '\0');
  return out;
}

std::optional<std::int64_t> WavOf(const std::string& bytes) {
  return WavHeaderDuration(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), bytes.size());
}

TEST(WavHeaderLength, IsDataBytesOverByteRateBehindOtherChunks) {
  EXPECT_EQ(WavOf(Wav(1, 176400, 176400 * 3, 176400 * 3)), 3 * kSecond);
  // A LIST chunk of odd size (padded to even) before the data.
  std::string list = "LIST";
  PutLe32(list, 5);
  list += "INFOx";
  list.push_back('\0');
  EXPECT_EQ(WavOf(Wav(1, 176400, 88200, 88200, list)), kSecond / 2);
  // Fractions of a second are kept in the units.
  EXPECT_EQ(WavOf(Wav(1, 8000, 12000, 12000)), kSecond * 3 / 2);
}

// The extensible format with the first two bytes of its sub-format GUID (the
// format code it stands for) and the GUID's fixed tail.
std::string ExtensibleWav(std::uint16_t subFormat, std::uint32_t byteRate, std::uint32_t dataBytes) {
  std::string wav = Wav(0xFFFE, byteRate, dataBytes, dataBytes);
  std::string extension;
  PutLe16(extension, 22);
  PutLe16(extension, 16);
  PutLe32(extension, 3);
  PutLe16(extension, subFormat);
  extension += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  wav.insert(36, extension);
  wav[16] = 40;  // fmt chunk size
  return wav;
}

TEST(WavHeaderLength, ExtensibleFormatCountsOnlyWithThePcmSubFormat) {
  EXPECT_EQ(WavOf(ExtensibleWav(1, 8000, 12000)), kSecond * 3 / 2);
  // Float, ADPCM and a compressed sub-format: bytes over byte rate is not their length.
  for (const std::uint16_t other : {3, 2, 0x55}) EXPECT_EQ(WavOf(ExtensibleWav(other, 8000, 12000)), std::nullopt);
  // Extensible with no sub-format at all (a 16-byte format chunk).
  EXPECT_EQ(WavOf(Wav(0xFFFE, 8000, 12000, 12000)), std::nullopt);
  // A PCM GUID whose tail is not the one of the family is another format.
  std::string wrongTail = ExtensibleWav(1, 8000, 12000);
  wrongTail[36 + 8 + 15] = 0x72;
  EXPECT_EQ(WavOf(wrongTail), std::nullopt);
}

TEST(WavHeaderLength, DataChunkLongerThanTheFileCountsWhatTheFileHolds) {
  // A recording cut short: the header promises 10 s, the file holds 2.
  EXPECT_EQ(WavOf(Wav(1, 1000, 10000, 2000)), 2 * kSecond);
}

TEST(WavHeaderLength, GivesNothingWhereTheHeaderDoesNotSettleIt) {
  EXPECT_EQ(WavOf(Wav(2, 1000, 1000, 1000)), std::nullopt);  // compressed (ADPCM)
  EXPECT_EQ(WavOf(Wav(1, 0, 1000, 1000)), std::nullopt);     // no byte rate
  std::string noData = Wav(1, 1000, 0, 0);
  noData.resize(noData.size() - 8);
  EXPECT_EQ(WavOf(noData), std::nullopt);
  EXPECT_EQ(WavOf("RIFF\0\0\0\0AVI LIST"), std::nullopt);
  // A chunk size running past the read part stops the walk instead of reading on.
  std::string huge = "JUNK";
  PutLe32(huge, 0xFFFFFFF0u);
  EXPECT_EQ(WavOf(Wav(1, 1000, 1000, 1000, huge)), std::nullopt);
}

// MPEG audio frames. Header bytes for MPEG-1 Layer III at 44.1 kHz, stereo.
std::string Frame(int bitrateIndex, bool padding = false, int versionBits = 3, bool mono = false) {
  // Sizes for the layouts used below.
  static const int kMpeg1Kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kMpeg2Kbps[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  const bool mpeg1 = versionBits == 3;
  const int rate = mpeg1 ? 44100 : 22050;
  const int kbps = mpeg1 ? kMpeg1Kbps[bitrateIndex] : kMpeg2Kbps[bitrateIndex];
  const int bytes = (mpeg1 ? 144 : 72) * kbps * 1000 / rate + (padding ? 1 : 0);
  std::string frame(static_cast<std::size_t>(bytes), '\x55');
  frame[0] = '\xFF';
  frame[1] = static_cast<char>(0xE0 | (versionBits << 3) | (1 << 1) | 1);
  frame[2] = static_cast<char>((bitrateIndex << 4) | (padding ? 2 : 0));
  frame[3] = static_cast<char>(mono ? 0xC0 : 0x00);
  return frame;
}

std::span<const std::uint8_t> BytesOf(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::optional<std::int64_t> Mp3Of(const std::string& bytes) {
  MemorySource source(BytesOf(bytes));
  return Mp3Duration(source, 0, bytes.size());
}

std::string Repeat(const std::string& frame, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += frame;
  return out;
}

TEST(Mp3HeaderLength, XingAndInfoFrameCountsGiveTheLength) {
  // Stereo MPEG-1: the tag sits after 32 bytes of side information.
  std::string first = Frame(9);
  first.replace(4 + 32, 4, "Xing");
  PutBe32(first, 4 + 32 + 4, 0x0F);
  PutBe32(first, 4 + 32 + 8, 1000);
  EXPECT_EQ(Mp3Of(first + Repeat(Frame(11), 5)), static_cast<std::int64_t>(1000) * 1152 * kSecond / 44100);
  // Mono MPEG-1 (17 bytes of side information), "Info" as a constant-rate encoder writes it.
  std::string mono = Frame(9, false, 3, true);
  mono.replace(4 + 17, 4, "Info");
  PutBe32(mono, 4 + 17 + 4, 0x01);
  PutBe32(mono, 4 + 17 + 8, 44100);
  EXPECT_EQ(Mp3Of(mono + Repeat(Frame(9, false, 3, true), 3)), 1152 * kSecond);
  // MPEG-2 Layer III stereo: 17 bytes of side information, 576 samples a frame.
  std::string half = Frame(8, false, 2);
  half.replace(4 + 17, 4, "Xing");
  PutBe32(half, 4 + 17 + 4, 0x01);
  PutBe32(half, 4 + 17 + 8, 22050);
  EXPECT_EQ(Mp3Of(half + Repeat(Frame(8, false, 2), 3)), 576 * kSecond);
}

TEST(Mp3HeaderLength, VbriFrameCountGivesTheLength) {
  std::string first = Frame(9);
  first.replace(36, 4, "VBRI");
  PutBe32(first, 36 + 14, 441);
  EXPECT_EQ(Mp3Of(first + Frame(9)), static_cast<std::int64_t>(441) * 1152 * kSecond / 44100);
}

TEST(Mp3HeaderLength, ConstantRateIsAudioBytesOverBitRate) {
  // 128 kbit/s: frames of 417 and 418 bytes, as an encoder pads them.
  const std::string audio = Repeat(Frame(9) + Frame(9, true), 50);
  EXPECT_EQ(Mp3Of(audio), static_cast<std::int64_t>(audio.size()) * 8 * kSecond / 128000);
  // Zeros before the first frame are not audio.
  const std::string padded = std::string(100, '\0') + audio;
  EXPECT_EQ(Mp3Of(padded), Mp3Of(audio));
  // A long file at one rate is answered from its start, middle and end alone.
  const std::string longer = Repeat(Frame(9) + Frame(9, true), 2000);
  EXPECT_EQ(Mp3Of(longer), static_cast<std::int64_t>(longer.size()) * 8 * kSecond / 128000);
}

// Frames of 1152 samples at 44.1 kHz.
std::int64_t FramesLength(std::int64_t frames) { return frames * 1152 * kSecond / 44100; }

TEST(Mp3HeaderLength, AFileThatChangesItsRateIsCountedNotExtrapolated) {
  // A quiet opening at 32 kbit/s longer than the first read, then loud frames at
  // 256 kbit/s: the opening's rate would make the file 8 times longer than it is.
  const std::string quietThenLoud = Repeat(Frame(1), 200) + Repeat(Frame(13), 300);
  EXPECT_EQ(Mp3Of(quietThenLoud), FramesLength(500));
  // One rate at the start and the middle, another at the end.
  const std::string loudEnding = Repeat(Frame(9), 300) + Repeat(Frame(9), 300) + Repeat(Frame(14), 30);
  EXPECT_EQ(Mp3Of(loudEnding), FramesLength(630));
  // One frame of another rate among the first ones.
  EXPECT_EQ(Mp3Of(Frame(9) + Frame(11) + Frame(9)), FramesLength(3));
  EXPECT_EQ(Mp3Of(Repeat(Frame(9), 10) + Frame(5) + Repeat(Frame(9), 2000)), FramesLength(2011));
  // A last frame cut short is not counted; a stray byte after the last frame is no frame.
  const std::string mixed = Repeat(Frame(9), 100) + Repeat(Frame(5), 100);
  EXPECT_EQ(Mp3Of(mixed + Frame(5).substr(0, 100)), FramesLength(200));
  EXPECT_EQ(Mp3Of(mixed + "\x01"), FramesLength(200));
}

TEST(Mp3HeaderLength, ABrokenFrameChainIsNotAnswered) {
  // Bytes that are no frame between frames, at the start, the middle or the end
  // of a one-rate file: the file is not what its first frames say.
  const std::string frames = Repeat(Frame(9), 1000);
  const std::string junk(2000, '\x12');
  EXPECT_EQ(Mp3Of(Repeat(Frame(9), 3) + junk + frames), std::nullopt);
  // (1019 frames put the junk a few kilobytes after the middle of the file.)
  EXPECT_EQ(Mp3Of(Repeat(Frame(9), 1019) + junk + frames), std::nullopt);
  EXPECT_EQ(Mp3Of(frames + frames + junk), std::nullopt);
  // Frames of another sample rate in the middle.
  EXPECT_EQ(Mp3Of(frames + Repeat(Frame(9, false, 2), 100) + frames), std::nullopt);
}

TEST(Mp3HeaderLength, GivesNothingWhereTheHeaderDoesNotSettleIt) {
  // A lone header-like pattern not followed by a second frame.
  EXPECT_EQ(Mp3Of(Frame(9) + std::string(600, '\x12')), std::nullopt);
  // Bytes of 0xFF (the forbidden bit rate), free format, reserved layer, nothing.
  EXPECT_EQ(Mp3Of(std::string(512, '\xff')), std::nullopt);
  std::string free = Frame(9);
  free[2] = 0x00;
  EXPECT_EQ(Mp3Of(free + free), std::nullopt);
  EXPECT_EQ(Mp3Of(""), std::nullopt);
  // A Xing tag without the frame-count flag, and one claiming no frames.
  std::string noCount = Frame(9);
  noCount.replace(36, 4, "Xing");
  PutBe32(noCount, 40, 0x0E);
  EXPECT_EQ(Mp3Of(noCount + Frame(9)), std::nullopt);
  PutBe32(noCount, 40, 0x01);
  PutBe32(noCount, 44, 0);
  EXPECT_EQ(Mp3Of(noCount + Frame(9)), std::nullopt);
}

// An APE tag: items (bodyBytes of filler), footer, and the header version 2 may put first.
std::string Ape(std::uint32_t version, bool header, std::size_t bodyBytes) {
  const auto block = [&](std::uint32_t flags) {
    std::string out = "APETAGEX";
    PutLe32(out, version);
    PutLe32(out, static_cast<std::uint32_t>(bodyBytes + 32));
    PutLe32(out, 1);
    PutLe32(out, flags);
    out.append(8, '\0');
    return out;
  };
  const std::uint32_t hasHeader = header ? 0x80000000u : 0;
  return (header ? block(hasHeader | 0x20000000u) : std::string()) + std::string(bodyBytes, 'a') + block(hasHeader);
}

std::string Lyrics3v2(std::size_t lyricsBytes, std::size_t statedExtra = 0) {
  const std::string body = "LYRICSBEGIN" + std::string(lyricsBytes, 'l');
  const std::string size = std::to_string(body.size() + statedExtra);
  return body + std::string(6 - size.size(), '0') + size + "LYRICS200";
}

std::string Lyrics3v1(std::size_t lyricsBytes) { return "LYRICSBEGIN" + std::string(lyricsBytes, 'l') + "LYRICSEND"; }

std::string Id3v1() { return "TAG" + std::string(125, 't'); }

TEST(TagsAtTheEnd, AreNotAudioInAnyOrder) {
  const std::string audio(3000, '\x77');
  const struct {
    const char* name;
    std::string tags;
  } cases[] = {
      {"ID3v1", Id3v1()},
      {"APEv2 with header", Ape(2000, true, 150'000)},
      {"APEv2 without header, ID3v1", Ape(2000, false, 4000) + Id3v1()},
      {"APEv1, ID3v1", Ape(1000, false, 700) + Id3v1()},
      {"ID3v1, then APEv2", Id3v1() + Ape(2000, true, 500)},
      {"Lyrics3v1, ID3v1", Lyrics3v1(5000) + Id3v1()},
      {"Lyrics3v2, ID3v1", Lyrics3v2(90'000) + Id3v1()},
      {"Lyrics3v2, APEv2, ID3v1", Lyrics3v2(100) + Ape(2000, true, 100) + Id3v1()},
      {"APEv2, Lyrics3v2, ID3v1", Ape(2000, false, 100) + Lyrics3v2(100) + Id3v1()},
      {"APEv2 holding nothing", Ape(2000, true, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = "ID3" + audio + c.tags;
    MemorySource source(BytesOf(file));
    EXPECT_EQ(AudioEndBeforeTags(source, 3), 3 + audio.size());
  }
}

TEST(TagsAtTheEnd, ThatDoNotHoldTogetherAreLeftAsAudio) {
  const std::string audio(3000, '\x77');
  std::string noHeader = Ape(2000, true, 300);
  noHeader.replace(0, 8, "XXXXXXXX");
  const struct {
    const char* name;
    std::string tail;
    std::size_t tagBytes;  // of the tail, what is a tag
  } cases[] = {
      // Version 1 lyrics stand only before an ID3v1 tag.
      {"Lyrics3v1 without ID3v1", Lyrics3v1(100), 0},
      {"Lyrics3v1 beyond its longest", Lyrics3v1(6000) + Id3v1(), 128},
      {"APE claiming more than the file", Ape(2000, false, 5000).substr(5000), 0},
      {"APE saying it has a header it lacks", noHeader, 0},
      {"APE of an unknown version", Ape(3000, false, 10), 0},
      {"Lyrics3v2 size not at its start", Lyrics3v2(100, 1) + Id3v1(), 128},
      {"Lyrics3v2 size not digits", Lyrics3v2(100).replace(111, 1, "x"), 0},
      {"ID3v1 cut short", Id3v1().substr(1), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = audio + c.tail;
    MemorySource source(BytesOf(file));
    EXPECT_EQ(AudioEndBeforeTags(source, 0), file.size() - c.tagBytes);
  }
  // The audio's start bounds every tag: a tag reaching into the ID3v2 tag is none.
  const std::string file = Ape(2000, false, 200);
  MemorySource source(BytesOf(file));
  EXPECT_EQ(AudioEndBeforeTags(source, 10), file.size());
  EXPECT_EQ(AudioEndBeforeTags(source, 0), 0u);
  EXPECT_EQ(AudioEndBeforeTags(source, file.size() + 5), file.size() + 5);
}

TEST(Id3v2Span, CountsHeaderBodyAndFooterAndRefusesBadSizes) {
  const std::string v3("ID3\x03\x00\x00\x00\x00\x02\x01", 10);
  EXPECT_EQ(Id3v2TagSpan(reinterpret_cast<const std::uint8_t*>(v3.data()), v3.size()), 10u + 257u);
  const std::string v4footer("ID3\x04\x00\x10\x00\x00\x00\x05", 10);
  EXPECT_EQ(Id3v2TagSpan(reinterpret_cast<const std::uint8_t*>(v4footer.data()), v4footer.size()), 25u);
  const std::string notSynchsafe("ID3\x03\x00\x00\x00\x00\x80\x00", 10);
  EXPECT_EQ(Id3v2TagSpan(reinterpret_cast<const std::uint8_t*>(notSynchsafe.data()), 10), 0u);
  EXPECT_EQ(Id3v2TagSpan(reinterpret_cast<const std::uint8_t*>("ID3"), 3), 0u);
}

TEST(HeaderLengthFile, SkipsTheTagsAroundTheAudioAndChoosesByExtension) {
  kestrun::testing::TempDir dir;
  const std::string audio = Repeat(Frame(9) + Frame(9, true), 200);
  // A tag of 20,000 bytes (a cover picture, say) puts the audio past the first read.
  constexpr std::uint32_t kBody = 19990;
  const std::string tag = testing::Tag("", kBody);
  std::string id3v1 = "TAG";
  id3v1.append(125, 'x');
  const std::string path = dir.File("song.MP3");
  ASSERT_TRUE(kestrun::testing::WriteBytes(path, tag + audio + id3v1));
  EXPECT_EQ(ReadHeaderDuration(path), static_cast<std::int64_t>(audio.size()) * 8 * kSecond / 128000);

  const std::string wav = dir.File("tone.wav");
  ASSERT_TRUE(kestrun::testing::WriteBytes(wav, Wav(1, 4000, 12000, 12000)));
  EXPECT_EQ(ReadHeaderDuration(wav), 3 * kSecond);
  // The same bytes under another name are not looked at, nor is a missing file.
  const std::string other = dir.File("tone.ogg");
  ASSERT_TRUE(kestrun::testing::WriteBytes(other, Wav(1, 4000, 12000, 12000)));
  EXPECT_EQ(ReadHeaderDuration(other), std::nullopt);
  EXPECT_EQ(ReadHeaderDuration(dir.File("missing.wav")), std::nullopt);
  // A tag that claims more than the file holds.
  const std::string liar = dir.File("liar.mp3");
  ASSERT_TRUE(kestrun::testing::WriteBytes(liar, std::string("ID3\x03\x00\x00\x7f\x7f\x7f\x7f", 10) + audio));
  EXPECT_EQ(ReadHeaderDuration(liar), std::nullopt);
}

}  // namespace
}  // namespace kestrun::tags
