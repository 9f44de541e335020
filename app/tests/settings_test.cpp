// The settings store in the registry of the Wine prefix, applied to a real main
// window: defaults for a fresh user, exact value types, and values the store does
// not expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "resources/menu_ids.h"
#include "settings/player_settings_win.h"
#include "settings/settings_store.h"

namespace kestrun::testing {
namespace {

using playback::Player;

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";

struct RawValue {
  bool present = false;
  DWORD type = 0;
  std::string data;
};

RawValue ReadRaw(const char* name) {
  RawValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kPlayerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()), &size);
    value.present = true;
  }
  RegCloseKey(key);
  return value;
}

void WriteRaw(const char* name, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPlayerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
}

void WriteNumber(const char* name, DWORD number) {
  WriteRaw(name, REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof(number)));
}

DWORD AsNumber(const RawValue& value) {
  DWORD number = 0;
  std::copy_n(value.data.data(), std::min<std::size_t>(value.data.size(), 4), reinterpret_cast<char*>(&number));
  return number;
}

bool IsChecked(HMENU menu, int id) {
  return menu != nullptr && (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

class SettingsTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QuenfoldSoft");
    popupMenu_ = LoadMenuA(GetModuleHandleA(nullptr), "POPUP");
    auto& windows = Player().windows;
    targets_.main = windows.main;
    targets_.titleDisplay = windows.titleDisplay;
    targets_.volumeKnob = GetDlgItem(windows.main, IDC_VOLUME_KNOB);
    targets_.videoView = windows.videoView;
    targets_.playlistList = windows.playlistList;
    targets_.equalizerDialog = app::App().equalizerWindow;
    targets_.mainPopup = windows.mainPopup;
    targets_.trayPopup = windows.trayPopup;
    targets_.playlistPopup = popupMenu_ != nullptr ? GetSubMenu(popupMenu_, 0) : nullptr;
    targets_.rows = windows.playlistRows;
  }
  void TearDown() override {
    if (popupMenu_ != nullptr) DestroyMenu(popupMenu_);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QuenfoldSoft");
    PlayerWindowTest::TearDown();
  }

  HMENU popupMenu_ = nullptr;
  settings::SettingsTargets targets_;
};

TEST_F(SettingsTest, FreshUserGetsEmptyKeysAndTheDefaults) {
  auto& player = Player();
  player.playMode = 2;
  player.volume = -500;
  std::fill(player.bands, player.bands + 15, 3);
  settings::LoadSettings(targets_, false);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPlayerKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD values = 99;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  EXPECT_EQ(values, 0u) << "reading must create the keys but write nothing";

  EXPECT_EQ(player.playMode, 0);
  EXPECT_FALSE(player.fastSeek);
  EXPECT_EQ(player.volume, 0);
  EXPECT_EQ(player.currentTrackIndex, -1);
  EXPECT_TRUE(player.useCapture);
  EXPECT_FALSE(player.useWmp71);
  EXPECT_FALSE(player.equalizerOn);
  EXPECT_FALSE(player.voiceRemovalOn);
  EXPECT_TRUE(std::all_of(player.bands, player.bands + 15, [](int b) { return b == 24; }));
  const auto& shell = settings::Shell();
  EXPECT_TRUE(shell.dockPlaylist);
  EXPECT_TRUE(IsChecked(targets_.mainPopup, IDM_DOCK_PLAYLIST));
  EXPECT_FALSE(IsChecked(targets_.mainPopup, IDM_SHUFFLE));
  EXPECT_STREQ(shell.renamePattern, "%2 - %1");
  EXPECT_STREQ(shell.skinName, "default");
}

TEST_F(SettingsTest, SavedValuesHaveTheirExactTypesAndComeBack) {
  auto& player = Player();
  player.playMode = 2;
  player.fastSeek = true;
  player.volume = -1650;
  player.currentTrackIndex = -1;
  const int bands[15] = {0, 48, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 30};
  std::copy(bands, bands + 15, player.bands);
  settings::SaveSettings(targets_);

  const RawValue playmode = ReadRaw("Playmode");
  EXPECT_EQ(playmode.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(playmode.data.size(), 4u);
  EXPECT_EQ(AsNumber(playmode), 2u);
  EXPECT_EQ(AsNumber(ReadRaw("PlayNum")), 0u) << "no current row is written as row 0";
  EXPECT_EQ(player.currentTrackIndex, 0);
  EXPECT_EQ(AsNumber(ReadRaw("Volume")), 50u);
  const RawValue equalizer = ReadRaw("Equalizer");
  EXPECT_EQ(equalizer.type, static_cast<DWORD>(REG_SZ));
  const std::string text = "0 48 24 24 24 24 24 24 24 24 24 24 24 24 30 ";
  EXPECT_EQ(equalizer.data, text + '\0') << "REG_SZ data counts its terminating NUL";
  const RawValue skin = ReadRaw("SkinName");
  EXPECT_EQ(skin.data, std::string("default") + '\0');
  for (const char* name : {"SpeedSeek", "Top", "JoinPlayList", "List1", "List4", "AlwaysTagRead", "UseTask",
                           "UseCapture", "UseWMP71", "AlwaysID3v1", "EQEnable", "VREnable"}) {
    const RawValue value = ReadRaw(name);
    EXPECT_TRUE(value.present) << name;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << name;
  }

  player.playMode = 0;
  player.fastSeek = false;
  player.volume = 0;
  std::fill(player.bands, player.bands + 15, 24);
  settings::LoadSettings(targets_, true);
  EXPECT_EQ(player.playMode, 2);
  EXPECT_TRUE(IsChecked(targets_.mainPopup, IDM_REPEAT_ALL));
  EXPECT_TRUE(IsChecked(targets_.trayPopup, IDM_REPEAT_ALL));
  EXPECT_TRUE(player.fastSeek);
  EXPECT_EQ(player.volume, -1650);
  EXPECT_TRUE(std::equal(bands, bands + 15, player.bands));
}

TEST_F(SettingsTest, ValuesOfAnotherTypeOrTooLongFallBackToTheDefaults) {
  WriteRaw("Volume", REG_SZ, std::string("50") + '\0');
  WriteRaw("Playmode", REG_BINARY, std::string(8, '\x02'));
  WriteRaw("Equalizer", REG_SZ, std::string(100, '3') + '\0');
  WriteRaw("SkinName", REG_SZ, std::string(300, 's') + '\0');
  WriteRaw("UserDefine", REG_DWORD, std::string(4, '\0'));
  auto& player = Player();
  settings::LoadSettings(targets_, true);
  EXPECT_EQ(player.volume, 0);
  EXPECT_EQ(player.playMode, 0);
  EXPECT_TRUE(std::all_of(player.bands, player.bands + 15, [](int b) { return b == 24; }));
  EXPECT_STREQ(settings::Shell().skinName, "default");
  EXPECT_STREQ(settings::Shell().renamePattern, "%2 - %1");
}

TEST_F(SettingsTest, VolumeOutsideItsRangeMeansFullVolume) {
  for (DWORD stored : {101u, 0xFFFFFFFFu}) {
    WriteNumber("Volume", stored);
    Player().volume = -3000;
    settings::LoadSettings(targets_, true);
    EXPECT_EQ(Player().volume, 0) << stored;
  }
  WriteNumber("Volume", 100);
  settings::LoadSettings(targets_, true);
  EXPECT_EQ(Player().volume, -10000);
}

TEST_F(SettingsTest, TwoNumberEqualizerTextKeepsTheOtherBands) {
  WriteRaw("Equalizer", REG_SZ, std::string("30 24") + '\0');
  std::fill(Player().bands, Player().bands + 15, 10);
  settings::LoadSettings(targets_, true);
  EXPECT_EQ(Player().bands[0], 30);
  EXPECT_EQ(Player().bands[1], 24);
  for (int i = 2; i < 15; ++i) EXPECT_EQ(Player().bands[i], 10) << i;
}

TEST_F(SettingsTest, PlayNumResumesARowOnlyWhenTheListHasIt) {
  auto* rows = targets_.rows;
  ASSERT_NE(rows, nullptr);
  playlist::appendRow(*rows, "C:\\music\\first.mp3");
  const int second = playlist::appendRow(*rows, "C:\\music\\second.mp3");
  rows->SetCell(second, playlist::Column::Title, "Second");
  rows->SetCell(second, playlist::Column::Artist, "Band");

  WriteNumber("PlayNum", 5);
  std::snprintf(Player().currentPath, sizeof(Player().currentPath), "%s", "unchanged");
  settings::LoadSettings(targets_, false);
  EXPECT_EQ(Player().currentTrackIndex, 5);
  EXPECT_STREQ(Player().currentPath, "unchanged");

  WriteNumber("PlayNum", 1);
  settings::LoadSettings(targets_, false);
  EXPECT_EQ(Player().currentTrackIndex, 1);
  EXPECT_STREQ(Player().currentPath, "C:\\music\\second.mp3");
  EXPECT_EQ(WindowText(Player().windows.main), "Second - Band");

  // A file given on the command line wins over the saved row.
  Player().currentTrackIndex = -1;
  settings::LoadSettings(targets_, true);
  EXPECT_EQ(Player().currentTrackIndex, -1);
}

TEST_F(SettingsTest, NegativePlayNumSelectsNothing) {
  playlist::appendRow(*targets_.rows, "C:\\music\\first.mp3");
  WriteNumber("PlayNum", 0xFFFFFFFBu);  // -5
  std::snprintf(Player().currentPath, sizeof(Player().currentPath), "%s", "unchanged");
  settings::LoadSettings(targets_, false);
  EXPECT_STREQ(Player().currentPath, "unchanged");
}

}  // namespace
}  // namespace kestrun::testing
