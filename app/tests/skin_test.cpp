// The skinned main window against the skin bitmaps the build draws: pixels on the
// screen against the bitmap, switching skins, colour files, the skin menu, and the
// two knobs dragged with real mouse messages.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/real_input_win.h"
#include "platform/testing/temp_dir.h"
#include "resources/menu_ids.h"
#include "skin/seek_geometry.h"
#include "skin/skin_layout.h"
#include "skin/skin_win.h"

namespace kestrun::testing {
namespace {

// The pixels of a bitmap file or of a window on the screen, as 0x00RRGGBB.
using Pixels = Picture;

// Counts pixels of an area that differ between the screen and the skin.
int Differences(const Pixels& screen, int x, int y, const Pixels& skin, int sourceX, int sourceY, int width,
                int height) {
  int different = 0;
  for (int dy = 0; dy < height; ++dy) {
    for (int dx = 0; dx < width; ++dx) {
      if (screen.At(x + dx, y + dy) != skin.At(sourceX + dx, sourceY + dy)) ++different;
    }
  }
  return different;
}

void Pump() { PumpFor(5 * kPumpPollMs); }

class SkinTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    SetWindowPos(main_, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    App().LoadSkin("default");
    RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
  }
  static std::string SkinFile(const std::string& name) { return BinaryDirectory() + "\\Skin\\" + name + "\\skin.bmp"; }
  static Pixels Screen() { return WindowPicture(main_, skin::kFaceWidth, skin::kFaceHeight); }
};

TEST_F(SkinTest, FaceAndButtonsAreTheSkinsPixels) {
  const Pixels skin = BitmapFilePicture(SkinFile("default"));
  ASSERT_FALSE(skin.empty());
  const Pixels screen = Screen();
  // Strips of the face that no control covers.
  EXPECT_EQ(Differences(screen, 0, 0, skin, 0, 0, 300, 5), 0);
  EXPECT_EQ(Differences(screen, 0, 72, skin, 0, 72, 300, 8), 0);
  EXPECT_EQ(Differences(screen, 230, 58, skin, 230, 58, 30, 12), 0);
  for (const auto& element : skin::SkinElements()) {
    // The knobs move along their tracks: compare them where they are.
    RECT placed{};
    GetWindowRect(GetDlgItem(main_, element.id), &placed);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(Differences(screen, placed.left, placed.top, skin, element.normalX, element.normalY, element.width,
                          element.height),
              0)
        << "control " << element.id;
    if (element.id != IDC_SEEK_KNOB && element.id != IDC_VOLUME_KNOB) {
      EXPECT_EQ(placed.left, element.x) << element.id;
      EXPECT_EQ(placed.top, element.y) << element.id;
    }
  }
}

TEST_F(SkinTest, APressedButtonShowsItsPressedPicture) {
  const Pixels skin = BitmapFilePicture(SkinFile("default"));
  const auto* previous = skin::FindElement(IDC_PREVIOUS_BUTTON);
  HWND button = GetDlgItem(main_, IDC_PREVIOUS_BUTTON);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  Pump();
  Pixels screen = Screen();
  EXPECT_EQ(Differences(screen, previous->x, previous->y, skin, previous->pressedX, previous->pressedY,
                        previous->width, previous->height),
            0);
  // Released outside the button: no command, the normal picture again.
  SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 200));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
  Pump();
  screen = Screen();
  EXPECT_EQ(Differences(screen, previous->x, previous->y, skin, previous->normalX, previous->normalY, previous->width,
                        previous->height),
            0);
}

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
  App().settings().skinName = "default";
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

TEST(SkinMenu, AThousandFoldersGiveTheWholeIdRange) {
  TempDir root;
  const std::string skins = root.path() + "\\Skin";
  CreateDirectoryA(skins.c_str(), nullptr);
  for (int i = 0; i < 1001; ++i) {
    char name[16];
    std::snprintf(name, sizeof(name), "s%04d", i);
    ASSERT_TRUE(CreateDirectoryA((skins + "\\" + name).c_str(), nullptr));
  }
  { std::ofstream(skins + "\\loose-file.txt") << "not a skin"; }
  skin::Skin skin(root.path());
  HMENU menu = CreatePopupMenu();
  EXPECT_EQ(skin.BuildMenu(menu), 1000) << "the command range holds 1000 skins";
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuItemCount(popup), 1000);
  EXPECT_EQ(GetMenuItemID(popup, 0), 25000u);
  EXPECT_EQ(GetMenuItemID(popup, 999), 25999u);
  DestroyMenu(menu);
  for (int i = 0; i < 1001; ++i) {
    char name[16];
    std::snprintf(name, sizeof(name), "s%04d", i);
    RemoveDirectoryA((skins + "\\" + name).c_str());
  }
  DeleteFileA((skins + "\\loose-file.txt").c_str());
  RemoveDirectoryA(skins.c_str());
}

TEST_F(SkinTest, SeekKnobDraggedPastTheEndSeeksToTheDuration) {
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  Engine().TogglePause();
  HWND knob = GetDlgItem(main_, IDC_SEEK_KNOB);
  SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 6));
  EXPECT_TRUE(Player().seekDrag.load());
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(600, 6));
  RECT rect{};
  GetWindowRect(knob, &rect);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 269 - 6) << "held at the track's right end";
  SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(600, 6));
  EXPECT_FALSE(Player().seekDrag.load());
  LONGLONG position = 0;
  Session().seeking()->GetCurrentPosition(&position);
  EXPECT_NEAR(static_cast<double>(position), static_cast<double>(Player().duration), 2.0e5);
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

TEST_F(SkinTest, VolumeKnobAtTheBottomMutesTheRunningGraph) {
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  HWND knob = GetDlgItem(main_, IDC_VOLUME_KNOB);
  SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 300));
  long volume = 0;
  ASSERT_TRUE(Session().interfacesForTests().basicAudio);
  Session().interfacesForTests().basicAudio->get_Volume(&volume);
  EXPECT_EQ(volume, -10000);
  EXPECT_EQ(Player().volume, -10000);
  // Back to the top: full volume.
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, -300));
  Session().interfacesForTests().basicAudio->get_Volume(&volume);
  EXPECT_EQ(volume, 0);
  SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(3, -300));
}

}  // namespace
}  // namespace kestrun::testing
