#include "playlist/row_order.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

#include "playlist/memory_row_store.h"

namespace kestrun::playlist {
namespace {

// Rows "r0" .. "r<n-1>", each with title, artist and length derived from its path.
MemoryRowStore Numbered(int count, std::initializer_list<int> selected = {}) {
  MemoryRowStore rows;
  for (int i = 0; i < count; ++i) {
    // Built piece by piece: GCC 12 warns falsely about "literal" + std::string here.
    std::string name = "r";
    name += std::to_string(i);
    const int row = appendRow(rows, name);
    rows.SetCell(row, Column::Title, std::string("t").append(name));
    rows.SetCell(row, Column::Artist, std::string("a").append(name));
    rows.SetCell(row, Column::Length, std::string("l").append(name));
  }
  for (int row : selected) rows.SetSelected(row, true);
  return rows;
}

// The paths in row order, selected rows marked "*"; checks that every row kept
// its own cells and that keys are still unique.
std::string Order(const RowStore& rows) {
  std::string order;
  std::set<int> keys;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const std::string path = rows.Cell(row, Column::Path);
    EXPECT_EQ(rows.Cell(row, Column::Title) + rows.Cell(row, Column::Artist) + rows.Cell(row, Column::Length),
              "t" + path + "a" + path + "l" + path);
    keys.insert(rows.Key(row));
    order += (row ? " " : "") + path + (rows.IsSelected(row) ? "*" : "");
  }
  EXPECT_EQ(keys.size(), static_cast<size_t>(rows.RowCount()));
  return order;
}

std::string SortedColumn(std::initializer_list<std::string> texts, Column column, int clicks) {
  MemoryRowStore rows;
  for (const std::string& text : texts) rows.SetCell(appendRow(rows, "p"), column, text);
  SortDirections directions;
  for (int i = 0; i < clicks; ++i) sortByColumn(rows, directions, static_cast<int>(column));
  std::string order;
  for (int row = 0; row < rows.RowCount(); ++row) order += rows.Cell(row, column) + ",";
  return order;
}

TEST(SortByColumn, FirstClickDescendingThenAlternatingPerColumn) {
  EXPECT_EQ(SortedColumn({"B", "C", "A"}, Column::Artist, 1), "C,B,A,");
  EXPECT_EQ(SortedColumn({"B", "C", "A"}, Column::Artist, 2), "A,B,C,");
  EXPECT_EQ(SortedColumn({"B", "C", "A"}, Column::Artist, 3), "C,B,A,");
  SortDirections directions;
  MemoryRowStore rows = Numbered(3);
  sortByColumn(rows, directions, 2);
  sortByColumn(rows, directions, 1);
  sortByColumn(rows, directions, 4);  // not a column
  EXPECT_EQ(directions.value, (std::array<int, 4>{0, 2, 2, 0}));
}

TEST(SortByColumn, PlainUnsignedBytesOverTheFirst63) {
  EXPECT_EQ(SortedColumn({"b", "\x82\xa0", "B", "1", "", "a"}, Column::Title, 2), ",1,B,a,b,\x82\xa0,");
  EXPECT_EQ(SortedColumn({"09:59", "125:07", "10:00"}, Column::Length, 2), "09:59,10:00,125:07,");
  const std::string same(63, 'x');
  // Equal under the comparison: this store keeps their order.
  EXPECT_EQ(SortedColumn({same + "b", same + "a", same + "c"}, Column::Title, 1),
            same + "b," + same + "a," + same + "c,");
  const std::string shorter(62, 'x');
  EXPECT_EQ(SortedColumn({shorter + "a", shorter + "b"}, Column::Title, 1), shorter + "b," + shorter + "a,");
}

TEST(SortByColumn, WholeRowsTravelTogether) {
  MemoryRowStore rows = Numbered(12);
  SortDirections directions;
  sortByColumn(rows, directions, 0);
  EXPECT_EQ(Order(rows), "r9 r8 r7 r6 r5 r4 r3 r2 r11 r10 r1 r0");
}

TEST(MoveSelectedRows, UpAndDownMoveBlocksOnePlace) {
  MemoryRowStore up = Numbered(5, {2, 3});
  EXPECT_TRUE(moveSelectedRowsUp(up));
  EXPECT_EQ(Order(up), "r0 r2* r3* r1 r4");
  MemoryRowStore down = Numbered(5, {0, 1, 2});
  EXPECT_TRUE(moveSelectedRowsDown(down));
  EXPECT_EQ(Order(down), "r3 r0* r1* r2* r4");
}

TEST(MoveSelectedRows, NothingMovesAtTheEdgesOrWithoutSelection) {
  MemoryRowStore up = Numbered(5, {0, 3});
  EXPECT_FALSE(moveSelectedRowsUp(up));
  EXPECT_EQ(Order(up), "r0* r1 r2 r3* r4");
  MemoryRowStore down = Numbered(4, {1, 3});
  EXPECT_FALSE(moveSelectedRowsDown(down));
  EXPECT_EQ(Order(down), "r0 r1* r2 r3*");
  MemoryRowStore none = Numbered(3);
  EXPECT_FALSE(moveSelectedRowsDown(none));
  EXPECT_FALSE(moveSelectedRowsUp(none));
  EXPECT_EQ(Order(none), "r0 r1 r2");
  MemoryRowStore empty;
  EXPECT_FALSE(moveSelectedRowsUp(empty));
  EXPECT_FALSE(moveSelectedRowsDown(empty));
}

TEST(SwapAndMoveRow, CellsMoveSelectionFollows) {
  MemoryRowStore rows = Numbered(6, {0});
  swapRows(rows, 0, 2);
  EXPECT_EQ(Order(rows), "r2 r1 r0* r3 r4 r5");
  EXPECT_EQ(rows.Key(0), 0);  // keys stay with positions
  moveRow(rows, 1, 4);
  EXPECT_EQ(Order(rows), "r2 r0* r3 r4 r1* r5");
  moveRow(rows, 5, 0);
  EXPECT_EQ(Order(rows), "r5* r2 r0* r3 r4 r1*");
  EXPECT_GE(rows.Key(0), 6) << "a moved row is a new row with a new key";
  moveRow(rows, 6, 0);   // outside the list: nothing
  moveRow(rows, 0, 10);  // kept inside the list
  EXPECT_EQ(Order(rows), "r2 r0* r3 r4 r1* r5*");
}

std::string Dropped(std::initializer_list<int> selected, int startRow, int target, bool allowed = true) {
  MemoryRowStore rows = Numbered(10, selected);
  RowDrag drag;
  EXPECT_TRUE(beginRowDrag(drag, rows, startRow));
  EXPECT_FALSE(beginRowDrag(drag, rows, startRow)) << "one drag at a time";
  dropDraggedRows(rows, drag, target, allowed);
  EXPECT_FALSE(drag.dragging);
  return Order(rows);
}

TEST(DropDraggedRows, GapsAreKept) {
  EXPECT_EQ(Dropped({1, 4}, 1, 6), "r0 r2 r3 r1* r5 r6 r4* r7 r8 r9");  // last lands on the target
  EXPECT_EQ(Dropped({4, 6}, 6, 1), "r0 r4* r1 r6* r2 r3 r5 r7 r8 r9");  // first lands on the target
}

TEST(DropDraggedRows, CancelledDropsMoveNothing) {
  const std::string unchanged = "r0 r1 r2* r3 r4* r5 r6 r7 r8 r9";
  EXPECT_EQ(Dropped({2, 4}, 2, 4), unchanged);         // onto a dragged row
  EXPECT_EQ(Dropped({2, 4}, 1, 1), unchanged);         // onto the start row
  EXPECT_EQ(Dropped({2, 4}, 2, -1), unchanged);        // no row under the cursor
  EXPECT_EQ(Dropped({2, 4}, 2, 10), unchanged);        // past the list
  EXPECT_EQ(Dropped({2, 4}, 2, 7, false), unchanged);  // drop not allowed
}

TEST(DropDraggedRows, ArithmeticOutsideTheListIsKeptInside) {
  // Start rows away from the selection make the arithmetic point before row 0 or
  // past the end.
  EXPECT_EQ(Dropped({1, 8}, 0, 3), "r1* r0 r2 r8* r3 r4 r5 r6 r7 r9");
  EXPECT_EQ(Dropped({1, 8}, 9, 5), "r0 r2 r3 r4 r5 r1* r6 r7 r9 r8*");
}

TEST(DropDraggedRows, SnapshotThatNoLongerFitsTheListIsIgnored) {
  MemoryRowStore rows = Numbered(6, {3, 5});
  RowDrag drag;
  beginRowDrag(drag, rows, 3);
  rows.DeleteRow(5);  // removed while the drag ran
  EXPECT_FALSE(dropDraggedRows(rows, drag, 1, true));
  EXPECT_EQ(Order(rows), "r0 r1 r2 r3* r4");
}

// The list keeps its focus and anchor by index: after a drop each followed index must
// name the same row as before, whichever rows moved and wherever the arithmetic
// was kept inside the list.
TEST(DropDraggedRows, FollowedIndexesStayWithTheirRows) {
  struct Case {
    std::initializer_list<int> selected;
    int startRow;
    int target;
  };
  for (const Case& drop : {Case{{1, 4}, 1, 6}, Case{{4, 6}, 6, 1}, Case{{1, 8}, 0, 3}, Case{{1, 8}, 9, 5},
                           Case{{0, 1, 2}, 0, 9}, Case{{7, 8, 9}, 9, 0}, Case{{2, 4}, 2, 4}}) {
    MemoryRowStore rows = Numbered(10, drop.selected);
    RowDrag drag;
    beginRowDrag(drag, rows, drop.startRow);
    std::vector<int> followed{-1};
    for (int row = 0; row < 10; ++row) followed.push_back(row);
    dropDraggedRows(rows, drag, drop.target, true, followed);
    EXPECT_EQ(followed[0], -1) << "no focus stays no focus";
    for (int row = 0; row < 10; ++row) {
      ASSERT_GE(followed[row + 1], 0);
      ASSERT_LT(followed[row + 1], rows.RowCount());
      EXPECT_EQ(rows.Cell(followed[row + 1], Column::Path), "r" + std::to_string(row))
          << "drag from " << drop.startRow << " to " << drop.target;
    }
  }
}

// Rows moved by the commands and by drops keep their keys: work that remembers a
// row by its key (a length being measured) must find that row, not its old place.
TEST(MovedRowsKeepTheirKeys, UpDownAndDrop) {
  const auto expectKeysFollow = [](const MemoryRowStore& rows, const std::vector<PlaylistEntry>& before) {
    for (const PlaylistEntry& entry : before) {
      const int row = rows.RowOfKey(entry.key);
      ASSERT_GE(row, 0) << entry.path;
      EXPECT_EQ(rows.Cell(row, Column::Path), entry.path);
    }
  };
  const auto entries = [](const MemoryRowStore& rows) {
    std::vector<PlaylistEntry> all;
    for (int row = 0; row < rows.RowCount(); ++row) all.push_back(ReadRow(rows, row));
    return all;
  };
  MemoryRowStore rows = Numbered(8, {2, 3, 6});
  std::vector<PlaylistEntry> before = entries(rows);
  ASSERT_TRUE(moveSelectedRowsUp(rows));
  expectKeysFollow(rows, before);
  before = entries(rows);
  ASSERT_TRUE(moveSelectedRowsDown(rows));
  expectKeysFollow(rows, before);
  before = entries(rows);
  RowDrag drag;
  beginRowDrag(drag, rows, 2);
  ASSERT_TRUE(dropDraggedRows(rows, drag, 7, true));
  EXPECT_EQ(Order(rows), "r0 r1 r4 r2* r3* r5 r7 r6*");
  expectKeysFollow(rows, before);
}

// The commands as one swap per selected row: the behaviour the one-pass moves
// must match, cell for cell and selection for selection.
bool SwapEachSelectedRow(RowStore& rows, bool up) {
  std::vector<int> selected = SelectedRows(rows);
  if (selected.empty() || (up ? selected.front() == 0 : selected.back() == rows.RowCount() - 1)) return false;
  if (!up) std::reverse(selected.begin(), selected.end());
  for (const int row : selected) swapRows(rows, row, up ? row - 1 : row + 1);
  return true;
}

// A drop as one moveRow per dragged row, as the rows were once placed; nullopt when
// that sequence would move a row other than the dragged one (earlier moves shifted
// it), where it is no reference.
std::optional<std::string> DropOneRowAtATime(MemoryRowStore& rows, const std::vector<int>& snapshot, int startRow,
                                             int target) {
  std::vector<int> tracked = snapshot;
  const int count = rows.RowCount();
  const auto move = [&](std::size_t k, int to) {
    if (tracked[k] != snapshot[k]) return false;
    const int from = snapshot[k];
    for (int& row : tracked) row = rowAfterMove(row, from, to, count);
    moveRow(rows, from, to);
    return true;
  };
  const std::size_t n = snapshot.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t k = startRow < target ? n - 1 - i : i;
    const int to = startRow < target ? target - (snapshot.back() - snapshot[k]) : target + (snapshot[k] - snapshot[0]);
    if (!move(k, to)) return std::nullopt;
  }
  return Order(rows);
}

TEST(OnePassMoves, MatchOneRowAtATimeOnRandomSelections) {
  std::mt19937 random(20261208);
  int dropsCompared = 0;
  for (int round = 0; round < 3000; ++round) {
    const int count = 1 + static_cast<int>(random() % 12);
    MemoryRowStore rows = Numbered(count);
    for (int row = 0; row < count; ++row) rows.SetSelected(row, random() % 3 == 0);
    const std::vector<int> selected = SelectedRows(rows);

    for (const bool up : {true, false}) {
      MemoryRowStore onePass = Numbered(count);
      MemoryRowStore reference = Numbered(count);
      for (const int row : selected) {
        onePass.SetSelected(row, true);
        reference.SetSelected(row, true);
      }
      const bool moved = up ? moveSelectedRowsUp(onePass) : moveSelectedRowsDown(onePass);
      EXPECT_EQ(moved, SwapEachSelectedRow(reference, up));
      EXPECT_EQ(Order(onePass), Order(reference)) << (up ? "up: " : "down: ") << Order(rows);
    }

    if (selected.empty()) continue;
    const int startRow = selected[random() % selected.size()];
    const int target = static_cast<int>(random() % static_cast<unsigned>(count));
    if (std::find(selected.begin(), selected.end(), target) != selected.end()) continue;
    MemoryRowStore reference = Numbered(count);
    for (const int row : selected) reference.SetSelected(row, true);
    const std::optional<std::string> expected = DropOneRowAtATime(reference, selected, startRow, target);
    RowDrag drag;
    beginRowDrag(drag, rows, startRow);
    const std::string before = Order(rows);
    ASSERT_TRUE(dropDraggedRows(rows, drag, target, true));
    if (!expected) continue;
    ++dropsCompared;
    EXPECT_EQ(Order(rows), *expected) << before << " dragged from " << startRow << " to " << target;
  }
  EXPECT_GT(dropsCompared, 500);
}

// Dragged rows on both sides of the target: moving them one at a time by their old
// indexes moved rows that were never dragged. Each dragged row must land, still
// selected, with the rows in between keeping their order.
TEST(DropDraggedRows, RowsOnBothSidesOfTheTargetAllArrive) {
  EXPECT_EQ(Dropped({1, 7, 8}, 1, 5), "r1* r0 r2 r3 r7* r8* r4 r5 r6 r9");
  EXPECT_EQ(Dropped({1, 2, 8}, 8, 4), "r0 r3 r4 r5 r1* r2* r6 r7 r9 r8*");
  EXPECT_EQ(Dropped({5, 8}, 0, 3), "r5* r0 r1 r8* r2 r3 r4 r6 r7 r9");
}

TEST(ClassifyDragPosition, ZonesAroundTheClientArea) {
  // Client area 100..300 x 50..250 on screen: drop zone y 62..252.
  const auto zone = [](int x, int y) { return ClassifyDragPosition(x, y, 100, 50, 300, 250); };
  EXPECT_EQ(zone(200, 62), DragZone::Drop);
  EXPECT_EQ(zone(300, 252), DragZone::Drop);
  EXPECT_EQ(zone(200, 253), DragZone::ScrollDown);
  EXPECT_EQ(zone(200, 262), DragZone::ScrollDown);
  EXPECT_EQ(zone(200, 263), DragZone::Outside);
  EXPECT_EQ(zone(200, 61), DragZone::ScrollUp);
  EXPECT_EQ(zone(200, 52), DragZone::ScrollUp);
  EXPECT_EQ(zone(200, 51), DragZone::Outside);
  EXPECT_EQ(zone(99, 150), DragZone::Outside);
}

}  // namespace
}  // namespace kestrun::playlist
