// The playlist window's list control as a view of the rows: the control is in
// owner-data mode (LVS_OWNERDATA), so it holds no texts of its own. It asks for
// each cell it paints (LVN_GETDISPINFO), asks the rows for its keyboard search
// (LVN_ODFINDITEM), and is told the row count after rows come and go.
//
// The selection lives in the rows (each row's selected flag), so it moves with
// its rows through inserts, removals, sorts and drags. The control keeps its own
// copy for painting and for the user's clicks and keys: what the user selects
// reaches the rows through LVN_ITEMCHANGED and LVN_ODSTATECHANGED, and what the
// code selects is pushed to the control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "playlist/memory_row_store.h"

namespace kestrun::playlist {

class RowListView final : public RowView {
 public:
  // Attaches to the rows and shows them; the list must have LVS_OWNERDATA.
  RowListView(HWND list, MemoryRowStore& rows);
  ~RowListView() override;
  RowListView(const RowListView&) = delete;
  RowListView& operator=(const RowListView&) = delete;

  // A notification from the list; true when it was one of the view's, with the
  // value to answer in result.
  bool OnNotify(const NMHDR& header, LRESULT& result);

  // While a hold lasts, changes are only noted; the last hold to end shows them
  // all at once (one count, one repaint, one selection push). For work that
  // changes many rows.
  class Hold {
   public:
    explicit Hold(RowListView* view) : view_(view) {
      if (view_ != nullptr) ++view_->held_;
    }
    ~Hold() {
      if (view_ != nullptr && --view_->held_ == 0) view_->Flush();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    RowListView* view_;
  };

  // Shows what is pending now, also inside a hold (a long run showing progress).
  void Flush();

  // While rows keep arriving at the end (a long run), the control is told the new
  // count at most every intervalMs: each count update redraws its scroll bar, which
  // costs more than the rows of a whole slice. 0 (the default) tells it at every
  // flush, and shows a count still waiting at once.
  void PaceCount(DWORD intervalMs);

  void RowsAppended(int first, int count) override;
  void RowsRearranged() override;
  void CellChanged(int row) override;
  void SelectionChanged(int row) override;

 private:
  void ShowCount(bool appendedOnly);
  void RepaintDirtyRows();
  void PushSelection();
  void ClearControlSelection();
  void SetControlSelection(int item, bool selected);
  void TakeSelection(int first, int last, UINT oldState, UINT newState);

  HWND list_;
  MemoryRowStore& rows_;
  int held_ = 0;
  bool countDirty_ = false;
  bool rearranged_ = false;
  bool selectionDirty_ = false;
  // The rows whose cells changed inside a hold; only the shown ones are repainted.
  int dirtyFirst_ = -1;
  int dirtyLast_ = -1;
  DWORD countIntervalMs_ = 0;
  DWORD countShownAt_ = 0;
  // Set while the view changes the control's selection or takes the user's into
  // the rows, so that the echo is not taken back.
  bool syncing_ = false;
};

}  // namespace kestrun::playlist
