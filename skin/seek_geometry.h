// The seek track of the main window's face and the arithmetic on it: the knob's place
// for a position, the fraction of the track a knob position stands for, and the
// percents zone repeat is marked in. x is in main-window client pixels; positions are
// in 100-nanosecond units.
#pragma once

#include <cstdint>

namespace kestrun::skin {

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
// The fraction of the duration the knob's track position p (0..234) stands for.
double TrackFraction(int p);

struct Zone {
  bool active = false;
  std::int64_t start = 0;
  std::int64_t end = 0;
};
// The zone between the percents at which Ctrl went down and up; inactive (0, 0)
// unless it ends after it starts.
Zone ZoneFromPercents(int startPercent, int endPercent, std::int64_t duration);

}  // namespace kestrun::skin
