#include "playlist/memory_row_store.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrun::playlist {
namespace {

std::vector<int> Keys(const RowStore& rows) {
  std::vector<int> keys;
  for (int row = 0; row < rows.RowCount(); ++row) keys.push_back(rows.Key(row));
  return keys;
}

TEST(RowKeys, AppendedToAnEmptyListCountFromZero) {
  MemoryRowStore rows;
  EXPECT_EQ(appendRow(rows, "a"), 0);
  EXPECT_EQ(appendRow(rows, "b"), 1);
  EXPECT_EQ(appendRow(rows, "c"), 2);
  EXPECT_EQ(Keys(rows), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(rows.Cell(1, Column::Path), "b");
  EXPECT_EQ(rows.Cell(1, Column::Title), "");

  rows.DeleteAllRows();
  appendRow(rows, "x");
  appendRow(rows, "y");
  EXPECT_EQ(Keys(rows), (std::vector<int>{0, 1}));
}

TEST(RowKeys, StayUniqueAfterDeletionsAndInsertions) {
  MemoryRowStore rows;
  for (int i = 0; i < 5; ++i) appendRow(rows, "r");
  rows.DeleteRow(4);  // the highest key goes; a reused count would repeat key 4
  rows.DeleteRow(0);
  appendRow(rows, "r");
  rows.InsertRow(1, "r");
  rows.InsertRow(99, "clamped to the end");
  const std::vector<int> keys = Keys(rows);
  EXPECT_EQ(std::set<int>(keys.begin(), keys.end()).size(), keys.size());
  EXPECT_EQ(rows.Cell(rows.RowCount() - 1, Column::Path), "clamped to the end");
}

TEST(RowSelection, NextSelectedWalksInIncreasingOrder) {
  MemoryRowStore rows;
  for (int i = 0; i < 6; ++i) appendRow(rows, "r");
  EXPECT_EQ(rows.NextSelected(-1), -1);
  rows.SetSelected(4, true);
  rows.SetSelected(1, true);
  EXPECT_EQ(SelectedRows(rows), (std::vector<int>{1, 4}));
  EXPECT_EQ(rows.NextSelected(1), 4);
  EXPECT_EQ(rows.NextSelected(4), -1);
  rows.DeleteRow(1);
  EXPECT_EQ(SelectedRows(rows), (std::vector<int>{3}));
}

}  // namespace
}  // namespace kestrun::playlist
