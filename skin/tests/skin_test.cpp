// The skinned face against the skin bitmaps the build draws, on a window made from
// the main window's template without a player around it: pixels on the screen
// against the bitmap, a pressed button, the skin menu, and the two knobs dragged
// with real mouse messages.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/testing/temp_dir.h"
#include "playback/tests/session_fixture_win.h"
#include "resources/resource_ids.h"
#include "skin/seek_geometry.h"
#include "skin/skin_layout.h"
#include "skin/skin_win.h"
#include "skin/skinned_controls_win.h"
#include "skin/tests/face_pixels_win.h"

namespace kestrun::testing {
namespace {

// A face without a player: the main window's template with the skin painted and laid
// out by the skinned controls, as the main window does, over the session fixture's
// engine; the dialog's own messages do nothing else.
class SkinTest : public SessionTest {
 protected:
  static void SetUpTestSuite() {
    SessionTest::SetUpTestSuite();
    if (face_ != nullptr) return;
    // The title display's window class.
    LoadLibraryA("RICHED32.DLL");
    skin_ = new skin::Skin(TestProgramDirectory());
    controls_ = new skin::SkinnedControls(*skin_, Engine());
    face_ = CreateDialogParamA(GetModuleHandleA(nullptr), "IDD_LISTDIALOG", nullptr, &FaceProcedure, 0);
    if (face_ == nullptr) return;
    // No caption or frame: the client area is the face.
    SetWindowLongPtrA(face_, GWL_STYLE, WS_POPUP | WS_CLIPCHILDREN);
    SetWindowPos(face_, HWND_TOP, 20, 20, skin::kFaceWidth, skin::kFaceHeight, SWP_FRAMECHANGED);
    ShowWindow(GetDlgItem(face_, IDC_ZONE_MARKER), SW_HIDE);
    controls_->LayOut(face_);
    skin_->LoadDefault(face_);
    ShowWindow(face_, SW_SHOW);
  }
  void SetUp() override {
    SessionTest::SetUp();
    ASSERT_NE(face_, nullptr);
    SetWindowPos(face_, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    skin_->Load(face_, "default");
    RedrawWindow(face_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
  }
  static std::string SkinFile(const std::string& name) {
    return TestProgramDirectory() + "\\Skin\\" + name + "\\skin.bmp";
  }
  static Pixels Screen() { return WindowPicture(face_, skin::kFaceWidth, skin::kFaceHeight); }

  static inline HWND face_ = nullptr;
  static inline skin::Skin* skin_ = nullptr;
  static inline skin::SkinnedControls* controls_ = nullptr;

 private:
  static INT_PTR CALLBACK FaceProcedure(HWND window, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        return TRUE;
      case WM_ERASEBKGND:
        SetWindowLongPtrA(window, DWLP_MSGRESULT, 1);
        return TRUE;
      case WM_PAINT:
        if (controls_ == nullptr) return FALSE;
        controls_->PaintFace(window);
        return TRUE;
      case WM_DRAWITEM:
        if (controls_ == nullptr || lParam == 0) return FALSE;
        if (!controls_->DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return FALSE;
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
      default:
        return FALSE;
    }
  }
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
    GetWindowRect(GetDlgItem(face_, element.id), &placed);
    MapWindowPoints(nullptr, face_, reinterpret_cast<POINT*>(&placed), 2);
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
  HWND button = GetDlgItem(face_, IDC_PREVIOUS_BUTTON);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  Pump();
  Pixels screen = Screen();
  EXPECT_EQ(Differences(screen, previous->x, previous->y, skin, previous->pressedX, previous->pressedY, previous->width,
                        previous->height),
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
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  ASSERT_EQ(State().state.load(), playback::kStatePlaying);
  Engine().TogglePause();
  HWND knob = GetDlgItem(face_, IDC_SEEK_KNOB);
  SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 6));
  EXPECT_TRUE(State().seekDrag.load());
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(600, 6));
  RECT rect{};
  GetWindowRect(knob, &rect);
  MapWindowPoints(nullptr, face_, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 269 - 6) << "held at the track's right end";
  SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(600, 6));
  EXPECT_FALSE(State().seekDrag.load());
  LONGLONG position = 0;
  Session().seeking()->GetCurrentPosition(&position);
  EXPECT_NEAR(static_cast<double>(position), static_cast<double>(State().duration), 2.0e5);
}

TEST_F(SkinTest, VolumeKnobAtTheBottomMutesTheRunningGraph) {
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  ASSERT_EQ(State().state.load(), playback::kStatePlaying);
  HWND knob = GetDlgItem(face_, IDC_VOLUME_KNOB);
  SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 300));
  long volume = 0;
  ASSERT_TRUE(Session().interfacesForTests().basicAudio);
  Session().interfacesForTests().basicAudio->get_Volume(&volume);
  EXPECT_EQ(volume, -10000);
  EXPECT_EQ(State().volume, -10000);
  // Back to the top: full volume.
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, -300));
  Session().interfacesForTests().basicAudio->get_Volume(&volume);
  EXPECT_EQ(volume, 0);
  SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(3, -300));
}

}  // namespace
}  // namespace kestrun::testing
