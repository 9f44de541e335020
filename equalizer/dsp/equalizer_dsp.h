// The equalizer's signal processing: fifteen peaking sections per channel over
// interleaved 16-bit stereo PCM, and the voice-removal pass. Nothing here knows
// about COM or DirectShow; the filter object owns a SectionBanks, calls
// RecomputeBands when the band values change and runs the two passes in place on
// each media sample.
//
// Threading: the caller serialises EqualizeSample and RecomputeBands on one
// SectionBanks with its own filter lock (filter lock first, then section locks).
// RemoveVoice touches only the data it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "equalizer/band_values.h"
#include "equalizer/dsp/band_filter.h"

namespace kestrun::equalizer {

// Band values run 0..48; 24 is 0 dB and one step is 0.625 dB.
inline constexpr int kBandValueMin = 0;
inline constexpr int kBandValueFlat = 24;
inline constexpr int kBandValueMax = 48;

// Centre frequencies in hertz, band 1 (25 Hz) first.
extern const std::array<float, kBandCount> BandCentreFrequencies;

// Every stream is designed for 44.1 kHz whatever its own rate (a 48 kHz stream has
// every band shifted up by 48000/44100).
inline constexpr float kSamplingPeriod = 2.2675736545352265e-05f;
inline constexpr float kBandQuality = 3.0f;

// Linear gain of a band value: 10^((value - 24) * 0.625 / 20), rounded to float.
float BandGain(int bandValue);

// How EqualizeSample runs the thirty sections. Plain filters each section over the
// whole block in turn; the others run all thirty side by side in vector lanes (the
// section of band k works on frame t - k), with exactly the same arithmetic per
// lane, so every path gives the same output bits.
enum class DspPath { Plain, Sse2, Avx2, Avx512 };

// Whether this CPU (and operating system) can run a path.
bool IsDspPathSupported(DspPath path);
// The widest supported path.
DspPath WidestDspPath();
const char* DspPathName(DspPath path);

// The thirty sections of one filter object and the pass's working memory.
class SectionBanks {
 public:
  SectionBanks();
  SectionBanks(const SectionBanks&) = delete;
  SectionBanks& operator=(const SectionBanks&) = delete;

  std::array<BandFilter, kBandCount> left;
  std::array<BandFilter, kBandCount> right;

  // Starts at WidestDspPath(); an unsupported path falls back to Plain. Not for
  // use while another thread runs EqualizeSample on these banks.
  void SetPath(DspPath path);
  DspPath path() const { return path_; }

 private:
  friend void EqualizeSample(SectionBanks&, std::uint8_t*, long, int, int);
  DspPath path_;
  // Scratch arrays of the plain path, kept between media samples.
  std::vector<float> left1_, left2_, right1_, right2_;
};

// Configures all thirty sections from fifteen band values (band 1 first). Values
// outside 0..48 are clamped to that range.
void RecomputeBands(SectionBanks& banks, const int* bandValues);

// The equalizer pass over interleaved PCM, in place. Works only on 16-bit stereo
// (bytesPerSample 2, blockAlign 4) and leaves anything else untouched, as it does
// a buffer of fewer than two frames. Samples of -32768 come out as -32767.
void EqualizeSample(SectionBanks& banks, std::uint8_t* data, long length, int bytesPerSample, int blockAlign);

// The voice-removal pass, in place: left becomes R - L and right L - R, clamped to
// 16 bits. 16-bit stereo only; anything else is left untouched.
void RemoveVoice(std::uint8_t* data, long length, int bytesPerSample, int blockAlign);

}  // namespace kestrun::equalizer
