#include "platform/time_format.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrun::platform {
namespace {

constexpr std::int64_t kSecond = kUnitsPerSecond;

TEST(TimeFormat, UnitsAreCutToWholeSecondsNotRounded) {
  EXPECT_EQ(FormatClock(0), "00:00");
  EXPECT_EQ(FormatClock(kSecond - 1), "00:00");
  EXPECT_EQ(FormatClock(61 * kSecond + kSecond / 2), "01:01");
  EXPECT_EQ(FormatClock(3'725 * kSecond), "62:05");
}

TEST(TimeFormat, MinutesPastNinetyNineAreNotCut) {
  EXPECT_EQ(FormatMinutesSeconds(100 * 60), "100:00");
  EXPECT_EQ(FormatMinutesSeconds(999 * 60 + 59), "999:59");
  EXPECT_EQ(FormatMinutesSeconds(59), "00:59");
}

TEST(TimeFormat, NegativeOrUnknownTimesReadAsZero) {
  EXPECT_EQ(FormatMinutesSeconds(-1), "00:00");
  EXPECT_EQ(FormatClock(-65 * kSecond), "00:00");
  // The longest time does not overflow the text.
  EXPECT_EQ(FormatMinutesSeconds(std::numeric_limits<std::int64_t>::max()).substr(0, 5), "15372");
}

}  // namespace
}  // namespace kestrun::platform
