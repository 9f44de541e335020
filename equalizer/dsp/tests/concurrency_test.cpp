// Reconfiguring sections while another thread filters through them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "equalizer/dsp/band_filter.h"
#include "equalizer/dsp/equalizer_dsp.h"
#include "equalizer/dsp/tests/dsp_test_signals.h"

namespace kestrun::equalizer {
namespace {

// The section's recursion from a known state with a given set of coefficients,
// to tell which coefficients a block was filtered with.
std::vector<float> Expected(const BandFilter::Coefficients& c, BandFilter::State s, const std::vector<float>& in) {
  std::vector<float> out(in.size());
  double x1 = s.x1, x2 = s.x2, y1 = s.y1, y2 = s.y2;
  for (std::size_t k = 0; k < in.size(); ++k) {
    const double x0 = in[k];
    out[k] = static_cast<float>(double{c.g} * (x0 + c.b1 * x1 + c.b2 * x2) - (c.a1 * y1 + c.a2 * y2));
    x2 = x1;
    x1 = x0;
    y2 = y1;
    y1 = out[k];
  }
  return out;
}

// Every block comes out filtered entirely with the old or entirely with the new
// coefficients, never with a mixture of the two.
TEST(BandFilterConcurrency, ConfigureNeverHalfUpdatesARunningBlock) {
  BandFilter section;
  BandFilter boostDesign;
  BandFilter cutDesign;
  const float centre = BandCentreFrequencies[9];
  boostDesign.Configure(kSamplingPeriod, centre, kBandQuality, BandGain(46));
  cutDesign.Configure(kSamplingPeriod, centre, kBandQuality, BandGain(3));
  const BandFilter::Coefficients boost = boostDesign.coefficients();
  const BandFilter::Coefficients cut = cutDesign.coefficients();
  ASSERT_NE(boost.g, cut.g);
  ASSERT_NE(boost.b1, cut.b1);
  ASSERT_NE(boost.a1, cut.a1);
  section.Configure(kSamplingPeriod, centre, kBandQuality, BandGain(46));

  std::atomic<bool> stop{false};
  std::thread configurer([&] {
    for (int i = 0; !stop.load(); ++i) {
      section.Configure(kSamplingPeriod, centre, kBandQuality, BandGain(i % 2 == 0 ? 3 : 46));
    }
  });
  testing::Noise noise(17);
  std::vector<float> in(64);
  std::vector<float> out(64);
  int mixed = 0;
  for (int block = 0; block < 3000; ++block) {
    for (float& value : in) {
      value = static_cast<float>(noise.Between(-20000, 20000));
    }
    // Only this thread moves the state, so it is known before the block.
    const BandFilter::State before = section.state();
    section.Process(in.data(), out.data(), static_cast<int>(in.size()));
    if (out != Expected(boost, before, in) && out != Expected(cut, before, in)) {
      ++mixed;
    }
  }
  stop = true;
  configurer.join();
  EXPECT_EQ(mixed, 0);
}

// The whole pass against RecomputeBands from another thread (the filter object
// serialises them with its own lock; the section locks must still keep each
// section whole). Run under ThreadSanitizer, this also checks for data races.
TEST(BandFilterConcurrency, RecomputeBandsWhileEqualizingEveryPath) {
  for (DspPath path : {DspPath::Plain, DspPath::Sse2, DspPath::Avx2, DspPath::Avx512}) {
    if (!IsDspPathSupported(path)) {
      continue;
    }
    SectionBanks banks;
    banks.SetPath(path);
    std::vector<int> flat(kBandCount, 24);
    RecomputeBands(banks, flat.data());
    std::atomic<bool> stop{false};
    std::thread configurer([&] {
      testing::Noise noise(3);
      std::vector<int> bands(kBandCount);
      while (!stop.load()) {
        for (int& value : bands) {
          value = noise.Between(0, 48);
        }
        for (int band = 0; band < kBandCount; ++band) {
          const float gain = BandGain(bands[band]);
          banks.left[band].Configure(kSamplingPeriod, BandCentreFrequencies[band], kBandQuality, gain);
          banks.right[band].Configure(kSamplingPeriod, BandCentreFrequencies[band], kBandQuality, gain);
        }
      }
    });
    testing::Pcm pcm = testing::NoisePcm(2000, 1);
    for (int round = 0; round < 200; ++round) {
      EqualizeSample(banks, pcm.data(), static_cast<long>(pcm.size()), 2, 4);
    }
    stop = true;
    configurer.join();
    // Still sound audio: the clamp never yields the most negative value.
    for (std::size_t i = 0; i < 2000; ++i) {
      ASSERT_NE(testing::SampleAt(pcm, i, 0), -32768);
    }
  }
}

}  // namespace
}  // namespace kestrun::equalizer
