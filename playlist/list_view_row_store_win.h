// The playlist's rows as they really live: the rows of the playlist window's
// report-style list control, with the key as each item's data.
#pragma once

#include <windows.h>

#include "playlist/row_store.h"

namespace kestrun::playlist {

class ListViewRowStore final : public RowStore {
 public:
  explicit ListViewRowStore(HWND list) : list_(list) {}

  int RowCount() const override;
  std::string Cell(int row, Column column) const override;
  void SetCell(int row, Column column, std::string_view text) override;
  int Key(int row) const override;
  bool IsSelected(int row) const override;
  void SetSelected(int row, bool selected) override;
  int NextSelected(int after) const override;
  void DeleteRow(int row) override;
  void DeleteAllRows() override;
  void SortByKeys(const KeyComparison& compare) override;

 protected:
  void InsertRowWithKey(int index, std::string_view path, int key) override;
  void SetKey(int row, int key) override;

 private:
  HWND list_;
};

}  // namespace kestrun::playlist
