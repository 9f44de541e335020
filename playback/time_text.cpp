#include "playback/time_text.h"

#include <cstdio>

namespace kestrun::playback {

std::string FormatClock(std::int64_t units) {
  // A negative position (some sources report one before the first sample) reads as 0.
  const std::int64_t seconds = units > 0 ? units / kUnitsPerSecond : 0;
  char text[32];
  std::snprintf(text, sizeof(text), "%02lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

std::string FormatTimeText(std::int64_t position, std::int64_t duration) {
  return FormatClock(position) + "/" + FormatClock(duration);
}

}  // namespace kestrun::playback
