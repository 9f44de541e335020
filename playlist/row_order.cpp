#include "playlist/row_order.h"

#include <algorithm>
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
  if (rows.RowCount() == 0) return false;
  bool moved = false;
  for (int row = rows.NextSelected(-1); row >= 0; row = rows.NextSelected(row)) {
    if (row == 0) return false;
    swapRows(rows, row, row - 1);
    moved = true;
  }
  return moved;
}

bool moveSelectedRowsDown(RowStore& rows) {
  const int count = rows.RowCount();
  if (count == 0) return false;
  const std::vector<int> selected = SelectedRows(rows);
  if (selected.empty() || selected.back() == count - 1) return false;
  for (auto row = selected.rbegin(); row != selected.rend(); ++row) swapRows(rows, *row, *row + 1);
  return true;
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
  if (!std::is_sorted(snapshot.begin(), snapshot.end()) || snapshot.front() < 0 ||
      snapshot.back() >= rows.RowCount() ||
      std::adjacent_find(snapshot.begin(), snapshot.end()) != snapshot.end()) {
    return false;
  }

  const int first = snapshot.front();
  const int last = snapshot.back();
  const auto move = [&](int from, int to) {
    for (int& row : followed) row = rowAfterMove(row, from, to, rows.RowCount());
    moveRow(rows, from, to);
  };
  if (startRow < targetRow) {
    for (auto row = snapshot.rbegin(); row != snapshot.rend(); ++row) move(*row, targetRow - (last - *row));
  } else {
    for (const int row : snapshot) move(row, targetRow + (row - first));
  }
  return true;
}

DragZone ClassifyDragPosition(int x, int y, int clientLeft, int clientTop, int clientRight,
                              int clientBottom) {
  if (x < clientLeft || x > clientRight) return DragZone::Outside;
  const int top = clientTop + kDropZoneTopInset;
  const int bottom = top + (clientBottom - clientTop) - kDropZoneHeightCut;
  if (y >= top && y <= bottom) return DragZone::Drop;
  if (y > bottom && y <= bottom + kScrollBand) return DragZone::ScrollDown;
  if (y >= top - kScrollBand && y < top) return DragZone::ScrollUp;
  return DragZone::Outside;
}

}  // namespace kestrun::playlist
