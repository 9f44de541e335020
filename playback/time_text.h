// The player's time text: "position/duration", each as "MM:SS" (platform/time_format.h).
#pragma once

#include <cstdint>
#include <string>

#include "platform/time_format.h"

namespace kestrun::playback {

using platform::FormatClock;
using platform::kUnitsPerSecond;

std::string FormatTimeText(std::int64_t position, std::int64_t duration);

}  // namespace kestrun::playback
