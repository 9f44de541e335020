// The voice-removal pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "equalizer/dsp/equalizer_dsp.h"
#include "equalizer/dsp/tests/dsp_test_signals.h"

namespace kestrun::equalizer {
namespace {

using testing::Pcm;

TEST(RemoveVoice, CentreCancelsAndSidesComeOutInOppositePolarity) {
  struct Frame {
    std::int16_t left, right, newLeft, newRight;
  };
  const Frame frames[] = {
      {1000, 1000, 0, 0},
      {32767, -32768, -32768, 32767},  // clamped both ways
      {-32768, 32767, 32767, -32768},
      {300, -200, -500, 500},
      {0, 0, 0, 0},
      {-32768, -32768, 0, 0},
      {20000, -20000, -32768, 32767},
  };
  Pcm pcm(sizeof frames / sizeof frames[0] * 4);
  for (std::size_t i = 0; i < sizeof frames / sizeof frames[0]; ++i) {
    testing::SetSample(pcm, i, 0, frames[i].left);
    testing::SetSample(pcm, i, 1, frames[i].right);
  }
  RemoveVoice(pcm.data(), static_cast<long>(pcm.size()), 2, 4);
  for (std::size_t i = 0; i < sizeof frames / sizeof frames[0]; ++i) {
    EXPECT_EQ(testing::SampleAt(pcm, i, 0), frames[i].newLeft) << "frame " << i;
    EXPECT_EQ(testing::SampleAt(pcm, i, 1), frames[i].newRight) << "frame " << i;
  }
}

TEST(RemoveVoice, OnlySixteenBitStereoIsTouched) {
  const std::pair<int, int> otherFormats[] = {{2, 2}, {1, 2}, {1, 1}, {3, 6}, {4, 8}, {2, 12}};
  const Pcm input = testing::NoisePcm(500, 3);
  for (const auto& [bytesPerSample, blockAlign] : otherFormats) {
    Pcm data = input;
    RemoveVoice(data.data(), static_cast<long>(data.size()), bytesPerSample, blockAlign);
    EXPECT_EQ(data, input) << bytesPerSample << "/" << blockAlign;
  }
  Pcm data = input;
  RemoveVoice(data.data(), 0, 2, 4);
  RemoveVoice(data.data(), -4, 2, 4);
  EXPECT_EQ(data, input);
}

// A length that ends inside a frame must not make the pass write past it.
TEST(RemoveVoice, StopsBeforeAPartialFrame) {
  Pcm data = testing::NoisePcm(3, 9);
  const Pcm input = data;
  RemoveVoice(data.data(), 10, 2, 4);  // two frames and half of a third
  EXPECT_EQ(testing::SampleAt(data, 1, 0),
            std::clamp(testing::SampleAt(input, 1, 1) - testing::SampleAt(input, 1, 0), -32768, 32767));
  EXPECT_EQ(std::vector<std::uint8_t>(data.begin() + 8, data.end()),
            std::vector<std::uint8_t>(input.begin() + 8, input.end()));
}

}  // namespace
}  // namespace kestrun::equalizer
