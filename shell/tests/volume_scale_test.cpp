#include "shell/volume_scale.h"

#include <gtest/gtest.h>

namespace kestrun::shell {
namespace {

TEST(VolumeScale, EveryTrackbarPositionWritesAValueThatReadsBackToIt) {
  // The usual mixer range, and one whose top is not a multiple of ten.
  for (const MixerBounds bounds : {MixerBounds{0, 65535}, MixerBounds{0, 1000}, MixerBounds{0, 99}}) {
    const TrackbarRange range = TrackbarRangeFor(bounds);
    for (int position = range.minimum; position <= range.maximum; ++position) {
      const std::uint32_t value = MixerValueFor(position, bounds);
      ASSERT_LE(value, bounds.maximum);
      ASSERT_EQ(TrackbarPositionFor(value), position) << bounds.maximum;
    }
  }
}

TEST(VolumeScale, PositionsOutsideTheBoundsAreKeptInside) {
  const MixerBounds bounds{100, 5000};
  EXPECT_EQ(MixerValueFor(-3, bounds), 100u);
  EXPECT_EQ(MixerValueFor(0, bounds), 100u);
  EXPECT_EQ(MixerValueFor(100000000, bounds), 5000u);
  EXPECT_EQ(TrackbarRangeFor({0x12340005, 0xFFFFFFFF}).minimum, 5) << "only the low 16 bits of the minimum";
  EXPECT_EQ(TrackbarRangeFor({0, 0xFFFFFFFF}).maximum, 429496729);
}

}  // namespace
}  // namespace kestrun::shell
