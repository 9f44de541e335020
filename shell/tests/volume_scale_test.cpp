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

}  // namespace
}  // namespace kestrun::shell
