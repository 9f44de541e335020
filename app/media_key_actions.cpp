#include "app/media_key_actions.h"

#include "settings/settings_conversions.h"

namespace kestrun::app {

long SteppedVolume(long volume, bool louder) {
  const int stored = settings::StoredVolumeFromPlayback(volume);
  int next = 0;
  if (louder) {
    next = stored % kVolumeKeyStep == 0 ? stored - kVolumeKeyStep : stored - stored % kVolumeKeyStep;
    if (next < 0) next = 0;
  } else {
    next = (stored / kVolumeKeyStep + 1) * kVolumeKeyStep;
    if (next > 100) next = 100;
  }
  return settings::PlaybackVolumeFromStored(next);
}

bool MediaKeyActions::muted() const {
  return volumeBeforeMute_.has_value() && engine_.state().volume == settings::kSilentVolume;
}

void MediaKeyActions::SetVolume(long volume) {
  engine_.SetVolume(volume);
  if (showVolume_) showVolume_(volume);
}

void MediaKeyActions::Run(MediaAction action) {
  const int state = engine_.state().state.load();
  switch (action) {
    case MediaAction::None:
      return;
    case MediaAction::PlayPause:
      // Nothing open: the play button's command; otherwise pause or go on.
      if (state == playback::kStateClosed) {
        engine_.PlayCommand();
      } else {
        engine_.TogglePause();
      }
      return;
    case MediaAction::Play:
      // Unlike the play button, a track that plays is not started again.
      if (state == playback::kStateClosed) {
        engine_.PlayCommand();
      } else if (state != playback::kStatePlaying) {
        engine_.TogglePause();
      }
      return;
    case MediaAction::Pause:
      if (state == playback::kStatePlaying) engine_.TogglePause();
      return;
    case MediaAction::Stop:
      engine_.StopAndClose();
      return;
    case MediaAction::Next:
      engine_.NextCommand();
      return;
    case MediaAction::Previous:
      engine_.PlayPrevious();
      return;
    case MediaAction::VolumeUp:
    case MediaAction::VolumeDown: {
      // A volume key while muted starts from the volume the mute put away.
      long from = engine_.state().volume;
      if (muted()) from = *volumeBeforeMute_;
      volumeBeforeMute_.reset();
      SetVolume(SteppedVolume(from, action == MediaAction::VolumeUp));
      return;
    }
    case MediaAction::Mute:
      if (muted()) {
        const long restored = *volumeBeforeMute_;
        volumeBeforeMute_.reset();
        SetVolume(restored);
      } else {
        volumeBeforeMute_ = engine_.state().volume;
        SetVolume(settings::kSilentVolume);
      }
      return;
  }
}

bool MediaPressFilter::Accept(MediaAction action, MediaKeySource source, std::uint32_t nowMs) {
  // Unsigned difference: right across the clock's wrap.
  if (action == lastAction_ && source != lastSource_ && nowMs - lastMs_ < kSamePressMs) return false;
  lastAction_ = action;
  lastSource_ = source;
  lastMs_ = nowMs;
  return true;
}

}  // namespace kestrun::app
