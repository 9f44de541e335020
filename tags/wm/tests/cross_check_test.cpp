// Cross-checks against independent tools: ffmpeg makes tagged .wma and .wmv files,
// we read them; we write fields, and mutagen and ffprobe read them back; ffmpeg
// decodes the rewritten file to the same audio and video as before.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/testing/command_output.h"
#include "platform/testing/temp_dir.h"
#include "tags/wm/tests/asf_test_file.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::MutagenPython;
using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using tags::testing::Fields;

std::string RunCommand(const std::string& command) { return kestrun::testing::CommandOutput(command); }
bool Have(const std::string& tool) { return kestrun::testing::HaveTool(tool); }

std::string ScriptPath() { return KESTRUN_WM_MUTAGEN_DUMP; }

// "key": value pairs of a flat JSON text are checked by substring: enough for the
// ASCII-escaped output of the tools.
void ExpectJsonHas(const std::string& json, const std::string& pair) {
  EXPECT_NE(json.find(pair), std::string::npos) << "missing " << pair << " in " << json;
}

class CrossCheck : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Have("ffmpeg") && Have("ffprobe")) << "ffmpeg and ffprobe are needed"; }

  // Makes a tagged file; video adds a small test picture stream.
  std::string Make(const std::string& name, bool video, const std::string& metadata) {
    const std::string path = dir_.File(name);
    std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y ";
    if (video) cmd += "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 ";
    cmd += "-f lavfi -i sine=frequency=440:duration=1 ";
    if (video) cmd += "-c:v wmv2 ";
    cmd += "-c:a wmav2 -b:a 64k " + metadata + " '" + path + "' 2>&1";
    const std::string out = RunCommand(cmd);
    EXPECT_EQ(out, "") << cmd;
    return path;
  }

  static std::string Decoded(const std::string& path, const char* stream) {
    return RunCommand("ffmpeg -nostdin -hide_banner -loglevel error -i '" + path + "' -map 0:" + stream +
                      " -f md5 - 2>&1");
  }

  static std::string Probe(const std::string& path) {
    return RunCommand("ffprobe -hide_banner -loglevel error -show_entries format_tags -of json '" + path + "' 2>&1");
  }

  TempDir dir_;
};

TEST_F(CrossCheck, FieldsOfFfmpegFilesReadAsWritten) {
  const std::string meta =
      "-metadata title=Song -metadata author=Singer -metadata album=Record -metadata genre=Jazz "
      "-metadata WM/Year=1999 -metadata WM/Track=4 -metadata comment=Notes";
  for (bool video : {false, true}) {
    const std::string path = Make(video ? "in.wmv" : "in.wma", video, meta);
    WmFields f;
    ASSERT_TRUE(ReadWmFields(path.c_str(), f)) << path;
    EXPECT_STREQ(f.title, "Song");
    EXPECT_STREQ(f.artist, "Singer");
    EXPECT_STREQ(f.album, "Record");
    EXPECT_STREQ(f.genre, "Jazz");
    EXPECT_STREQ(f.year, "1999");
    EXPECT_STREQ(f.track, "5");
    EXPECT_STREQ(f.comment, "Notes");
  }
  // A numeric genre id without a genre name.
  const std::string numeric = Make("id.wma", false, "-metadata WM/GenreID=17");
  WmFields f;
  ASSERT_TRUE(ReadWmFields(numeric.c_str(), f));
  EXPECT_STREQ(f.genre, "Rock");
}

TEST_F(CrossCheck, WrittenFieldsAreReadByMutagenAndFfprobe) {
  const std::string python = MutagenPython();
  ASSERT_FALSE(python.empty()) << "python3 with mutagen is needed";
  for (bool video : {false, true}) {
    const std::string path = Make(video ? "out.wmv" : "out.wma", video, "-metadata title=Old -metadata artist=Old");
    // Shift-JIS "te su to" as the title; a long album makes the header grow.
    const std::string album(100, 'a');
    ASSERT_TRUE(WriteWmFields(
        path.c_str(), Fields("\x83\x65\x83\x58\x83\x67", "Singer", album.c_str(), "2024", "Notes", "300", "Rock")));
    const std::string tags = RunCommand(python + " '" + ScriptPath() + "' '" + path + "' 2>&1");
    ExpectJsonHas(tags, "\"Title\": [\"\\u30c6\\u30b9\\u30c8\"]");
    ExpectJsonHas(tags, "\"Author\": [\"Singer\"");  // ffmpeg keeps a second copy, which must match
    ExpectJsonHas(tags, "\"WM/AlbumTitle\": [\"" + album + "\"]");
    ExpectJsonHas(tags, "\"Description\": [\"Notes\"]");
    ExpectJsonHas(tags, "\"WM/Year\": [\"2024\"]");
    ExpectJsonHas(tags, "\"WM/Track\": [43]");
    ExpectJsonHas(tags, "\"WM/Genre\": [\"Rock\"]");
    ExpectJsonHas(tags, "\"WM/GenreID\": [\"Rock\"]");
    EXPECT_EQ(tags.find("Old"), std::string::npos) << tags;

    const std::string probe = Probe(path);
    ExpectJsonHas(probe, "\"title\": \"\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\"");  // UTF-8
    ExpectJsonHas(probe, "\"artist\": \"Singer\"");
    ExpectJsonHas(probe, "\"album\": \"" + album + "\"");
    ExpectJsonHas(probe, "\"genre\": \"Rock\"");
    ExpectJsonHas(probe, "\"WM/Track\": \"43\"");
  }
}

TEST_F(CrossCheck, RewrittenFileDecodesToTheSameSamples) {
  for (bool video : {false, true}) {
    const std::string path = Make(video ? "dec.wmv" : "dec.wma", video, "-metadata title=x");
    const std::string audioBefore = Decoded(path, "a");
    const std::string videoBefore = video ? Decoded(path, "v") : "";
    ASSERT_EQ(audioBefore.rfind("MD5=", 0), 0u) << audioBefore;
    const std::size_t sizeBefore = ReadBytes(path).size();
    const std::string longTitle(120, 't');
    ASSERT_TRUE(WriteWmFields(path.c_str(), Fields(longTitle.c_str(), "a", "b", "2000", "c", "7", "Pop")));
    ASSERT_GT(ReadBytes(path).size(), sizeBefore);  // the header really moved the data
    EXPECT_EQ(Decoded(path, "a"), audioBefore);
    if (video) EXPECT_EQ(Decoded(path, "v"), videoBefore);
    // Shrinking again works as well.
    ASSERT_TRUE(WriteWmFields(path.c_str(), Fields("", "", "", "", "", "", "")));
    EXPECT_EQ(Decoded(path, "a"), audioBefore);
  }
}

}  // namespace
}  // namespace kestrun::tags
