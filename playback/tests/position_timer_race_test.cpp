// The position timer's thread against the user-interface thread opening, seeking
// and closing graphs: under ThreadSanitizer this must run clean, and no figure of
// a closed graph may reach the display.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "playback/playback_controller.h"
#include "playback/tests/fake_playback.h"

namespace kestrun::playback {
namespace {

TEST(PositionTimerRace, TimerTicksWhileGraphsComeAndGo) {
  testing::FakeBackend backend;
  testing::RecordingView view;
  testing::CountingTimer timer;
  PlaybackController engine(backend, view, timer);

  std::atomic<bool> done{false};
  std::thread ticker([&] {
    while (!done) engine.UpdatePosition();
  });
  for (int round = 0; round < 300; ++round) {
    engine.OpenAndPlay("C:\\music\\a.mp3");
    engine.SeekToFraction((round % 234) / 234.0);
    for (const auto& [position, generation] : view.TakePosted()) engine.ShowPosition(position, generation);
    if (round % 3 == 0) engine.TogglePause();
    engine.StopAndClose();
    view.timeText.clear();
    for (const auto& [position, generation] : view.TakePosted()) engine.ShowPosition(position, generation);
    EXPECT_EQ(view.timeText, "") << "a figure shown after its graph was closed";
  }
  done = true;
  ticker.join();
}

}  // namespace
}  // namespace kestrun::playback
