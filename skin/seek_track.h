// What the seek knob and the Ctrl key over the title display do to playback: a drag
// of the knob previews and then seeks to the fraction of the track it ends at; Ctrl
// held down and let go marks the zone that repeats between the two cursor places.
// The pixels stay here; the engine works in fractions and positions.
#pragma once

#include <functional>
#include <utility>

#include "playback/playback_controller.h"

namespace kestrun::skin {

class SeekTrack {
 public:
  // showZone puts the zone marker at left over width main-window client pixels.
  SeekTrack(playback::PlaybackController& engine, std::function<void(int left, int width)> showZone)
      : engine_(engine), showZone_(std::move(showZone)) {}

  // The knob was pressed with the pointer at x (main-window client pixels).
  void Press(int x);
  // The pressed knob was dragged to x.
  void DragTo(int x);
  // The button went up: seek where the knob stands, unless Ctrl is marking a zone.
  void Release();
  // The knob lost the mouse during a drag: no seek.
  void Cancel();
  bool dragging() const { return dragging_; }

  // Ctrl went down or up over the title display, the cursor at x (main-window client).
  void OnZoneKey(bool ctrlDown, int cursorX);

 private:
  playback::PlaybackController& engine_;
  std::function<void(int, int)> showZone_;
  bool dragging_ = false;
  int trackPosition_ = 0;  // of the dragged knob, 0..kTrackWidth
  bool zoneKeyHeld_ = false;
  int zoneStartX_ = 0;
  int zoneStartPercent_ = 0;
};

}  // namespace kestrun::skin
