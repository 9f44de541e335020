// Files made by ffmpeg's own muxers and encoders, read by our readers: the tags
// (Japanese text, and characters outside code page 932) and the lengths, which must
// equal what ffprobe reports and what ffmpeg decodes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/testing/command_output.h"
#include "platform/testing/temp_dir.h"
#include "tags/formats/container_file.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::TempDir;

std::string RunCommand(const std::string& command) { return kestrun::testing::CommandOutput(command); }

bool HaveEncoder(const std::string& name) {
  return RunCommand("ffmpeg -hide_banner -encoders 2>/dev/null | grep -w ' " + name + " '").find(name) !=
         std::string::npos;
}

constexpr char kTitle[] = "日本語のタイトル";
constexpr char kArtist[] = "Café 🎵";

struct Made {
  const char* file;
  const char* encoder;
  // Opus files carry a pre-skip that ffprobe's duration still counts; ffmpeg's
  // decoder drops it, as every player does.
  bool probeCountsPreSkip;
};

// Seconds of audio ffmpeg decodes from the file (mono 16-bit at 48 kHz).
double DecodedSeconds(const std::string& path) {
  const std::string bytes = RunCommand("ffmpeg -v error -i '" + path + "' -f s16le -ac 1 -ar 48000 - | wc -c");
  return std::stod(bytes) / 2 / 48000;
}

TEST(ContainerFilesFromFfmpeg, TagsAndLengthsMatchTheIndependentTools) {
  if (RunCommand("command -v ffmpeg ffprobe").empty()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  const Made made[] = {
      {"a.flac", "flac", false},   {"aac.m4a", "aac", false},   {"alac.m4a", "alac", false},
      {"book.m4b", "aac", false},  {"a.opus", "libopus", true}, {"vorbis.ogg", "libvorbis", false},
      {"flac.oga", "flac", false},
  };
  TempDir dir;
  for (const Made& m : made) {
    SCOPED_TRACE(m.file);
    if (!HaveEncoder(m.encoder)) continue;
    const std::string path = dir.File(m.file);
    // 7.3 s of a tone at 44.1 kHz: neither a whole number of seconds nor of frames.
    RunCommand("ffmpeg -v error -y -f lavfi -i sine=f=440:d=7.3:r=44100 -c:a " + std::string(m.encoder) +
               " -metadata 'title=" + kTitle + "' -metadata 'artist=" + kArtist +
               "' -metadata album=Album -metadata date=2009-05-01 -metadata comment=Note -metadata track=3/12"
               " -metadata genre=Rock '" +
               path + "'");
    TagFields fields;
    ASSERT_TRUE(ReadContainerTags(path, fields, Utf8FromUtf16));
    EXPECT_EQ(fields.title, kTitle);
    EXPECT_EQ(fields.artist, kArtist);
    EXPECT_EQ(fields.album, "Album");
    EXPECT_EQ(fields.year, "2009");
    EXPECT_EQ(fields.comment, "Note");
    EXPECT_TRUE(fields.track == "3" || fields.track == "3/12") << fields.track;
    EXPECT_EQ(fields.genre, "Rock");
    TagFields ansi;
    ASSERT_TRUE(ReadContainerTags(path, ansi, AsciiOrDefaultChar));
    EXPECT_EQ(ansi.artist, "Caf? ?") << "a character the code page lacks becomes its default";

    const auto ours = ReadContainerDuration(path);
    ASSERT_TRUE(ours);
    const double seconds = static_cast<double>(*ours) / 1e7;
    const double probed =
        std::stod(RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'"));
    if (m.probeCountsPreSkip) {
      EXPECT_NEAR(probed - seconds, 312.0 / 48000, 1e-4) << "libopus's pre-skip of 312 samples";
    } else {
      EXPECT_NEAR(seconds, probed, 1e-4);
    }
    if (std::string(m.encoder) != "aac") {
      // AAC's decoded length depends on the decoder's handling of priming.
      EXPECT_NEAR(seconds, DecodedSeconds(path), 1e-4);
    }
  }
}

TEST(ContainerFilesFromFfmpeg, CutFilesGiveNoHeaderLength) {
  if (RunCommand("command -v ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is needed";
  TempDir dir;
  for (const char* name : {"a.flac", "b.m4a"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    RunCommand("ffmpeg -v error -y -f lavfi -i sine=d=5 -metadata title=T '" + path + "'");
    std::string bytes = kestrun::testing::ReadBytes(path);
    ASSERT_GT(bytes.size(), 20000u);
    ASSERT_TRUE(kestrun::testing::WriteBytes(path, bytes.substr(0, bytes.size() / 2)));
    EXPECT_FALSE(ReadContainerDuration(path));
  }
}

}  // namespace
}  // namespace kestrun::tags
