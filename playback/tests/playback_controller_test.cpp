// The playback engine against a scripted backend: failures that must leave a state
// that tells the truth, ASX chains, the end-of-track rules, and positions that
// arrive late.
#include "playback/playback_controller.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/time_format.h"
#include "playback/tests/fake_playback.h"
#include "playlist/memory_row_store.h"

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
  engine.ChooseRate(2.0);
  EXPECT_DOUBLE_EQ(engine.state().rate, 2.0);
  EXPECT_EQ(view.rate, 2.0);
  backend.rateFails = true;
  const int reports = view.rateReports;
  engine.ChooseRate(0.5);
  EXPECT_DOUBLE_EQ(engine.state().rate, 2.0);
  EXPECT_EQ(view.rate, 2.0);
  EXPECT_EQ(view.rateReports, reports) << "a refused rate reports nothing";
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
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\song.mp3");
  EXPECT_EQ(view.caption, "Title - Author");
}

TEST_F(ControllerTest, EndOfTrackFollowsThePlayMode) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  playlist::appendRow(rows, "C:\\music\\2.mp3");

  engine.SetPlayMode(kPlayModeRepeatAll);
  engine.PlayRow(1, "C:\\music\\2.mp3");
  backend.events = {3, kGraphEventComplete};
  engine.HandleGraphEvents();
  EXPECT_EQ(engine.state().currentTrackIndex, 0) << "repeat all wraps to the first row";
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\1.mp3");
  EXPECT_TRUE(rows.IsSelected(0));
  EXPECT_FALSE(rows.IsSelected(1));
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:03");

  engine.SetPlayMode(kPlayModeNormal);
  backend.events = {kGraphEventComplete};
  engine.HandleGraphEvents();
  EXPECT_EQ(engine.state().state.load(), kStateClosed);
  EXPECT_EQ(view.timeText, "00:00/00:03");
  EXPECT_EQ(view.knobPosition, 0) << "the knob goes back to its idle place";
}

// Files that render but end the moment they run (no samples) must not make a repeat
// mode build graph after graph without end: after a full round of such ends the
// engine stops, while tracks that really play keep the round going.
TEST_F(ControllerTest, RepeatModesStopAfterARoundOfTracksThatEndAtOnce) {
  std::int64_t now = 0;
  engine.SetClock([&now] { return now; });
  engine.AttachPlaylist(&rows);
  for (const char* path : {"C:\\media\\empty1.wav", "C:\\media\\empty2.wav", "C:\\media\\empty3.wav"}) {
    playlist::appendRow(rows, path);
  }
  for (int mode : {kPlayModeRepeatAll, kPlayModeRepeatOne, kPlayModeShuffle}) {
    SCOPED_TRACE(mode);
    engine.SetPlayMode(mode);
    backend.events.clear();
    backend.runsEndingAtOnce = 100;  // bounds the test should the engine spin
    const int before = backend.builds;
    engine.PlayRow(0, rows.Cell(0, playlist::Column::Path));
    engine.HandleGraphEvents();
    EXPECT_EQ(backend.builds - before, 3) << "one round of the three rows, then a stop";
    EXPECT_FALSE(backend.HasGraph());
    EXPECT_EQ(engine.state().state.load(), kStateClosed);
  }

  // A good file afterwards plays as ever.
  backend.runsEndingAtOnce = 0;
  backend.events.clear();
  engine.PlayRow(1, rows.Cell(1, playlist::Column::Path));
  EXPECT_EQ(engine.state().state.load(), kStatePlaying);

  // Every track that played a while: repeat all goes on past a round.
  engine.SetClock([&now] { return now += 1000; });
  engine.SetPlayMode(kPlayModeRepeatAll);
  backend.runsEndingAtOnce = 10;
  const int before = backend.builds;
  engine.PlayRow(0, rows.Cell(0, playlist::Column::Path));
  engine.HandleGraphEvents();
  EXPECT_EQ(backend.builds - before, 11);
  EXPECT_EQ(engine.state().state.load(), kStatePlaying);

  // One track that played between quick ones starts the count again.
  int calls = 0;
  engine.SetClock([&now, &calls] {
    // Each graph asks twice (at its run and at its end): the third one plays a second.
    if (++calls == 6) now += 1000;
    return now;
  });
  backend.runsEndingAtOnce = 100;
  const int beforeMixed = backend.builds;
  engine.PlayRow(0, rows.Cell(0, playlist::Column::Path));
  engine.HandleGraphEvents();
  EXPECT_EQ(backend.builds - beforeMixed, 6) << "two quick ends, one that played, three quick ends: a stop";
  EXPECT_EQ(engine.state().state.load(), kStateClosed);
}

TEST_F(ControllerTest, NegativeDurationShowsAsZeroInTheRow) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  backend.duration = -65 * 10'000'000LL;
  engine.PlayRow(0, "C:\\music\\1.mp3");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:00");
  EXPECT_EQ(view.timeText, "00:00/00:00");
  EXPECT_EQ(platform::FormatClock(3'725 * 10'000'000LL), "62:05");
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
  EXPECT_EQ(view.knobPosition, 15'000'000);
  EXPECT_EQ(view.knobDuration, 30'000'000);
}

TEST_F(ControllerTest, ZoneLoopsBackFromTheTimerThread) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.TogglePause();
  ASSERT_TRUE(engine.CanMarkZone());
  ASSERT_TRUE(engine.MarkZone(0, 30'000'000));
  ASSERT_TRUE(engine.state().zoneActive.load());
  const std::int64_t end = engine.state().zoneEnd;
  backend.SeekTo(end + 1, false);
  backend.seeks.clear();
  engine.UpdatePosition();
  ASSERT_EQ(backend.seeks.size(), 1u);
  EXPECT_EQ(backend.seeks[0], engine.state().zoneStart.load());
  view.zoneHidden = false;
  engine.BeginSeekDrag();
  EXPECT_TRUE(view.zoneHidden);
  EXPECT_FALSE(engine.state().zoneActive.load());
  engine.EndSeekDrag();
}

// Operations by meaning: which row is current, what the view is told, and what a
// refused or untimely operation must leave alone.

TEST_F(ControllerTest, APathFromOutsideThePlaylistLeavesNoCurrentRow) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  engine.PlayRow(0, "C:\\music\\1.mp3");
  ASSERT_EQ(engine.state().currentTrackIndex, 0);
  engine.PlayOutsidePath("C:\\dropped.mp3");
  EXPECT_EQ(engine.state().currentTrackIndex, -1);
  EXPECT_EQ(engine.state().currentPath, "C:\\dropped.mp3");
  EXPECT_EQ(engine.state().state.load(), kStatePlaying);
  EXPECT_EQ(backend.teardowns, 1) << "the row's graph was released first";
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:03") << "only the row's own play fills its length";
}

TEST_F(ControllerTest, PlayingARowClosesWhatPlaysAndMakesItCurrent) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  playlist::appendRow(rows, "C:\\music\\2.mp3");
  engine.PlayOutsidePath("C:\\other.mp3");
  backend.duration = 90 * 10'000'000LL;
  engine.PlayRow(1, "C:\\music\\2.mp3");
  EXPECT_EQ(engine.state().currentTrackIndex, 1);
  EXPECT_EQ(backend.teardowns, 1);
  EXPECT_EQ(rows.Cell(1, playlist::Column::Length), "01:30");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "");
}

// The opened file's length and tags go to its own row: the index may point at
// another file's row (a hand-off keeps it; a sort moves rows under it while
// repeat-one opens the same file again), and that row keeps its cells.
TEST_F(ControllerTest, OnlyTheOpenedFilesRowTakesItsLengthAndTags) {
  engine.AttachPlaylist(&rows);
  engine.SetRowTitleLookup([](const std::string& path, std::string& title, std::string& artist) {
    if (path == "C:\\music\\1.mp3") {
      title = "One";
      artist = "Band";
    }
  });
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  playlist::appendRow(rows, "C:\\music\\2.mp3");
  engine.PlayRow(0, "C:\\music\\1.mp3");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:03");

  // Hand-off from outside: the index stays 0 while another file opens.
  backend.duration = 75 * 10'000'000LL;
  engine.OpenAndPlay("C:\\handed\\other.mp3");
  ASSERT_EQ(engine.state().currentTrackIndex, 0);
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:03");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Title), "One");
  EXPECT_EQ(rows.Cell(1, playlist::Column::Length), "");

  // Repeat-one after a sort put 2.mp3 at the current index: 1.mp3 opens again and
  // its length goes to no row, least of all to 2.mp3's.
  engine.PlayRow(0, "C:\\music\\1.mp3");
  rows.SortByKeys([](int a, int b) { return b - a; });
  ASSERT_EQ(rows.Cell(0, playlist::Column::Path), "C:\\music\\2.mp3");
  engine.SetPlayMode(kPlayModeRepeatOne);
  backend.duration = 200 * 10'000'000LL;
  backend.events = {kGraphEventComplete};
  engine.HandleGraphEvents();
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\1.mp3");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Title), "");
  EXPECT_EQ(rows.Cell(1, playlist::Column::Length), "01:15") << "its own row keeps its last play";
}

// A row that starts playing gets its title and artist by the lookup even when its
// tags were never read; without tags the title is the file name and the artist
// cell keeps what it had. A file from outside the playlist touches no row.
TEST_F(ControllerTest, APlayedRowReadsItsTitleAndArtist) {
  engine.AttachPlaylist(&rows);
  engine.SetRowTitleLookup([](const std::string& path, std::string& title, std::string& artist) {
    if (path == "C:\\music\\tagged.mp3") {
      title = "Song";
      artist = "Band";
    }
  });
  playlist::appendRow(rows, "C:\\music\\bare.wav");
  playlist::appendRow(rows, "C:\\music\\tagged.mp3");
  rows.SetCell(0, playlist::Column::Artist, "Kept");
  engine.SetPlayMode(kPlayModeRepeatAll);
  engine.PlayRow(1, "C:\\music\\tagged.mp3");
  EXPECT_EQ(rows.Cell(1, playlist::Column::Title), "Song");
  EXPECT_EQ(rows.Cell(1, playlist::Column::Artist), "Band");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Title), "") << "rows that did not play stay unread";

  backend.events = {kGraphEventComplete};
  engine.HandleGraphEvents();  // repeat all wraps to row 0
  ASSERT_EQ(engine.state().currentTrackIndex, 0);
  EXPECT_EQ(rows.Cell(0, playlist::Column::Title), "bare.wav");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Artist), "Kept");

  rows.SetCell(1, playlist::Column::Title, "");
  engine.PlayOutsidePath("C:\\music\\tagged.mp3");
  EXPECT_EQ(rows.Cell(1, playlist::Column::Title), "");
}

// An ASX row plays the file it names: the row (whose path is the ASX file) takes the
// length, as it would from any other row's play.
TEST_F(ControllerTest, AnAsxRowTakesTheLengthOfWhatItNames) {
  engine.AttachPlaylist(&rows);
  backend.outcomes["C:\\list.asx"] = Reference("C:\\music\\song.mp3");
  playlist::appendRow(rows, "C:\\list.asx");
  engine.PlayRow(0, "C:\\list.asx");
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\song.mp3");
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:03");
}

TEST_F(ControllerTest, ResumingARowShowsItsTitleWithoutPlaying) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  const int second = playlist::appendRow(rows, "C:\\music\\2.mp3");
  rows.SetCell(second, playlist::Column::Title, "Second");
  rows.SetCell(second, playlist::Column::Artist, "Band");
  engine.ResumeRow(second);
  EXPECT_EQ(engine.state().currentTrackIndex, second);
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\2.mp3");
  EXPECT_EQ(view.titleText, "Second - Band");
  EXPECT_EQ(view.caption, "Second - Band");
  EXPECT_EQ(backend.builds, 0);

  // A row the list does not have: only the index changes.
  view.titleText.clear();
  engine.ResumeRow(7);
  EXPECT_EQ(engine.state().currentTrackIndex, 7);
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\2.mp3");
  EXPECT_EQ(view.titleText, "");
  engine.ResumeRow(-1);
  EXPECT_EQ(engine.state().currentTrackIndex, -1);
}

TEST_F(ControllerTest, LongPathsAreCutToWhatAPathHolds) {
  engine.AttachPlaylist(&rows);
  const std::string longPath = "C:\\" + std::string(300, 'a');
  playlist::appendRow(rows, longPath);
  engine.ResumeRow(0);
  EXPECT_EQ(engine.state().currentPath, longPath.substr(0, platform::kPathMaxLength));
  engine.PlayOutsidePath(longPath);
  EXPECT_EQ(engine.state().currentPath.size(), static_cast<std::size_t>(platform::kPathMaxLength));
}

TEST_F(ControllerTest, PlayModesToggleAndReportTheModeInForce) {
  engine.TogglePlayMode(kPlayModeShuffle);
  EXPECT_EQ(engine.state().playMode, kPlayModeShuffle);
  EXPECT_EQ(view.playMode, kPlayModeShuffle);
  engine.TogglePlayMode(kPlayModeRepeatOne);
  EXPECT_EQ(engine.state().playMode, kPlayModeRepeatOne);
  EXPECT_EQ(view.playMode, kPlayModeRepeatOne);
  engine.TogglePlayMode(kPlayModeRepeatOne);  // the same again: back to normal
  EXPECT_EQ(engine.state().playMode, kPlayModeNormal);
  EXPECT_EQ(view.playMode, kPlayModeNormal);
}

TEST_F(ControllerTest, RatesNeedAGraphAndANewGraphClearsTheChoice) {
  engine.ChooseRate(2.0);
  EXPECT_DOUBLE_EQ(engine.state().rate, 1.0) << "no graph: nothing to play faster";
  EXPECT_EQ(view.rateReports, 0);
  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.ChooseRate(1.25);
  EXPECT_DOUBLE_EQ(backend.rate, 1.25);
  EXPECT_EQ(view.rate, 1.25);
  engine.OpenAndPlay("C:\\music\\b.mp3");
  EXPECT_DOUBLE_EQ(engine.state().rate, 1.0);
  EXPECT_DOUBLE_EQ(backend.rate, 1.0);
  EXPECT_FALSE(view.rate.has_value()) << "a new graph has no chosen rate";
}

TEST_F(ControllerTest, SwitchesToggleAndReportTheirState) {
  engine.ToggleFastSeek();
  EXPECT_TRUE(engine.state().fastSeek);
  EXPECT_TRUE(view.fastSeek);
  engine.ToggleFastSeek();
  EXPECT_FALSE(view.fastSeek);
  engine.ToggleWindowsMediaCore();
  EXPECT_TRUE(engine.options().useWmp71);
  EXPECT_TRUE(view.windowsMediaCore);
  engine.ToggleWindowsMediaCore();
  EXPECT_FALSE(engine.options().useWmp71);
  EXPECT_FALSE(view.windowsMediaCore);
}

TEST_F(ControllerTest, SettingsResumeTheSavedRowOnlyWithoutAGivenFile) {
  engine.AttachPlaylist(&rows);
  playlist::appendRow(rows, "C:\\music\\1.mp3");
  settings::PlayerSettings loaded;
  loaded.playMode = kPlayModeRepeatAll;
  loaded.storedVolume = 50;
  loaded.playNum = 0;
  loaded.useWmp71 = true;
  loaded.equalizerOn = true;
  loaded.bands[3] = 40;
  engine.ApplySettings(loaded, true);
  EXPECT_EQ(engine.state().currentTrackIndex, -1) << "a given file wins over the saved row";
  EXPECT_EQ(engine.state().playMode, kPlayModeRepeatAll);
  EXPECT_EQ(view.playMode, kPlayModeRepeatAll);
  EXPECT_EQ(engine.state().volume, -1650);
  EXPECT_TRUE(view.windowsMediaCore);
  EXPECT_TRUE(engine.options().useWmp71);
  EXPECT_TRUE(engine.options().equalizerOn);
  EXPECT_EQ(engine.options().bands[3], 40);

  engine.ApplySettings(loaded, false);
  EXPECT_EQ(engine.state().currentTrackIndex, 0);
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\1.mp3");
  loaded.playNum.reset();
  engine.ApplySettings(loaded, false);
  EXPECT_EQ(engine.state().currentTrackIndex, -1) << "a missing row means none";
}

TEST_F(ControllerTest, GatheredSettingsSaveNoRowAsTheFirst) {
  engine.SetPlayMode(kPlayModeShuffle);
  engine.SetVolume(-1650);
  engine.ToggleFastSeek();
  settings::PlayerSettings saved;
  engine.GatherSettings(saved);
  EXPECT_EQ(saved.playMode, kPlayModeShuffle);
  EXPECT_TRUE(saved.fastSeek);
  EXPECT_EQ(saved.storedVolume, 50);
  ASSERT_TRUE(saved.playNum.has_value());
  EXPECT_EQ(*saved.playNum, 0);
  EXPECT_EQ(engine.state().currentTrackIndex, 0) << "no row becomes row 0";
}

TEST_F(ControllerTest, SeeksGoToTheFractionOrTheZoneStartOnlyWhileAGraphRuns) {
  engine.SeekToFraction(0.5);
  EXPECT_TRUE(backend.seeks.empty()) << "nothing plays";
  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.SeekToFraction(0.5);
  ASSERT_EQ(backend.seeks.size(), 1u);
  EXPECT_EQ(backend.seeks[0], 15'000'000);
  EXPECT_FALSE(engine.CanMarkZone()) << "playing without a drag marks no zone";
  engine.BeginSeekDrag();
  EXPECT_TRUE(engine.CanMarkZone());
  ASSERT_TRUE(engine.MarkZone(3'000'000, 9'000'000));
  engine.EndSeekDrag();
  engine.SeekToFraction(1.0);
  EXPECT_EQ(backend.seeks.back(), 3'000'000) << "a repeating zone seeks to its start";
  engine.PreviewSeek(0.5);
  EXPECT_EQ(view.timeText, "00:01/00:03");
  EXPECT_EQ(engine.state().position, 15'000'000);
}

TEST_F(ControllerTest, AZoneThatDoesNotEndAfterItStartsEndsZoneRepeat) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  engine.TogglePause();
  ASSERT_TRUE(engine.MarkZone(1, 2));
  EXPECT_FALSE(engine.MarkZone(9'000'000, 9'000'000));
  EXPECT_FALSE(engine.state().zoneActive.load());
  EXPECT_EQ(engine.state().zoneStart.load(), 0);
  EXPECT_EQ(engine.state().zoneEnd.load(), 0);
}

}  // namespace
}  // namespace kestrun::playback
