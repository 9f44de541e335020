// The tray icon against a shell that restarts or refuses the icon, and the time
// display, which only the skin paints. The shell's icon call is replaced by a
// recorder: Wine's tray always accepts.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "app/tray_icon_win.h"
#include "platform/testing/real_input_win.h"
#include "resources/menu_ids.h"
#include "skin/skin_layout.h"

namespace kestrun::testing {
namespace {

struct IconCalls {
  int adds = 0;
  int deletes = 0;
  bool refuseAdd = false;
};
IconCalls calls;

BOOL WINAPI RecordIconCall(DWORD message, PNOTIFYICONDATAA) {
  if (message == NIM_ADD) {
    ++calls.adds;
    return calls.refuseAdd ? FALSE : TRUE;
  }
  if (message == NIM_DELETE) ++calls.deletes;
  return TRUE;
}

class TrayIconTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    calls = IconCalls{};
    app::SetNotifyIconCallForTesting(RecordIconCall);
    TrayOff();
    ShowWindow(main_, SW_RESTORE);
    calls = IconCalls{};
  }
  void TearDown() override {
    calls.refuseAdd = false;
    TrayOff();
    ShowWindow(main_, SW_RESTORE);
    app::SetNotifyIconCallForTesting(nullptr);
    PlayerWindowTest::TearDown();
  }
  // Off in every sense: no icon and no choice of the tray left to save.
  static void TrayOff() {
    if (Main().trayWanted() && !Main().trayInUse()) SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
    if (Main().trayInUse()) SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  }
  static bool TrayChecked() { return (GetMenuState(Main().mainPopup(), IDM_USE_TRAY, MF_BYCOMMAND) & MF_CHECKED) != 0; }
  static void ShellRestarted() { SendMessageA(main_, RegisterWindowMessageA("TaskbarCreated"), 0, 0); }
};

TEST_F(TrayIconTest, ARestartedShellGetsTheIconBackOnlyWhenTheTrayIsInUse) {
  ShellRestarted();
  EXPECT_EQ(calls.adds, 0) << "the tray is off: no icon";

  SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  ASSERT_TRUE(Main().trayInUse());
  EXPECT_EQ(calls.adds, 1);
  ShellRestarted();
  EXPECT_EQ(calls.adds, 2) << "the tray is on: the icon comes back";

  SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  EXPECT_EQ(calls.deletes, 1);
  ShellRestarted();
  EXPECT_EQ(calls.adds, 2) << "switched off again: no icon";
}

TEST_F(TrayIconTest, ARefusedIconLeavesTheTrayOffAndMinimiseMakesAButton) {
  calls.refuseAdd = true;
  SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  EXPECT_EQ(calls.adds, 1);
  EXPECT_FALSE(Main().trayInUse());
  EXPECT_FALSE(TrayChecked()) << "the menu does not claim the tray";

  SendMessageA(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsWindowVisible(main_)) << "hidden into a tray without an icon";
  EXPECT_TRUE(IsIconic(main_)) << "minimised to a button as usual";
  ShowWindow(main_, SW_RESTORE);
}

TEST_F(TrayIconTest, AnIconRefusedAfterAShellRestartTurnsTheTrayOff) {
  SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  ASSERT_TRUE(Main().trayInUse());
  calls.refuseAdd = true;
  ShellRestarted();
  EXPECT_FALSE(Main().trayInUse());
  EXPECT_FALSE(TrayChecked());
  SendMessageA(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsWindowVisible(main_));
  ShowWindow(main_, SW_RESTORE);
}

TEST_F(TrayIconTest, AShellNotUpAtStartKeepsTheSavedChoiceAndTheIconComesWithTheShell) {
  // A player started at log-on, before the taskbar exists: the icon is refused.
  calls.refuseAdd = true;
  // Everything else as it stands, so only the tray changes.
  settings::PlayerSettings loaded = App().settings();
  loaded.useTray = true;
  Main().ApplySettings(loaded);
  EXPECT_FALSE(Main().trayInUse());
  EXPECT_FALSE(TrayChecked());
  SendMessageA(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsWindowVisible(main_)) << "hidden into a tray without an icon";
  ShowWindow(main_, SW_RESTORE);

  settings::PlayerSettings saved;
  Main().GatherSettings(saved);
  EXPECT_TRUE(saved.useTray) << "the user's choice was lost because the shell came late";

  calls.refuseAdd = false;
  ShellRestarted();
  EXPECT_TRUE(Main().trayInUse()) << "the taskbar came up: the icon belongs there now";
  EXPECT_TRUE(TrayChecked());
}

// The pixel the window shows at a point of its client area, read through its own
// device context: what was painted there, before any flush to the screen.
COLORREF ShownPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

TEST_F(PlayerWindowTest, TheTimeDisplayIsOnlyEverPaintedFromTheSkin) {
  HWND time = Main().timeDisplay();
  ASSERT_NE(time, nullptr);
  BringToFront(main_);
  ASSERT_TRUE(WaitUntil([] { return GetForegroundWindow() == main_; }, 5000));
  RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // The bottom right corner of the display: below and beside the text, skin only.
  RECT client{};
  GetClientRect(time, &client);
  const int x = client.right - 2, y = client.bottom - 2;
  const COLORREF skin = App().skin().ColourAt(skin::kTimeX + x, skin::kTimeY + y);
  ASSERT_EQ(ShownPixel(time, x, y), skin) << "the display is on the screen, drawn from the skin";

  for (const char* text : {"00:01/00:03", "00:02/00:03", "--:--/--:--"}) {
    SCOPED_TRACE(text);
    // Set as the position display sets it; no message is handled in between, so
    // whatever is on the screen now was painted by the text change itself.
    SetWindowTextA(time, text);
    GdiFlush();
    EXPECT_EQ(ShownPixel(time, x, y), skin) << "the control painted itself on its own brush";
    EXPECT_EQ(WindowText(time), text) << "the text is kept";
    UpdateWindow(time);
    EXPECT_EQ(ShownPixel(time, x, y), skin);
  }
}

}  // namespace
}  // namespace kestrun::testing
