#include "playlist/tag_commands.h"

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"
#include "playlist/entry_tags.h"
#include "playlist/memory_row_store.h"
#include "resources/menu_ids.h"
#include "tags/editor/tests/editor_test_files.h"

namespace kestrun::playlist {
namespace {

using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace tags::testing;

TEST(TagCommands, RenameTouchesOnlySelectedRowsAndOnlyTheirPathCell) {
  TempDir dir;
  MemoryRowStore rows;
  const std::string first = dir.File("a.mp3");
  const std::string second = dir.File("b.mp3");
  ASSERT_TRUE(WriteBytes(first, Audio() + Id3v1Bytes(TitleArtist("One", "Band"))));
  ASSERT_TRUE(WriteBytes(second, Audio() + Id3v1Bytes(TitleArtist("Two", "Band"))));
  appendRow(rows, first);
  appendRow(rows, second);
  rows.SetCell(1, Column::Title, "kept title");
  rows.SetCell(1, Column::Length, "03:00");
  rows.SetSelected(1, true);

  const auto form = RenameFormForCommand(IDM_RENAME_ARTIST_DASH_TITLE);
  ASSERT_EQ(form, tags::RenameForm::ArtistDashTitle);
  EXPECT_EQ(RenameSelectedRows(rows, *form, {}), 1);
  EXPECT_EQ(rows.Cell(0, Column::Path), first);
  EXPECT_EQ(rows.Cell(1, Column::Path), dir.File("Band - Two.mp3"));
  EXPECT_EQ(rows.Cell(1, Column::Title), "kept title");
  EXPECT_EQ(rows.Cell(1, Column::Length), "03:00");
  EXPECT_TRUE(platform::FileExists(dir.File("Band - Two.mp3")));
  EXPECT_TRUE(platform::FileExists(first));

  EXPECT_EQ(RenameFormForCommand(IDM_RENAME_TITLE), tags::RenameForm::Title);
  EXPECT_EQ(RenameFormForCommand(IDM_RENAME_USER_PATTERN_SETUP), std::nullopt);
}

// Reading tags into rows through the lookup the playlist window uses, with real files.
TEST(TagCommands, ReadEntryTagsKeepsAnArtistWhenNoneIsFound) {
  TempDir dir;
  MemoryRowStore rows;
  const std::string tagged = dir.File("t.mp3");
  const std::string bare = dir.File("bare.mp3");
  ASSERT_TRUE(WriteBytes(tagged, Id3v2TitleArtist("Song", "Band") + Audio()));
  ASSERT_TRUE(WriteBytes(bare, Audio()));
  appendRow(rows, tagged);
  appendRow(rows, bare);
  rows.SetCell(1, Column::Artist, "earlier");
  const TitleLookup lookup = [](const std::string& path, std::string& title, std::string& artist) {
    LookUpTitleArtist(path, false, title, artist);
  };
  readEntryTags(rows, 0, lookup);
  readEntryTags(rows, 1, lookup);
  EXPECT_EQ(rows.Cell(0, Column::Title), "Song");
  EXPECT_EQ(rows.Cell(0, Column::Artist), "Band");
  EXPECT_EQ(rows.Cell(1, Column::Title), "bare.mp3");
  EXPECT_EQ(rows.Cell(1, Column::Artist), "earlier");
}

}  // namespace
}  // namespace kestrun::playlist
