#include "skin/seek_geometry.h"

#include <gtest/gtest.h>

namespace kestrun::skin {
namespace {

constexpr std::int64_t kMinute = 60LL * 10'000'000;

TEST(SeekKnob, MovesInWholePercents) {
  const std::int64_t duration = 10 * kMinute;
  EXPECT_EQ(KnobX(0, duration), 35);
  EXPECT_EQ(KnobX(duration, duration), 269);
  EXPECT_EQ(KnobX(duration / 2, duration), 35 + 117);
  // 0.9 % is still 0 %.
  EXPECT_EQ(KnobX(duration * 9 / 1000, duration), 35);
  EXPECT_EQ(KnobX(5, 0), 35);
}

// The engine seeks to the duration times this fraction.
std::int64_t SeekTarget(std::int64_t duration, int p) {
  return static_cast<std::int64_t>(static_cast<double>(duration) * TrackFraction(p));
}

TEST(SeekKnob, TargetFromTrackPosition) {
  const std::int64_t duration = 10 * kMinute;
  EXPECT_EQ(SeekTarget(duration, 0), 0);
  EXPECT_EQ(SeekTarget(duration, 234), duration);
  EXPECT_EQ(SeekTarget(duration, 117), duration / 2);
  // Long files do not overflow: 100 hours.
  EXPECT_EQ(SeekTarget(6000 * kMinute, 234), 6000 * kMinute);
}

TEST(ZoneRepeat, TenMinuteFileFromTheStartToTheMiddle) {
  const std::int64_t duration = 10 * kMinute;
  EXPECT_EQ(TrackPercent(ClampToTrack(35)), 0);
  EXPECT_EQ(TrackPercent(ClampToTrack(152)), 50);
  const Zone zone = ZoneFromPercents(0, 50, duration);
  EXPECT_TRUE(zone.active);
  EXPECT_EQ(zone.start, 0);
  EXPECT_EQ(zone.end, 5 * kMinute);
}

TEST(ZoneRepeat, EndAtOrBeforeStartCancels) {
  const std::int64_t duration = 10 * kMinute;
  EXPECT_FALSE(ZoneFromPercents(50, 50, duration).active);
  const Zone backwards = ZoneFromPercents(60, 20, duration);
  EXPECT_FALSE(backwards.active);
  EXPECT_EQ(backwards.start, 0);
  EXPECT_EQ(backwards.end, 0);
}

TEST(ZoneRepeat, CursorOutsideTheTrackIsClamped) {
  EXPECT_EQ(ClampToTrack(0), 35);
  EXPECT_EQ(ClampToTrack(400), 269);
  EXPECT_EQ(TrackPercent(400), 100);
  EXPECT_EQ(TrackPercent(-20), 0);
}

}  // namespace
}  // namespace kestrun::skin
