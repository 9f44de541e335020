#include "playlist/memory_row_store.h"

#include <algorithm>
#include <cassert>

namespace kestrun::playlist {

namespace {

// The cell of an entry, const or not.
template <typename Entry>
auto& CellOf(Entry& entry, Column column) {
  switch (column) {
    case Column::Path: return entry.path;
    case Column::Title: return entry.title;
    case Column::Artist: return entry.artist;
    case Column::Length: break;
  }
  return entry.length;
}

}  // namespace

int MemoryRowStore::RowCount() const { return static_cast<int>(rows_.size()); }

std::string MemoryRowStore::Cell(int row, Column column) const {
  return CellOf(rows_.at(static_cast<std::size_t>(row)).entry, column);
}

void MemoryRowStore::SetCell(int row, Column column, std::string_view text) {
  CellOf(rows_.at(static_cast<std::size_t>(row)).entry, column).assign(text);
}

int MemoryRowStore::Key(int row) const { return rows_.at(static_cast<std::size_t>(row)).entry.key; }

bool MemoryRowStore::IsSelected(int row) const { return rows_.at(static_cast<std::size_t>(row)).selected; }

void MemoryRowStore::SetSelected(int row, bool selected) {
  rows_.at(static_cast<std::size_t>(row)).selected = selected;
}

int MemoryRowStore::NextSelected(int after) const {
  for (std::size_t row = static_cast<std::size_t>(std::max(after + 1, 0)); row < rows_.size(); ++row) {
    if (rows_[row].selected) return static_cast<int>(row);
  }
  return -1;
}

void MemoryRowStore::DeleteRow(int row) {
  rows_.at(static_cast<std::size_t>(row));  // throws on an index outside the list
  rows_.erase(rows_.begin() + row);
}

void MemoryRowStore::DeleteAllRows() { rows_.clear(); }

void MemoryRowStore::SortByKeys(const KeyComparison& compare) {
  std::stable_sort(rows_.begin(), rows_.end(),
                   [&](const Row& a, const Row& b) { return compare(a.entry.key, b.entry.key) < 0; });
}

void MemoryRowStore::InsertRowWithKey(int index, std::string_view path, int key) {
  assert(index >= 0 && index <= RowCount());
  Row row;
  row.entry.path.assign(path);
  row.entry.key = key;
  rows_.insert(rows_.begin() + index, std::move(row));
}

void MemoryRowStore::SetKey(int row, int key) { rows_.at(static_cast<std::size_t>(row)).entry.key = key; }

}  // namespace kestrun::playlist
