// The equalizer's sliders (the player's window and the filter's own page) stand with +15 dB at the top: a trackbar's
// position grows downwards, so the position is the band value mirrored. Band values
// keep their scale (0..48, 24 = 0 dB) everywhere else.
#pragma once

#include "equalizer/band_values.h"

namespace kestrun::equalizer {

inline constexpr int SliderPositionFromBand(int band) { return kMaxBand - band; }
inline constexpr int BandFromSliderPosition(int position) { return kMaxBand - position; }

}  // namespace kestrun::equalizer
