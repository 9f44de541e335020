// The saved tray choice ("UseTask") in a real Kestrun.exe: the player started with
// it set uses the tray from the start (minimising hides the window, the tray icon
// brings it back) and keeps the choice when it closes; started without it, the
// window minimises to a button as usual.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "app/tests/kestrun_process.h"
#include "platform/testing/real_input_win.h"
#include "platform/testing/registry_value_win.h"
#include "app/tray_icon_win.h"
#include "resources/resource_ids.h"

namespace kestrun::testing {
namespace {

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";
constexpr char kUseTray[] = "UseTask";

std::optional<DWORD> ReadUseTray() { return ReadRegistryDword(HKEY_CURRENT_USER, kPlayerKey, kUseTray); }
void WriteUseTray(std::optional<DWORD> value) { WriteRegistryDword(HKEY_CURRENT_USER, kPlayerKey, kUseTray, value); }

// Puts the value back as it was before the test.
struct SavedUseTray : ScopedRegistryValue {
  SavedUseTray() : ScopedRegistryValue(HKEY_CURRENT_USER, kPlayerKey, kUseTray) {}
};

// Clicks the player's minimise button with the real pointer.
bool ClickMinimise(HWND main) {
  HWND button = GetDlgItem(main, IDC_MINIMIZE_BUTTON);
  if (button == nullptr) return false;
  BringToFront(main);
  if (!WaitUntil([&] { return WindowFromPoint(CentreOf(button)) == button; }, 5000)) return false;
  return ClickAt(CentreOf(button));
}

TEST(SavedTrayChoice, StartedWithItSetTheTrayIsInUseAndTheChoiceIsKept) {
  SavedUseTray restore;
  WriteUseTray(1);
  KestrunProcess player;
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  HWND main = player.mainWindow();

  ASSERT_TRUE(ClickMinimise(main));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 5000))
      << "with the tray in use, minimising hides the window";
  EXPECT_FALSE(IsIconic(main)) << "hidden, not a taskbar button";
  SendMessageA(main, app::kTrayMessage, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000))
      << "a double-click on the tray icon brings the window back";

  EXPECT_EQ(player.Close(), 0);
  EXPECT_EQ(ReadUseTray(), std::optional<DWORD>(1)) << "the choice survives the run";
}

TEST(SavedTrayChoice, StartedWithoutItTheWindowMinimisesAsUsual) {
  SavedUseTray restore;
  WriteUseTray(0);
  KestrunProcess player;
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  HWND main = player.mainWindow();

  ASSERT_TRUE(ClickMinimise(main));
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) != FALSE; }, 5000)) << "minimised to a button";
  EXPECT_TRUE(IsWindowVisible(main));
  ShowWindow(main, SW_RESTORE);

  EXPECT_EQ(player.Close(), 0);
  EXPECT_EQ(ReadUseTray(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace kestrun::testing
