#include "shell/sleep_countdown.h"

#include <gtest/gtest.h>

namespace kestrun::shell {
namespace {

struct FakeClock {
  std::uint64_t now = 0;
  SleepCountdown::Clock clock() {
    return [this] { return now; };
  }
};

TEST(SleepCountdown, OneMinuteCountsDownSixtySecondsThenExpires) {
  FakeClock time;
  time.now = 5'000'000;
  SleepCountdown countdown(time.clock());
  ASSERT_TRUE(countdown.Start("1"));
  time.now += 950;
  auto reading = countdown.Read();
  ASSERT_FALSE(reading.expired);
  EXPECT_EQ(MinutesText(reading.minutes), "0");
  EXPECT_EQ(SecondsText(reading.seconds), "60");
  time.now = 5'000'000 + 59'999;
  reading = countdown.Read();
  ASSERT_FALSE(reading.expired);
  EXPECT_EQ(SecondsText(reading.seconds), "01");
  time.now = 5'000'000 + 60'000;
  EXPECT_TRUE(countdown.Read().expired);
}

TEST(SleepCountdown, MinutesShowOneLessThanTheWholeMinutesLeft) {
  FakeClock time;
  SleepCountdown countdown(time.clock());
  ASSERT_TRUE(countdown.Start("3"));
  EXPECT_EQ(countdown.Read().minutes, 2);
  EXPECT_EQ(countdown.Read().seconds, 60);
  time.now = 61'000;
  EXPECT_EQ(countdown.Read().minutes, 1);
  EXPECT_EQ(countdown.Read().seconds, 59);
  time.now = 179'000;
  EXPECT_EQ(countdown.Read().minutes, 0);
  EXPECT_EQ(countdown.Read().seconds, 1);
}

TEST(SleepCountdown, NoStartBelowOneMinuteOrWithoutANumber) {
  FakeClock time;
  SleepCountdown countdown(time.clock());
  for (const char* text : {"", "0", "-5", "abc", "  ", "+0"}) {
    EXPECT_FALSE(countdown.Start(text)) << text;
    EXPECT_FALSE(countdown.running());
  }
  EXPECT_TRUE(countdown.Start(" 2x"));
  EXPECT_EQ(countdown.totalSeconds(), 120);
}

TEST(SleepCountdown, FifteenDigitsCountWithoutOverflow) {
  FakeClock time;
  SleepCountdown countdown(time.clock());
  ASSERT_TRUE(countdown.Start("999999999999999"));
  EXPECT_GT(countdown.totalSeconds(), 0);
  const auto reading = countdown.Read();
  EXPECT_FALSE(reading.expired);
  EXPECT_EQ(reading.minutes, countdown.totalSeconds() / 60 - 1);
}

TEST(SleepCountdown, CountCarriesAcrossThe32BitMillisecondWrap) {
  // 49.7 days of uptime: a 32-bit tick count would wrap here and expire at once.
  FakeClock time;
  time.now = 0xFFFFFFFFull - 10'000;
  SleepCountdown countdown(time.clock());
  ASSERT_TRUE(countdown.Start("1"));
  time.now += 30'000;
  const auto reading = countdown.Read();
  EXPECT_FALSE(reading.expired);
  EXPECT_GE(reading.seconds, 30);
  EXPECT_LE(reading.seconds, 31);
  time.now += 31'000;
  EXPECT_TRUE(countdown.Read().expired);
}

}  // namespace
}  // namespace kestrun::shell
