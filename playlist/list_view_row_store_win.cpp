#include "playlist/list_view_row_store_win.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace kestrun::playlist {

int ListViewRowStore::RowCount() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListViewRowStore::Cell(int row, Column column) const {
  // The control copies at most the buffer; grow until the text fits.
  std::vector<char> buffer(512);
  for (;;) {
    LVITEMA item{};
    item.iSubItem = static_cast<int>(column);
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto length = static_cast<std::size_t>(
        SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < buffer.size() || buffer.size() >= (1u << 20)) {
      return std::string(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
    }
    buffer.resize(buffer.size() * 4);
  }
}

void ListViewRowStore::SetCell(int row, Column column, std::string_view text) {
  std::string copy(text);
  LVITEMA item{};
  item.iSubItem = static_cast<int>(column);
  item.pszText = copy.data();
  SendMessageA(list_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

int ListViewRowStore::Key(int row) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<int>(item.lParam);
}

bool ListViewRowStore::IsSelected(int row) const {
  return (SendMessageA(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void ListViewRowStore::SetSelected(int row, bool selected) {
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int ListViewRowStore::NextSelected(int after) const {
  return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, after, LVNI_SELECTED));
}

void ListViewRowStore::DeleteRow(int row) { SendMessageA(list_, LVM_DELETEITEM, row, 0); }

void ListViewRowStore::DeleteAllRows() { SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0); }

namespace {

int CALLBACK CompareKeys(LPARAM a, LPARAM b, LPARAM context) {
  const auto* compare = reinterpret_cast<const RowStore::KeyComparison*>(context);
  return (*compare)(static_cast<int>(a), static_cast<int>(b));
}

}  // namespace

void ListViewRowStore::SortByKeys(const KeyComparison& compare) {
  SendMessageA(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&compare),
               reinterpret_cast<LPARAM>(&CompareKeys));
}

void ListViewRowStore::InsertRowWithKey(int index, std::string_view path, int key) {
  std::string copy(path);
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = copy.data();
  item.lParam = key;
  SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ListViewRowStore::SetKey(int row, int key) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = key;
  SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

}  // namespace kestrun::playlist
