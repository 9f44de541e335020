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
  // The other window active and over the player, and staying so for a moment (a
  // late activation of the player would lift it again).
  static bool OtherActiveOverPlayer(HWND other) {
    BringToFront(other);
    DWORD since = GetTickCount();
    return WaitUntil(
        [&] {
          if (GetForegroundWindow() != other || !IsAbove(other, main_)) {
            since = GetTickCount();
            return false;
          }
          return GetTickCount() - since >= 300;
        },
        5000);
  }
  // The topmost item of the main pop-up, as the user picks it.
  static void PickTopmost() {
    SendMessageA(main_, WM_COMMAND, IDM_TOPMOST, 0);
    PumpFor(100);
  }
};

TEST_F(TopmostOrder, SwitchedOnThePlayerRisesOverTheActiveWindowAndOffLetsItCover) {
  OtherWindow other(main_);
  ASSERT_NE(other.get(), nullptr);
  ASSERT_TRUE(OtherActiveOverPlayer(other.get()));
  ASSERT_EQ(WindowFromPoint(CentreOf(other.get())), other.get());

  // Switched on, the player comes over the active window without taking the
  // activation. (That the player then stays over a window brought to the top
  // afterwards cannot be checked under Wine: it drops the topmost style of a window
  // owning a topmost tooltip, so a later window goes over it there.)
  PickTopmost();
  ASSERT_TRUE(Topmost());
  EXPECT_TRUE(IsAbove(main_, other.get())) << "topmost on must lift the player over a normal window";
  EXPECT_EQ(GetAncestor(WindowFromPoint(CentreOf(other.get())), GA_ROOT), main_)
      << "a click where the two overlap reaches the player";
  EXPECT_EQ(GetForegroundWindow(), other.get()) << "without taking the activation";

  // Switched off, the other window brought to the top covers it.
  PickTopmost();
  ASSERT_FALSE(Topmost());
  EXPECT_TRUE(OtherActiveOverPlayer(other.get())) << "with topmost off a normal window may cover the player";
}

}  // namespace
}  // namespace kestrun::testing
