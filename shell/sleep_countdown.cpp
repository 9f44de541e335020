#include "shell/sleep_countdown.h"

#include <cinttypes>
#include <cstdio>

namespace kestrun::shell {
namespace {

// A hundred million years of minutes; far beyond any sleep, and the count in seconds
// still fits 64 bits.
constexpr std::int64_t kMaxMinutes = 52'560'000'000'000LL;

}  // namespace

std::int64_t ParseMinutes(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kMaxMinutes) value = kMaxMinutes;
  }
  return negative ? -value : value;
}

bool SleepCountdown::Start(std::string_view minutesText) {
  const std::int64_t minutes = ParseMinutes(minutesText);
  if (minutes < 1) return false;
  totalSeconds_ = minutes * 60;
  startSecond_ = clock_() / 1000;
  running_ = true;
  return true;
}

SleepCountdown::Reading SleepCountdown::Read() const {
  Reading reading;
  const std::uint64_t now = clock_() / 1000;
  // A clock that stepped back counts as no time passed.
  const std::int64_t elapsed = now > startSecond_ ? static_cast<std::int64_t>(now - startSecond_) : 0;
  if (elapsed >= totalSeconds_) {
    reading.expired = true;
    return reading;
  }
  reading.minutes = totalSeconds_ / 60 - elapsed / 60 - 1;
  reading.seconds = static_cast<int>(60 - elapsed % 60);
  return reading;
}

std::string MinutesText(std::int64_t minutes) {
  char text[32];
  std::snprintf(text, sizeof(text), "%" PRId64, minutes);
  return text;
}

std::string SecondsText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02d", seconds);
  return text;
}

}  // namespace kestrun::shell
