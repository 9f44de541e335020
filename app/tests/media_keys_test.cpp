// The keyboard's media keys in a real player: WM_APPCOMMAND reaching the main window
// from any window of the player, the volume keys moving the graph's volume and the
// knob together, and the hot key switch with its menu mark. Hot keys are claimed
// through a stand-in here, so the tests neither depend on nor disturb the keys of
// the machine; the real keys are claimed in media_keys_process_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "app/media_keys_win.h"
#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "playlist/playlist_entry.h"
#include "resources/menu_ids.h"
#include "settings/settings_conversions.h"

namespace kestrun::testing {
namespace {

LRESULT SendAppCommand(HWND window, int command) {
  return SendMessageA(window, WM_APPCOMMAND, reinterpret_cast<WPARAM>(window),
                      MAKELPARAM(0, command | FAPPCOMMAND_KEY));
}

class MediaKeysTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    Engine().SetVolume(0);
    Keys().SetHotKeyApi({[this](HWND, int, UINT modifiers, UINT key) {
                           if (refused.count(key) != 0) return false;
                           claimed.insert(key);
                           EXPECT_TRUE(modifiers & MOD_NOREPEAT) << "a held key would repeat";
                           return true;
                         },
                         [this](HWND, int id) { released.push_back(id); }});
  }
  void TearDown() override {
    Keys().UnregisterHotKeys();
    Keys().SetHotKeyApi(app::MediaKeys::SystemHotKeyApi());
    Keys().SetClock([] { return static_cast<std::uint32_t>(GetTickCount()); });
    Engine().SetVolume(0);
    Main().MoveVolumeKnob(settings::VolumeKnobY(0));
    PlayerWindowTest::TearDown();
  }
  static app::MediaKeys& Keys() { return Main().mediaKeys(); }
  static int State() { return Player().state.load(); }
  static long GraphVolume() {
    long volume = 1;
    IBasicAudio* audio = Session().interfacesForTests().basicAudio;
    if (audio == nullptr || FAILED(audio->get_Volume(&volume))) return 1;
    return volume;
  }
  static int KnobTop() {
    RECT rect{};
    GetWindowRect(Main().volumeKnob(), &rect);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
    return rect.top;
  }
  static bool MenuChecked(int id) { return (GetMenuState(Main().mainPopup(), id, MF_BYCOMMAND) & MF_CHECKED) != 0; }

  std::set<UINT> refused;
  std::set<UINT> claimed;
  std::vector<int> released;
};

TEST_F(MediaKeysTest, EveryWindowOfThePlayerPassesTheTransportKeysOn) {
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(State(), playback::kStatePlaying);
  // A top-level window's default handling would let the command go nowhere.
  const HWND windows[] = {main_,
                          App().playlist().window(),
                          App().playlist().list(),
                          App().videoView().window(),
                          App().equalizerDialog().window(),
                          App().tagEditor().window(),
                          App().filterList().window()};
  int expected = playback::kStatePaused;
  for (HWND window : windows) {
    ASSERT_NE(window, nullptr);
    const LRESULT answer = SendAppCommand(window, APPCOMMAND_MEDIA_PLAY_PAUSE);
    // The list control passes it to its dialog by the default handling, answer and all.
    if (window != App().playlist().list()) EXPECT_EQ(answer, TRUE) << window;
    EXPECT_EQ(State(), expected) << "play/pause sent to window " << window;
    expected = expected == playback::kStatePaused ? playback::kStatePlaying : playback::kStatePaused;
  }
  SendAppCommand(App().playlist().window(), APPCOMMAND_MEDIA_STOP);
  EXPECT_EQ(State(), playback::kStateClosed);
  SendAppCommand(App().tagEditor().window(), APPCOMMAND_MEDIA_PLAY);
  EXPECT_EQ(State(), playback::kStatePlaying);
  SendAppCommand(App().videoView().window(), APPCOMMAND_MEDIA_PAUSE);
  EXPECT_EQ(State(), playback::kStatePaused);

  // Other application commands keep their default handling.
  EXPECT_EQ(SendAppCommand(App().playlist().window(), APPCOMMAND_BROWSER_BACKWARD), FALSE);
  EXPECT_EQ(SendAppCommand(main_, APPCOMMAND_BROWSER_BACKWARD), FALSE);
}

TEST_F(MediaKeysTest, NextAndPreviousKeysWalkThePlaylist) {
  ASSERT_NE(Rows(), nullptr);
  playlist::appendRow(*Rows(), MediaPath("tone.wav"));
  playlist::appendRow(*Rows(), MediaPath("short.wav"));
  Engine().PlayRow(0, MediaPath("tone.wav"));
  SendAppCommand(App().equalizerDialog().window(), APPCOMMAND_MEDIA_NEXTTRACK);
  EXPECT_EQ(Player().currentTrackIndex, 1);
  EXPECT_EQ(Player().currentPath, MediaPath("short.wav"));
  SendAppCommand(main_, APPCOMMAND_MEDIA_PREVIOUSTRACK);
  EXPECT_EQ(Player().currentTrackIndex, 0);
  EXPECT_EQ(State(), playback::kStatePlaying);
}

TEST_F(MediaKeysTest, VolumeKeysMoveTheGraphAndTheKnobTogether) {
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(GraphVolume(), 0);
  ASSERT_EQ(KnobTop(), settings::VolumeKnobY(0));
  for (int i = 0; i < 3; ++i) SendAppCommand(App().playlist().window(), APPCOMMAND_VOLUME_DOWN);
  const int stored = 3 * app::kVolumeKeyStep;
  EXPECT_EQ(GraphVolume(), settings::PlaybackVolumeFromStored(stored));
  EXPECT_EQ(KnobTop(), settings::VolumeKnobY(stored)) << "the knob shows what the graph plays";

  SendAppCommand(main_, APPCOMMAND_VOLUME_MUTE);
  EXPECT_EQ(GraphVolume(), settings::kSilentVolume);
  EXPECT_EQ(KnobTop(), settings::VolumeKnobY(100));
  SendAppCommand(main_, APPCOMMAND_VOLUME_MUTE);
  EXPECT_EQ(GraphVolume(), settings::PlaybackVolumeFromStored(stored)) << "mute again gives the volume back";
  EXPECT_EQ(KnobTop(), settings::VolumeKnobY(stored));

  SendAppCommand(main_, APPCOMMAND_VOLUME_UP);
  EXPECT_EQ(GraphVolume(), settings::PlaybackVolumeFromStored(stored - app::kVolumeKeyStep));

  // Dragging the knob afterwards starts from where the keys left it: knob and keys
  // share one volume.
  HWND knob = Main().volumeKnob();
  SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 300));
  SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(3, 300));
  ASSERT_EQ(Player().volume, settings::kSilentVolume);
  SendAppCommand(main_, APPCOMMAND_VOLUME_UP);
  EXPECT_EQ(GraphVolume(), settings::PlaybackVolumeFromStored(100 - app::kVolumeKeyStep));
}

// While a modal dialog of the main window is open, the volume keys pressed in it still
// reach the player: the dialog hands them to its owner.
TEST_F(MediaKeysTest, VolumeKeysWorkWhileAModalDialogIsOpen) {
  OpenAndPlay(MediaPath("tone.wav").c_str());
  int steps = 0;
  for (const int command : {IDM_ABOUT, IDM_EFFECTS, IDM_ASSOCIATIONS}) {
    LRESULT answer = 0;
    std::thread presser([&] {
      HWND dialog = nullptr;
      if (!WaitUntil([&] { return (dialog = OwnedDialog(main_)) != nullptr; }, 10000)) return;
      answer = SendAppCommand(dialog, APPCOMMAND_VOLUME_DOWN);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageA(main_, WM_COMMAND, command, 0);  // returns when the dialog closed
    presser.join();
    ++steps;
    EXPECT_EQ(answer, TRUE) << "dialog of command " << command;
    EXPECT_EQ(GraphVolume(), settings::PlaybackVolumeFromStored(steps * app::kVolumeKeyStep))
        << "dialog of command " << command;
  }
}

TEST_F(MediaKeysTest, TheSwitchClaimsAndGivesBackTheHotKeysWithItsMark) {
  refused.insert(VK_MEDIA_STOP);  // held by another program
  // Off first, so the switch below turns the keys on; only what follows is counted.
  if (Main().mediaKeysOn()) SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);
  claimed.clear();
  released.clear();
  SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);
  EXPECT_TRUE(App().settings().mediaKeys);
  EXPECT_TRUE(MenuChecked(IDM_MEDIA_KEYS));
  EXPECT_EQ(claimed, (std::set<UINT>{VK_MEDIA_PLAY_PAUSE, VK_MEDIA_NEXT_TRACK, VK_MEDIA_PREV_TRACK}));
  EXPECT_TRUE(Keys().holds(VK_MEDIA_PLAY_PAUSE));
  EXPECT_FALSE(Keys().holds(VK_MEDIA_STOP));

  // The player's hot keys act; the id of the key it could not claim does nothing.
  OpenAndPlay(MediaPath("tone.wav").c_str());
  for (std::size_t i = 0; i < app::kMediaHotKeys.size(); ++i) {
    if (app::kMediaHotKeys[i].virtualKey == VK_MEDIA_STOP) {
      SendMessageA(main_, WM_HOTKEY, app::kMediaHotKeyFirstId + i, 0);
      EXPECT_EQ(State(), playback::kStatePlaying) << "a key the player does not hold is not its own";
    }
  }
  SendMessageA(main_, WM_HOTKEY, app::kMediaHotKeyFirstId, 0);  // play/pause
  EXPECT_EQ(State(), playback::kStatePaused);

  SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);
  EXPECT_FALSE(App().settings().mediaKeys);
  EXPECT_FALSE(MenuChecked(IDM_MEDIA_KEYS));
  EXPECT_EQ(released.size(), 3u) << "every key claimed is given back, and only those";
  EXPECT_FALSE(Keys().holds(VK_MEDIA_PLAY_PAUSE));
  SendMessageA(main_, WM_HOTKEY, app::kMediaHotKeyFirstId, 0);
  EXPECT_EQ(State(), playback::kStatePaused) << "switched off, a late hot key does nothing";
  EXPECT_EQ(SendAppCommand(main_, APPCOMMAND_MEDIA_PLAY_PAUSE), TRUE) << "WM_APPCOMMAND still works";
  EXPECT_EQ(State(), playback::kStatePlaying);
}

TEST_F(MediaKeysTest, TheSwitchStaysOffWhenOtherProgramsHoldEveryKey) {
  if (Main().mediaKeysOn()) SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);
  for (const app::MediaHotKey& key : app::kMediaHotKeys) refused.insert(key.virtualKey);
  SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);
  EXPECT_FALSE(MenuChecked(IDM_MEDIA_KEYS)) << "the mark would claim keys the player does not hold";
  EXPECT_FALSE(Main().mediaKeysOn());
  EXPECT_FALSE(App().settings().mediaKeys);

  // Once the other program lets one key go, choosing the item again claims it.
  refused.erase(VK_MEDIA_NEXT_TRACK);
  claimed.clear();
  SendMessageA(main_, WM_COMMAND, IDM_MEDIA_KEYS, 0);
  EXPECT_TRUE(MenuChecked(IDM_MEDIA_KEYS));
  EXPECT_EQ(claimed, (std::set<UINT>{VK_MEDIA_NEXT_TRACK}));
  EXPECT_TRUE(Main().mediaKeysOn());
}

TEST_F(MediaKeysTest, APressArrivingAsHotKeyAndAppCommandActsOnce) {
  std::uint32_t now = 5000;
  Keys().SetClock([&now] { return now; });
  Keys().RegisterHotKeys(main_);
  OpenAndPlay(MediaPath("tone.wav").c_str());
  SendMessageA(main_, WM_HOTKEY, app::kMediaHotKeyFirstId, 0);
  now += 20;
  EXPECT_EQ(SendAppCommand(App().playlist().window(), APPCOMMAND_MEDIA_PLAY_PAUSE), TRUE);
  EXPECT_EQ(State(), playback::kStatePaused) << "the echo would have resumed at once";
  now += 1000;
  SendAppCommand(main_, APPCOMMAND_MEDIA_PLAY_PAUSE);
  EXPECT_EQ(State(), playback::kStatePlaying) << "a later press is a press of its own";
}

}  // namespace
}  // namespace kestrun::testing
