// The playing time of a media file, measured the way the playlist's length
// commands do it: a whole filter graph is built for the file and thrown away again;
// nothing is played.
#pragma once

#include <cstdint>
#include <optional>

namespace kestrun::playback {

// The duration in 100-nanosecond units; nothing when the file cannot be rendered
// or its graph reports no duration. path is ANSI (the system code page). Runs on
// the calling thread in a COM apartment of its own for the call.
std::optional<std::int64_t> MeasureMediaDuration(const char* path);

}  // namespace kestrun::playback
