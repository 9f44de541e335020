#include "playlist/memory_row_store.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "playlist/row_order.h"

namespace kestrun::playlist {
namespace {

std::vector<int> Keys(const RowStore& rows) {
  std::vector<int> keys;
  for (int row = 0; row < rows.RowCount(); ++row) keys.push_back(rows.Key(row));
  return keys;
}

TEST(RowKeys, CountFromZeroInAnEmptyListAndStayUnique) {
  MemoryRowStore rows;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(appendRow(rows, "r"), i);
  EXPECT_EQ(Keys(rows), (std::vector<int>{0, 1, 2, 3, 4}));
  rows.DeleteRow(4);  // a key taken from the row count would now repeat key 4
  rows.DeleteRow(0);
  appendRow(rows, "r");
  rows.InsertRow(1, "r");
  const std::vector<int> keys = Keys(rows);
  EXPECT_EQ(std::set<int>(keys.begin(), keys.end()).size(), keys.size());

  rows.DeleteAllRows();
  appendRow(rows, "x");
  appendRow(rows, "y");
  EXPECT_EQ(Keys(rows), (std::vector<int>{0, 1}));
}

TEST(RowKeys, RowOfKeyFollowsTheRowThroughSortsAndRemovals) {
  MemoryRowStore rows;
  for (const char* path : {"c", "a", "b"}) appendRow(rows, path);
  const int keyOfA = rows.Key(1);
  rows.SortByKeys([&](int a, int b) { return a == keyOfA ? -1 : (b == keyOfA ? 1 : 0); });
  EXPECT_EQ(rows.RowOfKey(keyOfA), 0);
  EXPECT_EQ(rows.Cell(rows.RowOfKey(keyOfA), Column::Path), "a");
  rows.DeleteRow(0);
  EXPECT_EQ(rows.RowOfKey(keyOfA), -1);
}

// Every key still in the list leads back to its own row, every removed one to none.
void ExpectKeysFindTheirRows(const MemoryRowStore& rows, const std::set<int>& removed) {
  for (int row = 0; row < rows.RowCount(); ++row) EXPECT_EQ(rows.RowOfKey(rows.Key(row)), row) << "row " << row;
  for (int key : removed) EXPECT_EQ(rows.RowOfKey(key), -1) << "removed key " << key;
}

TEST(RowKeys, RowOfKeyIsNeverStaleAfterAnyChange) {
  MemoryRowStore rows;
  for (int i = 0; i < 8; ++i) appendRow(rows, std::string("p").append(std::to_string(i)));
  ExpectKeysFindTheirRows(rows, {});
  std::set<int> removed{rows.Key(2)};
  rows.DeleteRow(2);
  ExpectKeysFindTheirRows(rows, removed);
  rows.InsertRow(1, "middle");
  ExpectKeysFindTheirRows(rows, removed);
  rows.SetSelected(0, true);
  rows.SetSelected(5, true);
  removed.insert(rows.Key(0));
  removed.insert(rows.Key(5));
  rows.DeleteSelectedRows();
  ExpectKeysFindTheirRows(rows, removed);
  SortDirections directions;
  sortByColumn(rows, directions, 0);
  ExpectKeysFindTheirRows(rows, removed);
  rows.AppendRows(std::vector<PlaylistEntry>(3));
  appendRow(rows, "last");
  ExpectKeysFindTheirRows(rows, removed);
  moveRow(rows, 0, rows.RowCount() - 1);  // the moved row gets a new key
  ExpectKeysFindTheirRows(rows, removed);
  rows.ClearSelection();
  rows.SetSelected(2, true);
  rows.SetSelected(3, true);
  moveSelectedRowsUp(rows);
  ExpectKeysFindTheirRows(rows, removed);
  RowDrag drag;
  beginRowDrag(drag, rows, 1);
  dropDraggedRows(rows, drag, rows.RowCount() - 1, true);
  ExpectKeysFindTheirRows(rows, removed);
}

TEST(RowStorage, ReorderTakesOnlyAnArrangementOfItsOwnRange) {
  MemoryRowStore rows;
  for (const char* path : {"a", "b", "c", "d"}) appendRow(rows, path);
  rows.SetSelected(1, true);
  const std::vector<int> keys = Keys(rows);
  for (const std::vector<int>& refused :
       {std::vector<int>{1, 1, 2}, std::vector<int>{0, 1, 2}, std::vector<int>{2, 3, 4}, std::vector<int>{-1, 1, 2}}) {
    EXPECT_FALSE(rows.ReorderRows(1, refused));
  }
  EXPECT_FALSE(rows.ReorderRows(2, std::vector<int>{2, 3, 4}));  // past the end
  EXPECT_FALSE(rows.ReorderRows(-1, std::vector<int>{}));
  EXPECT_EQ(Keys(rows), keys) << "a refused arrangement changes nothing";
  EXPECT_TRUE(rows.ReorderRows(1, std::vector<int>{3, 1, 2}));
  EXPECT_EQ(rows.Cell(1, Column::Path) + rows.Cell(2, Column::Path) + rows.Cell(3, Column::Path), "dbc");
  EXPECT_EQ(Keys(rows), (std::vector<int>{keys[0], keys[3], keys[1], keys[2]}));
  EXPECT_TRUE(rows.IsSelected(2)) << "the selection goes with its row";
  EXPECT_FALSE(rows.IsSelected(1));
}

TEST(RowStorage, AppendedRowsKeepTheirCellsAndGetKeysOfTheirOwn) {
  MemoryRowStore rows;
  appendRow(rows, "first");
  PlaylistEntry entry;
  entry.path = "C:\\music\\one.mp3";
  entry.title = "Title";
  entry.artist = "Artist";
  entry.length = "03:25";
  entry.key = 0;  // a key the list already has: not taken over
  rows.AppendRows({entry, entry});
  ASSERT_EQ(rows.RowCount(), 3);
  EXPECT_EQ(ReadRow(rows, 2).path + ReadRow(rows, 2).title + ReadRow(rows, 2).artist + ReadRow(rows, 2).length,
            "C:\\music\\one.mp3TitleArtist03:25");
  EXPECT_EQ(Keys(rows), (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(rows.IsSelected(1));
}

// Counts what a view of the rows is told, as the list control would be.
class CountingView final : public RowView {
 public:
  void RowsAppended(int first, int count) override { appended.emplace_back(first, count); }
  void RowsRearranged() override { ++rearranged; }
  void CellChanged(int row) override { cells.push_back(row); }
  void SelectionChanged(int row) override { selections.push_back(row); }

  std::vector<std::pair<int, int>> appended;
  int rearranged = 0;
  std::vector<int> cells;
  std::vector<int> selections;
};

// A track change clears the selection and "remove selected" removes it: with
// thousands of selected rows each must be one pass and one notice to the list,
// not a walk restarted from the top (and a message to the list) per row.
TEST(Selection, ClearingAndRemovingManySelectedRowsIsOnePass) {
  MemoryRowStore rows;
  std::vector<PlaylistEntry> entries(10000);
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i].path = std::to_string(i);
  rows.AppendRows(std::move(entries));
  for (int row = 0; row < rows.RowCount(); row += 2) rows.SetSelected(row, true);
  CountingView view;
  rows.SetView(&view);

  rows.ClearSelection();
  EXPECT_EQ(rows.NextSelected(-1), -1);
  EXPECT_EQ(view.selections, std::vector<int>{-1});
  rows.ClearSelection();  // nothing selected: nothing to tell
  EXPECT_EQ(view.selections.size(), 1u);

  rows.SelectRange(0, 9999, true);
  for (int row = 1; row < rows.RowCount(); row += 2) rows.SetSelected(row, false);
  view = CountingView();
  EXPECT_EQ(rows.DeleteSelectedRows(), 5000);
  EXPECT_EQ(view.rearranged, 1);
  ASSERT_EQ(rows.RowCount(), 5000);
  EXPECT_EQ(rows.Cell(0, Column::Path), "1");
  EXPECT_EQ(rows.Cell(4999, Column::Path), "9999");
  EXPECT_EQ(rows.SelectedCount(), 0);
  EXPECT_EQ(rows.DeleteSelectedRows(), 0);
  EXPECT_EQ(view.rearranged, 1) << "removing nothing is no change";
  rows.SetView(nullptr);
}

TEST(Selection, SelectionTravelsWithItsRowsThroughSortsAndRemovals) {
  MemoryRowStore rows;
  for (const char* path : {"d", "b", "a", "c"}) appendRow(rows, path);
  rows.SetSelected(1, true);  // "b"
  rows.SetSelected(3, true);  // "c"
  SortDirections directions;
  sortByColumn(rows, directions, 0);  // descending: d c b a
  EXPECT_EQ(SelectedRows(rows), (std::vector<int>{1, 2}));
  rows.DeleteRow(0);
  EXPECT_EQ(SelectedRows(rows), (std::vector<int>{0, 1}));
  EXPECT_EQ(rows.Cell(0, Column::Path) + rows.Cell(1, Column::Path), "cb");
}

TEST(RowViewNotices, EachChangeIsToldOnceAndNoChangeIsNotTold) {
  MemoryRowStore rows;
  CountingView view;
  rows.SetView(&view);
  appendRow(rows, "a");
  appendRow(rows, "b");
  EXPECT_EQ(view.appended, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}}));
  rows.AppendRows(std::vector<PlaylistEntry>(5));
  EXPECT_EQ(view.appended.back(), std::make_pair(2, 5)) << "one notice for the whole batch";
  EXPECT_EQ(view.appended.size(), 3u);
  EXPECT_EQ(view.rearranged, 0);

  rows.SetCell(3, Column::Title, "t");
  EXPECT_EQ(view.cells, std::vector<int>{3});
  rows.SetSelected(4, true);
  rows.SetSelected(4, true);
  EXPECT_EQ(view.selections, std::vector<int>{4});

  rows.InsertRow(1, "inserted");  // rows below it moved
  EXPECT_EQ(view.rearranged, 1);
  SortDirections directions;
  sortByColumn(rows, directions, 0);
  EXPECT_EQ(view.rearranged, 2);
  rows.DeleteAllRows();
  EXPECT_EQ(view.rearranged, 3);
  rows.SetView(nullptr);
  appendRow(rows, "unseen");
  EXPECT_EQ(view.appended.size(), 3u);
}

TEST(KeyboardSearch, FindsTheNextPathStartingWithTheTypedText) {
  MemoryRowStore rows;
  for (const char* path : {"http://a/1.mp3", "B.mp3", "hTtp://b/2.mp3", "bz.mp3", "\x82\x60x.mp3", "\x82\x41y.mp3"}) {
    appendRow(rows, path);
  }
  struct Case {
    const char* prefix;
    int start;
    bool wrap;
    int found;
  } cases[] = {
      {"b", 0, true, 1},                                                // letters match either case
      {"b", 2, true, 3},                                                // from the start row on
      {"b", 4, true, 1},                                                // wrapping round to the top
      {"b", 4, false, -1},                                              // or not
      {"htt", 1, true, 2},                                              // a longer typed text
      {"http://b", 0, true, 2},  {"x", 0, true, -1}, {"", 3, true, 3},  // nothing typed: the start row
      {"b", 99, true, 1},                                               // a start outside the list counts as row 0
      {"\x82\x41", 0, true, 5},                                         // a double-byte character matches only itself,
      {"\x82\x61", 0, true, -1},                                        // its trail byte is not a letter to fold
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindRowByPathPrefix(rows, c.prefix, c.start, c.wrap), c.found) << c.prefix << " from " << c.start;
  }
  EXPECT_EQ(FindRowByPathPrefix(rows, "B.MP3", 0, true, true), 1);
  EXPECT_EQ(FindRowByPathPrefix(rows, "B.MP", 0, true, true), -1) << "a whole-text search is not a prefix search";
  EXPECT_TRUE(StartsWithIgnoringCase("\x82\x60", "\x82\x60", platform::IsCp932LeadByte));
  EXPECT_FALSE(StartsWithIgnoringCase("\x82\x60", "\x82\x40", platform::IsCp932LeadByte));
  EXPECT_FALSE(StartsWithIgnoringCase("\x82\x61", "\x82\x41", platform::IsCp932LeadByte));
}

}  // namespace
}  // namespace kestrun::playlist
