// The main window's playback command ids against the engine on a scripted backend:
// each id must reach the operation it names, with the focus where the keys work.
#include "app/playback_commands.h"

#include <gtest/gtest.h>

#include "playback/tests/fake_playback.h"

namespace kestrun::app {
namespace {

using playback::testing::CountingTimer;
using playback::testing::FakeBackend;
using playback::testing::RecordingView;

class PlaybackCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(RegisterPlaybackCommands(table, engine, view)); }
  FakeBackend backend;
  RecordingView view;
  CountingTimer timer;
  playback::PlaybackController engine{backend, view, timer};
  platform::CommandTable table;
};

TEST_F(PlaybackCommandsTest, EachPlayModeIdTogglesItsOwnMode) {
  const struct {
    int id;
    int mode;
  } cases[] = {{IDM_SHUFFLE, playback::kPlayModeShuffle},
               {IDM_REPEAT_ALL, playback::kPlayModeRepeatAll},
               {IDM_REPEAT_ONE, playback::kPlayModeRepeatOne}};
  for (const auto& c : cases) {
    const int focused = view.focusTitles;
    ASSERT_TRUE(table.Dispatch(c.id));
    EXPECT_EQ(engine.state().playMode, c.mode) << c.id;
    EXPECT_EQ(view.playMode, c.mode) << c.id;
    EXPECT_EQ(view.focusTitles, focused + 1) << "the keys stay with the title display";
    table.Dispatch(c.id);  // the same again: back to normal
    EXPECT_EQ(engine.state().playMode, playback::kPlayModeNormal) << c.id;
  }
}

TEST_F(PlaybackCommandsTest, EachRateIdChoosesItsRate) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  const struct {
    int id;
    double rate;
  } cases[] = {{IDM_RATE_2_0, 2.0}, {IDM_RATE_1_25, 1.25}, {IDM_RATE_0_5, 0.5}, {IDM_RATE_1_0, 1.0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(table.Dispatch(c.id));
    EXPECT_DOUBLE_EQ(engine.state().rate, c.rate) << c.id;
    EXPECT_DOUBLE_EQ(backend.rate, c.rate) << c.id;
  }
}

TEST_F(PlaybackCommandsTest, TheMenuTablesNameEachModeAndRateOnce) {
  for (const auto& command : kPlayModeCommands) {
    int same = 0;
    for (const auto& other : kPlayModeCommands) same += other.mode == command.mode;
    EXPECT_EQ(same, 1) << command.id;
    EXPECT_NE(command.mode, playback::kPlayModeNormal) << "normal has no menu item";
  }
  for (const auto& command : kRateCommands) {
    int same = 0;
    for (const auto& other : kRateCommands) same += other.rate == command.rate;
    EXPECT_EQ(same, 1) << command.id;
  }
}

TEST_F(PlaybackCommandsTest, SwitchesAndTransportIdsReachTheirOperations) {
  table.Dispatch(IDM_FAST_SEEK);
  EXPECT_TRUE(engine.state().fastSeek);
  EXPECT_TRUE(view.fastSeek);
  table.Dispatch(IDM_USE_WMP71);
  EXPECT_TRUE(engine.options().useWmp71);
  EXPECT_TRUE(view.windowsMediaCore);

  engine.OpenAndPlay("C:\\music\\a.mp3");
  table.Dispatch(IDC_PAUSE_BUTTON);
  EXPECT_EQ(engine.state().state.load(), playback::kStatePaused);
  table.Dispatch(IDM_PAUSE);
  EXPECT_EQ(engine.state().state.load(), playback::kStatePlaying);
  table.Dispatch(IDM_STOP);
  EXPECT_EQ(engine.state().state.load(), playback::kStateClosed);
  table.Dispatch(IDM_PLAY_KEY);
  EXPECT_EQ(engine.state().state.load(), playback::kStatePlaying) << "play restarts the current file";
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\a.mp3");
}

TEST_F(PlaybackCommandsTest, RegisteringTwiceIsRefused) { EXPECT_FALSE(RegisterPlaybackCommands(table, engine, view)); }

}  // namespace
}  // namespace kestrun::app
