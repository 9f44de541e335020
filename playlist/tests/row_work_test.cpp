#include "playlist/row_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "playlist/bulk_run.h"
#include "playlist/memory_row_store.h"
#include "playlist/row_order.h"

namespace kestrun::playlist {
namespace {

RowChange LengthChange(const RowJob& job, const std::string& length) {
  RowChange change;
  change.job = job;
  change.setLength = true;
  change.length = length;
  return change;
}

// Waits for the work to end, applying every batch the way the window does.
RowWork::Batch Drain(RowWork& work, RowStore& rows, int* applied = nullptr) {
  RowWork::Batch all;
  for (int i = 0; i < 2000; ++i) {
    RowWork::Batch batch = work.Take();
    for (const RowChange& change : batch.changed) {
      const bool done = ApplyRowChange(rows, change);
      if (applied != nullptr) *applied += done;
    }
    for (NewRow& row : batch.added) all.added.push_back(std::move(row));
    if (batch.finished) {
      all.finished = true;
      return all;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return all;
}

TEST(RowChanges, LandOnTheRowThatHoldsTheKeyAndPathAfterASortOrRemoval) {
  MemoryRowStore rows;
  for (const char* path : {"c", "a", "b", "d"}) appendRow(rows, path);
  const std::vector<RowJob> jobs = JobsForRows(rows, {0, 1, 2, 3});
  // The rows are sorted and one removed while the results are on their way.
  SortDirections directions;
  sortByColumn(rows, directions, 0);           // descending: d c b a
  rows.DeleteRow(rows.RowOfKey(jobs[2].key));  // "b"
  for (const RowJob& job : jobs) ApplyRowChange(rows, LengthChange(job, "len-" + job.path));
  ASSERT_EQ(rows.RowCount(), 3);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(rows.Cell(row, Column::Length), "len-" + rows.Cell(row, Column::Path));
}

TEST(RowChanges, AReusedKeyOnAnotherPathIsLeftAlone) {
  MemoryRowStore rows;
  appendRow(rows, "old-0");
  appendRow(rows, "old-1");
  const std::vector<RowJob> jobs = JobsForRows(rows, {0, 1});
  // Emptied and filled again: keys start at 0 again, on other files.
  rows.DeleteAllRows();
  appendRow(rows, "new-0");
  appendRow(rows, "new-1");
  EXPECT_FALSE(ApplyRowChange(rows, LengthChange(jobs[0], "01:00")));
  EXPECT_FALSE(ApplyRowChange(rows, LengthChange(jobs[1], "01:00")));
  EXPECT_EQ(rows.Cell(0, Column::Length), "");
  EXPECT_EQ(rows.Cell(1, Column::Length), "");
}

TEST(RowChanges, TagChangeKeepsTheArtistWhenTheTagsNameNone) {
  MemoryRowStore rows;
  appendRow(rows, "C:\\music\\song.mp3");
  rows.SetCell(0, Column::Artist, "Before");
  const RowJob job = JobsForRows(rows, {0})[0];
  ApplyRowChange(rows, ReadTagsChange(job, [](const std::string&, std::string& title, std::string&) { title = ""; }));
  EXPECT_EQ(rows.Cell(0, Column::Title), "song.mp3");
  EXPECT_EQ(rows.Cell(0, Column::Artist), "Before");
  ApplyRowChange(rows, ReadTagsChange(job, [](const std::string&, std::string& title, std::string& artist) {
                   title = std::string(300, 't');
                   artist = "Singer";
                 }));
  EXPECT_EQ(rows.Cell(0, Column::Title), std::string(127, 't'));
  EXPECT_EQ(rows.Cell(0, Column::Artist), "Singer");
}

TEST(RowWorkThreads, EveryJobIsDoneOnceAndTheWorkEnds) {
  MemoryRowStore rows;
  for (int i = 0; i < 500; ++i) appendRow(rows, "p" + std::to_string(i));
  RowWork work(3, [](const RowJob& job) { return LengthChange(job, job.path + "!"); });
  work.Add(JobsForRows(rows, AllRows(rows)));
  work.CloseInput();
  int applied = 0;
  EXPECT_TRUE(Drain(work, rows, &applied).finished);
  EXPECT_EQ(applied, 500);
  EXPECT_EQ(work.done(), 500);
  EXPECT_EQ(work.total(), 500);
  for (int row = 0; row < 500; ++row) EXPECT_EQ(rows.Cell(row, Column::Length), rows.Cell(row, Column::Path) + "!");
}

TEST(RowWorkThreads, WorkersWaitForJobsUntilTheInputIsClosed) {
  MemoryRowStore rows;
  RowWork work(2, [](const RowJob& job) { return LengthChange(job, "x"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(work.Take().finished);  // nothing added yet, but the input is open
  appendRow(rows, "late");
  work.Add(JobsForRows(rows, {0}));
  work.CloseInput();
  EXPECT_TRUE(Drain(work, rows).finished);
  EXPECT_EQ(rows.Cell(0, Column::Length), "x");
}

TEST(RowWorkThreads, CancelStopsTakingJobsAndTheProducerAndEnds) {
  MemoryRowStore rows;
  for (int i = 0; i < 200; ++i) appendRow(rows, "p" + std::to_string(i));
  std::atomic<int> started{0};
  RowWork work(2, [&](const RowJob& job) {
    ++started;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return LengthChange(job, "x");
  });
  std::atomic<int> deliveries{0};
  std::atomic<bool> producerStopped{false};
  work.Produce([&](const RowWork::Deliver& deliver) {
    for (int i = 0; i < 100000; ++i) {
      if (!deliver({{"found" + std::to_string(i), ""}})) break;
      ++deliveries;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    producerStopped = true;
  });
  work.Add(JobsForRows(rows, AllRows(rows)));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  work.Cancel();
  // The input was never closed: cancelling alone must let every thread end.
  const RowWork::Batch rest = Drain(work, rows);
  EXPECT_TRUE(rest.finished);
  EXPECT_TRUE(producerStopped);
  EXPECT_LT(deliveries.load(), 100000);
  EXPECT_LT(started.load(), 200);
}

// A thread start that fails after `allowed` threads, as std::thread does when the
// system has no more threads or memory to give.
RowWork::StartThread FailingAfter(int allowed) {
  auto started = std::make_shared<std::atomic<int>>(0);
  return [started, allowed](std::function<void()> body) {
    if (started->fetch_add(1) >= allowed) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    return std::thread(std::move(body));
  };
}

TEST(RowWorkThreads, AThreadThatCannotStartCancelsTheWorkInsteadOfEndingTheProgram) {
  MemoryRowStore rows;
  for (int i = 0; i < 50; ++i) appendRow(rows, "p" + std::to_string(i));
  for (const int allowed : {0, 2}) {
    SCOPED_TRACE(allowed);
    std::atomic<int> done{0};
    RowWork work(
        4,
        [&](const RowJob& job) {
          ++done;
          return LengthChange(job, "x");
        },
        {}, {}, FailingAfter(allowed));
    EXPECT_TRUE(work.startFailed());
    EXPECT_TRUE(work.cancelled());
    work.Add(JobsForRows(rows, AllRows(rows)));
    work.CloseInput();
    // The threads that did start end: the run is over, not waiting forever.
    EXPECT_TRUE(Drain(work, rows).finished);
    EXPECT_EQ(done.load(), 0);
  }
}

TEST(RowWorkThreads, AProducerThatCannotStartEndsTheWork) {
  MemoryRowStore rows;
  RowWork work(
      1, [](const RowJob& job) { return LengthChange(job, "x"); }, {}, {}, FailingAfter(1));
  bool ran = false;
  work.Produce([&](const RowWork::Deliver&) { ran = true; });
  EXPECT_TRUE(work.startFailed());
  const RowWork::Batch rest = Drain(work, rows);
  EXPECT_TRUE(rest.finished);
  EXPECT_FALSE(ran);
}

// The exit waits a bounded time: a worker stuck in a job (a path that never answers)
// does not hold it, and one that ends in time is reported as ended.
TEST(RowWorkThreads, CancelAndWaitGivesUpOnAStuckWorkerAtItsLimit) {
  MemoryRowStore rows;
  appendRow(rows, "never-answers");
  std::mutex gate;
  std::unique_lock held(gate);
  std::atomic<bool> inJob{false};
  {
    RowWork work(1, [&](const RowJob& job) {
      inJob = true;
      const std::lock_guard wait(gate);
      return LengthChange(job, "x");
    });
    work.Add(JobsForRows(rows, AllRows(rows)));
    work.CloseInput();
    while (!inJob) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(work.CancelAndWait(100));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // The job answers at last: the worker ends and the wait says so.
    held.unlock();
    EXPECT_TRUE(work.CancelAndWait(10000));
  }
}

TEST(RowWorkThreads, FoundRowsArriveInTheOrderTheProducerFoundThem) {
  MemoryRowStore rows;
  RowWork work(1, [](const RowJob& job) {
    RowChange change;
    change.job = job;
    return change;
  });
  work.Produce([](const RowWork::Deliver& deliver) {
    for (int i = 0; i < 300; i += 3) {
      deliver({{std::to_string(i), ""}, {std::to_string(i + 1), ""}, {std::to_string(i + 2), "t"}});
    }
  });
  work.CloseInput();
  const RowWork::Batch all = Drain(work, rows);
  ASSERT_TRUE(all.finished);
  ASSERT_EQ(all.added.size(), 300u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(all.added[i].path, std::to_string(i));
  EXPECT_EQ(all.added[2].title, "t");
}

TEST(BulkRun, AnInnerScopeEndingLeavesTheOuterRunMarked) {
  BulkRun bulk;
  {
    BulkRun::Scope outer(bulk);
    { BulkRun::Scope inner(bulk); }
    EXPECT_TRUE(bulk.running());
    // A walk asked for meanwhile is still refused.
    MemoryRowStore rows;
    appendRow(rows, "r");
    int visited = 0;
    EXPECT_FALSE(bulk.Run(rows, {0}, [&](int) { ++visited; }, {}));
    EXPECT_EQ(visited, 0);
  }
  EXPECT_FALSE(bulk.running());
}

}  // namespace
}  // namespace kestrun::playlist
