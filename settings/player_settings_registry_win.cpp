#include "settings/player_settings_registry_win.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "settings/settings_store_win.h"

namespace kestrun::settings {
namespace {

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
constexpr char kUnicodeTags[] = "UnicodeTags";
constexpr char kMediaKeys[] = "MediaKeys";
constexpr char kEqEnable[] = "EQEnable";
constexpr char kVrEnable[] = "VREnable";
constexpr char kUserDefine[] = "UserDefine";
constexpr char kEqualizer[] = "Equalizer";
constexpr char kSkinName[] = "SkinName";
constexpr char kPlayerKeyPath[] = "Tovrin\\Player";

// A flag: the number read, or the default when the value is missing.
bool ReadFlag(HKEY key, const char* name, bool missing) {
  int value = 0;
  if (!ReadSettingNumber(key, name, value)) return missing;
  return value != 0;
}

std::string ReadText(const char* name, int capacity, const char* defaultText) {
  std::string buffer(static_cast<std::size_t>(capacity), '\0');
  ReadSettingString(kPlayerSubkey, name, buffer.data(), static_cast<DWORD>(capacity), defaultText);
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

}  // namespace

PlayerSettings LoadSettings(bool fileGiven, const equalizer::BandValues& bandsBefore) {
  PlayerSettings settings;
  settings.bands = bandsBefore;
  HKEY key = OpenSettingsKey(kPlayerKeyPath);
  int value = 0;

  value = 0;
  ReadSettingNumber(key, kPlaymode, value);
  settings.playMode = value >= 1 && value <= 3 ? value : 0;
  settings.fastSeek = ReadFlag(key, kSpeedSeek, false);
  settings.topmost = ReadFlag(key, kTop, false);
  value = 0;
  ReadSettingNumber(key, kVolume, value);
  settings.storedVolume = NormalizeStoredVolume(value);
  if (!fileGiven && ReadSettingNumber(key, kPlayNum, value)) settings.playNum = NormalizePlayNum(value);

  int order[kColumnCount];
  for (int i = 0; i < kColumnCount; ++i) {
    order[i] = i;
    ReadSettingNumber(key, kListNames[i], order[i]);
  }
  if (IsColumnPermutation(order)) std::copy(order, order + kColumnCount, settings.columnOrder.begin());

  settings.alwaysTagRead = ReadFlag(key, kAlwaysTagRead, false);
  settings.useTray = ReadFlag(key, kUseTask, false);
  settings.dockPlaylist = ReadFlag(key, kJoinPlayList, true);
  settings.useCapture = ReadFlag(key, kUseCapture, true);
  settings.useWmp71 = ReadFlag(key, kUseWmp71, false);
  if (ReadSettingNumber(key, kAlwaysId3v1, value)) settings.alwaysId3v1 = value != 0;
  settings.unicodeTags = ReadFlag(key, kUnicodeTags, false);
  settings.mediaKeys = ReadFlag(key, kMediaKeys, true);
  settings.equalizerOn = ReadFlag(key, kEqEnable, false);
  settings.voiceRemovalOn = ReadFlag(key, kVrEnable, false);
  CloseSettingsKey();

  settings.renamePattern = ReadText(kUserDefine, kRenamePatternCapacity, kDefaultRenamePattern);
  const std::string equalizer = ReadText(kEqualizer, kEqualizerTextCapacity, kDefaultEqualizerText);
  ParseEqualizerText(equalizer.c_str(), settings.bands.data());
  settings.skinName = ReadText(kSkinName, kSkinNameCapacity, kDefaultSkinName);
  return settings;
}

void SaveSettings(const PlayerSettings& settings) {
  OpenSettingsKey(kProductKey);
  auto number = [](const char* name, int value) { WriteSettingDword(kPlayerSubkey, name, static_cast<DWORD>(value)); };
  auto flag = [&number](const char* name, bool value) { number(name, value ? 1 : 0); };
  number(kPlaymode, settings.playMode);
  flag(kSpeedSeek, settings.fastSeek);
  flag(kTop, settings.topmost);
  flag(kJoinPlayList, settings.dockPlaylist);
  for (int i = 0; i < kColumnCount; ++i) number(kListNames[i], settings.columnOrder[i]);
  flag(kAlwaysTagRead, settings.alwaysTagRead);
  flag(kUseTask, settings.useTray);
  const int playNum = settings.playNum.value_or(-1);
  number(kPlayNum, playNum < 0 ? 0 : playNum);
  number(kVolume, NormalizeStoredVolume(settings.storedVolume));
  WriteSettingString(kPlayerSubkey, kUserDefine, settings.renamePattern.c_str());
  flag(kUseCapture, settings.useCapture);
  flag(kUseWmp71, settings.useWmp71);
  flag(kAlwaysId3v1, settings.alwaysId3v1.value_or(false));
  flag(kUnicodeTags, settings.unicodeTags);
  flag(kMediaKeys, settings.mediaKeys);
  flag(kEqEnable, settings.equalizerOn);
  flag(kVrEnable, settings.voiceRemovalOn);
  WriteSettingString(kPlayerSubkey, kEqualizer, FormatEqualizerText(settings.bands.data()).c_str());
  WriteSettingString(kPlayerSubkey, kSkinName, settings.skinName.c_str());
  CloseSettingsKey();
}

}  // namespace kestrun::settings
