// Times as the player shows them: "MM:SS" with at least two digits each and the
// minutes unbounded ("100:00" for 100 minutes). Media times are in 100-nanosecond
// units, the unit of the media framework's positions and durations.
#pragma once

#include <cstdint>
#include <string>

namespace kestrun::platform {

inline constexpr std::int64_t kUnitsPerSecond = 10'000'000;

// Whole seconds; a negative count (an unknown length) reads as "00:00".
std::string FormatMinutesSeconds(std::int64_t seconds);
// A position or duration in 100-nanosecond units, cut to whole seconds; a negative
// one (some sources report one before the first sample) reads as "00:00".
std::string FormatClock(std::int64_t units);

}  // namespace kestrun::platform
