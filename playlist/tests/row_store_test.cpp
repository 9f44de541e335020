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

}  // namespace
}  // namespace kestrun::playlist
