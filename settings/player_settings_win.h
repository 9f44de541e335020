// Loading the user's settings at start-up and saving them when the main window
// closes: HKEY_CURRENT_USER\Software\QuenfoldSoft\Tovrin\Player.
#pragma once

#include <windows.h>

#include "playlist/row_store.h"

namespace kestrun::settings {

inline constexpr int kColumnCount = 4;
inline constexpr int kRenamePatternCapacity = 256;
inline constexpr int kSkinNameCapacity = 260;
inline constexpr int kEqualizerTextCapacity = 64;

// Settings the shell keeps in memory between LoadSettings and SaveSettings (the
// playback engine's share lives in its own state).
struct ShellSettings {
  bool topmost = false;
  bool dockPlaylist = true;
  bool alwaysTagRead = false;
  bool alwaysId3v1 = false;
  int columnOrder[kColumnCount] = {0, 1, 2, 3};
  int storedVolume = 0;
  char renamePattern[kRenamePatternCapacity] = "%2 - %1";
  char skinName[kSkinNameCapacity] = "default";
};

ShellSettings& Shell();

// The windows and menus the settings are applied to and read back from.
struct SettingsTargets {
  HWND main = nullptr;
  HWND titleDisplay = nullptr;
  HWND volumeKnob = nullptr;
  HWND videoView = nullptr;
  HWND playlistList = nullptr;
  HWND equalizerDialog = nullptr;
  HMENU mainPopup = nullptr;
  HMENU trayPopup = nullptr;
  HMENU playlistPopup = nullptr;
  playlist::RowStore* rows = nullptr;
};

// Reads every setting and applies it. fileGiven: a file came on the command line
// (the saved playlist row is then not resumed).
void LoadSettings(const SettingsTargets& targets, bool fileGiven);
// Writes every setting.
void SaveSettings(const SettingsTargets& targets);

}  // namespace kestrun::settings
