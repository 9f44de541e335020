// The sleep timer's count: minutes entered by the user, counted in whole seconds of a
// millisecond clock, shown as minutes and seconds left.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <string>
#include <string_view>

namespace kestrun::shell {

class SleepCountdown {
 public:
  // Milliseconds since a fixed point (the system's uptime in the player). 64 bits, so
  // the count never wraps while the player runs.
  using Clock = std::function<std::uint64_t()>;

  explicit SleepCountdown(Clock clock) : clock_(std::move(clock)) {}

  // Starts counting the minutes in text (read like a decimal number: leading blanks,
  // digits up to the first non-digit). False, and nothing started, for less than one
  // minute or a text that is not a number.
  bool Start(std::string_view minutesText);
  void Stop() { running_ = false; }
  bool running() const { return running_; }

  struct Reading {
    bool expired = false;
    // What the dialog shows while counting: one less than the whole minutes left,
    // then the seconds from 60 down to 01.
    std::int64_t minutes = 0;
    int seconds = 0;
  };
  // Where the count stands now. Only meaningful while running.
  Reading Read() const;

  std::int64_t totalSeconds() const { return totalSeconds_; }

 private:
  Clock clock_;
  bool running_ = false;
  std::int64_t totalSeconds_ = 0;
  std::uint64_t startSecond_ = 0;
};

// Parses the minutes like the dialog reads its edit box; 0 for no number. Values too
// large for the count are capped.
std::int64_t ParseMinutes(std::string_view text);

// The two texts of the display: "%d" minutes and "%02d" seconds.
std::string MinutesText(std::int64_t minutes);
std::string SecondsText(int seconds);

}  // namespace kestrun::shell
