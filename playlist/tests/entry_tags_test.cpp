#include "playlist/entry_tags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playlist/bulk_run.h"
#include "playlist/memory_row_store.h"

namespace kestrun::playlist {
namespace {

TitleLookup Giving(std::string title, std::string artist) {
  return [title, artist](const std::string&, std::string& t, std::string& a) {
    t = title;
    a = artist;
  };
}

TEST(ReadEntryTags, TitleFallsBackToTheFileNameAndArtistIsKeptWhenTagsHaveNone) {
  MemoryRowStore rows;
  const int row = appendRow(rows, "C:\\\x89\xb9\x8a\x79\\\x95\x5c.mp3");
  rows.SetCell(row, Column::Artist, "old artist");
  readEntryTags(rows, row, Giving("", ""));
  // The file-name part, found past the double-byte folder name.
  EXPECT_EQ(rows.Cell(row, Column::Title), "\x95\x5c.mp3");
  EXPECT_EQ(rows.Cell(row, Column::Artist), "old artist");

  readEntryTags(rows, row, Giving("Song", ""));
  EXPECT_EQ(rows.Cell(row, Column::Title), "Song");
  EXPECT_EQ(rows.Cell(row, Column::Artist), "old artist");

  readEntryTags(rows, row, Giving("", "Singer"));
  EXPECT_EQ(rows.Cell(row, Column::Title), "\x95\x5c.mp3");
  EXPECT_EQ(rows.Cell(row, Column::Artist), "Singer");
}

TEST(ReadEntryTags, LongTextsAreCutWithoutSplittingACharacter) {
  MemoryRowStore rows;
  const int row = appendRow(rows, "C:\\a.mp3");
  // 126 ASCII bytes, then a double-byte character that would end at byte 128.
  const std::string title = std::string(126, 'x') + "\x82\xa0" + "tail";
  readEntryTags(rows, row, Giving(title, std::string(300, 'y')));
  EXPECT_EQ(rows.Cell(row, Column::Title), std::string(126, 'x'));
  EXPECT_EQ(rows.Cell(row, Column::Artist), std::string(127, 'y'));
}

TEST(ReadEntryTags, LookupSeesThePathCutToTheBuffer) {
  MemoryRowStore rows;
  const int row = appendRow(rows, std::string(400, 'p'));
  std::string seen;
  readEntryTags(rows, row, [&](const std::string& path, std::string&, std::string&) { seen = path; });
  EXPECT_EQ(seen.size(), 259u);
}

TEST(LookUpTitleArtist, FilesWithoutAReaderOrUnreadableGiveNothing) {
  std::string title = "stale";
  std::string artist = "stale";
  LookUpTitleArtist("/nonexistent/x.mp3", false, title, artist);
  EXPECT_EQ(title, "");
  EXPECT_EQ(artist, "");
  title = artist = "stale";
  LookUpTitleArtist("/nonexistent/x.ogg", false, title, artist);
  EXPECT_EQ(title + artist, "");
}

MemoryRowStore Rows(int count) {
  MemoryRowStore rows;
  for (int i = 0; i < count; ++i) appendRow(rows, std::to_string(i));
  return rows;
}

TEST(BulkRun, ASecondRunStartedFromThePumpIsRefused) {
  MemoryRowStore rows = Rows(4);
  BulkRun bulk;
  std::vector<int> visited;
  int refused = 0;
  const bool ran = bulk.Run(
      rows, AllRows(rows), [&](int row) { visited.push_back(row); },
      [&] {
        // What a dispatched command would try while the walk goes on.
        if (!bulk.Run(rows, AllRows(rows), [&](int) { visited.push_back(-1); }, {})) {
          ++refused;
        }
        EXPECT_TRUE(bulk.running());
        return true;
      });
  EXPECT_TRUE(ran);
  EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(refused, 4);
  EXPECT_FALSE(bulk.running());
  // Free again once the walk is over.
  EXPECT_TRUE(bulk.Run(rows, {0}, [](int) {}, {}));
}

TEST(BulkRun, StopsWhenThePumpSaysSoOrTheRowsAreGone) {
  MemoryRowStore rows = Rows(5);
  BulkRun bulk;
  std::vector<int> visited;
  bulk.Run(
      rows, AllRows(rows), [&](int row) { visited.push_back(row); }, [&] { return visited.size() < 2; });
  EXPECT_EQ(visited, (std::vector<int>{0, 1}));

  visited.clear();
  bulk.Run(rows, AllRows(rows),
           [&](int row) {
             visited.push_back(row);
             if (row == 1) rows.DeleteAllRows();
           },
           {});
  EXPECT_EQ(visited, (std::vector<int>{0, 1}));
  EXPECT_FALSE(bulk.running());
}

TEST(BulkRun, RowsFromTheFirstNewRow) {
  MemoryRowStore rows = Rows(3);
  EXPECT_EQ(RowsFrom(rows, 1), (std::vector<int>{1, 2}));
  EXPECT_EQ(RowsFrom(rows, 3), std::vector<int>{});
  EXPECT_EQ(RowsFrom(rows, -2), (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace kestrun::playlist
