// The playlist's rows in memory: one vector of compact rows (four texts, the key
// and the selected flag), addressed by row index. It is the playlist's storage in
// the program, where the list control only shows it (see RowListView), and the
// same store serves tests, fuzzing and benchmarks.
//
// Every change is told to an attached RowView, so a window showing the rows can
// follow; the store itself knows nothing of windows.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "playlist/row_store.h"

namespace kestrun::playlist {

// What a view of the rows is told after each change of the store.
class RowView {
 public:
  virtual ~RowView() = default;
  // Rows first .. first+count-1 were added at the end; no other row moved.
  virtual void RowsAppended(int first, int count) = 0;
  // Rows were inserted, removed or reordered: any row's texts and selection may
  // now be at another index, and the count may differ.
  virtual void RowsRearranged() = 0;
  // A text of one row changed.
  virtual void CellChanged(int row) = 0;
  // The selected flag of one row changed; row -1: of any number of rows.
  virtual void SelectionChanged(int row) = 0;
};

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
  void ClearSelection() override;
  int DeleteSelectedRows() override;
  void AppendRows(std::vector<PlaylistEntry> entries) override;
  // Finds the row through an index of the keys, rebuilt after rows moved.
  int RowOfKey(int key) const override;
  // Stable sorts: rows that compare equal keep their order.
  void SortByKeys(const KeyComparison& compare) override;
  void SortByCell(Column column, const TextComparison& compare) override;

  // A cell without copying it; valid until the row changes.
  std::string_view CellText(int row, Column column) const;
  // Sets the selected flag of rows first .. last (inclusive, cut to the list), or
  // of every row when first is -1.
  void SelectRange(int first, int last, bool selected);
  int SelectedCount() const;

  // The view told of changes (null: none). The store does not own it.
  void SetView(RowView* view) { view_ = view; }

 protected:
  void InsertRowWithKey(int index, std::string_view path, int key) override;
  void SetKey(int row, int key) override;
  // Moves the rows themselves, each once; the view is told once.
  void ApplyOrder(int first, std::span<const int> order) override;

 private:
  struct Row {
    PlaylistEntry entry;
    bool selected = false;
  };
  const Row& At(int row) const;
  Row& At(int row);
  void Rearranged();

  std::vector<Row> rows_;
  RowView* view_ = nullptr;
  bool appending_ = false;  // AppendRows tells the view once, at the end
  // (key, row) pairs sorted by key; valid while keyIndexValid_.
  mutable std::vector<std::pair<int, int>> keyIndex_;
  mutable bool keyIndexValid_ = true;
};

}  // namespace kestrun::playlist
