#include "playlist/memory_row_store.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <numeric>

namespace kestrun::playlist {

namespace {

// The cell of an entry, const or not.
template <typename Entry>
auto& CellOf(Entry& entry, Column column) {
  switch (column) {
    case Column::Path:
      return entry.path;
    case Column::Title:
      return entry.title;
    case Column::Artist:
      return entry.artist;
    case Column::Length:
      break;
  }
  return entry.length;
}

}  // namespace

const MemoryRowStore::Row& MemoryRowStore::At(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

MemoryRowStore::Row& MemoryRowStore::At(int row) { return rows_.at(static_cast<std::size_t>(row)); }

// Rows moved: the key index is stale and the view must show everything again.
void MemoryRowStore::Rearranged() {
  keyIndexValid_ = false;
  if (view_ != nullptr) view_->RowsRearranged();
}

int MemoryRowStore::RowCount() const { return static_cast<int>(rows_.size()); }

std::string MemoryRowStore::Cell(int row, Column column) const { return CellOf(At(row).entry, column); }

std::string_view MemoryRowStore::CellText(int row, Column column) const { return CellOf(At(row).entry, column); }

void MemoryRowStore::SetCell(int row, Column column, std::string_view text) {
  CellOf(At(row).entry, column).assign(text);
  if (view_ != nullptr) view_->CellChanged(row);
}

int MemoryRowStore::Key(int row) const { return At(row).entry.key; }

bool MemoryRowStore::IsSelected(int row) const { return At(row).selected; }

void MemoryRowStore::SetSelected(int row, bool selected) {
  Row& target = At(row);
  if (target.selected == selected) return;
  target.selected = selected;
  if (view_ != nullptr) view_->SelectionChanged(row);
}

void MemoryRowStore::SelectRange(int first, int last, bool selected) {
  if (first == -1) {
    first = 0;
    last = RowCount() - 1;
  }
  first = std::max(first, 0);
  last = std::min(last, RowCount() - 1);
  for (int row = first; row <= last; ++row) rows_[static_cast<std::size_t>(row)].selected = selected;
  if (view_ != nullptr && first <= last) view_->SelectionChanged(-1);
}

int MemoryRowStore::SelectedCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& row) { return row.selected; }));
}

int MemoryRowStore::NextSelected(int after) const {
  for (std::size_t row = static_cast<std::size_t>(std::max(after + 1, 0)); row < rows_.size(); ++row) {
    if (rows_[row].selected) return static_cast<int>(row);
  }
  return -1;
}

void MemoryRowStore::ClearSelection() {
  bool changed = false;
  for (Row& row : rows_) {
    changed = changed || row.selected;
    row.selected = false;
  }
  if (changed && view_ != nullptr) view_->SelectionChanged(-1);
}

void MemoryRowStore::DeleteRow(int row) {
  At(row);  // throws on an index outside the list
  rows_.erase(rows_.begin() + row);
  Rearranged();
}

int MemoryRowStore::DeleteSelectedRows() {
  const auto kept = std::remove_if(rows_.begin(), rows_.end(), [](const Row& row) { return row.selected; });
  const auto removed = static_cast<int>(rows_.end() - kept);
  rows_.erase(kept, rows_.end());
  if (removed > 0) Rearranged();
  return removed;
}

void MemoryRowStore::DeleteAllRows() {
  // Swapped out rather than cleared, so the memory of a large list goes back too.
  std::vector<Row>().swap(rows_);
  keyIndex_.clear();
  keyIndexValid_ = true;
  if (view_ != nullptr) view_->RowsRearranged();
}

void MemoryRowStore::AppendRows(std::vector<PlaylistEntry> entries) {
  if (entries.empty()) return;
  const int first = RowCount();
  rows_.reserve(rows_.size() + entries.size());
  const std::size_t count = entries.size();
  appending_ = true;
  for (PlaylistEntry& entry : entries) {
    // InsertRowWithKey keeps the key index; the other cells are moved in after.
    const int row = InsertRow(RowCount(), std::string_view());
    Row& target = rows_[static_cast<std::size_t>(row)];
    const int key = target.entry.key;
    target.entry = std::move(entry);
    target.entry.key = key;
  }
  appending_ = false;
  if (view_ != nullptr) view_->RowsAppended(first, static_cast<int>(count));
}

int MemoryRowStore::RowOfKey(int key) const {
  if (!keyIndexValid_) {
    keyIndex_.clear();
    keyIndex_.reserve(rows_.size());
    for (std::size_t row = 0; row < rows_.size(); ++row) {
      keyIndex_.emplace_back(rows_[row].entry.key, static_cast<int>(row));
    }
    std::sort(keyIndex_.begin(), keyIndex_.end());
    keyIndexValid_ = true;
  }
  const auto found = std::lower_bound(keyIndex_.begin(), keyIndex_.end(), std::make_pair(key, 0),
                                      [](const auto& a, const auto& b) { return a.first < b.first; });
  return found != keyIndex_.end() && found->first == key ? found->second : -1;
}

void MemoryRowStore::SortByKeys(const KeyComparison& compare) {
  std::stable_sort(rows_.begin(), rows_.end(),
                   [&](const Row& a, const Row& b) { return compare(a.entry.key, b.entry.key) < 0; });
  Rearranged();
}

void MemoryRowStore::SortByCell(Column column, const TextComparison& compare) {
  // The row numbers are sorted, not the rows: moving a number is cheaper than
  // moving four strings, and each row moves once at the end.
  std::vector<std::uint32_t> order(rows_.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return compare(CellOf(rows_[a].entry, column), CellOf(rows_[b].entry, column)) < 0;
  });
  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  for (const std::uint32_t row : order) sorted.push_back(std::move(rows_[row]));
  rows_.swap(sorted);
  Rearranged();
}

void MemoryRowStore::InsertRowWithKey(int index, std::string_view path, int key) {
  assert(index >= 0 && index <= RowCount());
  Row row;
  row.entry.path.assign(path);
  row.entry.key = key;
  const bool atEnd = index == RowCount();
  rows_.insert(rows_.begin() + index, std::move(row));
  if (!atEnd) {
    Rearranged();
    return;
  }
  // Keys come from a rising counter, so an appended row's key usually sorts last
  // and the index stays valid.
  if (keyIndexValid_) {
    if (keyIndex_.empty() || keyIndex_.back().first < key) {
      keyIndex_.emplace_back(key, index);
    } else {
      keyIndexValid_ = false;
    }
  }
  // AppendRows tells the view once for all its rows.
  if (view_ != nullptr && !appending_) view_->RowsAppended(index, 1);
}

void MemoryRowStore::ApplyOrder(int first, std::span<const int> order) {
  // Follows each cycle of the arrangement with one row held aside, so every row is
  // moved once and no second copy of the range is needed.
  const auto range = rows_.begin() + first;
  std::vector<bool> placed(order.size(), false);
  for (std::size_t start = 0; start < order.size(); ++start) {
    if (placed[start]) continue;
    Row held = std::move(range[static_cast<std::ptrdiff_t>(start)]);
    std::size_t to = start;
    for (;;) {
      placed[to] = true;
      const auto from = static_cast<std::size_t>(order[to] - first);
      if (from == start) break;
      range[static_cast<std::ptrdiff_t>(to)] = std::move(range[static_cast<std::ptrdiff_t>(from)]);
      to = from;
    }
    range[static_cast<std::ptrdiff_t>(to)] = std::move(held);
  }
  Rearranged();
}

void MemoryRowStore::SetKey(int row, int key) {
  At(row).entry.key = key;
  keyIndexValid_ = false;
}

}  // namespace kestrun::playlist
