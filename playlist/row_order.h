// Reordering the playlist's rows: column sort, moving the selection up and down,
// and placing dragged rows. Everything works on a RowStore.
//
// None of these touches the current track index: after a reorder it may point at
// another file, as users of the list expect from the list control.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "playlist/row_store.h"

namespace kestrun::playlist {

// The sort compares at most this many bytes of each text.
inline constexpr std::size_t kSortCompareBytes = 63;

// One value per column: 1 ascending, anything else (0 at start, or 2) descending.
struct SortDirections {
  std::array<int, kColumnCount> value{};
};

// Toggles the direction of `column` (2 becomes 1, anything else 2, so the first
// click sorts descending) and sorts all rows by that column's text, compared as
// unsigned bytes over the first 63 bytes. A column outside 0..3 does nothing.
void sortByColumn(RowStore& rows, SortDirections& directions, int column);

// Exchanges the four cells of rows a and b (keys stay with their positions);
// a loses and b gains the selection.
void swapRows(RowStore& rows, int a, int b);

// Moves the selected rows up one place, blocks of adjacent rows as blocks, in one
// pass over the rows; nothing moves when row 0 is selected. Rows keep their keys
// and the selection travels with them. Returns whether rows moved.
bool moveSelectedRowsUp(RowStore& rows);
// Moves the selected rows down one place, as above; nothing moves when the last row
// is selected.
bool moveSelectedRowsDown(RowStore& rows);

// Moves one row so that it ends at index `to`, selected, with a new key. A `from`
// outside the list does nothing; `to` is kept inside the list.
void moveRow(RowStore& rows, int from, int to);

// Where the row at index `row` stands after moveRow(rows, from, to) on a list of
// `count` rows (-1 stays -1).
int rowAfterMove(int row, int from, int to, int count);

// The rows being dragged: the selection when the drag began (ascending) and the
// row under the cursor then.
struct RowDrag {
  bool dragging = false;
  int startRow = -1;
  std::vector<int> snapshot;
};

// Starts a drag from startRow unless one is running; false when one was.
bool beginRowDrag(RowDrag& drag, const RowStore& rows, int startRow);

// Ends the drag at targetRow (-1 when no row is under the cursor) and moves the
// dragged rows there, keeping the gaps between them: when moving down the last
// dragged row lands on the target, when moving up the first. Nothing moves when
// the drop is not allowed, the target is -1, the start row or a dragged row, or
// when the snapshot no longer fits the list. The rows move in one pass and keep
// their keys; the rows between keep their order. Returns whether rows moved. The drag
// is over afterwards in every case. Each index in `followed` (the list's focus and
// selection anchor, which the list keeps by index) is carried along with its row.
bool dropDraggedRows(RowStore& rows, RowDrag& drag, int targetRow, bool dropAllowed, std::span<int> followed = {});

// Ends the drag without moving anything (mouse capture lost).
void cancelRowDrag(RowDrag& drag);

// Where the cursor is while rows are dragged, from the list's client area in
// screen coordinates: inside the drop zone (12 pixels below the client top down to
// 2 pixels below its bottom), in the 10-pixel bands below or above it (which
// scroll the list), or anywhere else.
enum class DragZone { Drop, ScrollDown, ScrollUp, Outside };
inline constexpr int kDragScrollPixels = 8;
DragZone ClassifyDragPosition(int x, int y, int clientLeft, int clientTop, int clientRight, int clientBottom);

}  // namespace kestrun::playlist
