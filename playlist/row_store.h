// The playlist's rows, as the code outside the playlist window sees them.
//
// The rows are the playlist: one authoritative copy, addressed by row index, that
// the playlist window's list control shows as it is (what the list shows is what
// is saved and played). This interface is what every reader, writer and sorter
// uses: rows by index, four text cells, a key per row and the selection. Row
// indexes are 0-based; callers pass only indexes inside the list.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_text.h"
#include "playlist/playlist_entry.h"

namespace kestrun::playlist {

class RowStore {
 public:
  virtual ~RowStore() = default;

  virtual int RowCount() const = 0;
  // The whole cell text (no buffer limit; readers cut where they need to).
  virtual std::string Cell(int row, Column column) const = 0;
  virtual void SetCell(int row, Column column, std::string_view text) = 0;
  virtual int Key(int row) const = 0;
  virtual bool IsSelected(int row) const = 0;
  virtual void SetSelected(int row, bool selected) = 0;
  // The first selected row after `after` (-1 to start before row 0); -1 when none.
  virtual int NextSelected(int after) const = 0;
  virtual void DeleteRow(int row) = 0;
  virtual void DeleteAllRows() = 0;
  // Unselects every row, in one pass over the rows.
  virtual void ClearSelection();
  // Removes every selected row, in one pass; returns how many went.
  virtual int DeleteSelectedRows();
  // Appends rows with all four cells set (their keys are ignored: each row gets a
  // new one), as appendRow and WriteCells would one by one.
  virtual void AppendRows(std::vector<PlaylistEntry> entries);
  // The row that holds `key` now, -1 when no row does (it was removed). Work that
  // runs while rows may move (sorts, drags, removals) remembers keys, not indexes,
  // and finds its row again by this. The default walks the rows.
  virtual int RowOfKey(int key) const;

  // Orders all rows by a comparison of their keys (negative: a first, positive: b
  // first). The order of rows that compare equal is up to the store.
  using KeyComparison = std::function<int(int keyA, int keyB)>;
  virtual void SortByKeys(const KeyComparison& compare) = 0;
  // Orders all rows by a comparison of one column's texts, as SortByKeys does.
  using TextComparison = std::function<int(std::string_view a, std::string_view b)>;
  virtual void SortByCell(Column column, const TextComparison& compare);

  // Rearranges rows first .. first+order.size()-1 in one pass: the row at index
  // first+i afterwards is the one that was at index order[i]. Each row takes its
  // cells, key and selected flag along. Returns false, changing nothing, when order
  // is not an arrangement of exactly those indexes.
  bool ReorderRows(int first, std::span<const int> order);

  // Inserts a row at index (0..RowCount()) with `path` set, the other cells empty
  // and a key no other row has. Returns the new row's index.
  int InsertRow(int index, std::string_view path);

 protected:
  // Stores the new row; index is within 0..RowCount().
  virtual void InsertRowWithKey(int index, std::string_view path, int key) = 0;
  // Gives an existing row another key (used when keys are renumbered, and when rows
  // are rearranged by rewriting them in place).
  virtual void SetKey(int row, int key) = 0;
  // Applies a checked arrangement (see ReorderRows). The default reads the rows
  // concerned and writes them back in their new places.
  virtual void ApplyOrder(int first, std::span<const int> order);

 private:
  int NewKey();
  int nextKey_ = 0;
};

// Appends a row with `path` set and the other cells empty; returns its index.
int appendRow(RowStore& rows, std::string_view path);

// All four cells and the key of a row, and writing the four cells back.
PlaylistEntry ReadRow(const RowStore& rows, int row);
void WriteCells(RowStore& rows, int row, const PlaylistEntry& entry);

// The selected rows in increasing order.
std::vector<int> SelectedRows(const RowStore& rows);

// The list's keyboard search: the first row from `start` on (wrapping round to
// the rows before it when `wrap` is set) whose path starts with `prefix` (or, when
// `wholeText`, is exactly it), single-byte letters compared without case; -1 when
// no row does. A start outside the list counts as row 0.
int FindRowByPathPrefix(const RowStore& rows, std::string_view prefix, int start, bool wrap, bool wholeText = false);
// The comparison it uses, for texts in the system code page (isLead tells lead bytes).
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix,
                            platform::LeadByteTest isLead = platform::IsLeadByte);

}  // namespace kestrun::playlist
