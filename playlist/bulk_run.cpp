#include "playlist/bulk_run.h"

namespace kestrun::playlist {

bool BulkRun::Run(RowStore& rows, const std::vector<int>& walk, const std::function<void(int row)>& op,
                  const std::function<bool()>& pump) {
  if (running_) return false;
  Scope scope(*this);
  for (const int row : walk) {
    if (row < 0 || row >= rows.RowCount()) break;
    op(row);
    if (pump && !pump()) break;
  }
  return true;
}

std::vector<int> AllRows(const RowStore& rows) { return RowsFrom(rows, 0); }

std::vector<int> RowsFrom(const RowStore& rows, int first) {
  std::vector<int> walk;
  if (first < 0) first = 0;
  for (int row = first; row < rows.RowCount(); ++row) walk.push_back(row);
  return walk;
}

}  // namespace kestrun::playlist
