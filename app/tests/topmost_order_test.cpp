// The topmost switch seen from outside: the player's place in the window order
// against another program's window. (Wine cannot report WS_EX_TOPMOST on a window
// that owns a topmost tooltip, so the order itself is what is checked.)
#include <windows.h>

#include <gtest/gtest.h>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/real_input_win.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

constexpr char kOtherClass[] = "KestrunTestOtherWindow";

// True when upper lies above lower in the order of top-level windows.
bool IsAbove(HWND upper, HWND lower) {
  for (HWND window = GetWindow(upper, GW_HWNDNEXT); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    if (window == lower) return true;
  }
  return false;
}

// A plain window of another "program" over the player.
class OtherWindow {
 public:
  explicit OtherWindow(HWND over) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kOtherClass;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassA(&windowClass);
    RECT rect{};
    GetWindowRect(over, &rect);
    window_ = CreateWindowExA(0, kOtherClass, "other", WS_POPUP | WS_VISIBLE, rect.left + 20, rect.top + 10, 200, 60,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~OtherWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  OtherWindow(const OtherWindow&) = delete;
  OtherWindow& operator=(const OtherWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

class TopmostOrder : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    ShowWindow(main_, SW_RESTORE);
    if (Topmost()) SendMessageA(main_, WM_COMMAND, IDM_TOPMOST, 0);
  }
  void TearDown() override {
    if (Topmost()) SendMessageA(main_, WM_COMMAND, IDM_TOPMOST, 0);
    PlayerWindowTest::TearDown();
  }
  static bool Topmost() { return (GetMenuState(Main().mainPopup(), IDM_TOPMOST, MF_BYCOMMAND) & MF_CHECKED) != 0; }
  static void Pump(DWORD ms) {
    WaitUntil([] { return false; }, ms);
  }
  static bool FocusTitleDisplay() {
    BringToFront(main_);
    SetFocus(Main().titleDisplay());
    return WaitUntil([] { return GetFocus() == Main().titleDisplay(); }, 3000);
  }
  // The player active with the keys in its title display, the other window laid
  // over it without taking the activation.
  static bool PlayerActiveUnder(HWND other) {
    if (!FocusTitleDisplay()) return false;
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Pump(100);
    return IsAbove(other, main_) && GetFocus() == Main().titleDisplay();
  }
};

TEST_F(TopmostOrder, SwitchedOnThePlayerRisesAboveAnotherWindowAndOffLetsItCover) {
  OtherWindow other(main_);
  ASSERT_NE(other.get(), nullptr);
  ASSERT_TRUE(PlayerActiveUnder(other.get()));

  // Key T in the title display switches topmost on: the player comes over the other
  // window without being activated again.
  ASSERT_TRUE(PressKey('T'));
  ASSERT_TRUE(WaitUntil([] { return Topmost(); }, 3000));
  Pump(100);
  EXPECT_TRUE(IsAbove(main_, other.get())) << "topmost on must lift the player over a normal window";

  // Switched off again: the other window, brought to the top, covers it.
  ASSERT_TRUE(FocusTitleDisplay());
  ASSERT_TRUE(PressKey('T'));
  ASSERT_TRUE(WaitUntil([] { return !Topmost(); }, 3000));
  SetWindowPos(other.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Pump(100);
  EXPECT_TRUE(IsAbove(other.get(), main_)) << "with topmost off a normal window may cover the player";
}

}  // namespace
}  // namespace kestrun::testing
