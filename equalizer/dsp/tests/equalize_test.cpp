// The equalizer pass over media samples: every code path, state across samples,
// the formats it works on, and the recorded output shared by both builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "equalizer/dsp/equalizer_dsp.h"
#include "equalizer/dsp/tests/dsp_test_signals.h"

namespace kestrun::equalizer {
namespace {

using testing::Pcm;

constexpr std::array<DspPath, 4> kAllPaths = {DspPath::Plain, DspPath::Sse2, DspPath::Avx2, DspPath::Avx512};

std::vector<DspPath> SupportedPaths() {
  std::vector<DspPath> paths;
  for (DspPath path : kAllPaths) {
    if (IsDspPathSupported(path)) {
      paths.push_back(path);
    }
  }
  return paths;
}

std::array<int, kBandCount> Alternating(int up, int down) {
  std::array<int, kBandCount> bands{};
  for (int i = 0; i < kBandCount; ++i) {
    bands[i] = i % 2 == 0 ? up : down;
  }
  return bands;
}

std::array<int, kBandCount> RandomBands(testing::Noise& noise) {
  std::array<int, kBandCount> bands{};
  for (int& value : bands) {
    value = noise.Between(0, 48);
  }
  return bands;
}

void Equalize(SectionBanks& banks, Pcm& pcm, std::size_t firstFrame, std::size_t frames) {
  EqualizeSample(banks, pcm.data() + firstFrame * 4, static_cast<long>(frames * 4), 2, 4);
}

std::vector<BandFilter::State> States(const SectionBanks& banks) {
  std::vector<BandFilter::State> states;
  for (const auto* bank : {&banks.left, &banks.right}) {
    for (const BandFilter& section : *bank) {
      states.push_back(section.state());
    }
  }
  return states;
}

bool SameStates(const std::vector<BandFilter::State>& a, const std::vector<BandFilter::State>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(BandFilter::State)) == 0;
}

std::size_t FirstDifference(const Pcm& a, const Pcm& b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) {
      return i;
    }
  }
  return a.size() == b.size() ? std::string::npos : std::min(a.size(), b.size());
}

TEST(EqualizeSample, FlatBandsPassEverySampleExceptTheMostNegative) {
  for (DspPath path : SupportedPaths()) {
    SectionBanks banks;
    banks.SetPath(path);
    const auto flat = Alternating(24, 24);
    RecomputeBands(banks, flat.data());
    const Pcm input = testing::NoisePcm(20000, 7);
    Pcm output = input;
    Equalize(banks, output, 0, 7000);
    Equalize(banks, output, 7000, 13000);
    for (std::size_t i = 0; i < 20000; ++i) {
      for (int channel = 0; channel < 2; ++channel) {
        const std::int16_t in = testing::SampleAt(input, i, channel);
        const std::int16_t expected = in == -32768 ? -32767 : in;
        ASSERT_EQ(testing::SampleAt(output, i, channel), expected)
            << DspPathName(path) << " frame " << i << " channel " << channel;
      }
    }
  }
}

TEST(EqualizeSample, LoudBoostClampsToPlusAndMinus32767) {
  for (DspPath path : SupportedPaths()) {
    SectionBanks banks;
    banks.SetPath(path);
    const auto loud = Alternating(48, 48);
    RecomputeBands(banks, loud.data());
    Pcm pcm = testing::SinePcm(8000, 1000.0, 30000.0);
    Equalize(banks, pcm, 0, 8000);
    int top = 0;
    int bottom = 0;
    for (std::size_t i = 0; i < 8000; ++i) {
      const std::int16_t value = testing::SampleAt(pcm, i, 0);
      ASSERT_NE(value, -32768) << DspPathName(path);
      top += value == 32767;
      bottom += value == -32767;
    }
    EXPECT_GT(top, 100) << DspPathName(path);
    EXPECT_GT(bottom, 100) << DspPathName(path);
  }
}

// Every path against the plain one: the same bytes and the same section state,
// over media samples of every size (the shortest ones are shorter than the
// fifteen-section pipeline of the vector paths) with the bands changing between
// samples.
TEST(EqualizeSample, EveryPathGivesThePlainPathsOutputBitForBit) {
  const Pcm input = testing::MixedPcm(6 * 44100, 3);
  std::vector<std::size_t> sizes = {2, 3, 1, 14, 15, 16, 17, 29, 30, 31, 100};
  for (std::size_t size : testing::MediaSampleSizes(input.size() / 4, 11)) {
    sizes.push_back(size);
  }
  auto run = [&](DspPath path, Pcm& out) {
    SectionBanks banks;
    banks.SetPath(path);
    testing::Noise noise(5);
    out = input;
    std::size_t at = 0;
    for (std::size_t size : sizes) {
      if (at + size > out.size() / 4) {
        break;
      }
      const auto bands = RandomBands(noise);
      if (noise.Between(0, 3) == 0) {
        RecomputeBands(banks, bands.data());
      }
      Equalize(banks, out, at, size);
      at += size;
    }
    return States(banks);
  };
  Pcm reference;
  const auto referenceStates = run(DspPath::Plain, reference);
  std::string compared;
  for (DspPath path : SupportedPaths()) {
    compared += std::string(" ") + DspPathName(path);
    Pcm output;
    const auto states = run(path, output);
    EXPECT_EQ(FirstDifference(output, reference), std::string::npos) << DspPathName(path);
    EXPECT_TRUE(SameStates(states, referenceStates)) << DspPathName(path);
  }
  RecordProperty("compared_paths", compared);
  std::printf("compared with plain:%s\n", compared.c_str());
}

// After loud material stops, the sections ring down into float subnormals and
// settle on tiny cycles of period 1 to 3. Silent media samples then take the
// vector paths' shortcuts (flush-to-zero rounding while ringing down, skipping
// along the cycle once settled), which must keep every state bit of the plain
// path after every media sample; the first sound after the silence must come out
// the same too.
TEST(EqualizeSample, SilenceAfterSoundKeepsTheSubnormalStateExact) {
  Pcm input = testing::NoisePcm(12 * 44100, 31);
  std::fill(input.begin() + 4410 * 4, input.begin() + 11 * 44100 * 4, 0);
  testing::Noise noise(2);
  for (const auto& bands : {RandomBands(noise), Alternating(34, 14), Alternating(0, 48)}) {
    auto run = [&](DspPath path, Pcm& out) {
      SectionBanks banks;
      banks.SetPath(path);
      RecomputeBands(banks, bands.data());
      out = input;
      std::size_t at = 0;
      std::vector<std::vector<BandFilter::State>> afterEachSample;
      for (std::size_t size : testing::MediaSampleSizes(out.size() / 4, 4)) {
        Equalize(banks, out, at, size);
        at += size;
        afterEachSample.push_back(States(banks));
      }
      return afterEachSample;
    };
    Pcm reference;
    const auto referenceStates = run(DspPath::Plain, reference);
    int subnormal = 0;
    for (const BandFilter::State& state : referenceStates[referenceStates.size() * 9 / 10]) {
      subnormal += std::fpclassify(state.y1) == FP_SUBNORMAL;
    }
    ASSERT_GT(subnormal, 20) << "the silence no longer leaves subnormal state to test with";
    for (DspPath path : SupportedPaths()) {
      Pcm output;
      const auto states = run(path, output);
      ASSERT_EQ(states.size(), referenceStates.size());
      std::size_t differing = 0;
      for (std::size_t i = 0; i < states.size(); ++i) {
        differing += !SameStates(states[i], referenceStates[i]);
      }
      EXPECT_EQ(differing, 0u) << DspPathName(path);
      EXPECT_EQ(FirstDifference(output, reference), std::string::npos) << DspPathName(path);
    }
  }
}

// The widest path is chosen when nothing else is asked for.
TEST(EqualizeSample, NewBanksUseTheWidestSupportedPath) {
  SectionBanks banks;
  EXPECT_EQ(banks.path(), WidestDspPath());
  EXPECT_TRUE(IsDspPathSupported(DspPath::Plain));
  EXPECT_TRUE(IsDspPathSupported(DspPath::Sse2));
  if (IsDspPathSupported(DspPath::Avx512)) {
    EXPECT_EQ(WidestDspPath(), DspPath::Avx512);
  }
}

// Two media samples in a row sound the same as one sample holding both: the
// state of every section carries over. Split points include samples that start
// with silence, where no shortcut may replace the sections' ringing by zeros.
TEST(EqualizeSample, StateCarriesOverBetweenMediaSamples) {
  Pcm input = testing::NoisePcm(6000, 21);
  for (std::size_t i = 3000; i < 3010; ++i) {
    testing::SetSample(input, i, 0, 0);
    testing::SetSample(input, i, 1, 0);
  }
  testing::Noise noise(8);
  const auto bands = RandomBands(noise);
  for (DspPath path : SupportedPaths()) {
    SectionBanks whole;
    whole.SetPath(path);
    RecomputeBands(whole, bands.data());
    Pcm once = input;
    Equalize(whole, once, 0, 6000);
    for (std::size_t split : {2u, 9u, 14u, 15u, 1500u, 3000u, 3001u, 5998u}) {
      SectionBanks parts;
      parts.SetPath(path);
      RecomputeBands(parts, bands.data());
      Pcm twice = input;
      Equalize(parts, twice, 0, split);
      Equalize(parts, twice, split, 6000 - split);
      EXPECT_EQ(FirstDifference(twice, once), std::string::npos) << DspPathName(path) << " split at " << split;
      EXPECT_TRUE(SameStates(States(parts), States(whole))) << DspPathName(path);
    }
  }
}

// Output for fixed input and settings, recorded once and shared by the native and
// the Windows build: both must produce these exact bytes.
TEST(EqualizeSample, OutputMatchesTheRecordedFingerprint) {
  struct Case {
    const char* name;
    std::array<int, kBandCount> bands;
    std::uint64_t recorded;
  };
  testing::Noise noise(99);
  const Case cases[] = {
      {"alternating +6.25/-6.25 dB", Alternating(34, 14), 0x9cecbdf5d24c8dfdull},
      {"all +15 dB", Alternating(48, 48), 0xd528e68a765d0749ull},
      {"random", RandomBands(noise), 0xa43a3e2f835322dcull},
  };
  const Pcm input = testing::MixedPcm(8 * 44100, 1);
  for (const Case& c : cases) {
    SectionBanks banks;
    banks.SetPath(DspPath::Plain);
    RecomputeBands(banks, c.bands.data());
    Pcm output = input;
    std::size_t at = 0;
    for (std::size_t size : testing::MediaSampleSizes(output.size() / 4, 2)) {
      Equalize(banks, output, at, size);
      at += size;
    }
    const std::uint64_t hash = testing::Fingerprint(output.data(), output.size());
    EXPECT_EQ(hash, c.recorded) << c.name << std::hex << ": 0x" << hash;
  }
}

TEST(EqualizeSample, OtherFormatsAndTinySamplesPassUntouched) {
  struct Case {
    const char* name;
    long length;
    int bytesPerSample;
    int blockAlign;
  };
  const Case cases[] = {
      {"16-bit mono", 4000, 2, 2},   {"8-bit stereo", 4000, 1, 2},      {"8-bit mono", 4000, 1, 1},
      {"24-bit stereo", 3996, 3, 6}, {"32-bit stereo", 4000, 4, 8},     {"16-bit 6 channels", 3996, 2, 12},
      {"one frame", 4, 2, 4},        {"one frame and a half", 6, 2, 4}, {"empty", 0, 2, 4},
      {"negative length", -8, 2, 4},
  };
  for (DspPath path : SupportedPaths()) {
    for (const Case& c : cases) {
      SectionBanks banks;
      banks.SetPath(path);
      const auto loud = Alternating(48, 0);
      RecomputeBands(banks, loud.data());
      const auto before = States(banks);
      const Pcm input = testing::NoisePcm(1000, 4);
      Pcm data = input;
      EqualizeSample(banks, data.data(), c.length, c.bytesPerSample, c.blockAlign);
      EXPECT_EQ(data, input) << DspPathName(path) << ": " << c.name;
      EXPECT_TRUE(SameStates(States(banks), before)) << DspPathName(path) << ": " << c.name;
    }
  }
}

TEST(EqualizeSample, TrailingPartialFrameIsLeftAlone) {
  for (DspPath path : SupportedPaths()) {
    SectionBanks banks;
    banks.SetPath(path);
    const auto loud = Alternating(48, 0);
    RecomputeBands(banks, loud.data());
    const Pcm input = testing::NoisePcm(101, 6);
    Pcm data = input;
    EqualizeSample(banks, data.data(), 402, 2, 4);  // 100 frames and 2 bytes
    EXPECT_NE(std::memcmp(data.data(), input.data(), 400), 0) << DspPathName(path);
    EXPECT_EQ(std::memcmp(data.data() + 400, input.data() + 400, 4), 0) << DspPathName(path);
  }
}

TEST(EqualizeSample, OutOfRangeBandValuesAreHeldToTheEnds) {
  SectionBanks clamped;
  SectionBanks ends;
  auto wild = Alternating(1000000, -1000000);
  const auto limits = Alternating(48, 0);
  RecomputeBands(clamped, wild.data());
  RecomputeBands(ends, limits.data());
  Pcm a = testing::NoisePcm(3000, 12);
  Pcm b = a;
  Equalize(clamped, a, 0, 3000);
  Equalize(ends, b, 0, 3000);
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace kestrun::equalizer
