// The player's time texts: "MM:SS" of a position in 100-nanosecond units, minutes
// unbounded (100 minutes shows as "100:00").
#pragma once

#include <cstdint>
#include <string>

namespace kestrun::playback {

inline constexpr std::int64_t kUnitsPerSecond = 10'000'000;

std::string FormatClock(std::int64_t units);
// "position/duration", each as FormatClock.
std::string FormatTimeText(std::int64_t position, std::int64_t duration);

}  // namespace kestrun::playback
