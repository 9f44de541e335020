// The seek knob and the zone keys against the engine on a scripted backend: where a
// drag seeks, when Ctrl marks a zone, and where its marker goes.
#include "skin/seek_track.h"

#include <gtest/gtest.h>

#include "playback/tests/fake_playback.h"
#include "skin/seek_geometry.h"

namespace kestrun::skin {
namespace {

using playback::testing::CountingTimer;
using playback::testing::FakeBackend;
using playback::testing::RecordingView;

class SeekTrackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.duration = 10 * 60 * 10'000'000LL;  // ten minutes
    engine.OpenAndPlay("C:\\music\\a.mp3");
  }
  FakeBackend backend;
  RecordingView view;
  CountingTimer timer;
  playback::PlaybackController engine{backend, view, timer};
  int zoneLeft = -1;
  int zoneWidth = -1;
  SeekTrack track{engine, [this](int left, int width) {
                    zoneLeft = left;
                    zoneWidth = width;
                  }};
};

TEST_F(SeekTrackTest, ADragSeeksWhereTheKnobIsLetGo) {
  track.Press(kTrackLeft + 10);
  EXPECT_TRUE(engine.state().seekDrag.load()) << "the timer must leave a dragged knob alone";
  track.DragTo(kTrackLeft + kTrackWidth / 2);
  EXPECT_EQ(view.timeText, "05:00/10:00");
  EXPECT_TRUE(backend.seeks.empty()) << "a drag only previews";
  track.Release();
  EXPECT_FALSE(engine.state().seekDrag.load());
  ASSERT_EQ(backend.seeks.size(), 1u);
  EXPECT_EQ(backend.seeks[0], backend.duration / 2);

  // Past the track's ends the knob stops at them.
  track.Press(0);
  track.DragTo(1000);
  track.Release();
  EXPECT_EQ(backend.seeks.back(), backend.duration);
}

TEST_F(SeekTrackTest, ALostDragAndARepeatedReleaseDoNotSeek) {
  track.Press(kTrackLeft + 50);
  track.Cancel();
  EXPECT_FALSE(engine.state().seekDrag.load());
  track.Release();
  EXPECT_TRUE(backend.seeks.empty());
}

TEST_F(SeekTrackTest, CtrlDownAndUpWhilePausedMarksTheZoneBetweenTheCursors) {
  engine.TogglePause();
  track.OnZoneKey(true, kTrackLeft);
  track.OnZoneKey(true, kTrackLeft + 50);  // key repeat keeps the first place
  track.OnZoneKey(false, kTrackLeft + kTrackWidth / 2);
  ASSERT_TRUE(engine.state().zoneActive.load());
  EXPECT_EQ(engine.state().zoneStart.load(), 0);
  EXPECT_EQ(engine.state().zoneEnd.load(), backend.duration / 2);
  EXPECT_EQ(zoneLeft, kTrackLeft - kKnobOffset);
  EXPECT_EQ(zoneWidth, kTrackWidth / 2);
}

TEST_F(SeekTrackTest, ZoneKeysWhilePlayingWithoutADragDoNothing) {
  track.OnZoneKey(true, kTrackLeft);
  track.OnZoneKey(false, kTrackRight);
  EXPECT_FALSE(engine.state().zoneActive.load());
  EXPECT_EQ(zoneLeft, -1);
}

TEST_F(SeekTrackTest, ABackwardZoneShowsNoMarker) {
  engine.TogglePause();
  track.OnZoneKey(true, kTrackRight);
  track.OnZoneKey(false, kTrackLeft);
  EXPECT_FALSE(engine.state().zoneActive.load());
  EXPECT_EQ(zoneLeft, -1);
}

TEST_F(SeekTrackTest, ReleasingTheKnobWhileCtrlMarksAZoneDoesNotSeek) {
  track.Press(kTrackLeft);
  track.OnZoneKey(true, kTrackLeft + 20);
  track.DragTo(kTrackRight);
  track.Release();
  EXPECT_TRUE(backend.seeks.empty());
  // Ctrl let go after the drag: no longer eligible, so no zone either.
  track.OnZoneKey(false, kTrackRight);
  EXPECT_FALSE(engine.state().zoneActive.load());
}

}  // namespace
}  // namespace kestrun::skin
