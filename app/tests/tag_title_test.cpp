// The main window's title comes from the tags of the file it plays.
#include <gtest/gtest.h>

#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/temp_dir.h"
#include "tags/editor/title_lookup.h"
#include "tags/editor/tests/editor_test_files.h"

namespace kestrun::testing {
namespace {

class TagTitleTest : public PlayerWindowTest {
 protected:
  void TearDown() override {
    PlayerWindowTest::TearDown();
    tags::SetLookupAlwaysId3v1(false);
  }
};

TEST_F(TagTitleTest, PlayingATaggedMp3ShowsTitleAndArtist) {
  const std::string audio = ReadBytes(MediaPath("tone.mp3"));
  ASSERT_FALSE(audio.empty());
  const std::string path = MediaPath("tagged-title.mp3");
  ASSERT_TRUE(WriteBytes(path, tags::testing::Id3v2TitleArtist("Song", "Band") + audio +
                                   tags::testing::Id3v1Bytes(tags::testing::TitleArtist("Old", "Name"))));
  OpenAndPlay(path.c_str());
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_EQ(WindowText(main_), "Song - Band");
  EXPECT_EQ(WindowText(Main().titleDisplay()), "Song - Band");
  Engine().StopAndClose();

  // With "AlwaysID3v1" the same file shows its ID3v1 title.
  tags::SetLookupAlwaysId3v1(true);
  OpenAndPlay(path.c_str());
  EXPECT_EQ(WindowText(main_), "Old - Name");
  Engine().StopAndClose();
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace kestrun::testing
