#include "playlist/row_order.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>

namespace kestrun::playlist {

namespace {

constexpr int kAscending = 1;
constexpr int kDescending = 2;
constexpr int kDropZoneTopInset = 12;
constexpr int kDropZoneHeightCut = 10;
constexpr int kScrollBand = 10;

bool InList(const RowStore& rows, int row) { return row >= 0 && row < rows.RowCount(); }

// Calls block(top, bottom) for each run of adjacent rows in an ascending list.
template <typename Block>
void ForEachBlock(const std::vector<int>& rows, Block block) {
  std::size_t begin = 0;
  for (std::size_t i = 1; i <= rows.size(); ++i) {
    if (i == rows.size() || rows[i] != rows[i - 1] + 1) {
      block(rows[begin], rows[i - 1]);
      begin = i;
    }
  }
}

// Plain byte-wise comparison, as unsigned bytes.
int CompareSortTexts(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The sort text of a cell: the list hands out cells as C strings in a 64-byte buffer.
std::string_view SortText(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), std::min(text.size(), kSortCompareBytes)));
}

}  // namespace

void sortByColumn(RowStore& rows, SortDirections& directions, int column) {
  if (column < 0 || column >= kColumnCount) return;
  int& direction = directions.value[static_cast<std::size_t>(column)];
  direction = direction == kDescending ? kAscending : kDescending;

  const bool ascending = direction == kAscending;
  rows.SortByCell(static_cast<Column>(column), [ascending](std::string_view a, std::string_view b) {
    const int order = CompareSortTexts(SortText(a), SortText(b));
    return ascending ? order : -order;
  });
}

void swapRows(RowStore& rows, int a, int b) {
  if (!InList(rows, a) || !InList(rows, b)) return;
  const PlaylistEntry rowA = ReadRow(rows, a);
  const PlaylistEntry rowB = ReadRow(rows, b);
  WriteCells(rows, b, rowA);
  WriteCells(rows, a, rowB);
  rows.SetSelected(a, false);
  rows.SetSelected(b, true);
}

bool moveSelectedRowsUp(RowStore& rows) {
  const std::vector<int> selected = SelectedRows(rows);
  if (selected.empty() || selected.front() == 0) return false;
  // Each block of adjacent selected rows goes up one place and the row above it
  // goes to just below it: one rearrangement for all blocks.
  const int first = selected.front() - 1;
  std::vector<int> order(static_cast<std::size_t>(selected.back() - first + 1));
  std::iota(order.begin(), order.end(), first);
  ForEachBlock(selected, [&](int top, int bottom) {
    for (int row = top; row <= bottom; ++row) order[static_cast<std::size_t>(row - 1 - first)] = row;
    order[static_cast<std::size_t>(bottom - first)] = top - 1;
  });
  return rows.ReorderRows(first, order);
}

bool moveSelectedRowsDown(RowStore& rows) {
  const std::vector<int> selected = SelectedRows(rows);
  if (selected.empty() || selected.back() == rows.RowCount() - 1) return false;
  // Each block goes down one place and the row below it to just above it.
  const int first = selected.front();
  std::vector<int> order(static_cast<std::size_t>(selected.back() + 1 - first + 1));
  std::iota(order.begin(), order.end(), first);
  ForEachBlock(selected, [&](int top, int bottom) {
    for (int row = top; row <= bottom; ++row) order[static_cast<std::size_t>(row + 1 - first)] = row;
    order[static_cast<std::size_t>(top - first)] = bottom + 1;
  });
  return rows.ReorderRows(first, order);
}

void moveRow(RowStore& rows, int from, int to) {
  const int count = rows.RowCount();
  if (!InList(rows, from)) return;
  to = std::clamp(to, 0, count - 1);
  if (from == to) return;
  const PlaylistEntry entry = ReadRow(rows, from);
  rows.SetSelected(from, false);
  // The copy is inserted before the original is deleted, so the row's cells are
  // never held only in memory while the list is changed.
  const auto setOtherCells = [&](int row) {
    rows.SetCell(row, Column::Title, entry.title);
    rows.SetCell(row, Column::Artist, entry.artist);
    rows.SetCell(row, Column::Length, entry.length);
  };
  if (from > to) {
    rows.InsertRow(to, entry.path);
    rows.DeleteRow(from + 1);
    setOtherCells(to);
    rows.SetSelected(to, true);
  } else {
    rows.InsertRow(to + 1, entry.path);
    setOtherCells(to + 1);
    rows.SetSelected(to + 1, true);
    rows.DeleteRow(from);
  }
}

int rowAfterMove(int row, int from, int to, int count) {
  if (row < 0 || from < 0 || from >= count) return row;
  to = std::clamp(to, 0, count - 1);
  if (row == from) return to;
  if (from < row && row <= to) return row - 1;
  if (to <= row && row < from) return row + 1;
  return row;
}

bool beginRowDrag(RowDrag& drag, const RowStore& rows, int startRow) {
  if (drag.dragging) return false;
  drag.dragging = true;
  drag.startRow = startRow;
  drag.snapshot = SelectedRows(rows);
  return true;
}

void cancelRowDrag(RowDrag& drag) {
  drag.dragging = false;
  drag.startRow = -1;
  drag.snapshot.clear();
}

bool dropDraggedRows(RowStore& rows, RowDrag& drag, int targetRow, bool dropAllowed, std::span<int> followed) {
  const std::vector<int> snapshot = std::move(drag.snapshot);
  const int startRow = drag.startRow;
  const bool wasDragging = drag.dragging;
  cancelRowDrag(drag);

  if (!wasDragging || !dropAllowed || snapshot.empty()) return false;
  if (!InList(rows, targetRow) || targetRow == startRow) return false;
  if (std::find(snapshot.begin(), snapshot.end(), targetRow) != snapshot.end()) return false;
  // Rows may have been removed while the drag ran; a snapshot that no longer
  // matches the list would move the wrong rows.
  if (!std::is_sorted(snapshot.begin(), snapshot.end()) || snapshot.front() < 0 || snapshot.back() >= rows.RowCount() ||
      std::adjacent_find(snapshot.begin(), snapshot.end()) != snapshot.end()) {
    return false;
  }

  // Where each dragged row lands: the gaps between them kept, the last on the
  // target when moving down, the first when moving up. Near either end of the list
  // the places are kept inside it and two rows never land on one place.
  const int count = rows.RowCount();
  const auto dragged = static_cast<int>(snapshot.size());
  const bool down = startRow < targetRow;
  std::vector<int> landing(snapshot.size());
  for (int k = 0; k < dragged; ++k) {
    const int row = snapshot[static_cast<std::size_t>(k)];
    const int wanted = down ? targetRow - (snapshot.back() - row) : targetRow + (row - snapshot.front());
    landing[static_cast<std::size_t>(k)] = std::clamp(wanted, k, count - dragged + k);
  }

  // One rearrangement of the rows between the first and last place touched: the
  // dragged rows at their places, every other row of that range in the places
  // left, in its old order.
  const int low = std::min(snapshot.front(), landing.front());
  const int high = std::max(snapshot.back(), landing.back());
  std::vector<int> order(static_cast<std::size_t>(high - low + 1), -1);
  for (std::size_t k = 0; k < snapshot.size(); ++k) order[static_cast<std::size_t>(landing[k] - low)] = snapshot[k];
  auto nextDragged = snapshot.begin();
  auto place = order.begin();
  for (int row = low; row <= high; ++row) {
    if (nextDragged != snapshot.end() && *nextDragged == row) {
      ++nextDragged;
      continue;
    }
    place = std::find(place, order.end(), -1);
    *place = row;
  }
  if (!rows.ReorderRows(low, order)) return false;

  std::vector<int> newIndex(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    newIndex[static_cast<std::size_t>(order[i] - low)] = low + static_cast<int>(i);
  }
  for (int& row : followed) {
    if (row >= low && row <= high) row = newIndex[static_cast<std::size_t>(row - low)];
  }
  return true;
}

DragZone ClassifyDragPosition(int x, int y, int clientLeft, int clientTop, int clientRight, int clientBottom) {
  if (x < clientLeft || x > clientRight) return DragZone::Outside;
  const int top = clientTop + kDropZoneTopInset;
  const int bottom = top + (clientBottom - clientTop) - kDropZoneHeightCut;
  if (y >= top && y <= bottom) return DragZone::Drop;
  if (y > bottom && y <= bottom + kScrollBand) return DragZone::ScrollDown;
  if (y >= top - kScrollBand && y < top) return DragZone::ScrollUp;
  return DragZone::Outside;
}

}  // namespace kestrun::playlist
