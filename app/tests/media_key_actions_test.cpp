// The media keys against the engine on a scripted backend: each key reaches the
// operation a user expects, the volume keys walk the knob's scale, mute comes back,
// and one press arriving twice acts once.
#include "app/media_key_actions.h"

#include <gtest/gtest.h>

#include <vector>

#include "playback/tests/fake_playback.h"
#include "settings/settings_conversions.h"

namespace kestrun::app {
namespace {

using playback::testing::CountingTimer;
using playback::testing::FakeBackend;
using playback::testing::RecordingView;

class MediaKeyActionsTest : public ::testing::Test {
 protected:
  int State() const { return engine.state().state.load(); }
  FakeBackend backend;
  RecordingView view;
  CountingTimer timer;
  playback::PlaybackController engine{backend, view, timer};
  std::vector<long> shown;
  MediaKeyActions keys{engine, [this](long volume) { shown.push_back(volume); }};
};

TEST_F(MediaKeyActionsTest, PlayPauseTogglesAnOpenTrackAndStartsAClosedOne) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  keys.Run(MediaAction::PlayPause);
  EXPECT_EQ(State(), playback::kStatePaused);
  keys.Run(MediaAction::PlayPause);
  EXPECT_EQ(State(), playback::kStatePlaying);
  keys.Run(MediaAction::Stop);
  EXPECT_EQ(State(), playback::kStateClosed);
  keys.Run(MediaAction::PlayPause);
  EXPECT_EQ(State(), playback::kStatePlaying) << "nothing open: the play button's command";
  EXPECT_EQ(engine.state().currentPath, "C:\\music\\a.mp3");
}

TEST_F(MediaKeyActionsTest, PlayAndPauseKeysNeverToggleBack) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  const int builds = backend.builds;
  keys.Run(MediaAction::Play);
  EXPECT_EQ(State(), playback::kStatePlaying);
  EXPECT_EQ(backend.builds, builds) << "play on a playing track must not start it again";
  keys.Run(MediaAction::Pause);
  EXPECT_EQ(State(), playback::kStatePaused);
  keys.Run(MediaAction::Pause);
  EXPECT_EQ(State(), playback::kStatePaused) << "pause on a paused track must not resume it";
  keys.Run(MediaAction::Play);
  EXPECT_EQ(State(), playback::kStatePlaying);
  keys.Run(MediaAction::Stop);
  keys.Run(MediaAction::Pause);
  EXPECT_EQ(State(), playback::kStateClosed) << "pause with nothing open does nothing";
}

TEST_F(MediaKeyActionsTest, VolumeKeysWalkTheKnobScaleAndStopAtTheEnds) {
  engine.OpenAndPlay("C:\\music\\a.mp3");
  keys.Run(MediaAction::VolumeUp);
  EXPECT_EQ(engine.state().volume, 0) << "full volume stays full";
  keys.Run(MediaAction::VolumeDown);
  EXPECT_EQ(engine.state().volume, settings::PlaybackVolumeFromStored(kVolumeKeyStep));
  EXPECT_EQ(backend.volume, engine.state().volume) << "the graph of the moment takes it";
  for (int i = 0; i < 30; ++i) keys.Run(MediaAction::VolumeDown);
  EXPECT_EQ(engine.state().volume, settings::kSilentVolume);
  keys.Run(MediaAction::VolumeUp);
  EXPECT_EQ(engine.state().volume, settings::PlaybackVolumeFromStored(100 - kVolumeKeyStep));
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), engine.state().volume) << "the knob shows what the engine plays";

  // A volume the knob set between two steps goes to the next step, not past it.
  const int knobStored = 2 * kVolumeKeyStep + 2;
  engine.SetVolume(settings::PlaybackVolumeFromStored(knobStored));
  keys.Run(MediaAction::VolumeUp);
  EXPECT_EQ(settings::StoredVolumeFromPlayback(engine.state().volume), 2 * kVolumeKeyStep);
  engine.SetVolume(settings::PlaybackVolumeFromStored(knobStored));
  keys.Run(MediaAction::VolumeDown);
  EXPECT_EQ(settings::StoredVolumeFromPlayback(engine.state().volume), 3 * kVolumeKeyStep);
}

TEST_F(MediaKeyActionsTest, MuteRestoresTheVolumeUnlessSomethingElseChangedIt) {
  engine.SetVolume(-660);
  keys.Run(MediaAction::Mute);
  EXPECT_EQ(engine.state().volume, settings::kSilentVolume);
  EXPECT_TRUE(keys.muted());
  keys.Run(MediaAction::Mute);
  EXPECT_EQ(engine.state().volume, -660);
  EXPECT_FALSE(keys.muted());

  // A volume key while muted steps from the volume before the mute.
  keys.Run(MediaAction::Mute);
  keys.Run(MediaAction::VolumeUp);
  EXPECT_EQ(settings::StoredVolumeFromPlayback(engine.state().volume), 15);

  // The knob moved while muted: the next mute silences instead of restoring.
  keys.Run(MediaAction::Mute);
  engine.SetVolume(-330);
  EXPECT_FALSE(keys.muted());
  keys.Run(MediaAction::Mute);
  EXPECT_EQ(engine.state().volume, settings::kSilentVolume);
  keys.Run(MediaAction::Mute);
  EXPECT_EQ(engine.state().volume, -330);
}

TEST(MediaPressFilterTest, OnePressArrivingTwiceActsOnce) {
  MediaPressFilter filter;
  EXPECT_TRUE(filter.Accept(MediaAction::PlayPause, MediaKeySource::HotKey, 1000));
  EXPECT_FALSE(filter.Accept(MediaAction::PlayPause, MediaKeySource::AppCommand, 1010))
      << "the same press as WM_APPCOMMAND would undo the pause";
  // The next real press, again both ways: the hot key passes, its echo does not.
  EXPECT_TRUE(filter.Accept(MediaAction::PlayPause, MediaKeySource::HotKey, 1100));
  EXPECT_FALSE(filter.Accept(MediaAction::PlayPause, MediaKeySource::AppCommand, 1105));
  // Fast repeats from one source are separate presses.
  EXPECT_TRUE(filter.Accept(MediaAction::VolumeUp, MediaKeySource::AppCommand, 1200));
  EXPECT_TRUE(filter.Accept(MediaAction::VolumeUp, MediaKeySource::AppCommand, 1210));
  // Another key, or the same one later, passes.
  EXPECT_TRUE(filter.Accept(MediaAction::Stop, MediaKeySource::HotKey, 1220));
  EXPECT_TRUE(filter.Accept(MediaAction::Next, MediaKeySource::AppCommand, 1230));
  EXPECT_TRUE(filter.Accept(MediaAction::Next, MediaKeySource::HotKey, 1230 + kSamePressMs));
}

TEST(MediaPressFilterTest, TheClockWrappingDoesNotSwallowOrPassPresses) {
  MediaPressFilter filter;
  EXPECT_TRUE(filter.Accept(MediaAction::Mute, MediaKeySource::HotKey, 0xFFFFFFF0u));
  EXPECT_FALSE(filter.Accept(MediaAction::Mute, MediaKeySource::AppCommand, 0x10u));
  EXPECT_TRUE(filter.Accept(MediaAction::Mute, MediaKeySource::AppCommand, 0x10u + kSamePressMs));
}

}  // namespace
}  // namespace kestrun::app
