// The skin in a whole player: the skin menu of the main window switches the face
// and keeps the name, a colour file colours the title display, and Ctrl over the
// title display marks a zone under the seek track.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "resources/menu_ids.h"
#include "skin/seek_geometry.h"
#include "skin/skin_layout.h"
#include "skin/skin_win.h"
#include "skin/tests/face_pixels_win.h"

namespace kestrun::testing {
namespace {

class SkinTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    ShowDefaultFace();
  }
  static std::string SkinFile(const std::string& name) { return BinaryDirectory() + "\\Skin\\" + name + "\\skin.bmp"; }
  static Pixels Screen() { return WindowPicture(main_, skin::kFaceWidth, skin::kFaceHeight); }
};

TEST_F(SkinTest, SkinMenuSwitchesTheFaceAndKeepsTheNameOnlyWhenItLoaded) {
  // The skin menu lists the shipped skins under "設定(&T)".
  HMENU settings = Main().settingsMenu();
  ASSERT_NE(settings, nullptr);
  int sakura = -1;
  for (int k = 0; k < App().skin().menuCount(); ++k) {
    char name[64] = {};
    GetMenuStringA(settings, 25000 + k, name, sizeof(name), MF_BYCOMMAND);
    if (std::string(name) == "sakura") sakura = k;
  }
  ASSERT_GE(sakura, 0);
  SendMessageA(main_, WM_COMMAND, 25000 + sakura, 0);
  Pump();
  EXPECT_EQ(App().settings().skinName, "sakura");
  const Pixels pink = BitmapFilePicture(SkinFile("sakura"));
  EXPECT_EQ(Differences(Screen(), 0, 0, pink, 0, 0, 300, 5), 0);

  // A skin whose bitmap is missing changes nothing.
  EXPECT_FALSE(App().LoadSkin("no-such-skin"));
  EXPECT_EQ(App().settings().skinName, "sakura");
  EXPECT_EQ(Differences(Screen(), 0, 0, pink, 0, 0, 300, 5), 0);
  // Past the items of the menu: not a skin.
  SendMessageA(main_, WM_COMMAND, 25000 + App().skin().menuCount(), 0);
  EXPECT_EQ(App().settings().skinName, "sakura");
  Main().ApplySkinSetting("default");
}

TEST_F(SkinTest, ColourFileWithOnlyARedTitleGivesARedTitleAndABlackTime) {
  const std::string folder = BinaryDirectory() + "\\Skin\\redtest";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(SkinFile("default").c_str(), (folder + "\\skin.bmp").c_str(), FALSE));
  { std::ofstream(folder + "\\color.txt") << "[TEXT]\r\nRED=255\r\n"; }
  ASSERT_TRUE(App().LoadSkin("redtest"));
  CHARFORMATA format{};
  format.cbSize = sizeof(format);
  SendMessageA(Main().titleDisplay(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.crTextColor, RGB(255, 0, 0));
  EXPECT_EQ(App().skin().timeColour(), RGB(0, 0, 0));

  // A bitmap too small for the face and its pictures is refused; the skin stays.
  { std::ofstream(folder + "\\skin.bmp", std::ios::binary | std::ios::trunc) << "not a bitmap"; }
  EXPECT_FALSE(App().LoadSkin("redtest"));
  DeleteFileA((folder + "\\skin.bmp").c_str());
  DeleteFileA((folder + "\\color.txt").c_str());
  RemoveDirectoryA(folder.c_str());
}

// Ctrl pressed over the title display with the cursor at client x of the main window.
void ZoneKey(HWND main, UINT message, int x) {
  POINT point{x, 40};
  ClientToScreen(main, &point);
  SetCursorPos(point.x, point.y);
  SendMessageA(GetDlgItem(main, IDC_TITLE_DISPLAY), message, VK_CONTROL, 0);
}

TEST_F(SkinTest, CtrlDownAndUpOverTheTitleMarksTheZoneUnderTheTrack) {
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  Engine().TogglePause();
  ZoneKey(main_, WM_KEYDOWN, skin::kTrackLeft);
  ZoneKey(main_, WM_KEYUP, skin::kTrackLeft + skin::kTrackWidth / 2);
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(main_, &cursor);
  if (cursor.x != skin::kTrackLeft + skin::kTrackWidth / 2) GTEST_SKIP() << "the cursor cannot be placed here";
  ASSERT_TRUE(Player().zoneActive.load());
  EXPECT_EQ(Player().zoneStart.load(), 0);
  EXPECT_EQ(Player().zoneEnd.load(), Player().duration / 2);
  HWND zone = GetDlgItem(main_, IDC_ZONE_MARKER);
  ASSERT_TRUE(IsWindowVisible(zone));
  RECT marker{}, knob{};
  GetWindowRect(zone, &marker);
  GetWindowRect(GetDlgItem(main_, IDC_SEEK_KNOB), &knob);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&marker), 2);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&knob), 2);
  EXPECT_EQ(marker.left, skin::kTrackLeft - skin::kKnobOffset);
  EXPECT_EQ(marker.right - marker.left, skin::kTrackWidth / 2);
  EXPECT_EQ(marker.top, knob.top) << "the marker sits in the knob's row";

  // Pressing the knob ends the zone and hides its marker.
  SendMessageA(GetDlgItem(main_, IDC_SEEK_KNOB), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 6));
  SendMessageA(GetDlgItem(main_, IDC_SEEK_KNOB), WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
  EXPECT_FALSE(Player().zoneActive.load());
  EXPECT_FALSE(IsWindowVisible(zone));
}

}  // namespace
}  // namespace kestrun::testing
