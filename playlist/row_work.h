// Work on the playlist's rows done by worker threads while the user-interface
// thread keeps the rows: reading tags, measuring lengths, scanning folders for new
// rows. Workers get copies (the row's key, where it was and its path), never the
// rows; their results wait in a locked queue until the user-interface thread takes
// them and applies each to the row that still holds that key and that path.
#pragma once

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "playlist/entry_tags.h"
#include "playlist/row_store.h"

namespace kestrun::playlist {

// A row as a worker sees it. row is where it was when the job was made: a hint,
// checked against the key before it is used.
struct RowJob {
  int key = -1;
  int row = -1;
  std::string path;
};

// What a worker found for a row: the cells to write.
struct RowChange {
  RowJob job;
  bool setTitle = false;
  std::string title;
  bool setArtist = false;
  std::string artist;
  bool setLength = false;
  std::string length;
};

// A row a scan found: its path and, for the first entry of a drive root, a title.
struct NewRow {
  std::string path;
  std::string title;
};

// The jobs for rows first .. count-1 as they are now.
std::vector<RowJob> JobsForRows(const RowStore& rows, const std::vector<int>& walk);

// Writes a change into the row that holds its key and still has its path (the
// key alone may name another row once the list was emptied, since keys then start
// again at 0). False, and nothing written, when no such row is left.
bool ApplyRowChange(RowStore& rows, const RowChange& change);

// The tag reading of one row, as readEntryTags does it: the title, or the file
// name when the tags have none; the artist only when the tags name one.
RowChange ReadTagsChange(const RowJob& job, const TitleLookup& lookup);

class RowWork {
 public:
  using Operation = std::function<RowChange(const RowJob& job)>;
  // Called on each worker thread before its first job and after its last (a COM
  // apartment, for example).
  using ThreadHook = std::function<void()>;

  // Starts a thread running body; throws std::system_error when none can be made
  // (std::thread's own behaviour, the default).
  using StartThread = std::function<std::thread(std::function<void()> body)>;

  // threads workers apply operation to the jobs added. A thread that cannot be
  // started cancels the work (see startFailed); the threads already running end.
  RowWork(int threads, Operation operation, ThreadHook threadStart = {}, ThreadHook threadEnd = {},
          StartThread startThread = {});
  // Cancels and waits for every thread (a job under way is finished first).
  ~RowWork();
  RowWork(const RowWork&) = delete;
  RowWork& operator=(const RowWork&) = delete;

  // Something that finds new rows (a folder scan), run on a thread of its own. It
  // hands rows to `deliver` in the order found; deliver answers false once the work
  // is cancelled, and the producer should stop then.
  using Deliver = std::function<bool(std::vector<NewRow> rows)>;
  void Produce(std::function<void(const Deliver& deliver)> producer);

  void Add(std::vector<RowJob> jobs);
  // No more jobs will be added: the workers end when the queue is empty.
  void CloseInput();
  // Workers take no further job and the producer is told to stop.
  void Cancel();
  bool cancelled() const { return cancelled_; }
  // A worker or the producer could not be started: the work was cancelled.
  bool startFailed() const { return startFailed_; }

  // Cancels and waits at most limitMs for every thread to end; true when all have
  // ended (the destructor then joins at once). A thread still in a job (a graph
  // build on a path that never answers) is not waited for beyond the limit.
  bool CancelAndWait(int limitMs);

  struct Batch {
    std::vector<NewRow> added;
    std::vector<RowChange> changed;
    bool producerDone = false;  // the producer (if any) has ended and all it found is taken
    bool finished = false;      // every thread has ended and nothing is left to take
  };
  // What arrived since the last call, at most `most` found rows and `most` changes
  // (the oldest first), so the caller can bound the time it spends on one batch.
  Batch Take(std::size_t most = SIZE_MAX);

  // Jobs added and jobs done so far.
  int total() const;
  int done() const { return done_; }

 private:
  void Work();
  // Runs body on a new thread; false, with the work cancelled, when none can be made.
  bool Launch(std::function<void()> body);
  void ThreadEnded();

  Operation operation_;
  StartThread startThread_;
  ThreadHook threadStart_;
  ThreadHook threadEnd_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable ended_;
  std::deque<RowJob> jobs_;
  int added_ = 0;
  bool inputClosed_ = false;
  bool producing_ = false;
  int liveThreads_ = 0;
  std::deque<NewRow> found_;
  std::deque<RowChange> changed_;
  std::atomic<bool> cancelled_{false};
  std::atomic<int> done_{0};
  std::atomic<bool> startFailed_{false};
  std::vector<std::thread> threads_;
};

}  // namespace kestrun::playlist
