// Writing ID3v2 tags into files: creating a tag, rewriting in place, growing
// through a temporary file, and what survives a write.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"
#include "tags/id3/id3v2.h"
#include "tags/id3/tests/tag_builder.h"

namespace kestrun::tags {
namespace {

using namespace tags::testing;
using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

TagFields SevenFields() {
  TagFields f;
  f.title = "Title";
  f.artist = "Artist";
  f.album = "Album";
  f.year = "2001";
  f.comment = "Comment";
  f.track = "4";
  f.genre = "Rock";
  return f;
}

void ExpectFields(const std::string& path, const TagFields& want) {
  TagFields got;
  ASSERT_TRUE(ReadId3v2Fields(path, got));
  EXPECT_EQ(got.title, want.title);
  EXPECT_EQ(got.artist, want.artist);
  EXPECT_EQ(got.album, want.album);
  EXPECT_EQ(got.year, want.year);
  EXPECT_EQ(got.comment, want.comment);
  EXPECT_EQ(got.track, want.track);
  EXPECT_EQ(got.genre, want.genre);
}

int StrayFiles(const TempDir& dir) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().filename().string().rfind("tms", 0) == 0) ++count;
  }
  return count;
}

class Id3v2WriteFile : public ::testing::Test {
 protected:
  TempDir dir_;
  const std::string audio_ = Audio(5000);
};

TEST_F(Id3v2WriteFile, UntaggedFileGetsATagSizedForTheFileNameFrame) {
  const std::string path = dir_.File("My Song.mp3");
  ASSERT_TRUE(WriteBytes(path, audio_));
  ASSERT_TRUE(WriteId3v2Fields(path, SevenFields()));
  const std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.substr(0, 5), std::string("ID3\x03\x00", 5));
  // The first body is TIT2 "My Song" (10 + 1 + 7 bytes); the seven fields then fit in place.
  const std::uint32_t size = TagSizeOf(bytes);
  EXPECT_EQ(size, 18u + 2048u);
  ASSERT_EQ(bytes.size(), 10 + size + audio_.size());
  EXPECT_EQ(bytes.substr(10 + size), audio_);
  ExpectFields(path, SevenFields());
  EXPECT_EQ(StrayFiles(dir_), 0);
}

TEST_F(Id3v2WriteFile, CreatedTagGrowsWhenTheFieldsNeedMoreThanItsPadding) {
  const std::string path = dir_.File("a.mp3");
  ASSERT_TRUE(WriteBytes(path, audio_));
  TagFields f = SevenFields();
  f.comment = std::string(3000, 'c');
  ASSERT_TRUE(WriteId3v2Fields(path, f));
  const std::string bytes = ReadBytes(path);
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  const std::size_t body = tag.SerializeFrames().size();
  EXPECT_EQ(TagSizeOf(bytes), body + 2048);
  EXPECT_EQ(bytes.substr(10 + TagSizeOf(bytes)), audio_);
  EXPECT_EQ(tag.GetComment(), f.comment);
}

TEST_F(Id3v2WriteFile, CreatedTitleIsTheFileNameWithoutDoubleByteConfusion) {
  // 0x95 0x5C is one Shift-JIS character whose trail byte looks like "\".
  const std::string name =
      "\x95\x5C"
      "x.mp3";
  const std::string path = dir_.File(name);
  ASSERT_TRUE(WriteBytes(path, audio_));
  Id3v2Tag tag;
  ASSERT_EQ(tag.CreateTag(path), 0);
  EXPECT_EQ(tag.CreateTag(path), kId3v2NoTag) << "a tag is created only once";
  Id3v2Tag loaded;
  ASSERT_EQ(loaded.LoadTag(path), 0);
  EXPECT_EQ(loaded.GetTitle(),
            "\x95\x5C"
            "x");
}

TEST_F(Id3v2WriteFile, LongerTitleWithinThePaddingRewritesOnlyTheTag) {
  const std::string path = dir_.File("p.mp3");
  ASSERT_TRUE(WriteBytes(path, Tag(Frame23("TIT2", Text("Short")), 200) + audio_));
  const std::size_t before = ReadBytes(path).size();
  TagFields f;
  f.title = "A slightly longer title";
  ASSERT_TRUE(WriteId3v2Fields(path, f));
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.size(), before);
  EXPECT_EQ(TagSizeOf(bytes), Frame23("TIT2", Text("Short")).size() + 200);
  EXPECT_EQ(bytes.substr(bytes.size() - audio_.size()), audio_);
  ExpectFields(path, f);
}

TEST_F(Id3v2WriteFile, TagGrowsThroughATemporaryFileWithPadding) {
  const std::string path = dir_.File("g.mp3");
  ASSERT_TRUE(WriteBytes(path, Tag(Frame23("TIT2", Text("T")) + Frame23("APIC", std::string(500, 'p')), 4) + audio_));
  const TagFields f = SevenFields();
  ASSERT_TRUE(WriteId3v2Fields(path, f));
  const std::string bytes = ReadBytes(path);
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(TagSizeOf(bytes), tag.SerializeFrames().size() + 2048);
  EXPECT_EQ(bytes.substr(10 + TagSizeOf(bytes)), audio_);
  EXPECT_EQ(tag.FrameAt("APIC").data.size(), 500u) << "other frames are kept";
  ExpectFields(path, f);
  EXPECT_EQ(StrayFiles(dir_), 0);
}

TEST_F(Id3v2WriteFile, SecondCommentFrameIsKeptOnWrite) {
  const std::string path = dir_.File("c.mp3");
  ASSERT_TRUE(WriteBytes(
      path, Tag(Frame23("COMM", std::string("\0eng\0one", 8)) + Frame23("COMM", std::string("\0eng\0two", 8)), 100) +
                audio_));
  TagFields f;
  f.title = "x";
  f.comment = "one";
  ASSERT_TRUE(WriteId3v2Fields(path, f));
  const std::string bytes = ReadBytes(path);
  const std::size_t one = bytes.find(Frame23("COMM", std::string("\0eng\0one", 8)));
  const std::size_t two = bytes.find(Frame23("COMM", std::string("\0eng\0two", 8)));
  ASSERT_NE(one, std::string::npos);
  ASSERT_NE(two, std::string::npos);
  EXPECT_LT(one, two) << "frames of one ID keep their order";
  // Changing the comment replaces the first one only.
  f.comment = "new";
  ASSERT_TRUE(WriteId3v2Fields(path, f));
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(tag.GetComment(), "new");
  EXPECT_EQ(tag.FrameCount("COMM"), 2u);
  EXPECT_NE(ReadBytes(path).find(Frame23("COMM", std::string("\0eng\0two", 8))), std::string::npos);
}

TEST_F(Id3v2WriteFile, FalseSyncInTextSetsUnsynchronisation) {
  const std::string path = dir_.File("s.mp3");
  ASSERT_TRUE(WriteBytes(path, audio_));
  TagFields f = SevenFields();
  f.title = "A\xFF\xE0Z";
  ASSERT_TRUE(WriteId3v2Fields(path, f));
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(static_cast<unsigned char>(bytes[5]) & 0x80, 0x80);
  EXPECT_NE(bytes.find(std::string("A\xFF\x00\xE0Z", 5)), std::string::npos);
  ExpectFields(path, f);
  EXPECT_EQ(bytes.substr(bytes.size() - audio_.size()), audio_);
}

TEST_F(Id3v2WriteFile, ReadOnlyFileIsWrittenAndStaysReadOnly) {
  for (const bool tagged : {false, true}) {
    const std::string path = dir_.File(tagged ? "ro_tagged.mp3" : "ro_plain.mp3");
    ASSERT_TRUE(WriteBytes(path, (tagged ? Tag(Frame23("TIT2", Text("x")), 50) : "") + audio_));
    ASSERT_TRUE(platform::SetReadOnly(path, true));
    ASSERT_TRUE(WriteId3v2Fields(path, SevenFields())) << tagged;
    bool readOnly = false;
    ASSERT_TRUE(platform::IsReadOnly(path, readOnly));
    EXPECT_TRUE(readOnly) << tagged;
    ExpectFields(path, SevenFields());
  }
}

TEST_F(Id3v2WriteFile, UnreadableTagsAreNeverOverwritten) {
  for (const char* name : {"id3v24_tag.mp3", "tag_size_beyond_file.mp3", "extended_header_beyond_body.mp3"}) {
    const std::string original = ReadBytes(FixturePath(name));
    ASSERT_FALSE(original.empty()) << name;
    const std::string path = dir_.File(name);
    ASSERT_TRUE(WriteBytes(path, original));
    EXPECT_FALSE(WriteId3v2Fields(path, SevenFields())) << name;
    EXPECT_EQ(ReadBytes(path), original) << name;
  }
}

TEST_F(Id3v2WriteFile, SaveNeedsATag) {
  Id3v2Tag tag;
  EXPECT_EQ(tag.SaveTag(dir_.File("none.mp3")), kId3v2NoTag);
  EXPECT_FALSE(WriteId3v2Fields(dir_.File("missing.mp3"), SevenFields()));
  EXPECT_FALSE(platform::FileExists(dir_.File("missing.mp3")));
}

}  // namespace
}  // namespace kestrun::tags
