#include "tags/length/header_length.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/testing/temp_dir.h"

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
  // The extensible format counts as PCM; fractions are kept in the units.
  EXPECT_EQ(WavOf(Wav(0xFFFE, 8000, 12000, 12000)), kSecond * 3 / 2);
}

TEST(WavHeaderLength, DataChunkLongerThanTheFileCountsWhatTheFileHolds) {
  // A recording cut short: the header promises 10 s, the file holds 2.
  EXPECT_EQ(WavOf(Wav(1, 1000, 10000, 2000)), 2 * kSecond);
}

TEST(WavHeaderLength, GivesNothingWhereTheHeaderDoesNotSettleIt) {
  EXPECT_EQ(WavOf(Wav(2, 1000, 1000, 1000)), std::nullopt);   // compressed (ADPCM)
  EXPECT_EQ(WavOf(Wav(1, 0, 1000, 1000)), std::nullopt);      // no byte rate
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

std::optional<std::int64_t> Mp3Of(const std::string& bytes) {
  return Mp3HeaderDuration(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), bytes.size());
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
  // Only part of the file read: the rest is counted from audioBytes.
  EXPECT_EQ(Mp3HeaderDuration(reinterpret_cast<const std::uint8_t*>(audio.data()), 1000, 16'000'000),
            static_cast<std::int64_t>(1000) * kSecond);
}

TEST(Mp3HeaderLength, GivesNothingWhereTheHeaderDoesNotSettleIt) {
  // Changing bit rate without a frame count: only a graph can tell.
  EXPECT_EQ(Mp3Of(Frame(9) + Frame(11) + Frame(9)), std::nullopt);
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
  testing::TempDir dir;
  const std::string audio = Repeat(Frame(9) + Frame(9, true), 200);
  // A tag of 20,000 bytes (a cover picture, say) puts the audio past the first read.
  constexpr std::uint32_t kBody = 19990;
  std::string tag("ID3\x03\x00\x00", 6);
  for (const int shift : {21, 14, 7, 0}) tag.push_back(static_cast<char>((kBody >> shift) & 0x7F));
  tag.append(kBody, '\0');
  std::string id3v1 = "TAG";
  id3v1.append(125, 'x');
  const std::string path = dir.File("song.MP3");
  ASSERT_TRUE(testing::WriteBytes(path, tag + audio + id3v1));
  EXPECT_EQ(ReadHeaderDuration(path), static_cast<std::int64_t>(audio.size()) * 8 * kSecond / 128000);

  const std::string wav = dir.File("tone.wav");
  ASSERT_TRUE(testing::WriteBytes(wav, Wav(1, 4000, 12000, 12000)));
  EXPECT_EQ(ReadHeaderDuration(wav), 3 * kSecond);
  // The same bytes under another name are not looked at, nor is a missing file.
  const std::string other = dir.File("tone.ogg");
  ASSERT_TRUE(testing::WriteBytes(other, Wav(1, 4000, 12000, 12000)));
  EXPECT_EQ(ReadHeaderDuration(other), std::nullopt);
  EXPECT_EQ(ReadHeaderDuration(dir.File("missing.wav")), std::nullopt);
  // A tag that claims more than the file holds.
  const std::string liar = dir.File("liar.mp3");
  ASSERT_TRUE(testing::WriteBytes(liar, std::string("ID3\x03\x00\x00\x7f\x7f\x7f\x7f", 10) + audio));
  EXPECT_EQ(ReadHeaderDuration(liar), std::nullopt);
}

}  // namespace
}  // namespace kestrun::tags
