#include "skin/seek_track.h"

#include "skin/seek_geometry.h"

namespace kestrun::skin {

void SeekTrack::Press(int x) {
  dragging_ = true;
  trackPosition_ = ClampToTrack(x) - kTrackLeft;
  zoneKeyHeld_ = false;
  engine_.BeginSeekDrag();
}

void SeekTrack::DragTo(int x) {
  if (!dragging_) return;
  trackPosition_ = ClampToTrack(x) - kTrackLeft;
  engine_.PreviewSeek(TrackFraction(trackPosition_));
}

void SeekTrack::Release() {
  if (!dragging_) return;
  // The knob is still marked as dragged, so the timer leaves it alone until here.
  engine_.EndSeekDrag();
  if (!zoneKeyHeld_) engine_.SeekToFraction(TrackFraction(trackPosition_));
  dragging_ = false;
}

void SeekTrack::Cancel() {
  if (!dragging_) return;
  dragging_ = false;
  engine_.EndSeekDrag();
}

void SeekTrack::OnZoneKey(bool ctrlDown, int cursorX) {
  if (!engine_.CanMarkZone()) return;
  const int x = ClampToTrack(cursorX);
  if (ctrlDown && !zoneKeyHeld_) {
    zoneKeyHeld_ = true;
    zoneStartX_ = x;
    zoneStartPercent_ = TrackPercent(x);
    return;
  }
  if (ctrlDown || !zoneKeyHeld_) return;
  const Zone zone = ZoneFromPercents(zoneStartPercent_, TrackPercent(x), engine_.state().duration);
  zoneKeyHeld_ = false;
  if (engine_.MarkZone(zone.start, zone.end) && showZone_) showZone_(zoneStartX_ - kKnobOffset, x - zoneStartX_);
}

}  // namespace kestrun::skin
