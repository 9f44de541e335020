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
#include "playlist/tests/playlist_window_harness.h"
#include "resources/menu_ids.h"

namespace kestrun::playlist {
namespace {

using testing::Caption;
using testing::PumpMessages;

// Measurements wait at the host's gate until the test opens it, so a run can be
// caught half way.
class PlaylistBackground : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ui_.Create());
    rows().DeleteAllRows();
    caption_ = Caption(window_.window());
    host_.Close();
  }
  RowStore& rows() { return ui_.rows(); }
  // Rows "C:\sN.mp3" for N = 1 .. count (no such files: the graph is asked), each
  // N seconds long.
  void Fill(int count) {
    for (int i = 1; i <= count; ++i) {
      const std::string path = "C:\\s" + std::to_string(i) + ".mp3";
      appendRow(rows(), path);
      host_.durations[path] = i * 10'000'000LL;
    }
  }
  std::map<std::string, std::string> Lengths() {
    std::map<std::string, std::string> lengths;
    for (int row = 0; row < rows().RowCount(); ++row) {
      lengths[rows().Cell(row, Column::Path)] = rows().Cell(row, Column::Length);
    }
    return lengths;
  }

  testing::PlaylistWindowHarness ui_;
  testing::FakePlaylistHost& host_ = ui_.host;
  PlaylistWindow& window_ = ui_.window;
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
  ASSERT_TRUE(host_.WaitForMeasured(1));
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
  const std::size_t inHand = host_.Measured().size();
  host_.Open();
  testing::WaitUntil(
      [&] {
        const auto lengths = Lengths();
        return std::count_if(lengths.begin(), lengths.end(), [](const auto& l) { return !l.second.empty(); }) >=
               static_cast<long>(inHand);
      },
      3000);
  Sleep(200);
  PumpMessages();
  EXPECT_EQ(host_.Measured().size(), inHand);
  EXPECT_LT(inHand, 20u);
  const std::vector<std::string> started = host_.Measured();
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
  ASSERT_TRUE(host_.WaitForMeasured(1));
  // What the caption's close button sends.
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(Caption(window), caption_);
}

TEST_F(PlaylistBackground, ResultsInFlightAfterACancelLandOnTheirRowsOrNowhere) {
  Fill(9);
  SendMessageA(window_.window(), WM_COMMAND, IDM_LENGTH_ALL, 0);
  // Both workers hold a file each.
  ASSERT_TRUE(host_.WaitForMeasured(2));
  const std::vector<std::string> inHand = host_.Measured();
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
  PumpMessages();
  // Every file a worker held and that is still listed has its own length; the
  // removed one did not come back; no other row got anything.
  const std::vector<std::string> held = host_.Measured();
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
  ASSERT_TRUE(host_.WaitForMeasured(1));
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
  EXPECT_LT(host_.Measured().size(), 30u);
  EXPECT_EQ(window_.window(), nullptr);
}

// The program ends while every worker waits on paths that never answer (the gate
// stays shut): the exit's stop gives up on them at its limit instead of joining
// them without end, and files dropped meanwhile still reach the rows it saves.
TEST_F(PlaylistBackground, TheExitWaitsForWorkersThatNeverAnswerOnlyUpToItsLimit) {
  Fill(30);
  SendMessageA(window_.window(), WM_COMMAND, IDM_LENGTH_ALL, 0);
  ASSERT_TRUE(host_.WaitForMeasured(1));
  window_.AddDroppedPaths({"C:\\dropped1.mp3", "C:\\dropped2.mp3"}, platform::PathRefusal::None);
  EXPECT_EQ(rows().RowCount(), 30) << "the drop waits for the run's end";

  window_.AddWaitingDropsForExit(1000);
  ASSERT_EQ(rows().RowCount(), 32);
  EXPECT_EQ(rows().Cell(30, Column::Path), "C:\\dropped1.mp3");
  EXPECT_EQ(rows().Cell(31, Column::Path), "C:\\dropped2.mp3");

  const DWORD start = GetTickCount();
  window_.StopWorkersForExit(300);
  const DWORD waited = GetTickCount() - start;
  EXPECT_LT(waited, 3000u);
  // The workers let go are still inside the host: let them finish before it goes.
  const std::size_t inHand = host_.Measured().size();
  host_.Open();
  Sleep(500);
  EXPECT_EQ(host_.Measured().size(), inHand) << "a cancelled worker took another row";
}

}  // namespace
}  // namespace kestrun::playlist
