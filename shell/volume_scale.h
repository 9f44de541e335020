// The volume dialog's trackbar over the mixer's speaker volume: the trackbar counts in
// tenths of the mixer's units, so its range stays small enough to drag through.
#pragma once

#include <cstdint>

namespace kestrun::shell {

// The bounds a mixer volume control reports.
struct MixerBounds {
  std::uint32_t minimum = 0;
  std::uint32_t maximum = 0;
};

struct TrackbarRange {
  int minimum = 0;
  int maximum = 0;
};

inline constexpr int kVolumePageSize = 500;

// Minimum: the low 16 bits of the lower bound; maximum: the upper bound / 10.
TrackbarRange TrackbarRangeFor(MixerBounds bounds);
// The trackbar position of a mixer value.
int TrackbarPositionFor(std::uint32_t mixerValue);
// The mixer value of a trackbar position (position x 10), kept within the bounds.
std::uint32_t MixerValueFor(int position, MixerBounds bounds);

}  // namespace kestrun::shell
