#include "playlist/row_list_view_win.h"

#include <algorithm>
#include <string>

#include "platform/ansi_text.h"

namespace kestrun::playlist {

namespace {

std::string AnsiFromWide(const wchar_t* text) {
  if (text == nullptr) return {};
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return {};
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), bytes, nullptr, nullptr);
  ansi.resize(static_cast<std::size_t>(bytes - 1));
  return ansi;
}

void CopyAsWide(std::string_view text, wchar_t* buffer, int bufferSize) {
  if (buffer == nullptr || bufferSize <= 0) return;
  std::wstring wide;
  if (!text.empty()) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    wide.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  }
  const std::size_t fits = std::min(wide.size(), static_cast<std::size_t>(bufferSize - 1));
  wide.copy(buffer, fits);
  buffer[fits] = L'\0';
}

// The row a keyboard search finds: LVFI_STRING for a whole text, LVFI_PARTIAL for
// a start, LVFI_PARAM for a key (the item data of a normal list).
int FindRow(const MemoryRowStore& rows, int start, UINT flags, const std::string& text, LPARAM param) {
  if (flags & LVFI_PARAM) return rows.RowOfKey(static_cast<int>(param));
  if (!(flags & (LVFI_STRING | LVFI_PARTIAL))) return -1;
  return FindRowByPathPrefix(rows, text, start, (flags & LVFI_WRAP) != 0, (flags & LVFI_PARTIAL) == 0);
}

}  // namespace

RowListView::RowListView(HWND list, MemoryRowStore& rows) : list_(list), rows_(rows) {
  rows_.SetView(this);
  ShowCount(false);
  PushSelection();
}

RowListView::~RowListView() { rows_.SetView(nullptr); }

bool RowListView::OnNotify(const NMHDR& header, LRESULT& result) {
  result = 0;
  switch (header.code) {
    case LVN_GETDISPINFOA: {
      auto& item = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)).item;
      if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && item.iItem < rows_.RowCount() && item.iSubItem >= 0 &&
          item.iSubItem < kColumnCount && item.cchTextMax > 0) {
        platform::CopyToBuffer(rows_.CellText(item.iItem, static_cast<Column>(item.iSubItem)), item.pszText,
                               static_cast<std::size_t>(item.cchTextMax));
      }
      return true;
    }
    case LVN_GETDISPINFOW: {
      auto& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
      if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && item.iItem < rows_.RowCount() && item.iSubItem >= 0 &&
          item.iSubItem < kColumnCount) {
        CopyAsWide(rows_.CellText(item.iItem, static_cast<Column>(item.iSubItem)), item.pszText, item.cchTextMax);
      }
      return true;
    }
    case LVN_ODFINDITEMA: {
      const auto& find = reinterpret_cast<const NMLVFINDITEMA&>(header);
      const std::string text = find.lvfi.psz != nullptr ? std::string(find.lvfi.psz) : std::string();
      result = FindRow(rows_, find.iStart, find.lvfi.flags, text, find.lvfi.lParam);
      return true;
    }
    case LVN_ODFINDITEMW: {
      const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
      result = FindRow(rows_, find.iStart, find.lvfi.flags, AnsiFromWide(find.lvfi.psz), find.lvfi.lParam);
      return true;
    }
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if ((change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) {
        TakeSelection(change.iItem, change.iItem, change.uOldState, change.uNewState);
      }
      return true;
    }
    case LVN_ODSTATECHANGED: {
      const auto& change = reinterpret_cast<const NMLVODSTATECHANGE&>(header);
      if ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) {
        TakeSelection(change.iFrom, change.iTo, change.uOldState, change.uNewState);
      }
      return true;
    }
    case LVN_ODCACHEHINT:
      return true;  // the rows are all in memory
    default:
      return false;
  }
}

void RowListView::TakeSelection(int first, int last, UINT, UINT newState) {
  // The control tells what it has already shown; nothing goes back to it.
  if (syncing_) return;
  syncing_ = true;
  const bool selected = (newState & LVIS_SELECTED) != 0;
  if (first == -1) {
    rows_.SelectRange(-1, -1, selected);
  } else if (first == last) {
    if (first >= 0 && first < rows_.RowCount()) rows_.SetSelected(first, selected);
  } else {
    rows_.SelectRange(first, last, selected);
  }
  syncing_ = false;
}

void RowListView::Flush() {
  if (rearranged_) {
    ShowCount(false);
    PushSelection();
    countDirty_ = false;
  } else {
    if (countDirty_ && (countIntervalMs_ == 0 || GetTickCount() - countShownAt_ >= countIntervalMs_)) {
      ShowCount(true);
      countDirty_ = false;
    }
    if (selectionDirty_) PushSelection();
    RepaintDirtyRows();
  }
  rearranged_ = selectionDirty_ = false;
  dirtyFirst_ = dirtyLast_ = -1;
}

void RowListView::PaceCount(DWORD intervalMs) {
  countIntervalMs_ = intervalMs;
  if (intervalMs == 0 && countDirty_ && held_ == 0) {
    ShowCount(true);
    countDirty_ = false;
  }
}

void RowListView::RepaintDirtyRows() {
  if (dirtyFirst_ < 0) return;
  // Rows scrolled out of sight are painted when they come back into it.
  const int top = static_cast<int>(SendMessageA(list_, LVM_GETTOPINDEX, 0, 0));
  const int page = static_cast<int>(SendMessageA(list_, LVM_GETCOUNTPERPAGE, 0, 0));
  const int first = std::max(dirtyFirst_, top);
  const int shown = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
  const int last = std::min({dirtyLast_, top + page, shown - 1});
  if (first <= last) SendMessageA(list_, LVM_REDRAWITEMS, first, last);
}

void RowListView::RowsAppended(int, int) {
  if (held_ > 0) {
    countDirty_ = true;
    return;
  }
  ShowCount(true);
}

void RowListView::RowsRearranged() {
  if (held_ > 0) {
    rearranged_ = true;
    return;
  }
  ShowCount(false);
  PushSelection();
}

void RowListView::CellChanged(int row) {
  if (held_ > 0) {
    dirtyFirst_ = dirtyFirst_ < 0 ? row : std::min(dirtyFirst_, row);
    dirtyLast_ = std::max(dirtyLast_, row);
    return;
  }
  SendMessageA(list_, LVM_REDRAWITEMS, row, row);
}

void RowListView::SelectionChanged(int row) {
  if (syncing_) return;
  if (held_ > 0 || row < 0) {
    if (held_ > 0) {
      selectionDirty_ = true;
    } else {
      PushSelection();
    }
    return;
  }
  SetControlSelection(row, rows_.IsSelected(row));
}

void RowListView::ShowCount(bool appendedOnly) {
  // Added rows at the end change nothing that is shown above them; anything else
  // may have changed every visible row.
  const LPARAM flags = LVSICF_NOSCROLL | (appendedOnly ? LVSICF_NOINVALIDATEALL : 0);
  SendMessageA(list_, LVM_SETITEMCOUNT, rows_.RowCount(), flags);
  countShownAt_ = GetTickCount();
  if (!appendedOnly) InvalidateRect(list_, nullptr, FALSE);
}

void RowListView::SetControlSelection(int item, bool selected) {
  const bool wasSyncing = syncing_;
  syncing_ = true;
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED;
  state.state = selected ? LVIS_SELECTED : 0;
  SendMessageA(list_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
  syncing_ = wasSyncing;
}

void RowListView::PushSelection() {
  ClearControlSelection();
  // One message per selected row. Item -1 would select all in one message, but
  // some list controls then send a notice for every item, which costs more than
  // the rows it saves.
  for (int row = rows_.NextSelected(-1); row >= 0; row = rows_.NextSelected(row)) SetControlSelection(row, true);
}

void RowListView::ClearControlSelection() {
  const int shown = static_cast<int>(SendMessageA(list_, LVM_GETSELECTEDCOUNT, 0, 0));
  if (shown <= 0) return;
  constexpr int kFewSelected = 64;
  if (shown <= kFewSelected) {
    // Each search goes on after the item just unselected: one pass.
    for (int item = ListView_GetNextItem(list_, -1, LVNI_SELECTED); item >= 0;
         item = ListView_GetNextItem(list_, item, LVNI_SELECTED)) {
      SetControlSelection(item, false);
    }
    return;
  }
  // Many selected items. Unselecting all through item -1 makes some list controls
  // visit (and report) every item, seconds for 100,000 rows; taking every item
  // away and giving them back drops the whole selection at once. The scroll
  // position, the focus and the shift-click anchor are put back afterwards.
  const int count = rows_.RowCount();
  const int top = static_cast<int>(SendMessageA(list_, LVM_GETTOPINDEX, 0, 0));
  const int focus = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
  const int mark = static_cast<int>(SendMessageA(list_, LVM_GETSELECTIONMARK, 0, 0));
  const bool wasSyncing = syncing_;
  syncing_ = true;
  SendMessageA(list_, LVM_SETITEMCOUNT, 0, LVSICF_NOSCROLL);
  SendMessageA(list_, LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL);
  if (top > 0 && top < count) {
    RECT item{};
    item.left = LVIR_BOUNDS;
    if (SendMessageA(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)) && item.bottom > item.top) {
      SendMessageA(list_, LVM_SCROLL, 0, top * (item.bottom - item.top));
    }
  }
  if (focus >= 0 && focus < count) {
    LVITEMA state{};
    state.stateMask = LVIS_FOCUSED;
    state.state = LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, focus, reinterpret_cast<LPARAM>(&state));
  }
  if (mark >= 0 && mark < count) SendMessageA(list_, LVM_SETSELECTIONMARK, 0, mark);
  syncing_ = wasSyncing;
  InvalidateRect(list_, nullptr, FALSE);
}

}  // namespace kestrun::playlist
