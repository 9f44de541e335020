#include "playback/time_text.h"

#include <gtest/gtest.h>

namespace kestrun::playback {
namespace {

constexpr std::int64_t kSecond = kUnitsPerSecond;

TEST(TimeText, MinutesAndSecondsTruncated) {
  EXPECT_EQ(FormatClock(0), "00:00");
  EXPECT_EQ(FormatClock(kSecond - 1), "00:00");
  EXPECT_EQ(FormatClock(61 * kSecond + kSecond / 2), "01:01");
  EXPECT_EQ(FormatTimeText(5 * kSecond, 3 * 60 * kSecond + 7 * kSecond), "00:05/03:07");
}

TEST(TimeText, MinutesAreNotBoundedToTwoDigits) {
  EXPECT_EQ(FormatClock(100 * 60 * kSecond), "100:00");
  EXPECT_EQ(FormatClock((999 * 60 + 59) * kSecond), "999:59");
}

TEST(TimeText, NegativePositionReadsAsZero) { EXPECT_EQ(FormatClock(-5 * kSecond), "00:00"); }

}  // namespace
}  // namespace kestrun::playback
