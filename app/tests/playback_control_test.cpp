// Playback control on real graphs: play modes at the end of a track, pause after a
// stop that keeps the graph, rates, and the position timer racing graph teardown.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/temp_dir.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

constexpr DWORD kEndOfTrackTimeoutMs = 15000;

// The threads of this process.
int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// A 16-bit mono PCM WAV whose data chunk declares dataBytes and holds none of them.
void WriteEmptyWave(const std::string& path, std::uint32_t dataBytes) {
  auto put32 = [](std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  auto put16 = [](std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
  };
  std::string wave = "RIFF";
  put32(wave, 36 + dataBytes);
  wave += "WAVEfmt ";
  put32(wave, 16);
  put16(wave, 1);      // PCM
  put16(wave, 1);      // mono
  put32(wave, 44100);  // samples a second
  put32(wave, 88200);  // bytes a second
  put16(wave, 2);      // block
  put16(wave, 16);     // bits
  wave += "data";
  put32(wave, dataBytes);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << wave;
}

bool IsChecked(HMENU menu, int id) {
  return menu != nullptr && (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

class PlaybackControlTest : public PlayerWindowTest {
 protected:
  // Fills the playlist with the given media files.
  void FillPlaylist(std::initializer_list<const char*> names) {
    auto* rows = Rows();
    ASSERT_NE(rows, nullptr);
    for (const char* name : names) playlist::appendRow(*rows, MediaPath(name));
  }
  void PlayRow(int index) {
    Engine().PlayRow(index, Rows()->Cell(index, playlist::Column::Path));
    ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  }
  // Waits for the graph of the moment to be replaced by a new playing one.
  bool WaitForNewGraph(unsigned built) {
    return WaitUntil(
        [&] {
          return Session().HasGraph() && Session().graphsBuilt() > built &&
                 Player().state.load() == playback::kStatePlaying;
        },
        kEndOfTrackTimeoutMs);
  }
};

TEST_F(PlaybackControlTest, RepeatAllWrapsFromTheLastRowToTheFirst) {
  FillPlaylist({"tone.wav", "tone.wav", "short.wav"});
  Engine().SetPlayMode(playback::kPlayModeRepeatAll);
  PlayRow(2);
  const unsigned first = Session().graphsBuilt();
  ASSERT_TRUE(WaitForNewGraph(first));
  EXPECT_EQ(Player().currentTrackIndex, 0);
  EXPECT_TRUE(Rows()->IsSelected(0));
  EXPECT_FALSE(Rows()->IsSelected(2));
}

TEST_F(PlaybackControlTest, RepeatOneRestartsTheSameFile) {
  FillPlaylist({"short.wav", "tone.wav"});
  Engine().SetPlayMode(playback::kPlayModeRepeatOne);
  PlayRow(0);
  const unsigned first = Session().graphsBuilt();
  ASSERT_TRUE(WaitForNewGraph(first));
  EXPECT_EQ(Player().currentTrackIndex, 0);
  EXPECT_EQ(Player().currentPath, MediaPath("short.wav"));
}

TEST_F(PlaybackControlTest, ShufflePicksARowOfTheList) {
  FillPlaylist({"short.wav", "short.wav", "short.wav"});
  Engine().SetPlayMode(playback::kPlayModeShuffle);
  PlayRow(1);
  const unsigned first = Session().graphsBuilt();
  ASSERT_TRUE(WaitForNewGraph(first));
  EXPECT_GE(Player().currentTrackIndex, 0);
  EXPECT_LT(Player().currentTrackIndex, 3);
}

TEST_F(PlaybackControlTest, RepeatAllWithAnEmptyListLeavesTheStoppedGraph) {
  Engine().SetPlayMode(playback::kPlayModeRepeatAll);
  Engine().OpenAndPlay(MediaPath("short.wav").c_str());
  ASSERT_TRUE(WaitUntil([] { return Player().state.load() == playback::kStateStopped; }, kEndOfTrackTimeoutMs));
  EXPECT_TRUE(Session().HasGraph());
}

// Files that render but end the moment they run, under repeat all: each end built the
// next graph at once, round and round, so the player's threads and memory grew for as
// long as it ran. It now stops after one round, still answers, and plays a good file.
TEST_F(PlaybackControlTest, RepeatAllOverFilesThatEndAtOnceStopsAfterARound) {
  TempDir dir;
  const std::string paths[] = {dir.File("header-only.wav"), dir.File("declared-empty.wav"), dir.File("again.wav")};
  WriteEmptyWave(paths[0], 44100);
  WriteEmptyWave(paths[1], 0);
  WriteEmptyWave(paths[2], 88200);
  for (const std::string& path : paths) playlist::appendRow(*Rows(), path);
  Engine().SetPlayMode(playback::kPlayModeRepeatAll);
  const int threadsBefore = ThreadCount();
  const unsigned before = Session().graphsBuilt();
  Engine().PlayRow(0, paths[0]);
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying)
      << "the empty file must play for this test to mean anything";

  // Graph events are handled the moment they come, as the program's own loop does.
  for (const DWORD start = GetTickCount();
       Player().state.load() != playback::kStateClosed && GetTickCount() - start < 10000;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    DispatchWaitingMessages();
  }
  ASSERT_EQ(Player().state.load(), playback::kStateClosed) << Session().graphsBuilt() - before << " graphs built";
  // A late event would start another round; give it the time to come.
  WaitUntil([] { return false; }, 1500);
  EXPECT_EQ(Player().state.load(), playback::kStateClosed);
  EXPECT_LE(Session().graphsBuilt() - before, 3u);
  EXPECT_LE(ThreadCount(), threadsBefore + 10);
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0);

  playlist::appendRow(*Rows(), MediaPath("tone.wav"));
  PlayRow(3);
  EXPECT_TRUE(Session().HasGraph());
}

TEST_F(PlaybackControlTest, PauseAfterAStopThatKeptTheGraph) {
  Engine().OpenAndPlay(MediaPath("tone.wav").c_str());
  Engine().StopKeepGraph();
  EXPECT_EQ(Player().state.load(), playback::kStateStopped);
  ASSERT_TRUE(Session().HasGraph());
  Engine().TogglePause();
  EXPECT_EQ(Player().state.load(), playback::kStatePaused);
  OAFilterState state = State_Stopped;
  Session().interfacesForTests().control->GetState(2000, &state);
  EXPECT_EQ(state, State_Paused);
  Engine().TogglePause();
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  Session().interfacesForTests().control->GetState(2000, &state);
  EXPECT_EQ(state, State_Running);
}

TEST_F(PlaybackControlTest, RateIsCheckedInBothMenusAndResetByTheNextGraph) {
  ASSERT_NE(Main().mainPopup(), nullptr);
  ASSERT_NE(Main().trayPopup(), nullptr);
  Engine().OpenAndPlay(MediaPath("tone.wav").c_str());
  SendMessageA(main_, WM_COMMAND, IDM_RATE_2_0, 0);
  EXPECT_DOUBLE_EQ(Player().rate, 2.0);
  EXPECT_TRUE(IsChecked(Main().mainPopup(), IDM_RATE_2_0));
  EXPECT_TRUE(IsChecked(Main().trayPopup(), IDM_RATE_2_0));
  SendMessageA(main_, WM_COMMAND, IDM_RATE_0_5, 0);
  EXPECT_FALSE(IsChecked(Main().mainPopup(), IDM_RATE_2_0));
  EXPECT_TRUE(IsChecked(Main().trayPopup(), IDM_RATE_0_5));

  Engine().OpenAndPlay(MediaPath("tone.wav").c_str());
  EXPECT_DOUBLE_EQ(Player().rate, 1.0);
  double rate = 0;
  Session().seeking()->GetRate(&rate);
  EXPECT_DOUBLE_EQ(rate, 1.0);
  for (int id : {IDM_RATE_2_0, IDM_RATE_1_25, IDM_RATE_1_0, IDM_RATE_0_5}) {
    EXPECT_FALSE(IsChecked(Main().mainPopup(), id)) << id;
    EXPECT_FALSE(IsChecked(Main().trayPopup(), id)) << id;
  }
}

TEST_F(PlaybackControlTest, PlayModeCommandsToggleAndKeepBothMenusInStep) {
  SendMessageA(main_, WM_COMMAND, IDM_SHUFFLE, 0);
  EXPECT_EQ(Player().playMode, playback::kPlayModeShuffle);
  EXPECT_TRUE(IsChecked(Main().mainPopup(), IDM_SHUFFLE));
  EXPECT_TRUE(IsChecked(Main().trayPopup(), IDM_SHUFFLE));
  SendMessageA(main_, WM_COMMAND, IDM_REPEAT_ONE, 0);
  EXPECT_EQ(Player().playMode, playback::kPlayModeRepeatOne);
  EXPECT_FALSE(IsChecked(Main().trayPopup(), IDM_SHUFFLE));
  EXPECT_TRUE(IsChecked(Main().mainPopup(), IDM_REPEAT_ONE));
  SendMessageA(main_, WM_COMMAND, IDM_REPEAT_ONE, 0);  // the same again: back to normal
  EXPECT_EQ(Player().playMode, playback::kPlayModeNormal);
  EXPECT_FALSE(IsChecked(Main().mainPopup(), IDM_REPEAT_ONE));
  EXPECT_FALSE(IsChecked(Main().trayPopup(), IDM_REPEAT_ONE));
}

TEST_F(PlaybackControlTest, SeekFromTheKnobMovesThePosition) {
  Engine().OpenAndPlay(MediaPath("tone.wav").c_str());
  Engine().TogglePause();
  Engine().SeekToFraction(0.5);  // the knob in the middle of the track
  LONGLONG position = 0;
  Session().seeking()->GetCurrentPosition(&position);
  EXPECT_NEAR(static_cast<double>(position), Player().duration / 2.0, 2.0e6);
}

// The position timer thread must never use the seeking interface while the user
// interface thread releases it. Besides the real 200 ms timer, a second thread
// calls the timer's work as fast as it can while graphs are built and torn down.
TEST_F(PlaybackControlTest, PositionUpdatesRacingGraphTeardownNeverCrash) {
  std::atomic<bool> stop{false};
  std::atomic<long long> updates{0};
  std::atomic<bool> finished{false};
  std::thread hammer([&] {
    while (!stop) {
      Engine().UpdatePosition();
      ++updates;
    }
    finished = true;
  });
  const DWORD start = GetTickCount();
  int cycles = 0;
  for (; cycles < 300; ++cycles) {
    Engine().OpenAndPlay(MediaPath(cycles % 2 ? "tone.wav" : "short.wav").c_str());
    if (cycles % 3 == 0) DispatchWaitingMessages();
    Engine().StopAndClose();
  }
  stop = true;
  EXPECT_TRUE(WaitUntil([&] { return finished.load(); }, 10000));
  hammer.join();
  EXPECT_EQ(cycles, 300);
  EXPECT_GT(updates.load(), 0);
  EXPECT_LT(GetTickCount() - start, 240000u) << "the cycles took far too long";
  EXPECT_EQ(Player().state.load(), playback::kStateClosed);
}

}  // namespace
}  // namespace kestrun::testing
