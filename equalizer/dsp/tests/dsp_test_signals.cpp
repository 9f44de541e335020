#include "equalizer/dsp/tests/dsp_test_signals.h"

#include <cmath>

namespace kestrun::equalizer::testing {

std::uint32_t Noise::Next() {
  // xorshift64*
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<std::uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

int Noise::Between(int low, int high) {
  const auto span = static_cast<std::uint32_t>(high - low) + 1u;
  return low + static_cast<int>(Next() % span);
}

std::int16_t SampleAt(const Pcm& pcm, std::size_t frame, int channel) {
  const std::size_t at = frame * 4 + static_cast<std::size_t>(channel) * 2;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(pcm[at] | (pcm[at + 1] << 8)));
}

void SetSample(Pcm& pcm, std::size_t frame, int channel, std::int16_t value) {
  const std::size_t at = frame * 4 + static_cast<std::size_t>(channel) * 2;
  const auto bits = static_cast<std::uint16_t>(value);
  pcm[at] = static_cast<std::uint8_t>(bits & 0xFF);
  pcm[at + 1] = static_cast<std::uint8_t>(bits >> 8);
}

Pcm NoisePcm(std::size_t frames, std::uint64_t seed) {
  Noise noise(seed);
  Pcm pcm(frames * 4);
  for (std::size_t i = 0; i < frames; ++i) {
    SetSample(pcm, i, 0, static_cast<std::int16_t>(noise.Between(-32768, 32767)));
    SetSample(pcm, i, 1, static_cast<std::int16_t>(noise.Between(-32768, 32767)));
  }
  return pcm;
}

Pcm SinePcm(std::size_t frames, double hertz, double amplitude) {
  const double kTwoPi = 6.283185307179586;
  Pcm pcm(frames * 4);
  for (std::size_t i = 0; i < frames; ++i) {
    const auto value = static_cast<std::int16_t>(std::lround(amplitude * std::sin(kTwoPi * hertz * i / 44100.0)));
    SetSample(pcm, i, 0, value);
    SetSample(pcm, i, 1, value);
  }
  return pcm;
}

Pcm MixedPcm(std::size_t frames, std::uint64_t seed) {
  Noise noise(seed);
  Pcm pcm(frames * 4);
  // A linear sweep from 20 Hz to 20 kHz every 20 seconds, from an integer
  // phase accumulator, so that every platform produces the same samples.
  const std::uint32_t kStepPerHertz = 97392;  // 2^32 / 44100
  const std::size_t period = 44100 * 20;
  std::uint32_t phase = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    const std::size_t within = i % period;
    const auto step = static_cast<std::uint32_t>(20 * kStepPerHertz + within * 2206);
    phase += step;
    const std::int32_t p = static_cast<std::int32_t>(phase >> 16) - 32768;  // -32768..32767
    const std::int32_t s = (p * (32768 - (p < 0 ? -p : p))) >> 14;          // about -16384..16384
    const bool silent = (i / 44100) % 7 == 6;                               // one silent second in seven
    const auto left = static_cast<std::int16_t>(silent ? 0 : s);
    const auto right = static_cast<std::int16_t>(silent ? 0 : noise.Between(-12000, 12000));
    SetSample(pcm, i, 0, left);
    SetSample(pcm, i, 1, right);
  }
  return pcm;
}

std::vector<std::size_t> MediaSampleSizes(std::size_t totalFrames, std::uint64_t seed) {
  Noise noise(seed);
  std::vector<std::size_t> sizes;
  std::size_t done = 0;
  while (done < totalFrames) {
    std::size_t size = static_cast<std::size_t>(noise.Between(1000, 4000));
    if (size > totalFrames - done) {
      size = totalFrames - done;
    }
    sizes.push_back(size);
    done += size;
  }
  return sizes;
}

std::uint64_t Fingerprint(const std::uint8_t* data, std::size_t size, std::uint64_t basis) {
  std::uint64_t hash = basis;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 0x100000001B3ull;
  }
  return hash;
}

}  // namespace kestrun::equalizer::testing
