// The settings store in the registry of the Wine prefix, applied to a real main
// window: defaults for a fresh user, exact value types, and values the store does
// not expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/registry_value_win.h"
#include "resources/menu_ids.h"
#include "settings/settings_store_win.h"

namespace kestrun::testing {
namespace {

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";

// A value of the player's key as stored; type REG_NONE and no bytes when missing.
RegistryValue ReadRaw(const char* name) {
  return ReadRegistryValue(HKEY_CURRENT_USER, kPlayerKey, name).value_or(RegistryValue{});
}

void WriteRaw(const char* name, DWORD type, const std::string& data) {
  ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, kPlayerKey, name, RegistryValue{type, data}));
}

void WriteNumber(const char* name, DWORD number) {
  ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, kPlayerKey, name, number));
}

DWORD AsNumber(const RegistryValue& value) {
  DWORD number = 0;
  std::copy_n(value.bytes.data(), std::min<std::size_t>(value.bytes.size(), 4), reinterpret_cast<char*>(&number));
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
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QuenfoldSoft");
    PlayerWindowTest::TearDown();
  }
  static void Load(bool fileGiven) { App().LoadSettings(fileGiven); }
  static void Save() { App().SaveSettings(); }
  static HMENU MainPopup() { return Main().mainPopup(); }
  static HMENU TrayPopup() { return Main().trayPopup(); }
  static playback::GraphOptions& Options() { return Engine().options(); }
  // A current path that no row holds: a file that does not open leaves it behind.
  static void SetCurrentPathOutsideTheList(const std::string& path) {
    Engine().PlayOutsidePath(path);
    Engine().StopAndClose();
  }
};

TEST_F(SettingsTest, FreshUserGetsEmptyKeysAndTheDefaults) {
  const auto& player = Player();
  Engine().SetPlayMode(2);
  Engine().SetVolume(-500);
  std::fill(Options().bands.begin(), Options().bands.end(), 3);
  Load(false);

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
  EXPECT_TRUE(Options().useCapture);
  EXPECT_FALSE(Options().useWmp71);
  EXPECT_FALSE(Options().equalizerOn);
  EXPECT_FALSE(Options().voiceRemovalOn);
  EXPECT_TRUE(std::all_of(Options().bands.begin(), Options().bands.end(), [](int b) { return b == 24; }));
  const auto& shell = App().settings();
  EXPECT_TRUE(shell.dockPlaylist);
  EXPECT_TRUE(IsChecked(MainPopup(), IDM_DOCK_PLAYLIST));
  EXPECT_FALSE(IsChecked(MainPopup(), IDM_SHUFFLE));
  EXPECT_EQ(shell.renamePattern, "%2 - %1");
  EXPECT_EQ(shell.skinName, "default");
}

TEST_F(SettingsTest, SavedValuesHaveTheirExactTypesAndComeBack) {
  const auto& player = Player();
  Engine().SetPlayMode(2);
  Engine().SetFastSeek(true);
  Engine().SetVolume(-1650);
  Engine().ResumeRow(-1);
  const int bands[15] = {0, 48, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 30};
  std::copy(bands, bands + 15, Options().bands.begin());
  Save();

  const RegistryValue playmode = ReadRaw("Playmode");
  EXPECT_EQ(playmode.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(playmode.bytes.size(), 4u);
  EXPECT_EQ(AsNumber(playmode), 2u);
  EXPECT_EQ(AsNumber(ReadRaw("PlayNum")), 0u) << "no current row is written as row 0";
  EXPECT_EQ(player.currentTrackIndex, 0);
  EXPECT_EQ(AsNumber(ReadRaw("Volume")), 50u);
  const RegistryValue equalizer = ReadRaw("Equalizer");
  EXPECT_EQ(equalizer.type, static_cast<DWORD>(REG_SZ));
  const std::string text = "0 48 24 24 24 24 24 24 24 24 24 24 24 24 30 ";
  EXPECT_EQ(equalizer.bytes, text + '\0') << "REG_SZ data counts its terminating NUL";
  const RegistryValue skin = ReadRaw("SkinName");
  EXPECT_EQ(skin.bytes, std::string("default") + '\0');
  for (const char* name : {"SpeedSeek", "Top", "JoinPlayList", "List1", "List4", "AlwaysTagRead", "UseTask",
                           "UseCapture", "UseWMP71", "AlwaysID3v1", "EQEnable", "VREnable"}) {
    const auto value = ReadRegistryValue(HKEY_CURRENT_USER, kPlayerKey, name);
    EXPECT_TRUE(value.has_value()) << name;
    EXPECT_EQ(value.value_or(RegistryValue{}).type, static_cast<DWORD>(REG_DWORD)) << name;
  }

  Engine().SetPlayMode(0);
  Engine().SetFastSeek(false);
  Engine().SetVolume(0);
  std::fill(Options().bands.begin(), Options().bands.end(), 24);
  Load(true);
  EXPECT_EQ(player.playMode, 2);
  EXPECT_TRUE(IsChecked(MainPopup(), IDM_REPEAT_ALL));
  EXPECT_TRUE(IsChecked(TrayPopup(), IDM_REPEAT_ALL));
  EXPECT_TRUE(player.fastSeek);
  EXPECT_EQ(player.volume, -1650);
  EXPECT_TRUE(std::equal(bands, bands + 15, Options().bands.begin()));
}

TEST_F(SettingsTest, ValuesOfAnotherTypeOrTooLongFallBackToTheDefaults) {
  WriteRaw("Volume", REG_SZ, std::string("50") + '\0');
  WriteRaw("Playmode", REG_BINARY, std::string(8, '\x02'));
  WriteRaw("Equalizer", REG_SZ, std::string(100, '3') + '\0');
  WriteRaw("SkinName", REG_SZ, std::string(300, 's') + '\0');
  WriteRaw("UserDefine", REG_DWORD, std::string(4, '\0'));
  const auto& player = Player();
  Load(true);
  EXPECT_EQ(player.volume, 0);
  EXPECT_EQ(player.playMode, 0);
  EXPECT_TRUE(std::all_of(Options().bands.begin(), Options().bands.end(), [](int b) { return b == 24; }));
  EXPECT_EQ(App().settings().skinName, "default");
  EXPECT_EQ(App().settings().renamePattern, "%2 - %1");
}

TEST_F(SettingsTest, VolumeOutsideItsRangeMeansFullVolume) {
  for (DWORD stored : {101u, 0xFFFFFFFFu}) {
    WriteNumber("Volume", stored);
    Engine().SetVolume(-3000);
    Load(true);
    EXPECT_EQ(Player().volume, 0) << stored;
  }
  WriteNumber("Volume", 100);
  Load(true);
  EXPECT_EQ(Player().volume, -10000);
}

TEST_F(SettingsTest, TwoNumberEqualizerTextKeepsTheOtherBands) {
  WriteRaw("Equalizer", REG_SZ, std::string("30 24") + '\0');
  std::fill(Options().bands.begin(), Options().bands.end(), 10);
  Load(true);
  EXPECT_EQ(Options().bands[0], 30);
  EXPECT_EQ(Options().bands[1], 24);
  for (int i = 2; i < 15; ++i) EXPECT_EQ(Options().bands[i], 10) << i;
}

TEST_F(SettingsTest, PlayNumResumesARowOnlyWhenTheListHasIt) {
  auto* rows = Rows();
  ASSERT_NE(rows, nullptr);
  playlist::appendRow(*rows, "C:\\music\\first.mp3");
  const int second = playlist::appendRow(*rows, "C:\\music\\second.mp3");
  rows->SetCell(second, playlist::Column::Title, "Second");
  rows->SetCell(second, playlist::Column::Artist, "Band");

  WriteNumber("PlayNum", 5);
  SetCurrentPathOutsideTheList("unchanged");
  Load(false);
  EXPECT_EQ(Player().currentTrackIndex, 5);
  EXPECT_EQ(Player().currentPath, "unchanged");

  WriteNumber("PlayNum", 1);
  Load(false);
  EXPECT_EQ(Player().currentTrackIndex, 1);
  EXPECT_EQ(Player().currentPath, "C:\\music\\second.mp3");
  EXPECT_EQ(WindowText(main_), "Second - Band");

  // A file given on the command line wins over the saved row.
  Engine().ResumeRow(-1);
  Load(true);
  EXPECT_EQ(Player().currentTrackIndex, -1);
}

TEST_F(SettingsTest, SavedSwitchesComeBackOnWithTheirMarks) {
  ASSERT_FALSE(Main().trayInUse());
  ASSERT_FALSE(Options().useWmp71);
  WriteNumber("UseTask", 1);
  WriteNumber("UseWMP71", 1);
  WriteNumber("UseCapture", 0);
  Load(true);
  EXPECT_TRUE(Main().trayInUse());
  EXPECT_TRUE(IsChecked(MainPopup(), IDM_USE_TRAY));
  EXPECT_TRUE(Options().useWmp71);
  EXPECT_TRUE(IsChecked(MainPopup(), IDM_USE_WMP71));
  EXPECT_TRUE(IsChecked(TrayPopup(), IDM_USE_WMP71));
  EXPECT_FALSE(Options().useCapture);

  // Loading again never turns the tray off: it is only ever turned on from off.
  Load(true);
  EXPECT_TRUE(Main().trayInUse());
  Save();
  EXPECT_EQ(AsNumber(ReadRaw("UseTask")), 1u);
  EXPECT_EQ(AsNumber(ReadRaw("UseWMP71")), 1u);
  EXPECT_EQ(AsNumber(ReadRaw("UseCapture")), 0u);

  // Back to the state the other tests expect.
  SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  SendMessageA(main_, WM_COMMAND, IDM_USE_WMP71, 0);
  WriteNumber("UseTask", 0);
  WriteNumber("UseWMP71", 0);
  WriteNumber("UseCapture", 1);
  Load(true);
  EXPECT_FALSE(Main().trayInUse());
  EXPECT_FALSE(Options().useWmp71);
  EXPECT_TRUE(Options().useCapture);
}

TEST_F(SettingsTest, MediaKeysAreOnForAFreshUserAndTheChoiceComesBackWithItsMark) {
  Load(true);
  EXPECT_TRUE(App().settings().mediaKeys);
  EXPECT_TRUE(IsChecked(MainPopup(), IDM_MEDIA_KEYS));
  SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);
  EXPECT_FALSE(IsChecked(MainPopup(), IDM_MEDIA_KEYS));
  Save();
  const RegistryValue saved = ReadRaw("MediaKeys");
  EXPECT_EQ(saved.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(AsNumber(saved), 0u);

  SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);  // on again, so the load has to turn it off
  Load(true);
  EXPECT_FALSE(App().settings().mediaKeys) << "a saved 0 keeps the keys to other programs";
  EXPECT_FALSE(IsChecked(MainPopup(), IDM_MEDIA_KEYS));
  EXPECT_FALSE(Main().mediaKeys().holds(VK_MEDIA_PLAY_PAUSE));

  // Back to the state the other tests expect.
  WriteNumber("MediaKeys", 1);
  Load(true);
  EXPECT_TRUE(IsChecked(MainPopup(), IDM_MEDIA_KEYS));
}

TEST_F(SettingsTest, UnicodeTagsChoiceComesBackWithItsMarkInThePlaylistMenu) {
  auto checked = [] { return IsChecked(App().playlist().popup(), IDM_TAG_UNICODE); };
  Load(true);
  EXPECT_FALSE(App().settings().unicodeTags) << "off for a fresh user";
  EXPECT_FALSE(checked());
  WriteNumber("UnicodeTags", 1);
  Load(true);
  EXPECT_TRUE(App().settings().unicodeTags);
  EXPECT_TRUE(checked());
  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_UNICODE, 0);
  EXPECT_FALSE(checked());
  Save();
  EXPECT_EQ(AsNumber(ReadRaw("UnicodeTags")), 0u);
  Load(true);
  EXPECT_FALSE(checked()) << "the saved choice, not the resource's state";
}

TEST_F(SettingsTest, NegativePlayNumMeansNoRowAndIsNotSavedBack) {
  playlist::appendRow(*Rows(), "C:\\music\\first.mp3");
  playlist::appendRow(*Rows(), "C:\\music\\second.mp3");
  WriteNumber("PlayNum", 0xFFFFFFFBu);  // -5
  SetCurrentPathOutsideTheList("unchanged");
  Load(false);
  EXPECT_EQ(Player().currentPath, "unchanged");
  EXPECT_EQ(Player().currentTrackIndex, -1) << "any negative row is no row";
  // Stepping from "no row" starts at the first row; it must not select every row.
  Engine().PlayNext();
  EXPECT_TRUE(Rows()->IsSelected(0));
  EXPECT_FALSE(Rows()->IsSelected(1));
  Engine().StopAndClose();

  Engine().ResumeRow(-1);
  WriteNumber("PlayNum", 0xFFFFFFFBu);
  Load(false);
  Save();
  EXPECT_EQ(AsNumber(ReadRaw("PlayNum")), 0u) << "the stored -5 must not survive a run";
}

}  // namespace
}  // namespace kestrun::testing
