// A RowStore kept in memory: the list control's behaviour without a window, for
// tests, fuzzing and benchmarks.
#pragma once

#include <vector>

#include "playlist/row_store.h"

namespace kestrun::playlist {

class MemoryRowStore final : public RowStore {
 public:
  int RowCount() const override;
  std::string Cell(int row, Column column) const override;
  void SetCell(int row, Column column, std::string_view text) override;
  int Key(int row) const override;
  bool IsSelected(int row) const override;
  void SetSelected(int row, bool selected) override;
  int NextSelected(int after) const override;
  void DeleteRow(int row) override;
  void DeleteAllRows() override;
  // A stable sort: rows that compare equal keep their order.
  void SortByKeys(const KeyComparison& compare) override;

 protected:
  void InsertRowWithKey(int index, std::string_view path, int key) override;
  void SetKey(int row, int key) override;

 private:
  struct Row {
    PlaylistEntry entry;
    bool selected = false;
  };
  std::vector<Row> rows_;
};

}  // namespace kestrun::playlist
