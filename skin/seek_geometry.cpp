#include "skin/seek_geometry.h"

namespace kestrun::skin {

std::int64_t KnobX(std::int64_t position, std::int64_t duration) {
  if (duration <= 0) return kTrackLeft;
  return (position * 100 / duration) * kTrackWidth / 100 + kTrackLeft;
}

int ClampToTrack(int x) {
  if (x < kTrackLeft) return kTrackLeft;
  if (x > kTrackRight) return kTrackRight;
  return x;
}

int TrackPercent(int x) { return 100 * (ClampToTrack(x) - kTrackLeft) / kTrackWidth; }

double TrackFraction(int p) { return static_cast<double>(p) / kTrackWidth; }

Zone ZoneFromPercents(int startPercent, int endPercent, std::int64_t duration) {
  Zone zone;
  const std::int64_t start = startPercent * duration / 100;
  const std::int64_t end = endPercent * duration / 100;
  if (end > start) {
    zone.active = true;
    zone.start = start;
    zone.end = end;
  }
  return zone;
}

}  // namespace kestrun::skin
