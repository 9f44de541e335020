#include "playback/time_text.h"

namespace kestrun::playback {

std::string FormatTimeText(std::int64_t position, std::int64_t duration) {
  return FormatClock(position) + "/" + FormatClock(duration);
}

}  // namespace kestrun::playback
