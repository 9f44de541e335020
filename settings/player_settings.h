// The player's settings as plain data: what LoadSettings reads from the registry at
// start-up and SaveSettings writes back when the main window closes. Applying them to
// the windows and the engine is the shell's business.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "equalizer/band_values.h"
#include "settings/settings_conversions.h"

namespace kestrun::settings {

inline constexpr int kRenamePatternCapacity = 256;
inline constexpr int kSkinNameCapacity = 260;
inline constexpr int kEqualizerTextCapacity = 64;
inline constexpr char kDefaultRenamePattern[] = "%2 - %1";
// The skin folder under "Skin" that the player starts with and falls back to.
inline constexpr char kDefaultSkinName[] = "default";

struct PlayerSettings {
  int playMode = 0;  // 0 normal, 1 repeat one, 2 repeat all, 3 shuffle
  bool fastSeek = false;
  bool topmost = false;
  int storedVolume = 0;  // attenuation 0..100 as stored
  // The row that was current: nothing when the value was missing (or not read,
  // because a file came on the command line); -1 for no row.
  std::optional<int> playNum;
  std::array<int, kColumnCount> columnOrder{0, 1, 2, 3};
  bool alwaysTagRead = false;
  bool useTray = false;
  bool dockPlaylist = true;
  bool useCapture = true;
  bool useWmp71 = false;
  // Nothing when the value was missing: the menu then keeps its own state.
  std::optional<bool> alwaysId3v1;
  // "UnicodeTags": also read ID3v2.4 tags and UTF-16/UTF-8 texts.
  bool unicodeTags = false;
  // "MediaKeys": the keyboard's media keys are taken as global hot keys, so they
  // reach the player in the background and in the tray.
  bool mediaKeys = true;
  bool equalizerOn = false;
  bool voiceRemovalOn = false;
  std::string renamePattern = kDefaultRenamePattern;
  equalizer::BandValues bands = equalizer::FlatBands();
  std::string skinName = kDefaultSkinName;
};

}  // namespace kestrun::settings
