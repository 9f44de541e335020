#include "app/media_keys_win.h"

#include <cstdio>

#include "platform/debug_line.h"

namespace kestrun::app {
namespace {

// Said once for each media key another program holds when the player claims them.
constexpr char kHeldKeyLine[] = "Kestrun: media key 0x%02X is held by another program; left to it\n";

}  // namespace

MediaAction MediaActionFromAppCommand(int command) {
  switch (command) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
      return MediaAction::PlayPause;
    case APPCOMMAND_MEDIA_PLAY:
      return MediaAction::Play;
    case APPCOMMAND_MEDIA_PAUSE:
      return MediaAction::Pause;
    case APPCOMMAND_MEDIA_STOP:
      return MediaAction::Stop;
    case APPCOMMAND_MEDIA_NEXTTRACK:
      return MediaAction::Next;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK:
      return MediaAction::Previous;
    case APPCOMMAND_VOLUME_UP:
      return MediaAction::VolumeUp;
    case APPCOMMAND_VOLUME_DOWN:
      return MediaAction::VolumeDown;
    case APPCOMMAND_VOLUME_MUTE:
      return MediaAction::Mute;
    default:
      return MediaAction::None;
  }
}

MediaKeys::HotKeyApi MediaKeys::SystemHotKeyApi() {
  return {
      [](HWND owner, int id, UINT modifiers, UINT key) { return RegisterHotKey(owner, id, modifiers, key) != FALSE; },
      [](HWND owner, int id) { UnregisterHotKey(owner, id); }};
}

MediaKeys::MediaKeys(playback::PlaybackController& engine, std::function<void(long volume)> showVolume)
    : actions_(engine, std::move(showVolume)),
      api_(SystemHotKeyApi()),
      clock_([] { return static_cast<std::uint32_t>(GetTickCount()); }) {}

void MediaKeys::RegisterHotKeys(HWND owner) {
  UnregisterHotKeys();
  if (owner == nullptr) return;
  owner_ = owner;
  for (std::size_t i = 0; i < kMediaHotKeys.size(); ++i) {
    const UINT key = kMediaHotKeys[i].virtualKey;
    // Without MOD_NOREPEAT a held key would skip through the playlist.
    held_[i] = api_.claim && api_.claim(owner, kMediaHotKeyFirstId + static_cast<int>(i), MOD_NOREPEAT, key);
    if (!held_[i]) {
      char line[96];
      std::snprintf(line, sizeof(line), kHeldKeyLine, key);
      platform::DebugLine(line);
    }
  }
}

void MediaKeys::UnregisterHotKeys() {
  for (std::size_t i = 0; i < kMediaHotKeys.size(); ++i) {
    if (held_[i] && api_.release) api_.release(owner_, kMediaHotKeyFirstId + static_cast<int>(i));
    held_[i] = false;
  }
  owner_ = nullptr;
  // Without hot keys no press arrives twice: nothing is held back as an echo.
  presses_ = MediaPressFilter{};
}

bool MediaKeys::holds(UINT virtualKey) const {
  for (std::size_t i = 0; i < kMediaHotKeys.size(); ++i) {
    if (kMediaHotKeys[i].virtualKey == virtualKey) return held_[i];
  }
  return false;
}

bool MediaKeys::holdsAny() const {
  for (bool held : held_) {
    if (held) return true;
  }
  return false;
}

bool MediaKeys::OnAppCommand(LPARAM lParam) {
  const MediaAction action = MediaActionFromAppCommand(GET_APPCOMMAND_LPARAM(lParam));
  if (action == MediaAction::None) return false;
  if (presses_.Accept(action, MediaKeySource::AppCommand, clock_())) actions_.Run(action);
  return true;
}

void MediaKeys::OnHotKey(WPARAM id) {
  const auto index = static_cast<std::intptr_t>(id) - kMediaHotKeyFirstId;
  if (index < 0 || index >= static_cast<std::intptr_t>(kMediaHotKeys.size()) || !held_[index]) return;
  const MediaAction action = kMediaHotKeys[static_cast<std::size_t>(index)].action;
  if (presses_.Accept(action, MediaKeySource::HotKey, clock_())) actions_.Run(action);
}

}  // namespace kestrun::app
