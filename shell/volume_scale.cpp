#include "shell/volume_scale.h"

#include <algorithm>

namespace kestrun::shell {

TrackbarRange TrackbarRangeFor(MixerBounds bounds) {
  TrackbarRange range;
  range.minimum = static_cast<int>(bounds.minimum & 0xFFFF);
  range.maximum = static_cast<int>(bounds.maximum / 10);
  return range;
}

int TrackbarPositionFor(std::uint32_t mixerValue) { return static_cast<int>(mixerValue / 10); }

std::uint32_t MixerValueFor(int position, MixerBounds bounds) {
  const std::uint64_t value = position > 0 ? static_cast<std::uint64_t>(position) * 10 : 0;
  const std::uint64_t low = bounds.minimum;
  const std::uint64_t high = std::max(bounds.minimum, bounds.maximum);
  return static_cast<std::uint32_t>(std::clamp(value, low, high));
}

}  // namespace kestrun::shell
