// Band values as the player, its settings and the equalizer filter exchange them:
// 15 bands, band 1 at 25 Hz, each an integer 0..48 in steps of 0.625 dB, 24 = 0 dB.
// Portable: the DSP, the settings and the playback engine all take the count from here.
#pragma once

#include <array>

namespace kestrun::equalizer {

inline constexpr int kBandCount = 15;
inline constexpr int kFlatBand = 24;
inline constexpr int kMinBand = 0;
inline constexpr int kMaxBand = 48;

using BandValues = std::array<int, kBandCount>;

inline constexpr BandValues FlatBands() {
  BandValues bands{};
  for (int& band : bands) band = kFlatBand;
  return bands;
}

}  // namespace kestrun::equalizer
