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

}  // namespace
}  // namespace kestrun::playlist
