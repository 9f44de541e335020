#include "playlist/row_order.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "playlist/memory_row_store.h"

namespace kestrun::playlist {
namespace {

// Rows "r0" .. "r<n-1>", each with title, artist and length derived from its name.
MemoryRowStore Numbered(int count) {
  MemoryRowStore rows;
  for (int i = 0; i < count; ++i) {
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string.
    const std::string number = std::to_string(i);
    std::string name = "r";
    name += number;
    const int row = appendRow(rows, name);
    rows.SetCell(row, Column::Title, std::string("t").append(name));
    rows.SetCell(row, Column::Artist, std::string("a").append(name));
    rows.SetCell(row, Column::Length, std::string("0").append(number).append(":00"));
  }
  return rows;
}

std::string Order(const RowStore& rows) {
  std::string order;
  for (int row = 0; row < rows.RowCount(); ++row) {
    if (row) order += ' ';
    order += rows.Cell(row, Column::Path);
    if (rows.IsSelected(row)) order += '*';
  }
  return order;
}

void Select(RowStore& rows, std::initializer_list<int> selected) {
  for (int row : selected) rows.SetSelected(row, true);
}

// Every row still has its own title, artist and length after a reorder.
void ExpectRowsIntact(const RowStore& rows) {
  std::set<int> keys;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const std::string path = rows.Cell(row, Column::Path);
    EXPECT_EQ(rows.Cell(row, Column::Title), "t" + path) << row;
    EXPECT_EQ(rows.Cell(row, Column::Artist), "a" + path) << row;
    EXPECT_EQ(rows.Cell(row, Column::Length), "0" + path.substr(1) + ":00") << row;
    keys.insert(rows.Key(row));
  }
  EXPECT_EQ(keys.size(), static_cast<size_t>(rows.RowCount())) << "keys must stay unique";
}

MemoryRowStore WithColumn(Column column, std::initializer_list<std::string> texts) {
  MemoryRowStore rows;
  for (const std::string& text : texts) {
    const int row = appendRow(rows, "p");
    rows.SetCell(row, column, text);
  }
  return rows;
}

std::string ColumnOrder(const RowStore& rows, Column column) {
  std::string order;
  for (int row = 0; row < rows.RowCount(); ++row) order += rows.Cell(row, column) + ",";
  return order;
}

TEST(SortByColumn, FirstClickDescendingThenAlternatingPerColumn) {
  MemoryRowStore rows = WithColumn(Column::Artist, {"B", "C", "A"});
  SortDirections directions;
  sortByColumn(rows, directions, 2);
  EXPECT_EQ(ColumnOrder(rows, Column::Artist), "C,B,A,");
  sortByColumn(rows, directions, 2);
  EXPECT_EQ(ColumnOrder(rows, Column::Artist), "A,B,C,");
  sortByColumn(rows, directions, 2);
  EXPECT_EQ(ColumnOrder(rows, Column::Artist), "C,B,A,");
  // Another column has its own state: its first click is descending too.
  sortByColumn(rows, directions, 1);
  EXPECT_EQ(directions.value[1], 2);
  EXPECT_EQ(directions.value[2], 2);
  sortByColumn(rows, directions, 4);  // not a column: nothing changes
  sortByColumn(rows, directions, -1);
  EXPECT_EQ(directions.value, (std::array<int, 4>{0, 2, 2, 0}));
}

TEST(SortByColumn, PlainUnsignedByteOrder) {
  // Digits before capitals before small letters before double-byte text; no locale.
  MemoryRowStore rows = WithColumn(Column::Title, {"b", "\x82\xa0", "B", "1", "", "a"});
  SortDirections directions;
  directions.value[1] = 2;  // next click ascending
  sortByColumn(rows, directions, 1);
  EXPECT_EQ(ColumnOrder(rows, Column::Title), ",1,B,a,b,\x82\xa0,");
}

TEST(SortByColumn, LengthSortsByTextNotByTime) {
  MemoryRowStore rows = WithColumn(Column::Length, {"09:59", "125:07", "10:00", ""});
  SortDirections directions{{0, 0, 0, 2}};
  sortByColumn(rows, directions, 3);
  EXPECT_EQ(ColumnOrder(rows, Column::Length), ",09:59,10:00,125:07,");
}

TEST(SortByColumn, TextsDifferingOnlyAfter63BytesCompareEqual) {
  const std::string common(63, 'x');
  MemoryRowStore rows = WithColumn(Column::Title, {common + "b", common + "a", common + "c"});
  SortDirections directions;
  sortByColumn(rows, directions, 1);
  // Equal under the comparison: this store keeps their order.
  EXPECT_EQ(ColumnOrder(rows, Column::Title), common + "b," + common + "a," + common + "c,");
  MemoryRowStore shorter = WithColumn(Column::Title, {common.substr(1) + "a", common.substr(1) + "b"});
  sortByColumn(shorter, directions, 1);  // ascending now; byte 63 decides
  EXPECT_EQ(ColumnOrder(shorter, Column::Title), common.substr(1) + "a," + common.substr(1) + "b,");
}

TEST(SortByColumn, WholeRowsTravelTogether) {
  MemoryRowStore rows = Numbered(12);
  SortDirections directions;
  sortByColumn(rows, directions, 0);  // descending text: r9 r8 ... r11 r10 r1 r0
  EXPECT_EQ(Order(rows), "r9 r8 r7 r6 r5 r4 r3 r2 r11 r10 r1 r0");
  ExpectRowsIntact(rows);
}

TEST(MoveUp, SelectedRowsMoveOnePlaceAsABlock) {
  MemoryRowStore rows = Numbered(5);
  Select(rows, {2, 3});
  moveSelectedRowsUp(rows);
  EXPECT_EQ(Order(rows), "r0 r2* r3* r1 r4");
  ExpectRowsIntact(rows);
}

TEST(MoveUp, NothingMovesWhenRowZeroIsSelected) {
  MemoryRowStore rows = Numbered(5);
  Select(rows, {0, 3});
  moveSelectedRowsUp(rows);
  EXPECT_EQ(Order(rows), "r0* r1 r2 r3* r4");
  MemoryRowStore empty;
  moveSelectedRowsUp(empty);
  EXPECT_EQ(empty.RowCount(), 0);
}

TEST(MoveDown, SelectedRowsMoveOnePlaceAsABlock) {
  MemoryRowStore rows = Numbered(5);
  Select(rows, {0, 1, 2});
  moveSelectedRowsDown(rows);
  EXPECT_EQ(Order(rows), "r3 r0* r1* r2* r4");
  ExpectRowsIntact(rows);
}

TEST(MoveDown, NothingMovesWhenTheLastRowIsSelectedOrNothingIs) {
  MemoryRowStore rows = Numbered(4);
  Select(rows, {1, 3});
  moveSelectedRowsDown(rows);
  EXPECT_EQ(Order(rows), "r0 r1* r2 r3*");
  MemoryRowStore none = Numbered(3);
  moveSelectedRowsDown(none);
  EXPECT_EQ(Order(none), "r0 r1 r2");
}

TEST(SwapRows, CellsSwapKeysStaySelectionGoesToB) {
  MemoryRowStore rows = Numbered(3);
  rows.SetSelected(0, true);
  swapRows(rows, 0, 2);
  EXPECT_EQ(Order(rows), "r2 r1 r0*");
  EXPECT_EQ(rows.Key(0), 0);
  EXPECT_EQ(rows.Key(2), 2);
  ExpectRowsIntact(rows);
}

TEST(MoveRow, DownAndUpLandOnTheTargetSelected) {
  MemoryRowStore rows = Numbered(6);
  rows.SetSelected(1, true);
  moveRow(rows, 1, 4);
  EXPECT_EQ(Order(rows), "r0 r2 r3 r4 r1* r5");
  moveRow(rows, 5, 0);
  EXPECT_EQ(Order(rows), "r5* r0 r2 r3 r4 r1*");
  ExpectRowsIntact(rows);
  EXPECT_GE(rows.Key(0), 6) << "the moved row is a new row with a new key";
}

TEST(MoveRow, OutOfRangeIndexesAreHarmless) {
  MemoryRowStore rows = Numbered(3);
  moveRow(rows, 1, 1);
  moveRow(rows, 3, 0);
  moveRow(rows, -1, 0);
  EXPECT_EQ(Order(rows), "r0 r1 r2");
  moveRow(rows, 0, 10);  // kept inside the list: to the end
  EXPECT_EQ(Order(rows), "r1 r2 r0*");
  moveRow(rows, 2, -5);
  EXPECT_EQ(Order(rows), "r0* r1 r2");
}

RowDrag DragOf(const RowStore& rows, int startRow) {
  RowDrag drag;
  EXPECT_TRUE(beginRowDrag(drag, rows, startRow));
  return drag;
}

TEST(DropDraggedRows, MovingDownKeepsTheGapAndLandsTheLastOnTheTarget) {
  MemoryRowStore rows = Numbered(10);
  Select(rows, {1, 4});
  RowDrag drag = DragOf(rows, 1);
  EXPECT_TRUE(dropDraggedRows(rows, drag, 6, true));
  EXPECT_EQ(Order(rows), "r0 r2 r3 r1* r5 r6 r4* r7 r8 r9");
  EXPECT_FALSE(drag.dragging);
  EXPECT_TRUE(drag.snapshot.empty());
  ExpectRowsIntact(rows);
}

TEST(DropDraggedRows, MovingUpLandsTheFirstOnTheTarget) {
  MemoryRowStore rows = Numbered(10);
  Select(rows, {4, 6});
  RowDrag drag = DragOf(rows, 6);
  EXPECT_TRUE(dropDraggedRows(rows, drag, 1, true));
  EXPECT_EQ(Order(rows), "r0 r4* r1 r6* r2 r3 r5 r7 r8 r9");
  ExpectRowsIntact(rows);
}

TEST(DropDraggedRows, CancelledDropsMoveNothing) {
  struct Case {
    const char* name;
    int target;
    bool allowed;
  } cases[] = {
      {"onto a dragged row", 4, true},
      {"onto the start row", 1, true},
      {"no row under the cursor", -1, true},
      {"past the list", 10, true},
      {"drop not allowed", 7, false},
  };
  for (const Case& c : cases) {
    MemoryRowStore rows = Numbered(10);
    Select(rows, {2, 4});
    RowDrag drag = DragOf(rows, 1);
    EXPECT_FALSE(dropDraggedRows(rows, drag, c.target, c.allowed)) << c.name;
    EXPECT_EQ(Order(rows), "r0 r1 r2* r3 r4* r5 r6 r7 r8 r9") << c.name;
    EXPECT_FALSE(drag.dragging) << c.name;
  }
}

TEST(DropDraggedRows, SnapshotThatNoLongerFitsTheListIsIgnored) {
  MemoryRowStore rows = Numbered(6);
  Select(rows, {3, 5});
  RowDrag drag = DragOf(rows, 3);
  rows.DeleteRow(5);  // removed while the drag ran
  EXPECT_FALSE(dropDraggedRows(rows, drag, 1, true));
  EXPECT_EQ(Order(rows), "r0 r1 r2 r3* r4");
}

TEST(DropDraggedRows, StartRowOutsideTheSelectionStaysInsideTheList) {
  // The arithmetic can point before row 0 or past the end; rows are kept inside.
  MemoryRowStore rows = Numbered(10);
  Select(rows, {1, 8});
  RowDrag drag = DragOf(rows, 0);
  EXPECT_TRUE(dropDraggedRows(rows, drag, 3, true));
  EXPECT_EQ(rows.RowCount(), 10);
  EXPECT_EQ(SelectedRows(rows).size(), 2u);
  ExpectRowsIntact(rows);

  MemoryRowStore up = Numbered(10);
  Select(up, {1, 8});
  RowDrag upDrag = DragOf(up, 9);
  EXPECT_TRUE(dropDraggedRows(up, upDrag, 5, true));
  EXPECT_EQ(up.RowCount(), 10);
  ExpectRowsIntact(up);
}

TEST(BeginRowDrag, OnlyOneDragAtATime) {
  MemoryRowStore rows = Numbered(4);
  Select(rows, {2});
  RowDrag drag = DragOf(rows, 2);
  rows.SetSelected(3, true);
  EXPECT_FALSE(beginRowDrag(drag, rows, 3));
  EXPECT_EQ(drag.startRow, 2);
  EXPECT_EQ(drag.snapshot, std::vector<int>{2});
  cancelRowDrag(drag);
  EXPECT_FALSE(drag.dragging);
}

TEST(ClassifyDragPosition, ZonesAroundTheClientArea) {
  // Client area 100..300 x 50..250 on screen: drop zone y 62..252.
  const auto zone = [](int x, int y) { return ClassifyDragPosition(x, y, 100, 50, 300, 250); };
  EXPECT_EQ(zone(200, 62), DragZone::Drop);
  EXPECT_EQ(zone(200, 252), DragZone::Drop);
  EXPECT_EQ(zone(100, 150), DragZone::Drop);
  EXPECT_EQ(zone(300, 150), DragZone::Drop);
  EXPECT_EQ(zone(200, 253), DragZone::ScrollDown);
  EXPECT_EQ(zone(200, 262), DragZone::ScrollDown);
  EXPECT_EQ(zone(200, 263), DragZone::Outside);
  EXPECT_EQ(zone(200, 61), DragZone::ScrollUp);
  EXPECT_EQ(zone(200, 52), DragZone::ScrollUp);
  EXPECT_EQ(zone(200, 51), DragZone::Outside);
  EXPECT_EQ(zone(99, 150), DragZone::Outside);
  EXPECT_EQ(zone(301, 255), DragZone::Outside);
}

}  // namespace
}  // namespace kestrun::playlist
