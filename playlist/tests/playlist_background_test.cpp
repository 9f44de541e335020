// The playlist's long commands on worker threads: progress in the caption, Esc and
// the close button stopping a run, results that arrive after the rows were sorted
// or removed, and a window destroyed while workers are still measuring.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/testing/real_input_win.h"
#include "playlist/playlist_window_win.h"
#include "resources/menu_ids.h"

namespace kestrun::playlist {
namespace {

// Measurements wait at a gate the test opens, so a run can be caught half way.
class GatedHost final : public PlaylistHost {
 public:
  void PlayRow(int, const std::string&) override {}
  void FocusMainTitle() override {}
  std::optional<std::int64_t> MeasureDuration(const std::string& path) override {
    std::unique_lock lock(mutex_);
    started_.push_back(path);
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
    // The length in seconds is the number in the path ("C:\\s42.mp3": 42 s).
    const std::size_t digits = path.find_first_of("0123456789");
    return std::stoll(path.substr(digits)) * 10'000'000LL;
  }
  void OpenTagEditor(const std::string&) override {}
  void EditRenamePattern(std::string&) override {}

  void Open() {
    const std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Waits until count measurements have begun.
  bool WaitForStarted(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return started_.size() >= count; });
  }
  std::vector<std::string> started() {
    const std::lock_guard lock(mutex_);
    return started_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  std::vector<std::string> started_;
};

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::string Caption(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

class PlaylistBackground : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    ASSERT_NE(window_.Create(GetModuleHandleA(nullptr), nullptr, "C:\\nonexistent-folder", &host_), nullptr);
    window_.rows()->DeleteAllRows();
    caption_ = Caption(window_.window());
  }
  void TearDown() override {
    host_.Open();
    window_.Destroy();
    Pump();
  }
  RowStore& rows() { return *window_.rows(); }
  // Rows "C:\sN.mp3" for N = 1 .. count (no such files: the graph is asked).
  void Fill(int count) {
    for (int i = 1; i <= count; ++i) appendRow(rows(), "C:\\s" + std::to_string(i) + ".mp3");
  }
  std::map<std::string, std::string> Lengths() {
    std::map<std::string, std::string> lengths;
    for (int row = 0; row < rows().RowCount(); ++row) {
      lengths[rows().Cell(row, Column::Path)] = rows().Cell(row, Column::Length);
    }
    return lengths;
  }

  GatedHost host_;
  PlaylistWindow window_;
  std::string caption_;
};

TEST_F(PlaylistBackground, EscTypedInTheListStopsTheRunAndTheCaptionComesBack) {
  Fill(20);
  HWND window = window_.window();
  ShowWindow(window, SW_SHOW);
  testing::BringToFront(window);
  SetFocus(window_.list());
  SendMessageA(window, WM_COMMAND, IDM_LENGTH_ALL, 0);
  ASSERT_TRUE(window_.busy());
  ASSERT_TRUE(host_.WaitForStarted(1));
  // The progress shows in the caption while the workers wait.
  ASSERT_TRUE(testing::WaitUntil([&] { return Caption(window) != caption_; }, 2000));
  const std::string progress = Caption(window);
  EXPECT_EQ(progress.rfind("長さ測定中 ", 0), 0u) << progress;
  EXPECT_NE(progress.find(" / 20"), std::string::npos) << progress;
  // Sorting is refused while the run goes on.
  window_.SortByColumn(0);
  EXPECT_EQ(rows().Cell(0, Column::Path), "C:\\s1.mp3");

  ASSERT_TRUE(testing::PressKey(VK_ESCAPE));
  ASSERT_TRUE(testing::WaitUntil([&] { return !window_.busy(); }, 5000)) << "Esc did not stop the run";
  EXPECT_EQ(Caption(window), caption_);
  // The workers finish the files in hand and take no others.
  const std::size_t inHand = host_.started().size();
  host_.Open();
  testing::WaitUntil([&] {
    const auto lengths = Lengths();
    return std::count_if(lengths.begin(), lengths.end(), [](const auto& l) { return !l.second.empty(); }) >=
           static_cast<long>(inHand);
  }, 3000);
  Sleep(200);
  Pump();
  EXPECT_EQ(host_.started().size(), inHand);
  EXPECT_LT(inHand, 20u);
  const std::vector<std::string> started = host_.started();
  for (const auto& [path, length] : Lengths()) {
    const bool measured = std::count(started.begin(), started.end(), path) != 0;
    if (!measured) {
      EXPECT_EQ(length, "") << path;
    }
  }
  // A new run can start: the mark of the stopped one is gone.
  SendMessageA(window, WM_COMMAND, IDM_LENGTH_ALL, 0);
  ASSERT_TRUE(testing::WaitUntil([&] { return !window_.busy(); }, 10000));
  EXPECT_EQ(Lengths()["C:\\s20.mp3"], "00:20");
}

TEST_F(PlaylistBackground, TheCloseButtonStopsTheRunAndHidesTheWindow) {
  Fill(10);
  HWND window = window_.window();
  ShowWindow(window, SW_SHOW);
  SendMessageA(window, WM_COMMAND, IDM_LENGTH_ALL, 0);
  ASSERT_TRUE(host_.WaitForStarted(1));
  // What the caption's close button sends.
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(window_.busy());
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(Caption(window), caption_);
}

TEST_F(PlaylistBackground, ResultsInFlightAfterACancelLandOnTheirRowsOrNowhere) {
  Fill(9);
  SendMessageA(window_.window(), WM_COMMAND, IDM_LENGTH_ALL, 0);
  // Both workers hold a file each.
  ASSERT_TRUE(host_.WaitForStarted(2));
  const std::vector<std::string> inHand = host_.started();
  window_.CancelRun();
  ASSERT_FALSE(window_.busy());
  // The list changes under the results still on their way: sorted (the first
  // header click sorts descending) and the first file in hand removed.
  window_.SortByColumn(0);
  ASSERT_EQ(rows().Cell(0, Column::Path), "C:\\s9.mp3");
  for (int row = 0; row < rows().RowCount(); ++row) {
    if (rows().Cell(row, Column::Path) == inHand[0]) rows().DeleteRow(row);
  }
  host_.Open();
  const std::string kept = inHand[1];
  EXPECT_TRUE(testing::WaitUntil([&] { return Lengths()[kept] == "00:0" + kept.substr(4, 1); }, 5000)) << kept;
  Sleep(200);
  Pump();
  // Every file a worker held and that is still listed has its own length; the
  // removed one did not come back; no other row got anything.
  const std::vector<std::string> held = host_.started();
  const auto lengths = Lengths();
  EXPECT_EQ(lengths.count(inHand[0]), 0u);
  for (const auto& [path, length] : lengths) {
    const bool wasHeld = std::find(held.begin(), held.end(), path) != held.end();
    EXPECT_EQ(length, wasHeld ? "00:0" + path.substr(4, 1) : "") << path;
  }
  EXPECT_EQ(rows().RowCount(), 8);
}

TEST_F(PlaylistBackground, DestroyingTheWindowDuringARunEndsItsWorkers) {
  Fill(30);
  SendMessageA(window_.window(), WM_COMMAND, IDM_LENGTH_ALL, 0);
  ASSERT_TRUE(host_.WaitForStarted(1));
  // The files in hand are released a little later; destroying waits for them and
  // not for the rows still to come.
  std::thread opener([this] {
    Sleep(300);
    host_.Open();
  });
  const DWORD start = GetTickCount();
  window_.Destroy();
  const DWORD waited = GetTickCount() - start;
  opener.join();
  EXPECT_LT(waited, 5000u);
  EXPECT_LT(host_.started().size(), 30u);
  EXPECT_EQ(window_.window(), nullptr);
}

}  // namespace
}  // namespace kestrun::playlist
