// The keyboard's media keys reaching a real Kestrun.exe from outside: WM_APPCOMMAND
// sent by this process, and real key presses (SendInput) while a window of this
// process is in front, with the "MediaKeys" switch on, off, and with a key that this
// process holds already.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "platform/testing/real_input_win.h"
#include "platform/testing/registry_value_win.h"
#include "resources/menu_ids.h"
#include "settings/settings_conversions.h"

namespace kestrun::testing {
namespace {

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";
constexpr DWORD kPlayTimeoutMs = 30000;

std::optional<DWORD> ReadNumber(const char* name) { return ReadRegistryDword(HKEY_CURRENT_USER, kPlayerKey, name); }
void WriteNumber(const char* name, std::optional<DWORD> value) {
  WriteRegistryDword(HKEY_CURRENT_USER, kPlayerKey, name, value);
}

// Puts the player's values back as they were before the test.
class SavedNumbers {
 private:
  ScopedRegistryValue mediaKeys_{HKEY_CURRENT_USER, kPlayerKey, "MediaKeys"};
  ScopedRegistryValue volume_{HKEY_CURRENT_USER, kPlayerKey, "Volume"};
  ScopedRegistryValue useTask_{HKEY_CURRENT_USER, kPlayerKey, "UseTask"};
};

// A silent 8 kHz mono 8-bit WAV of the given length: long enough that the track is
// still playing after every step of a test.
std::string LongWav(int seconds) {
  char directory[MAX_PATH] = {};
  GetTempPathA(sizeof(directory), directory);
  const std::string path = std::string(directory) + "kestrun-media-keys.wav";
  const std::uint32_t rate = 8000;
  const std::uint32_t bytes = rate * static_cast<std::uint32_t>(seconds);
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&out](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&out](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);  // PCM
  u16(1);
  u32(rate);
  u32(rate);
  u16(1);
  u16(8);
  out.write("data", 4);
  u32(bytes);
  const std::vector<char> silence(bytes, static_cast<char>(0x80));
  out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
  return path;
}

// The seconds shown as elapsed in the time display ("mm:ss/mm:ss"), or -1.
int ElapsedSeconds(const KestrunProcess& player) {
  const std::string text = player.TimeText();
  int minutes = 0;
  int seconds = 0;
  if (std::sscanf(text.c_str(), "%d:%d/", &minutes, &seconds) != 2) return -1;
  return minutes * 60 + seconds;
}

// Playing: the elapsed time moves on within a few seconds.
bool Advances(const KestrunProcess& player) {
  const int from = ElapsedSeconds(player);
  return WaitUntil([&] { return ElapsedSeconds(player) > from; }, 4000);
}

int KnobTop(HWND main) {
  RECT rect{};
  GetWindowRect(GetDlgItem(main, IDC_VOLUME_KNOB), &rect);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
  return rect.top;
}

LRESULT SendAppCommand(HWND window, int command) {
  return SendMessageA(window, WM_APPCOMMAND, reinterpret_cast<WPARAM>(window),
                      MAKELPARAM(0, command | FAPPCOMMAND_KEY));
}

// A plain window of this process that takes the focus and counts the media keys
// that reach it.
class FrontWindow {
 public:
  FrontWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KestrunMediaKeysFront";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "front", WS_POPUP | WS_VISIBLE, 400, 300, 200,
                              100, nullptr, nullptr, windowClass.hInstance, nullptr);
    keys_ = 0;
    hotKeys_ = 0;
  }
  ~FrontWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  FrontWindow(const FrontWindow&) = delete;
  FrontWindow& operator=(const FrontWindow&) = delete;

  HWND get() const { return window_; }
  bool TakeFocus() {
    BringToFront(window_);
    SetFocus(window_);
    return WaitUntil([&] { return GetForegroundWindow() == window_; }, 5000);
  }
  static int keys() { return keys_; }
  static int hotKeys() { return hotKeys_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam >= VK_MEDIA_NEXT_TRACK && wParam <= VK_MEDIA_PLAY_PAUSE) ++keys_;
    if (message == WM_HOTKEY) ++hotKeys_;
    // Not passed on: DefWindowProc would make WM_APPCOMMAND of it for the shell.
    if (message == WM_KEYDOWN || message == WM_KEYUP) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  static inline int keys_ = 0;
  static inline int hotKeys_ = 0;
};

class MediaKeysProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteNumber("Volume", 0);
    WriteNumber("UseTask", 0);
    wav_ = LongWav(60);
  }
  // Starts the player on the long track and waits until it plays.
  void StartPlaying(std::optional<DWORD> mediaKeys) {
    WriteNumber("MediaKeys", mediaKeys);
    ASSERT_TRUE(player_.Start("\"" + wav_ + "\""));
    ASSERT_TRUE(player_.WaitForMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return ElapsedSeconds(player_) >= 1; }, kPlayTimeoutMs)) << player_.TimeText();
  }

  SavedNumbers restore_;
  std::string wav_;
  KestrunProcess player_;
};

TEST_F(MediaKeysProcess, AppCommandsFromAnotherProcessDriveThePlayer) {
  StartPlaying(std::nullopt);
  HWND main = player_.mainWindow();

  EXPECT_EQ(SendAppCommand(main, APPCOMMAND_MEDIA_PLAY_PAUSE), TRUE);
  const int pausedAt = ElapsedSeconds(player_);
  EXPECT_FALSE(Advances(player_)) << "paused, the time stands still: " << player_.TimeText();
  EXPECT_EQ(ElapsedSeconds(player_), pausedAt);
  SendAppCommand(main, APPCOMMAND_MEDIA_PLAY_PAUSE);
  EXPECT_TRUE(Advances(player_)) << "play/pause again goes on";

  for (int i = 0; i < 4; ++i) SendAppCommand(main, APPCOMMAND_VOLUME_DOWN);
  EXPECT_EQ(KnobTop(main), settings::VolumeKnobY(20));
  SendAppCommand(main, APPCOMMAND_VOLUME_MUTE);
  EXPECT_EQ(KnobTop(main), settings::VolumeKnobY(100));
  SendAppCommand(main, APPCOMMAND_VOLUME_MUTE);
  EXPECT_EQ(KnobTop(main), settings::VolumeKnobY(20));
  SendAppCommand(main, APPCOMMAND_VOLUME_UP);
  EXPECT_EQ(KnobTop(main), settings::VolumeKnobY(15));

  SendAppCommand(main, APPCOMMAND_MEDIA_STOP);
  EXPECT_TRUE(WaitUntil([&] { return ElapsedSeconds(player_) == 0; }, 5000)) << player_.TimeText();
  EXPECT_FALSE(Advances(player_)) << "stopped";

  EXPECT_EQ(player_.Close(), 0);
  EXPECT_EQ(ReadNumber("Volume"), std::optional<DWORD>(15)) << "the keys' volume is the player's volume";
  EXPECT_EQ(ReadNumber("MediaKeys"), std::optional<DWORD>(1)) << "on unless the user turned it off";
}

TEST_F(MediaKeysProcess, WithTheSwitchOnTheKeysReachThePlayerBehindAnotherWindow) {
  StartPlaying(1);
  FrontWindow front;
  ASSERT_TRUE(front.TakeFocus());
  const int keysBefore = FrontWindow::keys();

  ASSERT_TRUE(PressKey(VK_MEDIA_PLAY_PAUSE));
  EXPECT_FALSE(Advances(player_)) << "the key paused the player in the background";
  EXPECT_EQ(GetForegroundWindow(), front.get()) << "and left the focus where it was";
  ASSERT_TRUE(PressKey(VK_MEDIA_PLAY_PAUSE));
  EXPECT_TRUE(Advances(player_)) << "once, not twice: it plays again";
  ASSERT_TRUE(PressKey(VK_MEDIA_STOP));
  EXPECT_TRUE(WaitUntil([&] { return ElapsedSeconds(player_) == 0; }, 5000)) << player_.TimeText();
  EXPECT_EQ(FrontWindow::keys(), keysBefore) << "the player's hot keys are not the front window's keys";

  // Switched off from the menu: the next key belongs to the window in front again.
  ASSERT_TRUE(PressKey(VK_MEDIA_PLAY_PAUSE));
  ASSERT_TRUE(Advances(player_));
  SendMessageA(player_.mainWindow(), WM_COMMAND, IDM_MEDIA_KEYS, 0);
  ASSERT_TRUE(front.TakeFocus());
  ASSERT_TRUE(PressKey(VK_MEDIA_PLAY_PAUSE));
  EXPECT_TRUE(WaitUntil([&] { return FrontWindow::keys() > keysBefore; }, 5000)) << "the key went to the front";
  EXPECT_TRUE(Advances(player_)) << "switched off, the player does not take the key";

  EXPECT_EQ(player_.Close(), 0);
  EXPECT_EQ(ReadNumber("MediaKeys"), std::optional<DWORD>(0)) << "the choice is saved";
}

TEST_F(MediaKeysProcess, WithTheSwitchOffTheKeysStayWithTheWindowInFront) {
  StartPlaying(0);
  FrontWindow front;
  ASSERT_TRUE(front.TakeFocus());
  const int keysBefore = FrontWindow::keys();
  ASSERT_TRUE(PressKey(VK_MEDIA_STOP));
  EXPECT_TRUE(WaitUntil([&] { return FrontWindow::keys() > keysBefore; }, 5000));
  EXPECT_TRUE(Advances(player_)) << "the player was not stopped";
  EXPECT_EQ(player_.Close(), 0);
  EXPECT_EQ(ReadNumber("MediaKeys"), std::optional<DWORD>(0));
}

TEST_F(MediaKeysProcess, AKeyAnotherProgramHoldsIsLeftToItAndTheOthersWork) {
  FrontWindow front;
  ASSERT_TRUE(RegisterHotKey(front.get(), 1, MOD_NOREPEAT, VK_MEDIA_STOP));
  StartPlaying(1);
  ASSERT_TRUE(front.TakeFocus());
  const int hotKeysBefore = FrontWindow::hotKeys();

  ASSERT_TRUE(PressKey(VK_MEDIA_STOP));
  EXPECT_TRUE(WaitUntil([&] { return FrontWindow::hotKeys() > hotKeysBefore; }, 5000))
      << "the key stays with the program that held it first";
  EXPECT_TRUE(Advances(player_)) << "the player did not take the held key";
  ASSERT_TRUE(PressKey(VK_MEDIA_PLAY_PAUSE));
  EXPECT_FALSE(Advances(player_)) << "the other keys still reach the player";

  UnregisterHotKey(front.get(), 1);
  EXPECT_EQ(player_.Close(), 0);
}

}  // namespace
}  // namespace kestrun::testing
