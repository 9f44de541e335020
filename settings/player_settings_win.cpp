#include "settings/player_settings_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "playback/playback_control.h"
#include "playback/player_state.h"
#include "playlist/playlist_entry.h"
#include "resources/resource_ids.h"
#include "settings/settings_conversions.h"
#include "settings/settings_store.h"

namespace kestrun::settings {
namespace {

using playback::Player;

// Value names of the "Player" subkey.
constexpr char kPlaymode[] = "Playmode";
constexpr char kSpeedSeek[] = "SpeedSeek";
constexpr char kTop[] = "Top";
constexpr char kVolume[] = "Volume";
constexpr char kPlayNum[] = "PlayNum";
constexpr const char* kListNames[kColumnCount] = {"List1", "List2", "List3", "List4"};
constexpr char kAlwaysTagRead[] = "AlwaysTagRead";
constexpr char kUseTask[] = "UseTask";
constexpr char kJoinPlayList[] = "JoinPlayList";
constexpr char kUseCapture[] = "UseCapture";
constexpr char kUseWmp71[] = "UseWMP71";
constexpr char kAlwaysId3v1[] = "AlwaysID3v1";
constexpr char kEqEnable[] = "EQEnable";
constexpr char kVrEnable[] = "VREnable";
constexpr char kUserDefine[] = "UserDefine";
constexpr char kEqualizer[] = "Equalizer";
constexpr char kSkinName[] = "SkinName";
constexpr char kPlayerKeyPath[] = "Tovrin\\Player";
constexpr char kDefaultRenamePattern[] = "%2 - %1";
constexpr char kDefaultSkin[] = "default";

constexpr int kEqualizerCheckBox = 1084;
constexpr int kVoiceRemovalCheckBox = 1085;

constexpr int kTitleCapacity = 128;

void Check(HMENU menu, int id, bool checked) {
  if (menu != nullptr) CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// A column order must name each column once; anything else keeps the default.
bool IsColumnPermutation(const int order[kColumnCount]) {
  bool seen[kColumnCount] = {};
  for (int i = 0; i < kColumnCount; ++i) {
    if (order[i] < 0 || order[i] >= kColumnCount || seen[order[i]]) return false;
    seen[order[i]] = true;
  }
  return true;
}

void ResumePlaylistRow(const SettingsTargets& targets, int index) {
  auto& player = Player();
  player.currentTrackIndex = index;
  // A stored index past the rows (or a negative one) selects nothing.
  if (targets.rows == nullptr || index < 0 || index >= targets.rows->RowCount()) return;
  const std::string path = targets.rows->Cell(index, playlist::Column::Path);
  playlist::CopyToBuffer(path, player.currentPath, sizeof(player.currentPath));
  char title[kTitleCapacity] = {};
  char artist[kTitleCapacity] = {};
  playlist::CopyToBuffer(targets.rows->Cell(index, playlist::Column::Title), title, sizeof(title));
  playlist::CopyToBuffer(targets.rows->Cell(index, playlist::Column::Artist), artist, sizeof(artist));
  char display[playback::kPathCapacity] = {};
  playlist::entryDisplayName(player.currentPath, title, artist, display, sizeof(display));
  if (targets.titleDisplay != nullptr) SetWindowTextA(targets.titleDisplay, display);
  if (targets.main != nullptr) SetWindowTextA(targets.main, display);
}

void MoveVolumeKnob(HWND knob, int y) {
  if (knob == nullptr) return;
  HWND parent = GetParent(knob);
  RECT rect{};
  GetWindowRect(knob, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  MoveWindow(knob, rect.left, y, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

}  // namespace

ShellSettings& Shell() {
  static ShellSettings settings;
  return settings;
}

void LoadSettings(const SettingsTargets& targets, bool fileGiven) {
  auto& player = Player();
  auto& shell = Shell();
  HKEY key = OpenSettingsKey(kPlayerKeyPath);
  int value = 0;

  value = 0;
  ReadSettingNumber(key, kPlaymode, value);
  player.playMode = value >= playback::kPlayModeRepeatOne && value <= playback::kPlayModeShuffle
                        ? value
                        : playback::kPlayModeNormal;
  playback::CheckPlayMode(player.playMode);

  value = 0;
  ReadSettingNumber(key, kSpeedSeek, value);
  player.fastSeek = value != 0;
  if (player.fastSeek) Check(targets.mainPopup, IDM_FAST_SEEK, true);

  value = 0;
  ReadSettingNumber(key, kTop, value);
  shell.topmost = value != 0;
  if (shell.topmost && targets.main != nullptr) {
    SetWindowPos(targets.main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Check(targets.mainPopup, IDM_TOPMOST, true);
  }

  value = 0;
  ReadSettingNumber(key, kVolume, value);
  shell.storedVolume = NormalizeStoredVolume(value);
  player.volume = PlaybackVolumeFromStored(value);
  MoveVolumeKnob(targets.volumeKnob, VolumeKnobY(value));

  if (!fileGiven) {
    if (ReadSettingNumber(key, kPlayNum, value)) {
      ResumePlaylistRow(targets, value);
    } else {
      player.currentTrackIndex = -1;
    }
  }

  int order[kColumnCount];
  for (int i = 0; i < kColumnCount; ++i) {
    order[i] = i;
    ReadSettingNumber(key, kListNames[i], order[i]);
  }
  if (IsColumnPermutation(order)) std::copy(order, order + kColumnCount, shell.columnOrder);
  if (targets.playlistList != nullptr) {
    SendMessageA(targets.playlistList, LVM_SETCOLUMNORDERARRAY, kColumnCount,
                 reinterpret_cast<LPARAM>(shell.columnOrder));
  }

  value = 0;
  ReadSettingNumber(key, kAlwaysTagRead, value);
  shell.alwaysTagRead = value != 0;
  if (shell.alwaysTagRead) Check(targets.playlistPopup, IDM_ALWAYS_TAG_READ, true);

  value = 0;
  ReadSettingNumber(key, kUseTask, value);
  if (value != 0 && targets.main != nullptr) {
    // The tray command's handler turns the icon on and sets the flag again.
    player.trayInUse = false;
    SendMessageA(targets.main, WM_COMMAND, IDM_USE_TRAY, 0);
  }

  value = 1;
  ReadSettingNumber(key, kJoinPlayList, value);
  shell.dockPlaylist = value != 0;
  if (shell.dockPlaylist) Check(targets.mainPopup, IDM_DOCK_PLAYLIST, true);

  player.useCapture = true;
  if (ReadSettingNumber(key, kUseCapture, value) && value == 0 && targets.videoView != nullptr) {
    // The video view's capture command turns it off (and unchecks its menu item).
    SendMessageA(targets.videoView, WM_COMMAND, IDM_USE_CAPTURE, 0);
  }

  value = 0;
  ReadSettingNumber(key, kUseWmp71, value);
  if (value != 0 && targets.main != nullptr) {
    player.useWmp71 = false;
    SendMessageA(targets.main, WM_COMMAND, IDM_USE_WMP71, 0);
  }

  if (ReadSettingNumber(key, kAlwaysId3v1, value)) {
    shell.alwaysId3v1 = value != 0;
    Check(targets.playlistPopup, IDM_TAG_ALWAYS_ID3V1, shell.alwaysId3v1);
    Check(targets.playlistPopup, IDM_TAG_AUTO, !shell.alwaysId3v1);
  }

  value = 0;
  ReadSettingNumber(key, kEqEnable, value);
  player.equalizerOn = value != 0;
  value = 0;
  ReadSettingNumber(key, kVrEnable, value);
  player.voiceRemovalOn = value != 0;
  CloseSettingsKey();

  ReadSettingString(kPlayerSubkey, kUserDefine, shell.renamePattern, sizeof(shell.renamePattern),
                    kDefaultRenamePattern);
  char equalizer[kEqualizerTextCapacity] = {};
  ReadSettingString(kPlayerSubkey, kEqualizer, equalizer, sizeof(equalizer), kDefaultEqualizerText);
  ParseEqualizerText(equalizer, player.bands);
  ReadSettingString(kPlayerSubkey, kSkinName, shell.skinName, sizeof(shell.skinName), kDefaultSkin);
}

void SaveSettings(const SettingsTargets& targets) {
  auto& player = Player();
  auto& shell = Shell();
  OpenSettingsKey(kProductKey);
  auto number = [](const char* name, int value) {
    WriteSettingDword(kPlayerSubkey, name, static_cast<DWORD>(value));
  };
  number(kPlaymode, player.playMode);
  number(kSpeedSeek, player.fastSeek ? 1 : 0);
  number(kTop, shell.topmost ? 1 : 0);
  number(kJoinPlayList, shell.dockPlaylist ? 1 : 0);
  if (targets.playlistList != nullptr) {
    int order[kColumnCount] = {0, 1, 2, 3};
    if (SendMessageA(targets.playlistList, LVM_GETCOLUMNORDERARRAY, kColumnCount,
                     reinterpret_cast<LPARAM>(order)) &&
        IsColumnPermutation(order)) {
      std::copy(order, order + kColumnCount, shell.columnOrder);
    }
  }
  for (int i = 0; i < kColumnCount; ++i) number(kListNames[i], shell.columnOrder[i]);
  number(kAlwaysTagRead, shell.alwaysTagRead ? 1 : 0);
  number(kUseTask, player.trayInUse ? 1 : 0);
  if (player.currentTrackIndex == -1) player.currentTrackIndex = 0;
  number(kPlayNum, player.currentTrackIndex);
  number(kVolume, StoredVolumeFromPlayback(player.volume));
  WriteSettingString(kPlayerSubkey, kUserDefine, shell.renamePattern);
  number(kUseCapture, player.useCapture ? 1 : 0);
  number(kUseWmp71, player.useWmp71 ? 1 : 0);
  number(kAlwaysId3v1, shell.alwaysId3v1 ? 1 : 0);
  if (targets.equalizerDialog != nullptr) {
    player.equalizerOn = IsDlgButtonChecked(targets.equalizerDialog, kEqualizerCheckBox) == BST_CHECKED;
    player.voiceRemovalOn = IsDlgButtonChecked(targets.equalizerDialog, kVoiceRemovalCheckBox) == BST_CHECKED;
  }
  number(kEqEnable, player.equalizerOn ? 1 : 0);
  number(kVrEnable, player.voiceRemovalOn ? 1 : 0);
  WriteSettingString(kPlayerSubkey, kEqualizer, FormatEqualizerText(player.bands).c_str());
  WriteSettingString(kPlayerSubkey, kSkinName, shell.skinName);
  CloseSettingsKey();
}

}  // namespace kestrun::settings
