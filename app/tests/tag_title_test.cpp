// The main window's title comes from the tags of the file it plays.
#include <gtest/gtest.h>

#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/temp_dir.h"
#include "resources/menu_ids.h"
#include "tags/editor/tests/editor_test_files.h"

namespace kestrun::testing {
namespace {

using TagTitleTest = PlayerWindowTest;

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

  // With "AlwaysID3v1" chosen in the playlist's menu the same file shows its
  // ID3v1 title; choosing the automatic lookup again brings ID3v2 back.
  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_ALWAYS_ID3V1, 0);
  OpenAndPlay(path.c_str());
  EXPECT_EQ(WindowText(main_), "Old - Name");
  Engine().StopAndClose();
  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_AUTO, 0);
  OpenAndPlay(path.c_str());
  EXPECT_EQ(WindowText(main_), "Song - Band");
  Engine().StopAndClose();
  DeleteFileA(path.c_str());
}

// With "AlwaysTagRead" off a row's title is blank until it plays: playing it fills
// title and artist by the tag commands' lookup, "AlwaysID3v1" included.
TEST_F(TagTitleTest, APlayedRowShowsTheTagsTheTagCommandWouldRead) {
  const std::string audio = ReadBytes(MediaPath("tone.mp3"));
  ASSERT_FALSE(audio.empty());
  const std::string path = MediaPath("tagged-row.mp3");
  ASSERT_TRUE(WriteBytes(path, tags::testing::Id3v2TitleArtist("Song", "Band") + audio +
                                   tags::testing::Id3v1Bytes(tags::testing::TitleArtist("Old", "Name"))));
  const bool tagRead = App().settings().alwaysTagRead;
  App().settings().alwaysTagRead = false;
  App().playlist().AddFiles({path});
  App().settings().alwaysTagRead = tagRead;
  ASSERT_EQ(Rows()->RowCount(), 1);
  ASSERT_EQ(Rows()->Cell(0, playlist::Column::Title), "");
  Engine().PlayRow(0, path);
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Title), "Song");
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Artist), "Band");
  EXPECT_FALSE(Rows()->Cell(0, playlist::Column::Length).empty());

  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_ALWAYS_ID3V1, 0);
  Engine().PlayRow(0, path);
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Title), "Old");
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Artist), "Name");
  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_AUTO, 0);
  Engine().StopAndClose();
  Rows()->DeleteAllRows();
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace kestrun::testing
