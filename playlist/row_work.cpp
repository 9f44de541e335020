#include "playlist/row_work.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <utility>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/limits.h"
#include "playlist/playlist_entry.h"

namespace kestrun::playlist {

std::vector<RowJob> JobsForRows(const RowStore& rows, const std::vector<int>& walk) {
  std::vector<RowJob> jobs;
  jobs.reserve(walk.size());
  for (const int row : walk) {
    if (row < 0 || row >= rows.RowCount()) continue;
    jobs.push_back({rows.Key(row), row,
                    std::string(platform::CutAnsiText(rows.Cell(row, Column::Path), platform::kPathMaxLength))});
  }
  return jobs;
}

bool ApplyRowChange(RowStore& rows, const RowChange& change) {
  int row = change.job.row;
  if (row < 0 || row >= rows.RowCount() || rows.Key(row) != change.job.key) row = rows.RowOfKey(change.job.key);
  if (row < 0) return false;
  if (platform::CutAnsiText(rows.Cell(row, Column::Path), platform::kPathMaxLength) != change.job.path) return false;
  if (change.setTitle) rows.SetCell(row, Column::Title, change.title);
  if (change.setArtist) rows.SetCell(row, Column::Artist, change.artist);
  if (change.setLength) rows.SetCell(row, Column::Length, change.length);
  return true;
}

RowChange ReadTagsChange(const RowJob& job, const TitleLookup& lookup) {
  RowChange change;
  change.job = job;
  std::string title;
  std::string artist;
  if (lookup) lookup(job.path, title, artist);
  title = std::string(platform::CutAnsiText(title, kTagBufferSize - 1));
  artist = std::string(platform::CutAnsiText(artist, kTagBufferSize - 1));
  if (title.empty()) title = job.path.substr(platform::FileNameOffset(job.path));
  change.setTitle = true;
  change.title = std::move(title);
  change.setArtist = !artist.empty();
  change.artist = std::move(artist);
  return change;
}

RowWork::RowWork(int threads, Operation operation, ThreadHook threadStart, ThreadHook threadEnd,
                 StartThread startThread)
    : operation_(std::move(operation)),
      startThread_(std::move(startThread)),
      threadStart_(std::move(threadStart)),
      threadEnd_(std::move(threadEnd)) {
  if (threads < 1) threads = 1;
  threads_.reserve(static_cast<std::size_t>(threads) + 1);
  for (int i = 0; i < threads; ++i) {
    {
      const std::lock_guard lock(mutex_);
      ++liveThreads_;
    }
    if (!Launch([this] { Work(); })) break;
  }
}

bool RowWork::Launch(std::function<void()> body) {
  try {
    threads_.push_back(startThread_ ? startThread_(std::move(body)) : std::thread(std::move(body)));
    return true;
  } catch (const std::system_error&) {
    // Out of threads or memory: the work cannot go on. The counted thread never ran.
    startFailed_ = true;
    Cancel();
    ThreadEnded();
    return false;
  }
}

void RowWork::ThreadEnded() {
  {
    const std::lock_guard lock(mutex_);
    --liveThreads_;
  }
  ended_.notify_all();
}

bool RowWork::CancelAndWait(int limitMs) {
  Cancel();
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return liveThreads_ == 0; });
}

RowWork::~RowWork() {
  Cancel();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void RowWork::Produce(std::function<void(const Deliver& deliver)> producer) {
  {
    const std::lock_guard lock(mutex_);
    producing_ = true;
    ++liveThreads_;
  }
  const bool started = Launch([this, producer = std::move(producer)] {
    const Deliver deliver = [this](std::vector<NewRow> rows) {
      if (cancelled_) return false;
      const std::lock_guard lock(mutex_);
      for (NewRow& row : rows) found_.push_back(std::move(row));
      return true;
    };
    producer(deliver);
    {
      const std::lock_guard lock(mutex_);
      producing_ = false;
    }
    ThreadEnded();
  });
  if (!started) {
    const std::lock_guard lock(mutex_);
    producing_ = false;
  }
}

void RowWork::Add(std::vector<RowJob> jobs) {
  if (jobs.empty()) return;
  {
    const std::lock_guard lock(mutex_);
    added_ += static_cast<int>(jobs.size());
    for (RowJob& job : jobs) jobs_.push_back(std::move(job));
  }
  wake_.notify_all();
}

void RowWork::CloseInput() {
  {
    const std::lock_guard lock(mutex_);
    inputClosed_ = true;
  }
  wake_.notify_all();
}

void RowWork::Cancel() {
  {
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
}

RowWork::Batch RowWork::Take(std::size_t most) {
  Batch batch;
  const std::lock_guard lock(mutex_);
  const std::size_t rows = std::min(most, found_.size());
  batch.added.assign(std::make_move_iterator(found_.begin()), std::make_move_iterator(found_.begin() + rows));
  found_.erase(found_.begin(), found_.begin() + rows);
  const std::size_t changes = std::min(most, changed_.size());
  batch.changed.assign(std::make_move_iterator(changed_.begin()), std::make_move_iterator(changed_.begin() + changes));
  changed_.erase(changed_.begin(), changed_.begin() + changes);
  batch.producerDone = !producing_ && found_.empty();
  batch.finished = liveThreads_ == 0 && found_.empty() && changed_.empty();
  return batch;
}

int RowWork::total() const {
  const std::lock_guard lock(mutex_);
  return added_;
}

void RowWork::Work() {
  if (threadStart_) threadStart_();
  for (;;) {
    RowJob job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return cancelled_ || !jobs_.empty() || inputClosed_; });
      if (cancelled_ || jobs_.empty()) break;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    RowChange change = operation_(job);
    const std::lock_guard lock(mutex_);
    changed_.push_back(std::move(change));
    ++done_;
  }
  if (threadEnd_) threadEnd_();
  ThreadEnded();
}

}  // namespace kestrun::playlist
