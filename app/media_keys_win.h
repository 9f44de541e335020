// The keyboard's media keys as they reach the player: WM_APPCOMMAND from whichever of
// its windows has the focus (the others pass it to the main window), and, while the
// user lets the player have them, the four transport keys as global hot keys, so they
// work with another program in front or the player in the tray.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>

#include "app/media_key_actions.h"

namespace kestrun::app {

// The key, or None for an application command that is not a media key.
MediaAction MediaActionFromAppCommand(int command);

struct MediaHotKey {
  UINT virtualKey;
  MediaAction action;
};
inline constexpr std::array<MediaHotKey, 4> kMediaHotKeys{{{VK_MEDIA_PLAY_PAUSE, MediaAction::PlayPause},
                                                           {VK_MEDIA_STOP, MediaAction::Stop},
                                                           {VK_MEDIA_NEXT_TRACK, MediaAction::Next},
                                                           {VK_MEDIA_PREV_TRACK, MediaAction::Previous}}};
// Hot key ids of the player: the first key's, then one more for each.
inline constexpr int kMediaHotKeyFirstId = 0x4B00;

class MediaKeys {
 public:
  // How a hot key is claimed and given back; RegisterHotKey and UnregisterHotKey
  // unless a test puts others here.
  struct HotKeyApi {
    std::function<bool(HWND owner, int id, UINT modifiers, UINT virtualKey)> claim;
    std::function<void(HWND owner, int id)> release;
  };

  MediaKeys(playback::PlaybackController& engine, std::function<void(long volume)> showVolume);
  ~MediaKeys() { UnregisterHotKeys(); }
  MediaKeys(const MediaKeys&) = delete;
  MediaKeys& operator=(const MediaKeys&) = delete;

  static HotKeyApi SystemHotKeyApi();
  void SetHotKeyApi(HotKeyApi api) { api_ = std::move(api); }
  void SetClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }

  // Claims the four keys for owner; a key another program holds is left to it
  // (a debug line says so) and still reaches the player as WM_APPCOMMAND while one
  // of its windows has the focus. Claiming again first gives back what it held.
  void RegisterHotKeys(HWND owner);
  void UnregisterHotKeys();
  // Whether the key is claimed by the player now.
  bool holds(UINT virtualKey) const;
  // Whether any of the four keys is claimed by the player now.
  bool holdsAny() const;

  // WM_APPCOMMAND: true when it was a media key (acted on, or dropped as the echo of
  // a hot key); false leaves it to the default handling.
  bool OnAppCommand(LPARAM lParam);
  // WM_HOTKEY with one of the player's ids.
  void OnHotKey(WPARAM id);

  MediaKeyActions& actions() { return actions_; }

 private:
  MediaKeyActions actions_;
  MediaPressFilter presses_;
  HotKeyApi api_;
  std::function<std::uint32_t()> clock_;
  HWND owner_ = nullptr;
  std::array<bool, kMediaHotKeys.size()> held_{};
};

}  // namespace kestrun::app
