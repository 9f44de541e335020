#include "playlist/row_store.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace kestrun::playlist {

// Keys come from a running counter, so a key is never handed out twice while rows
// are deleted and moved; an empty list starts again at 0, so rows appended to an
// empty list get 0, 1, 2, ... The counter cannot run past INT_MAX: before it would,
// the rows are renumbered 0 .. count-1 and counting goes on from there.
int RowStore::NewKey() {
  const int count = RowCount();
  if (count == 0) nextKey_ = 0;
  if (nextKey_ == INT_MAX) {
    for (int row = 0; row < count; ++row) SetKey(row, row);
    nextKey_ = count;
  }
  return nextKey_++;
}

int RowStore::InsertRow(int index, std::string_view path) {
  index = std::clamp(index, 0, RowCount());
  InsertRowWithKey(index, path, NewKey());
  return index;
}

int RowStore::RowOfKey(int key) const {
  const int count = RowCount();
  for (int row = 0; row < count; ++row) {
    if (Key(row) == key) return row;
  }
  return -1;
}

int appendRow(RowStore& rows, std::string_view path) { return rows.InsertRow(rows.RowCount(), path); }

PlaylistEntry ReadRow(const RowStore& rows, int row) {
  PlaylistEntry entry;
  entry.path = rows.Cell(row, Column::Path);
  entry.title = rows.Cell(row, Column::Title);
  entry.artist = rows.Cell(row, Column::Artist);
  entry.length = rows.Cell(row, Column::Length);
  entry.key = rows.Key(row);
  return entry;
}

void WriteCells(RowStore& rows, int row, const PlaylistEntry& entry) {
  rows.SetCell(row, Column::Path, entry.path);
  rows.SetCell(row, Column::Title, entry.title);
  rows.SetCell(row, Column::Artist, entry.artist);
  rows.SetCell(row, Column::Length, entry.length);
}

std::vector<int> SelectedRows(const RowStore& rows) {
  std::vector<int> selected;
  for (int row = rows.NextSelected(-1); row >= 0; row = rows.NextSelected(row)) {
    selected.push_back(row);
  }
  return selected;
}

}  // namespace kestrun::playlist
