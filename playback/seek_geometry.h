// The seek track of the main window and the arithmetic on it: knob placement from
// the position, seek targets from the knob, and zone-repeat (A-B loop) bounds.
// Positions are in 100-nanosecond units, x in main-window client pixels.
#pragma once

#include <cstdint>

namespace kestrun::playback {

inline constexpr int kTrackLeft = 35;
inline constexpr int kTrackWidth = 234;
inline constexpr int kTrackRight = kTrackLeft + kTrackWidth;  // 269
inline constexpr int kKnobIdleX = 32;
inline constexpr int kKnobSize = 12;
inline constexpr int kKnobOffset = 3;

// Knob x for a position: whole percents of the track, from its left end.
std::int64_t KnobX(std::int64_t position, std::int64_t duration);
// A cursor x clamped to the track.
int ClampToTrack(int x);
// Percent of the track (0..100, truncated) at a clamped x.
int TrackPercent(int x);
// Seek target for the knob's track position p (0..234).
std::int64_t SeekTarget(std::int64_t duration, int p);

struct Zone {
  bool active = false;
  std::int64_t start = 0;
  std::int64_t end = 0;
};
// The zone between the percents at which Ctrl went down and up; inactive (0, 0)
// unless it ends after it starts.
Zone ZoneFromPercents(int startPercent, int endPercent, std::int64_t duration);

}  // namespace kestrun::playback
