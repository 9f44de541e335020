// The playback engine against a scripted backend: failures that must leave a state
// that tells the truth, ASX chains, the end-of-track rules, and positions that
// arrive late.
#include "playback/playback_controller.h"

#include <gtest/gtest.h>

#include "playback/seek_geometry.h"
#include "playback/tests/fake_playback.h"
#include "playlist/memory_row_store.h"
#include "resources/resource_ids.h"

namespace kestrun::playback {
namespace {

using testing::CountingTimer;
using testing::FakeBackend;
using testing::RecordingView;

OpenOutcome Reference(const std::string& to) {
  OpenOutcome outcome;
  outcome.kind = OpenOutcome::Kind::FollowReference;
  outcome.reference = to;
  return outcome;
}

class ControllerTest : public ::testing::Test {
 protected:
  FakeBackend backend;
  RecordingView view;
  CountingTimer timer;
  PlaybackController engine{backend, view, timer};
  playlist::MemoryRowStore rows;
};

TEST_F(ControllerTest, AGraphThatWillNotRunIsClosedAndSaysSo) {
  backend.runFails = true;
  engine.OpenAndPlay("C:\\music\\a.mp3");
  EXPECT_EQ(engine.state().state.load(), kStateClosed);
  EXPECT_FALSE(backend.HasGraph());
  EXPECT_EQ(view.titleText, kUnsupportedText);
  EXPECT_FALSE(view.marquee);
  EXPECT_EQ(timer.starts, 0);

  backend.runFails = false;
  backend.routeFails = true;  // events could never end the track
  engine.OpenAndPlay("C:\\music\\a.mp3");
  EXPECT_EQ(engine.state().state.load(), kStateClosed);
  EXPECT_FALSE(backend.HasGraph());
}

TEST_F(ControllerTest, RefusedPauseOrResumeKeepsTheState) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  ASSERT_EQ(engine.state().state.load(), kStatePlaying);
  backend.pauseFails = true;
  engine.TogglePause();
  EXPECT_EQ(engine.state().state.load(), kStatePlaying);
  backend.pauseFails = false;
  engine.TogglePause();
  ASSERT_EQ(engine.state().state.load(), kStatePaused);
  backend.runFails = true;
  engine.TogglePause();
  EXPECT_EQ(engine.state().state.load(), kStatePaused);
  EXPECT_FALSE(view.marquee);
}

TEST_F(ControllerTest, RefusedRateChangesNeitherRateNorCheckMarks) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.RateCommand(IDM_RATE_2_0);
  EXPECT_DOUBLE_EQ(engine.state().rate, 2.0);
  EXPECT_TRUE(view.trayChecks[IDM_RATE_2_0]);
  backend.rateFails = true;
  engine.RateCommand(IDM_RATE_0_5);
  EXPECT_DOUBLE_EQ(engine.state().rate, 2.0);
  EXPECT_TRUE(view.mainChecks[IDM_RATE_2_0]);
  EXPECT_FALSE(view.mainChecks[IDM_RATE_0_5]);
}

TEST_F(ControllerTest, AsxFilesNamingEachOtherEndWithTheAsxFailure) {
  backend.outcomes["C:\\a.asx"] = Reference("C:\\b.asx");
  backend.outcomes["C:\\b.asx"] = Reference("C:\\a.asx");
  engine.OpenAndPlay("C:\\a.asx");
  EXPECT_EQ(view.titleText, kAsxFailedText);
  EXPECT_EQ(engine.state().state.load(), kStateClosed);
  EXPECT_EQ(backend.builds, kAsxNestingLimit + 1);
}

TEST_F(ControllerTest, AsxNamingItselfInOtherLetterCaseIsBounded) {
  backend.outcomes["C:\\list.asx"] = Reference("C:\\LIST.ASX");
  backend.outcomes["C:\\LIST.ASX"] = Reference("C:\\list.asx");
  engine.OpenAndPlay("C:\\list.asx");
  EXPECT_EQ(view.titleText, kAsxFailedText);
  EXPECT_LE(backend.builds, kAsxNestingLimit + 1);
}

TEST_F(ControllerTest, AShortAsxChainPlaysItsEndWithTheFirstTitles) {
  OpenOutcome first = Reference("C:\\inner.asx");
  first.title = "Title";
  first.author = "Author";
  backend.outcomes["C:\\outer.asx"] = first;
  backend.outcomes["C:\\inner.asx"] = Reference("C:\\music\\song.mp3");
  engine.OpenAndPlay("C:\\outer.asx");
  EXPECT_EQ(engine.state().state.load(), kStatePlaying);
  EXPECT_STREQ(engine.state().currentPath, "C:\\music\\song.mp3");
  EXPECT_EQ(view.caption, "Title - Author");
}

TEST_F(ControllerTest, EndOfTrackFollowsThePlayMode) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  playlist::appendRow(rows, "C:\\music\\2.mp3");

  engine.state().playMode = kPlayModeRepeatAll;
  engine.state().currentTrackIndex = 1;
  engine.OpenAndPlay("C:\\music\\2.mp3");
  backend.events = {3, kGraphEventComplete};
  engine.HandleGraphEvents();
  EXPECT_EQ(engine.state().currentTrackIndex, 0) << "repeat all wraps to the first row";
  EXPECT_STREQ(engine.state().currentPath, "C:\\music\\1.mp3");
  EXPECT_TRUE(rows.IsSelected(0));
  EXPECT_FALSE(rows.IsSelected(1));
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:03");

  engine.state().playMode = kPlayModeNormal;
  backend.events = {kGraphEventComplete};
  engine.HandleGraphEvents();
  EXPECT_EQ(engine.state().state.load(), kStateClosed);
  EXPECT_EQ(view.timeText, "00:00/00:03");
  EXPECT_EQ(view.knobLeft, kKnobIdleX);
}

TEST_F(ControllerTest, NegativeDurationShowsAsZeroInTheRow) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  engine.state().currentTrackIndex = 0;
  backend.duration = -65 * 10'000'000LL;
  engine.OpenAndPlay("C:\\music\\1.mp3");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:00");
  EXPECT_EQ(view.timeText, "00:00/00:00");
  EXPECT_EQ(FormatLengthCell(3'725 * 10'000'000LL), "62:05");
}

TEST_F(ControllerTest, PositionsOfAnOldGraphOrAfterStopAreNotShown) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.UpdatePosition();
  auto posted = view.TakePosted();
  ASSERT_EQ(posted.size(), 1u);
  const auto old = posted[0];

  engine.OpenAndPlay("C:\\music\\b.mp3");
  view.timeText.clear();
  engine.ShowPosition(20'000'000, old.second);
  EXPECT_EQ(view.timeText, "") << "a position of the previous graph";

  engine.UpdatePosition();
  posted = view.TakePosted();
  ASSERT_EQ(posted.size(), 1u);
  engine.StopAndClose();
  view.timeText.clear();
  engine.ShowPosition(posted[0].first, posted[0].second);
  EXPECT_EQ(view.timeText, "") << "a position posted before the stop";

  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.UpdatePosition();
  posted = view.TakePosted();
  ASSERT_EQ(posted.size(), 1u);
  engine.ShowPosition(15'000'000, posted[0].second);
  EXPECT_EQ(view.timeText, "00:01/00:03");
  EXPECT_EQ(view.knobLeft, KnobX(15'000'000, 30'000'000) - kKnobOffset);
}

TEST_F(ControllerTest, ZoneLoopsBackFromTheTimerThread) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.TogglePause();
  engine.OnZoneKey(true, kTrackLeft);
  engine.OnZoneKey(false, kTrackRight);
  ASSERT_TRUE(engine.state().zoneActive.load());
  EXPECT_TRUE(view.zoneShown);
  const std::int64_t end = engine.state().zoneEnd;
  backend.SeekTo(end + 1, false);
  backend.seeks.clear();
  engine.UpdatePosition();
  ASSERT_EQ(backend.seeks.size(), 1u);
  EXPECT_EQ(backend.seeks[0], engine.state().zoneStart.load());
  engine.OnSeekKnobPressed();
  EXPECT_FALSE(view.zoneShown);
}

}  // namespace
}  // namespace kestrun::playback
