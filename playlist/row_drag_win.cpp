#include "playlist/row_drag_win.h"

#include <commctrl.h>

#include <utility>

#include "playlist/row_list_view_win.h"

namespace kestrun::playlist {

std::array<int, 2> ListMarks(HWND list, int rowCount) {
  // The control keeps these through removals and count changes, so either may name
  // a row that is gone; such a mark is taken as none.
  const auto inRows = [rowCount](LRESULT row) { return row >= 0 && row < rowCount ? static_cast<int>(row) : -1; };
  return {inRows(ListView_GetNextItem(list, -1, LVNI_FOCUSED)), inRows(ListView_GetSelectionMark(list))};
}

void SetListMarks(HWND list, const std::array<int, 2>& marks) {
  if (marks[0] >= 0) ListView_SetItemState(list, marks[0], LVIS_FOCUSED, LVIS_FOCUSED);
  if (marks[1] >= 0) ListView_SetSelectionMark(list, marks[1]);
}

void RowDragger::Attach(HWND list, RowStore& rows, RowListView* view, HCURSOR dragCursor) {
  list_ = list;
  rows_ = &rows;
  view_ = view;
  dragCursor_ = dragCursor;
}

void RowDragger::Detach() {
  if (drag_.dragging) Cancel();
  list_ = nullptr;
  rows_ = nullptr;
  view_ = nullptr;
}

void RowDragger::SetTrackSelect(bool on) {
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_TRACKSELECT, on ? LVS_EX_TRACKSELECT : 0);
}

void RowDragger::Begin(int row) {
  if (rows_ == nullptr || !beginRowDrag(drag_, *rows_, row)) return;
  dropAllowed_ = false;
  scrollDebt_ = 0;
  SetTrackSelect(true);
  SetCapture(list_);
}

bool RowDragger::OnListMessage(UINT message, LPARAM lParam) {
  if (!drag_.dragging) return false;
  const POINT client{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_MOUSEMOVE:
      Move(client);
      return false;
    case WM_LBUTTONUP:
      End(client);
      return true;
    case WM_CAPTURECHANGED:
      Cancel();
      return false;
    default:
      return false;
  }
}

void RowDragger::Move(POINT client) {
  POINT screen = client;
  ClientToScreen(list_, &screen);
  RECT area{};
  GetClientRect(list_, &area);
  POINT topLeft{area.left, area.top};
  POINT bottomRight{area.right, area.bottom};
  ClientToScreen(list_, &topLeft);
  ClientToScreen(list_, &bottomRight);
  const DragZone zone = ClassifyDragPosition(screen.x, screen.y, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
  dropAllowed_ = zone == DragZone::Drop;
  SetCursor(dropAllowed_ && dragCursor_ != nullptr ? dragCursor_ : LoadCursorA(nullptr, IDC_NO));
  if (zone == DragZone::ScrollDown || zone == DragZone::ScrollUp) {
    ScrollBy(zone == DragZone::ScrollDown ? kDragScrollPixels : -kDragScrollPixels);
  } else {
    scrollDebt_ = 0;
  }
}

void RowDragger::ScrollBy(int pixels) {
  // A report-view list scrolls by whole rows and drops a request of fewer pixels
  // than a row is high, so the 8-pixel steps are gathered until they make a row.
  if ((scrollDebt_ < 0) != (pixels < 0)) scrollDebt_ = 0;
  scrollDebt_ += pixels;
  RECT item{};
  item.left = LVIR_BOUNDS;
  int rowHeight = 0;
  if (rows_->RowCount() > 0 && SendMessageA(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item))) {
    rowHeight = item.bottom - item.top;
  }
  if (rowHeight <= 0) rowHeight = kDragScrollPixels;
  const int lines = scrollDebt_ / rowHeight;
  if (lines == 0) return;
  SendMessageA(list_, LVM_SCROLL, 0, lines * rowHeight);
  scrollDebt_ -= lines * rowHeight;
}

void RowDragger::End(POINT client) {
  LVHITTESTINFO hit{};
  hit.pt = client;
  const int target = static_cast<int>(SendMessageA(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  // The drag is taken over before the capture goes, so the capture-lost message
  // that releasing it sends does not cancel this drop.
  RowDrag ending = std::move(drag_);
  cancelRowDrag(drag_);
  ReleaseCapture();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  // The focus and shift-click anchor go with their rows.
  std::array<int, 2> marks = ListMarks(list_, rows_->RowCount());
  bool moved = false;
  {
    const RowListView::Hold hold(view_);
    moved = dropDraggedRows(*rows_, ending, target, dropAllowed_, marks);
  }
  if (moved) SetListMarks(list_, marks);
  dropAllowed_ = false;
  if (target > 0) SendMessageA(list_, LVM_REDRAWITEMS, target - 1, target - 1);
  UpdateWindow(list_);
  SetTrackSelect(false);
}

void RowDragger::Cancel() {
  cancelRowDrag(drag_);
  dropAllowed_ = false;
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SetTrackSelect(false);
}

}  // namespace kestrun::playlist
