// What the keyboard's media keys do: play/pause, play, pause, stop, next, previous,
// volume up and down, and mute, each through the same engine operations as the
// buttons; the volume moves along the knob's own scale, so knob and keys agree.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "playback/playback_controller.h"

namespace kestrun::app {

enum class MediaAction { None, PlayPause, Play, Pause, Stop, Next, Previous, VolumeUp, VolumeDown, Mute };

// One volume key press moves the stored attenuation (0 full .. 100 silent, the
// scale of "Volume" and of the knob's place) this far: twenty presses cover it.
inline constexpr int kVolumeKeyStep = 5;

// The playback volume one volume key press away from volume: to the next multiple
// of the step on the stored scale, louder or quieter, stopping at full and silent.
long SteppedVolume(long volume, bool louder);

class MediaKeyActions {
 public:
  // showVolume moves the volume knob to a playback volume the keys set.
  MediaKeyActions(playback::PlaybackController& engine, std::function<void(long volume)> showVolume)
      : engine_(engine), showVolume_(std::move(showVolume)) {}

  void Run(MediaAction action);
  // Muted by the mute key and still silent: another volume set in between (the knob)
  // ends the mute, so the next mute silences again instead of restoring.
  bool muted() const;

 private:
  void SetVolume(long volume);

  playback::PlaybackController& engine_;
  std::function<void(long)> showVolume_;
  std::optional<long> volumeBeforeMute_;
};

// One key press can arrive twice: as the hot key and as WM_APPCOMMAND from the
// window with the focus. The second of the two, within kSamePressMs and from the
// other source, is the same press and is dropped; repeats from one source pass.
enum class MediaKeySource { HotKey, AppCommand };
inline constexpr std::uint32_t kSamePressMs = 300;

class MediaPressFilter {
 public:
  // nowMs: a millisecond clock (it may wrap).
  bool Accept(MediaAction action, MediaKeySource source, std::uint32_t nowMs);

 private:
  MediaAction lastAction_ = MediaAction::None;
  MediaKeySource lastSource_ = MediaKeySource::HotKey;
  std::uint32_t lastMs_ = 0;
};

}  // namespace kestrun::app
