#include "playlist/row_store.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <utility>
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

void RowStore::ClearSelection() {
  for (int row = NextSelected(-1); row >= 0; row = NextSelected(row)) SetSelected(row, false);
}

int RowStore::DeleteSelectedRows() {
  const std::vector<int> selected = SelectedRows(*this);
  // From the last row back, so the indexes still to go stay where they are.
  for (auto row = selected.rbegin(); row != selected.rend(); ++row) DeleteRow(*row);
  return static_cast<int>(selected.size());
}

void RowStore::AppendRows(std::vector<PlaylistEntry> entries) {
  for (const PlaylistEntry& entry : entries) WriteCells(*this, appendRow(*this, entry.path), entry);
}

bool RowStore::ReorderRows(int first, std::span<const int> order) {
  const auto size = static_cast<int>(order.size());
  if (first < 0 || size > RowCount() - first) return false;
  std::vector<bool> seen(order.size(), false);
  for (const int from : order) {
    const int offset = from - first;
    if (offset < 0 || offset >= size || seen[static_cast<std::size_t>(offset)]) return false;
    seen[static_cast<std::size_t>(offset)] = true;
  }
  if (size > 0) ApplyOrder(first, order);
  return true;
}

void RowStore::ApplyOrder(int first, std::span<const int> order) {
  std::vector<PlaylistEntry> entries;
  std::vector<bool> selected;
  entries.reserve(order.size());
  selected.reserve(order.size());
  for (const int from : order) {
    entries.push_back(ReadRow(*this, from));
    selected.push_back(IsSelected(from));
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int row = first + static_cast<int>(i);
    WriteCells(*this, row, entries[i]);
    SetKey(row, entries[i].key);
    SetSelected(row, selected[i]);
  }
}

void RowStore::SortByCell(Column column, const TextComparison& compare) {
  // The comparison of SortByKeys sees keys only, so each row's text is looked up
  // by its key, read once up front.
  std::unordered_map<int, std::string> textByKey;
  const int count = RowCount();
  textByKey.reserve(static_cast<std::size_t>(count));
  for (int row = 0; row < count; ++row) textByKey[Key(row)] = Cell(row, column);
  SortByKeys([&](int keyA, int keyB) { return compare(textByKey[keyA], textByKey[keyB]); });
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

namespace {

unsigned char AsciiLower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

}  // namespace

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix, platform::LeadByteTest isLead) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const auto p = static_cast<unsigned char>(prefix[i]);
    const auto t = static_cast<unsigned char>(text[i]);
    if (isLead(p)) {
      // A double-byte character matches only itself: its trail byte may look like
      // a letter but must not be folded.
      if (i + 1 >= prefix.size()) return t == p;
      if (t != p || text[i + 1] != prefix[i + 1]) return false;
      ++i;
      continue;
    }
    if (AsciiLower(p) != AsciiLower(t)) return false;
  }
  return true;
}

int FindRowByPathPrefix(const RowStore& rows, std::string_view prefix, int start, bool wrap, bool wholeText) {
  const int count = rows.RowCount();
  if (count == 0) return -1;
  if (start < 0 || start >= count) start = 0;
  const auto matches = [&](int row) {
    const std::string path = rows.Cell(row, Column::Path);
    return StartsWithIgnoringCase(path, prefix) && (!wholeText || path.size() == prefix.size());
  };
  for (int row = start; row < count; ++row) {
    if (matches(row)) return row;
  }
  if (!wrap) return -1;
  for (int row = 0; row < start; ++row) {
    if (matches(row)) return row;
  }
  return -1;
}

}  // namespace kestrun::playlist
