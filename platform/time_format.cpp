#include "platform/time_format.h"

#include <cstdio>

namespace kestrun::platform {

std::string FormatMinutesSeconds(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof(text), "%02lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

std::string FormatClock(std::int64_t units) { return FormatMinutesSeconds(units > 0 ? units / kUnitsPerSecond : 0); }

}  // namespace kestrun::platform
