// Rows dragged with the mouse inside the playlist's list control: the drag takes
// the mouse capture, shows the drag cursor where a drop is allowed, scrolls the
// list while the cursor is held just above or below it, and on release moves the
// dragged rows to the row under the cursor (the placing rules are dropDraggedRows').
#pragma once

#include <windows.h>

#include <array>

#include "playlist/row_order.h"
#include "playlist/row_store.h"

namespace kestrun::playlist {

class RowListView;

// The list's focused row and selection anchor (-1 for none), which the control
// keeps by index; a mark naming a row that is gone reads as none.
std::array<int, 2> ListMarks(HWND list, int rowCount);
void SetListMarks(HWND list, const std::array<int, 2>& marks);

class RowDragger {
 public:
  RowDragger() = default;
  RowDragger(const RowDragger&) = delete;
  RowDragger& operator=(const RowDragger&) = delete;

  // list shows rows through view (may be null); dragCursor is shown over the drop
  // zone (null: the arrow).
  void Attach(HWND list, RowStore& rows, RowListView* view, HCURSOR dragCursor);
  // The list is going: a drag under way ends without a move.
  void Detach();

  bool dragging() const { return drag_.dragging; }
  // LVN_BEGINDRAG on row.
  void Begin(int row);
  // The list's mouse messages while a drag runs; true when the message was the
  // drag's and the list must not handle it as well.
  bool OnListMessage(UINT message, LPARAM lParam);
  // Ends the drag without a move (the capture was lost).
  void Cancel();

 private:
  void Move(POINT client);
  void ScrollBy(int pixels);
  void End(POINT client);
  void SetTrackSelect(bool on);

  HWND list_ = nullptr;
  RowStore* rows_ = nullptr;
  RowListView* view_ = nullptr;
  HCURSOR dragCursor_ = nullptr;
  RowDrag drag_;
  bool dropAllowed_ = false;
  int scrollDebt_ = 0;  // scroll pixels asked for while dragging, not yet a whole row
};

}  // namespace kestrun::playlist
