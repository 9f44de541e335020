// The playlist window's long commands (reading tags, measuring lengths, scanning
// folders for new rows) run on worker threads. The runner owns those threads: the
// run under way and cancelled runs whose workers are still finishing, the timer
// that applies what they deliver to the rows, the progress shown in the window's
// caption, the mark that refuses other long commands meanwhile, and the drops that
// wait for the run to end.
//
// Threading: everything here is called on the user-interface thread; only the
// RowWork operations run on the workers, on copies of the rows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell_path_win.h"
#include "playlist/bulk_run.h"
#include "playlist/entry_tags.h"
#include "playlist/folder_scan_win.h"
#include "playlist/row_store.h"
#include "playlist/row_work.h"

namespace kestrun::playlist {

class RowListView;

// Files dropped on the list, added in the order given. A drop that holds folders is
// added in steps: the files before a folder at once, the folder by a worker scan,
// the rest when that scan has ended.
struct DroppedFiles {
  std::vector<std::string> paths;
  // The reason the first of the dropped files was left out; told once, at the end.
  platform::PathRefusal refused = platform::PathRefusal::None;
  std::size_t next = 0;  // the first path not yet added
  int firstRow = -1;     // the first row the drop added (-1: not started)
  bool started() const { return firstRow >= 0; }
};

class BulkRunner {
 public:
  enum class Kind { Adding, Tags, Lengths };
  // How a run ended: cancelled (Esc, the close button) or done; for a scan, the
  // reason its first refused file was left out.
  struct Ending {
    Kind kind = Kind::Tags;
    bool cancelled = false;
    // No worker thread could be started: the run did nothing (cancelled is set too).
    bool startFailed = false;
    platform::PathRefusal refused = platform::PathRefusal::None;
  };
  using EndHandler = std::function<void(const Ending& ending)>;
  // A file's playing time in 100-nanosecond units; called on the workers.
  using Measure = std::function<std::optional<std::int64_t>(const std::string& path)>;

  BulkRunner() = default;
  // Stops every worker (see Detach).
  ~BulkRunner();
  BulkRunner(const BulkRunner&) = delete;
  BulkRunner& operator=(const BulkRunner&) = delete;

  // window owns the work timer and shows the progress in its caption; rows receive
  // what the workers deliver; view (may be null) is told the rows in batches.
  // onEnd is called on the user-interface thread after a run has ended.
  void Attach(HWND window, RowStore& rows, RowListView* view, EndHandler onEnd);
  // The window is going: the timer stops and every worker ends (see StopWorkers);
  // nothing they found is applied any more and no end is reported. Waiting drops
  // are dropped: the program adds them first (TakeWaitingDrops).
  void Detach();

  // The program is ending: every worker is cancelled and waited for, limitMs in
  // all. A work whose threads are still in a job then (a graph build or a folder
  // listing on a path that never answers) is let go with its threads and what they
  // hold (the sound device), which the process's end takes down; a work that ended
  // is joined and freed, its sound device released after its last worker. No end
  // is reported.
  void StopWorkers(int limitMs);

  // A long command is under way (a worker run or a marked step of the window).
  bool running() const { return bulk_.running(); }
  // The cursor over the window while a long command runs (the arrow with the
  // working sign while workers run in the background); null when none runs.
  HCURSOR RunCursor() const;
  // Marks a step the window takes itself (a drop's files) as a long command.
  BulkRun& marks() { return bulk_; }

  // Starts a worker run over the rows of walk; false, and nothing started, when a
  // run is under way or walk is empty.
  bool ReadTags(const std::vector<int>& walk, TitleLookup lookup);
  bool MeasureLengths(const std::vector<int>& walk, Measure measure);
  // Scans folder (tree: and every folder below it) on a thread of its own and
  // appends what it finds in scan order; with tagNewRows, the new rows' tags are
  // read by the workers (through lookup) as they arrive.
  bool ScanFolder(const std::string& folder, bool tree, TitleLookup lookup, bool tagNewRows);

  // Stops the run under way; what its workers still deliver lands only on rows
  // that still hold the file they read, and a stopped scan adds no more rows.
  void Cancel();
  // WM_TIMER: true when it was the runner's timer.
  bool OnTimer(WPARAM id);

  // Drops wait here in the order they came; the first is the one being added.
  void QueueDrop(DroppedFiles drop) { drops_.push_back(std::move(drop)); }
  DroppedFiles* CurrentDrop() { return drops_.empty() ? nullptr : &drops_.front(); }
  // Takes the first drop out of the queue (it is done or stopped).
  DroppedFiles FinishDrop();
  // Takes every drop out of the queue, the first first.
  std::deque<DroppedFiles> TakeWaitingDrops() { return std::exchange(drops_, {}); }

 private:
  // Applies operation to the rows of walk on that many workers.
  bool Walk(Kind kind, const std::vector<int>& walk, RowWork::Operation operation, int workers);
  void Start(Kind kind, std::unique_ptr<RowWork> work, bool tagNewRows);
  // Applies what a work delivered; false once it has ended.
  bool Apply(RowWork& work, bool current);
  void End(bool cancelled);
  void ShowProgress();

  HWND window_ = nullptr;
  RowStore* rows_ = nullptr;
  RowListView* view_ = nullptr;
  EndHandler onEnd_;
  BulkRun bulk_;
  // The run under way, and cancelled runs whose workers are still finishing.
  std::unique_ptr<RowWork> work_;
  std::vector<std::unique_ptr<RowWork>> retired_;
  std::unique_ptr<BulkRun::Scope> runMark_;
  Kind kind_ = Kind::Tags;
  bool tagNewRows_ = false;   // the rows a scan adds get their tags read too
  bool inputClosed_ = false;  // every job of the run has been handed to the workers
  int rowsAdded_ = 0;
  std::shared_ptr<ScanRefusals> scanRefusals_;
  std::string savedCaption_;
  bool progressShown_ = false;
  bool startFailed_ = false;  // the run under way could not start its threads
  DWORD lastCaption_ = 0;
  std::deque<DroppedFiles> drops_;
};

}  // namespace kestrun::playlist
