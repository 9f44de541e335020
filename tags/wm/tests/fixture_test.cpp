// Small files made by ffmpeg, kept in the test data folder so that the Windows
// build (under Wine) reads real encoder output too.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/testing/temp_dir.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

std::string FixturePath(const std::string& name) {
  return kestrun::testing::SourceTreePath("tags/wm/tests/data/" + name);
}

TEST(WmFixtures, EncoderOutputReadsAsTagged) {
  WmFields f;
  ASSERT_TRUE(ReadWmFields(FixturePath("ffmpeg_tagged.wma").c_str(), f));
  EXPECT_STREQ(f.title, "\x83\x65\x83\x58\x83\x67");  // katakana "te su to" in code page 932
  EXPECT_STREQ(f.artist, "Singer");
  EXPECT_STREQ(f.album, "Record");
  EXPECT_STREQ(f.genre, "Jazz");
  EXPECT_STREQ(f.year, "1999");
  EXPECT_STREQ(f.track, "5");
  EXPECT_STREQ(f.comment, "Notes");

  ASSERT_TRUE(ReadWmFields(FixturePath("ffmpeg_genre_id.wmv").c_str(), f));
  EXPECT_STREQ(f.title, "Clip");
  EXPECT_STREQ(f.genre, "Rock");
  EXPECT_STREQ(f.track, "1");

  EXPECT_FALSE(ReadWmFields(FixturePath("ffmpeg_header_cut_short.wma").c_str(), f));
}

TEST(WmFixtures, EncoderOutputRewritesAndKeepsItsPackets) {
  TempDir dir;
  const std::string original = ReadBytes(FixturePath("ffmpeg_genre_id.wmv"));
  ASSERT_FALSE(original.empty());
  const std::string path = dir.File("copy.wmv");
  ASSERT_TRUE(WriteBytes(path, original));
  WmFields f{};
  std::strcpy(f.title, "A title long enough to grow the header");
  std::strcpy(f.track, "2");
  std::strcpy(f.genre, "Pop");
  ASSERT_TRUE(WriteWmFields(path.c_str(), f));
  const std::string written = ReadBytes(path);
  // Everything from the Data Object on is unchanged.
  const std::string tail = original.substr(original.size() - 3000);
  EXPECT_EQ(written.substr(written.size() - tail.size()), tail);
  WmFields back;
  ASSERT_TRUE(ReadWmFields(path.c_str(), back));
  EXPECT_STREQ(back.title, f.title);
  EXPECT_STREQ(back.track, "2");
  EXPECT_STREQ(back.genre, "Pop");
}

}  // namespace
}  // namespace kestrun::tags
