#include "settings/settings_conversions.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrun::settings {
namespace {

TEST(VolumeSetting, StoredValuesOutsideTheRangeMeanFullVolume) {
  EXPECT_EQ(PlaybackVolumeFromStored(101), 0);
  EXPECT_EQ(PlaybackVolumeFromStored(-1), 0);
  EXPECT_EQ(VolumeKnobY(101), 17);
  EXPECT_EQ(VolumeKnobY(-1), 17);
}

TEST(VolumeSetting, RoundTripsThroughThePlaybackVolume) {
  EXPECT_EQ(PlaybackVolumeFromStored(100), -10000);
  EXPECT_EQ(StoredVolumeFromPlayback(-10000), 100);
  EXPECT_EQ(PlaybackVolumeFromStored(50), -1650);
  EXPECT_EQ(StoredVolumeFromPlayback(-1650), 50);
  EXPECT_EQ(PlaybackVolumeFromStored(0), 0);
  EXPECT_EQ(StoredVolumeFromPlayback(0), 0);
  for (int stored = 0; stored <= 100; ++stored) {
    EXPECT_EQ(StoredVolumeFromPlayback(PlaybackVolumeFromStored(stored)), stored) << stored;
  }
}

TEST(VolumeSetting, QuotientTruncatesTowardZero) {
  EXPECT_EQ(StoredVolumeFromPlayback(-34), 1);  // 1.03
  EXPECT_EQ(StoredVolumeFromPlayback(-65), 1);  // 1.97
  EXPECT_EQ(StoredVolumeFromPlayback(-32), 0);
  EXPECT_EQ(StoredVolumeFromPlayback(-9998), 302);  // 302.97
}

TEST(VolumeSetting, KnobMovesWithTheAttenuation) {
  EXPECT_EQ(VolumeKnobY(0), 17);
  EXPECT_EQ(VolumeKnobY(50), 41);  // 17 + 2450 / 100
  EXPECT_EQ(VolumeKnobY(100), 66);
}

TEST(EqualizerSetting, DefaultIsCaseSensitive) {
  int bands[kBandCount];
  std::fill(bands, bands + kBandCount, 3);
  ParseEqualizerText("default", bands);
  EXPECT_TRUE(std::all_of(bands, bands + kBandCount, [](int b) { return b == 24; }));
  std::fill(bands, bands + kBandCount, 3);
  ParseEqualizerText("Default", bands);  // not a number: nothing changes
  EXPECT_TRUE(std::all_of(bands, bands + kBandCount, [](int b) { return b == 3; }));
}

TEST(EqualizerSetting, ParsingStopsAtTheFirstNonNumber) {
  int bands[kBandCount];
  std::fill(bands, bands + kBandCount, 7);
  ParseEqualizerText("30 24", bands);
  EXPECT_EQ(bands[0], 30);
  EXPECT_EQ(bands[1], 24);
  for (int i = 2; i < kBandCount; ++i) EXPECT_EQ(bands[i], 7) << i;

  std::fill(bands, bands + kBandCount, 7);
  ParseEqualizerText("1 2 x 4", bands);
  EXPECT_EQ(bands[1], 2);
  EXPECT_EQ(bands[2], 7);
  EXPECT_EQ(bands[3], 7);
}

TEST(EqualizerSetting, OutOfRangeNumbersAreKeptWithinTheBands) {
  int bands[kBandCount] = {};
  ParseEqualizerText("99999999999999 -5 48 0", bands);
  EXPECT_EQ(bands[0], 48);
  EXPECT_EQ(bands[1], 0);
  EXPECT_EQ(bands[2], 48);
  EXPECT_EQ(bands[3], 0);
}

TEST(EqualizerSetting, FormatAndParseRoundTrip) {
  int bands[kBandCount];
  std::fill(bands, bands + kBandCount, 24);
  EXPECT_EQ(FormatEqualizerText(bands), "24 24 24 24 24 24 24 24 24 24 24 24 24 24 24 ");
  int values[kBandCount] = {0, 1, 2, 3, 48, 47, 24, 10, 11, 12, 13, 14, 15, 16, 17};
  int parsed[kBandCount] = {};
  ParseEqualizerText(FormatEqualizerText(values).c_str(), parsed);
  EXPECT_TRUE(std::equal(values, values + kBandCount, parsed));
}

}  // namespace
}  // namespace kestrun::settings
