// Deterministic test audio for the equalizer: interleaved 16-bit stereo bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrun::equalizer::testing {

using Pcm = std::vector<std::uint8_t>;

// Small, fixed pseudo-random generator (the same numbers on every platform).
class Noise {
 public:
  explicit Noise(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint32_t Next();
  // Uniform in [low, high].
  int Between(int low, int high);

 private:
  std::uint64_t state_;
};

std::int16_t SampleAt(const Pcm& pcm, std::size_t frame, int channel);
void SetSample(Pcm& pcm, std::size_t frame, int channel, std::int16_t value);

// White noise over the full 16-bit range (extremes included) on both channels.
Pcm NoisePcm(std::size_t frames, std::uint64_t seed);
// A sine of the given frequency (at 44.1 kHz) and amplitude on both channels.
Pcm SinePcm(std::size_t frames, double hertz, double amplitude);
// Music-like material: a logarithmic sweep on the left, noise on the right, and
// stretches of digital silence.
Pcm MixedPcm(std::size_t frames, std::uint64_t seed);

// Block sizes as a DirectShow source delivers them: about 1,000 to 4,000 frames.
std::vector<std::size_t> MediaSampleSizes(std::size_t totalFrames, std::uint64_t seed);

// FNV-1a over bytes, for comparing long outputs with recorded values.
std::uint64_t Fingerprint(const std::uint8_t* data, std::size_t size, std::uint64_t basis = 0xCBF29CE484222325ull);

}  // namespace kestrun::equalizer::testing
