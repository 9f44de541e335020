#include "playlist/bulk_runner_win.h"

#include <dsound.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/time_format.h"
#include "playlist/memory_row_store.h"
#include "playlist/playlist_entry.h"
#include "playlist/row_list_view_win.h"
#include "resources/resource_ids.h"
#include "tags/length/header_length.h"

namespace kestrun::playlist {

namespace {

// The timer that applies what the workers of a long command found.
constexpr UINT_PTR kWorkTimerId = 0x4B52;
constexpr UINT kWorkTimerMs = 30;
// A scan hands its rows over in batches of this many, or when this long has passed.
constexpr int kScanBatchRows = 256;
constexpr DWORD kScanBatchMs = 20;

// As many tag workers as the machine has processors (at least two: reading tags
// also waits for the file system, which a second reader keeps busy meanwhile).
int WorkerCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return std::max(2, static_cast<int>(info.dwNumberOfProcessors));
}

// A length graph spends part of its time waiting for its own streaming threads,
// so two graphs per processor keep the processors busy (on two processors: 17
// rows a second against 13 with one per processor; three per processor gave no
// more).
int LengthWorkerCount() {
  constexpr int kMostGraphsAtOnce = 16;
  return std::min(kMostGraphsAtOnce, 2 * WorkerCount());
}

// Each worker has a COM apartment of its own: the length graphs and the Windows
// Media tag reader are COM objects. Workers run below the window's priority, so
// the window keeps answering while they use the processors.
thread_local bool workerComReady = false;
void EnterWorkerApartment() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  workerComReady = result == S_OK || result == S_FALSE;
}
void LeaveWorkerApartment() {
  if (workerComReady) CoUninitialize();
  workerComReady = false;
}

std::unique_ptr<RowWork> MakeWork(RowWork::Operation operation, int workers) {
  return std::make_unique<RowWork>(workers, std::move(operation), EnterWorkerApartment, LeaveWorkerApartment);
}

// The sound device held open while length graphs are built and released on several
// threads at once. Each graph opens the device for its audio renderer; with no other
// holder, releasing the last graph tears the device down while another thread may
// be opening it, which some audio layers do not survive. One handle for the run
// keeps it open (and spares every graph the device's set-up).
class SoundDeviceHold {
 public:
  SoundDeviceHold() {
    if (FAILED(DirectSoundCreate8(nullptr, &sound_, nullptr))) sound_ = nullptr;
  }
  ~SoundDeviceHold() {
    if (sound_ != nullptr) sound_->Release();
  }
  SoundDeviceHold(const SoundDeviceHold&) = delete;
  SoundDeviceHold& operator=(const SoundDeviceHold&) = delete;

 private:
  IDirectSound8* sound_ = nullptr;
};

RowWork::Operation TagOperation(TitleLookup lookup) {
  return [lookup = std::move(lookup)](const RowJob& job) { return ReadTagsChange(job, lookup); };
}

RowWork::Operation LengthOperation(BulkRunner::Measure measure) {
  // Opened by the first row that needs a graph (a run of header lengths never
  // opens the device) and held as long as the work's operation exists: until its
  // last worker has ended.
  struct Device {
    std::once_flag opened;
    std::unique_ptr<SoundDeviceHold> hold;
  };
  auto device = std::make_shared<Device>();
  return [measure = std::move(measure), device](const RowJob& job) {
    RowChange change;
    change.job = job;
    change.setLength = true;
    // The file's own header when it settles the length; a graph otherwise.
    std::optional<std::int64_t> duration = tags::ReadHeaderDuration(job.path);
    if (!duration && measure) {
      std::call_once(device->opened, [&] { device->hold = std::make_unique<SoundDeviceHold>(); });
      duration = measure(job.path);
    }
    // A file that cannot be rendered has no length to show.
    if (duration) change.length = FormatLength(*duration / platform::kUnitsPerSecond);
    return change;
  };
}

// The scan of a folder on the producer thread: into a row store of its own,
// handed over in batches in scan order.
void ScanInto(const std::string& folder, bool tree, ScanRefusals& refusals, const RowWork::Deliver& deliver) {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  MemoryRowStore found;
  DWORD lastHanded = GetTickCount();
  bool open = true;
  const auto hand = [&] {
    std::vector<NewRow> batch;
    batch.reserve(static_cast<std::size_t>(found.RowCount()));
    for (int row = 0; row < found.RowCount(); ++row) {
      batch.push_back({found.Cell(row, Column::Path), found.Cell(row, Column::Title)});
    }
    found.DeleteAllRows();
    lastHanded = GetTickCount();
    open = deliver(std::move(batch));
    return open;
  };
  const ScanPump pump = [&] {
    if (found.RowCount() >= kScanBatchRows || GetTickCount() - lastHanded >= kScanBatchMs) return hand();
    return true;
  };
  refusals = tree ? addFolderTree(folder, found, pump) : addFolderFiles(folder, found, pump);
  if (open) hand();
}

}  // namespace

BulkRunner::~BulkRunner() { Detach(); }

void BulkRunner::Attach(HWND window, RowStore& rows, RowListView* view, EndHandler onEnd) {
  window_ = window;
  rows_ = &rows;
  view_ = view;
  onEnd_ = std::move(onEnd);
}

void BulkRunner::Detach() {
  if (window_ != nullptr) KillTimer(window_, kWorkTimerId);
  // Workers end before the rows they report to go; the exit waits a bounded time.
  constexpr int kExitWaitMs = 2000;
  StopWorkers(kExitWaitMs);
  runMark_.reset();
  scanRefusals_.reset();
  drops_.clear();
  onEnd_ = nullptr;
  view_ = nullptr;
  rows_ = nullptr;
  window_ = nullptr;
}

void BulkRunner::StopWorkers(int limitMs) {
  if (work_ != nullptr) retired_.push_back(std::move(work_));
  const DWORD start = GetTickCount();
  for (std::unique_ptr<RowWork>& work : retired_) {
    const DWORD spent = GetTickCount() - start;
    const int left = spent >= static_cast<DWORD>(limitMs) ? 0 : limitMs - static_cast<int>(spent);
    // Still in a job: the threads keep the work (and the sound device it holds)
    // until the process ends; freeing it would join them without limit.
    if (!work->CancelAndWait(left)) static_cast<void>(work.release());
  }
  retired_.clear();
}

HCURSOR BulkRunner::RunCursor() const {
  if (!running()) return nullptr;
  return LoadCursorA(nullptr, work_ != nullptr ? IDC_APPSTARTING : IDC_WAIT);
}

bool BulkRunner::ReadTags(const std::vector<int>& walk, TitleLookup lookup) {
  return Walk(Kind::Tags, walk, TagOperation(std::move(lookup)), WorkerCount());
}

bool BulkRunner::MeasureLengths(const std::vector<int>& walk, Measure measure) {
  return Walk(Kind::Lengths, walk, LengthOperation(std::move(measure)), LengthWorkerCount());
}

bool BulkRunner::Walk(Kind kind, const std::vector<int>& walk, RowWork::Operation operation, int workers) {
  if (rows_ == nullptr || walk.empty() || running()) return false;
  std::unique_ptr<RowWork> work = MakeWork(std::move(operation), workers);
  work->Add(JobsForRows(*rows_, walk));
  work->CloseInput();
  Start(kind, std::move(work), false);
  return true;
}

bool BulkRunner::ScanFolder(const std::string& folder, bool tree, TitleLookup lookup, bool tagNewRows) {
  if (rows_ == nullptr || running()) return false;
  // The scan runs on a thread of its own; the tags of the rows it adds are read by
  // the workers as they arrive.
  auto refusals = std::make_shared<ScanRefusals>();
  std::unique_ptr<RowWork> work = MakeWork(TagOperation(std::move(lookup)), WorkerCount());
  work->Produce(
      [folder, tree, refusals](const RowWork::Deliver& deliver) { ScanInto(folder, tree, *refusals, deliver); });
  scanRefusals_ = std::move(refusals);
  Start(Kind::Adding, std::move(work), tagNewRows);
  return true;
}

void BulkRunner::Start(Kind kind, std::unique_ptr<RowWork> work, bool tagNewRows) {
  if (work->startFailed()) {
    // No thread to run it on (the system is out of threads or memory): the run ends
    // at once, and the window tells the user.
    kind_ = kind;
    runMark_.reset();
    retired_.push_back(std::move(work));
    SetTimer(window_, kWorkTimerId, kWorkTimerMs, nullptr);
    char caption[256] = {};
    GetWindowTextA(window_, caption, sizeof(caption));
    savedCaption_ = caption;
    startFailed_ = true;
    End(true);
    return;
  }
  runMark_ = std::make_unique<BulkRun::Scope>(bulk_);
  work_ = std::move(work);
  kind_ = kind;
  tagNewRows_ = tagNewRows;
  inputClosed_ = kind != Kind::Adding;
  rowsAdded_ = 0;
  char caption[256] = {};
  GetWindowTextA(window_, caption, sizeof(caption));
  savedCaption_ = caption;
  progressShown_ = false;
  // Rows arriving at the end are shown a few times a second, not every tick.
  constexpr DWORD kCountIntervalMs = 250;
  if (view_ != nullptr) view_->PaceCount(kCountIntervalMs);
  SetTimer(window_, kWorkTimerId, kWorkTimerMs, nullptr);
  ShowProgress();
}

void BulkRunner::ShowProgress() {
  if (work_ == nullptr) return;
  // A caption change costs a frame repaint: a few times a second is enough.
  constexpr DWORD kCaptionMs = 200;
  const DWORD now = GetTickCount();
  if (progressShown_ && now - lastCaption_ < kCaptionMs) return;
  progressShown_ = true;
  lastCaption_ = now;
  char format[128] = {};
  const UINT id = kind_ == Kind::Lengths                ? IDS_PLAYLIST_MEASURING
                  : kind_ == Kind::Tags || inputClosed_ ? IDS_PLAYLIST_READING_TAGS
                                                        : IDS_PLAYLIST_ADDING;
  if (LoadStringA(GetModuleHandleA(nullptr), id, format, sizeof(format)) == 0) return;
  char text[192] = {};
  if (id == IDS_PLAYLIST_ADDING) {
    std::snprintf(text, sizeof(text), format, rowsAdded_);
  } else {
    std::snprintf(text, sizeof(text), format, work_->done(), work_->total());
  }
  SetWindowTextA(window_, text);
}

bool BulkRunner::Apply(RowWork& work, bool current) {
  // Slices of what arrived, until the queue is empty or this tick has had its
  // share of time: the windows keep answering however fast the workers are.
  constexpr std::size_t kSlice = 64;
  constexpr DWORD kMostMsPerTick = 8;
  const DWORD start = GetTickCount();
  // The list is told the rows that came and went once per tick, not once per row.
  // Its redrawing is not held: the list asks only for the rows it shows, so it
  // paints what changed when it gets to it, while switching redrawing off and on
  // made it repaint everything at once (50 to 90 ms under Wine, a frozen window).
  const RowListView::Hold hold(view_);
  for (;;) {
    RowWork::Batch batch = work.Take(kSlice);
    // A stopped scan's rows are not added.
    if (current && !batch.added.empty()) {
      const int first = rows_->RowCount();
      for (const NewRow& row : batch.added) {
        const int index = appendRow(*rows_, row.path);
        if (!row.title.empty()) rows_->SetCell(index, Column::Title, row.title);
      }
      rowsAdded_ += static_cast<int>(batch.added.size());
      if (tagNewRows_) work.Add(JobsForRows(*rows_, RowsFrom(*rows_, first)));
    }
    for (const RowChange& change : batch.changed) ApplyRowChange(*rows_, change);
    if (current && !inputClosed_ && batch.producerDone) {
      // Every row the scan found is in the list and its job handed out.
      inputClosed_ = true;
      work.CloseInput();
    }
    if (batch.finished) return false;
    if (batch.added.size() < kSlice && batch.changed.size() < kSlice) break;
    if (GetTickCount() - start >= kMostMsPerTick) break;
  }
  return true;
}

bool BulkRunner::OnTimer(WPARAM id) {
  if (id != kWorkTimerId) return false;
  if (rows_ == nullptr) return true;
  retired_.erase(std::remove_if(retired_.begin(), retired_.end(),
                                [this](const std::unique_ptr<RowWork>& work) { return !Apply(*work, false); }),
                 retired_.end());
  if (work_ != nullptr) {
    if (!Apply(*work_, true)) {
      End(false);
    } else {
      ShowProgress();
    }
  }
  if (work_ == nullptr && retired_.empty()) KillTimer(window_, kWorkTimerId);
  return true;
}

void BulkRunner::Cancel() {
  if (work_ == nullptr) return;
  work_->Cancel();
  // The scan may still be writing its refusals; a stopped scan tells nothing.
  scanRefusals_.reset();
  // Its workers finish the file in hand; the timer still applies what they find
  // (to rows that hold that file) and lets them go.
  retired_.push_back(std::move(work_));
  End(true);
}

void BulkRunner::End(bool cancelled) {
  work_.reset();  // every thread has ended (or the work was retired)
  runMark_.reset();
  if (view_ != nullptr) view_->PaceCount(0);
  SetWindowTextA(window_, savedCaption_.c_str());
  Ending ending;
  ending.kind = kind_;
  ending.cancelled = cancelled;
  ending.startFailed = std::exchange(startFailed_, false);
  if (const std::shared_ptr<ScanRefusals> refusals = std::move(scanRefusals_)) ending.refused = refusals->first;
  if (onEnd_) onEnd_(ending);
}

DroppedFiles BulkRunner::FinishDrop() {
  DroppedFiles drop = std::move(drops_.front());
  drops_.pop_front();
  return drop;
}

}  // namespace kestrun::playlist
