// The playlist's long commands (reading tags, measuring lengths, adding folders)
// keep the windows alive by handing one pending message to the message loop after
// each row. A command that arrives that way while one runs is refused: the walk's
// rows are fixed when it starts, and a second walk, a removal or a sort in between
// would leave it pointing at other rows.
#pragma once

#include <functional>
#include <vector>

#include "playlist/row_store.h"

namespace kestrun::playlist {

class BulkRun {
 public:
  bool running() const { return running_ > 0; }

  // Applies op to each row of `walk` in order, calling pump after each; stops early
  // when pump answers false (the window is going away) or a row is no longer in
  // the list. False, and nothing done, when a run is already going on.
  bool Run(RowStore& rows, const std::vector<int>& walk, const std::function<void(int row)>& op,
           const std::function<bool()>& pump);

  // Marks a run for work that is not a walk over rows (adding a folder tree): the
  // object returned ends it. Check running() first. Marks are counted, so a scope
  // that ends never clears the mark of another one still open.
  class Scope {
   public:
    explicit Scope(BulkRun& owner) : owner_(owner) { ++owner_.running_; }
    ~Scope() { --owner_.running_; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    BulkRun& owner_;
  };

 private:
  int running_ = 0;
};

// Rows 0 .. count-1 of the list as it is now.
std::vector<int> AllRows(const RowStore& rows);
// Rows first .. count-1 (the rows just added).
std::vector<int> RowsFrom(const RowStore& rows, int first);

}  // namespace kestrun::playlist
