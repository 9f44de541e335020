// Conversions between the stored settings and the values the player works with.
#pragma once

#include <string>

#include "equalizer/band_values.h"

namespace kestrun::settings {

using equalizer::kBandCount;
using equalizer::kFlatBand;
using equalizer::kMaxBand;
using equalizer::kMinBand;
inline constexpr long kSilentVolume = -10000;  // hundredths of a decibel
inline constexpr char kDefaultEqualizerText[] = "default";

// "Volume" is an attenuation 0..100 (0 = full volume, 100 = silent); anything else
// counts as 0. The playback volume is in hundredths of a decibel (0 .. -10000).
int NormalizeStoredVolume(int stored);
long PlaybackVolumeFromStored(int stored);
// The quotient is truncated toward zero.
int StoredVolumeFromPlayback(long volume);
// Vertical position of the volume knob in the main window for a stored volume.
int VolumeKnobY(int stored);

// "Equalizer": "default" (exactly) sets every band flat; otherwise up to 15 decimal
// numbers separated by blanks, band 1 first. Parsing stops at the first text that is
// not a number and the remaining bands keep their values. A number outside 0..48 is
// brought into that range: the equalizer would otherwise apply a gain of thousands of
// decibels.
void ParseEqualizerText(const char* text, int bands[kBandCount]);
// Each band as "%d " in band order (so the text ends with a blank).
std::string FormatEqualizerText(const int bands[kBandCount]);

// "PlayNum": a row index, or -1 for none. Any negative number means none: the list
// control reads a row index of -1 as "every row", so nothing below -1 may stand.
int NormalizePlayNum(int stored);

// "List1".."List4" must name each of the four columns once; anything else is not a
// column order.
inline constexpr int kColumnCount = 4;
bool IsColumnPermutation(const int order[kColumnCount]);

}  // namespace kestrun::settings
