// Header lengths of files an encoder made, against the length ffmpeg decodes
// from the same files: variable-rate MP3s with and without a Xing header and with
// a quiet opening, MP3s carrying large APE and Lyrics3 tags behind the audio, and
// extensible WAVs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/testing/command_output.h"
#include "platform/testing/temp_dir.h"
#include "tags/length/header_length.h"

namespace kestrun::tags {
namespace {

using testing::CommandOutput;
using testing::ShellQuoted;

// Two and a half frames of 1152 samples at 44.1 kHz: an encoder's delay and
// padding, which ffmpeg leaves out where a LAME header gives them.
constexpr double kToleranceSeconds = 0.066;

class LengthCrossCheck : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testing::HaveTool("ffmpeg")) << "ffmpeg is needed"; }

  // Encodes 8 s of silence followed by 16 s of a loud tone with noise: a
  // variable-rate encoder writes the opening at its lowest rate.
  std::string Encode(const std::string& name, const std::string& options) {
    const std::string path = dir_.File(name);
    const std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i anullsrc=r=44100:cl=stereo:d=8 "
        "-f lavfi -i sine=f=440:r=44100:d=16 -f lavfi -i anoisesrc=r=44100:d=16:a=0.4 -filter_complex "
        "'[1][2]amix=inputs=2,aformat=channel_layouts=stereo[loud];[0][loud]concat=n=2:v=0:a=1' " +
        options + " " + ShellQuoted(path) + " 2>&1";
    EXPECT_EQ(CommandOutput(command), "");
    return path;
  }

  // The length of the audio ffmpeg decodes from the file, in seconds.
  static double Decoded(const std::string& path, int rate) {
    const std::string bytes = CommandOutput("ffmpeg -nostdin -loglevel error -i " + ShellQuoted(path) +
                                            " -map 0:a:0 -ac 1 -c:a pcm_s16le -f s16le - 2>/dev/null | wc -c");
    return static_cast<double>(std::strtoll(bytes.c_str(), nullptr, 10)) / 2 / rate;
  }

  static void ExpectDecodedLength(const std::string& path, int rate = 44100) {
    SCOPED_TRACE(path);
    const double decoded = Decoded(path, rate);
    ASSERT_GT(decoded, 1.0);
    const std::optional<std::int64_t> header = ReadHeaderDuration(path);
    ASSERT_TRUE(header.has_value());
    EXPECT_NEAR(static_cast<double>(*header) / kHeaderUnitsPerSecond, decoded, kToleranceSeconds);
  }

  static void Append(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(testing::WriteBytes(path, testing::ReadBytes(path) + bytes));
  }

  testing::TempDir dir_;
};

TEST_F(LengthCrossCheck, VariableRateMp3sWithAndWithoutXingHeader) {
  ExpectDecodedLength(Encode("vbr_xing.mp3", "-c:a libmp3lame -q:a 2"));
  // Without a header the quiet opening's rate would make this file several times
  // longer than it is.
  ExpectDecodedLength(Encode("vbr_bare.mp3", "-c:a libmp3lame -q:a 2 -write_xing 0"));
  ExpectDecodedLength(Encode("abr_bare.mp3", "-c:a libmp3lame -abr 1 -b:a 160k -write_xing 0 -write_id3v1 1"));
  // One rate throughout, with and without the header that says so.
  ExpectDecodedLength(Encode("cbr_info.mp3", "-c:a libmp3lame -b:a 128k"));
  ExpectDecodedLength(Encode("cbr_bare.mp3", "-c:a libmp3lame -b:a 128k -write_xing 0 -metadata title=x"));
}

// Cover-art-sized binary data, as taggers store a picture in APE and Lyrics3 tags.
std::string CoverArt(std::size_t bytes) {
  std::string data;
  for (std::size_t i = 0; i < bytes; ++i) data.push_back(static_cast<char>((i * 7919) >> 3));
  return data;
}

std::string Lyrics3v2(const std::string& lyrics) {
  const std::string body = "LYRICSBEGIN" + std::string("IND00003110LYR") + [&] {
    char size[6];
    std::snprintf(size, sizeof size, "%05zu", lyrics.size());
    return std::string(size, 5);
  }() + lyrics;
  char size[7];
  std::snprintf(size, sizeof size, "%06zu", body.size());
  return body + std::string(size, 6) + "LYRICS200";
}

std::string Id3v1() { return "TAG" + std::string("Title") + std::string(120, '\0'); }

TEST_F(LengthCrossCheck, ApeAndLyrics3TagsBehindTheAudioAreNotAudio) {
  const std::string python = testing::MutagenPython();
  ASSERT_FALSE(python.empty()) << "python3 with mutagen is needed";
  const std::string writeApe =
      python +
      " -c \"import sys, mutagen.apev2 as a; t = a.APEv2(); t['Title'] = 'Song'; "
      "t['Cover Art (Front)'] = a.APEValue(b'cover.jpg\\0' + open(sys.argv[2], 'rb').read(), a.BINARY); "
      "t.save(sys.argv[1])\" ";
  const std::string art = dir_.File("art.bin");
  ASSERT_TRUE(testing::WriteBytes(art, CoverArt(150'000)));

  // APE (written by mutagen, with its header) at the end of a constant-rate file, a
  // variable-rate one without a header, and one that already ends in ID3v1.
  int made = 0;
  for (const char* options : {"-b:a 128k -write_xing 0", "-q:a 2 -write_xing 0", "-b:a 96k -write_id3v1 1"}) {
    const std::string path = Encode("ape" + std::to_string(++made) + ".mp3", std::string("-c:a libmp3lame ") + options);
    EXPECT_EQ(CommandOutput(writeApe + ShellQuoted(path) + " " + ShellQuoted(art) + " 2>&1"), "");
    ExpectDecodedLength(path);
  }
  // Lyrics3 version 2 with a large field, then ID3v1; and APE before it too.
  const std::string lyrics = Encode("lyrics2.mp3", "-c:a libmp3lame -b:a 128k -write_xing 0");
  Append(lyrics, Lyrics3v2(CoverArt(90'000)) + Id3v1());
  ExpectDecodedLength(lyrics);
  const std::string both = Encode("both.mp3", "-c:a libmp3lame -q:a 2 -write_xing 0");
  EXPECT_EQ(CommandOutput(writeApe + ShellQuoted(both) + " " + ShellQuoted(art) + " 2>&1"), "");
  Append(both, Lyrics3v2(CoverArt(60'000)) + Id3v1());
  ExpectDecodedLength(both);
  // Lyrics3 version 1: up to 5100 bytes of lyrics between its markers, before ID3v1.
  const std::string lyrics1 = Encode("lyrics1.mp3", "-c:a libmp3lame -b:a 64k -write_xing 0");
  Append(lyrics1, "LYRICSBEGIN" + std::string(5000, 'l') + "LYRICSEND" + Id3v1());
  ExpectDecodedLength(lyrics1);
}

TEST_F(LengthCrossCheck, ExtensibleWavCountsOnlyWithPcmData) {
  // ffmpeg writes the extensible format for more than 16 bits and for more than two channels.
  const auto wav = [&](const std::string& name, const std::string& options) {
    const std::string path = dir_.File(name);
    EXPECT_EQ(CommandOutput("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i sine=f=300:r=48000:d=3.7 " +
                            options + " " + ShellQuoted(path) + " 2>&1"),
              "");
    return path;
  };
  ExpectDecodedLength(wav("s24.wav", "-c:a pcm_s24le -ac 2"), 48000);
  ExpectDecodedLength(wav("s16_6ch.wav", "-c:a pcm_s16le -ac 6"), 48000);
  // Float samples in the extensible format: the graph measures them.
  EXPECT_EQ(ReadHeaderDuration(wav("f32_6ch.wav", "-c:a pcm_f32le -ac 6")), std::nullopt);
  EXPECT_EQ(ReadHeaderDuration(wav("f32.wav", "-c:a pcm_f32le -ac 2")), std::nullopt);
}

}  // namespace
}  // namespace kestrun::tags
