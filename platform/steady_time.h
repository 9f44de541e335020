// A clock for measuring how long something took: milliseconds that only go forward,
// from an arbitrary start. Kept out of the headers of code built with ANSI string
// literals, which cannot take the standard time header.
#pragma once

#include <cstdint>

namespace kestrun::platform {

std::int64_t SteadyMilliseconds();

}  // namespace kestrun::platform
