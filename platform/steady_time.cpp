#include "platform/steady_time.h"

#include <chrono>

namespace kestrun::platform {

std::int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace kestrun::platform
