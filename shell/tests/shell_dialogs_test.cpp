// The volume, sleep timer and about dialogs as real windows fed real messages.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/testing/message_pump_win.h"
#include "platform/testing/modal_dialog_driver_win.h"
#include "resources/resource_ids.h"
#include "shell/about_dialog_win.h"
#include "shell/about_text.h"
#include "shell/sleep_timer_dialog_win.h"
#include "shell/windows_shutdown_win.h"
#include "shell/volume_dialog_win.h"
#include "shell/volume_mixer_win.h"

namespace kestrun::shell {
namespace {

using kestrun::testing::DispatchWaitingMessages;
using kestrun::testing::WaitUntil;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

std::string Text(HWND dialog, int control) {
  char text[64] = {};
  GetDlgItemTextA(dialog, control, text, sizeof(text));
  return text;
}

BOOL CALLBACK CountTrackbarDialogs(HWND window, LPARAM count) {
  if (IsWindowVisible(window) && GetDlgItem(window, IDC_VOLUME_TRACKBAR) != nullptr &&
      GetDlgItem(window, IDC_VOLUME_NO_MIXER) != nullptr) {
    ++*reinterpret_cast<int*>(count);
  }
  return TRUE;
}

int VisibleVolumeDialogs() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountTrackbarDialogs, reinterpret_cast<LPARAM>(&count));
  return count;
}

// A mixer of the test's own: records what the dialog writes.
struct MixerLog {
  std::vector<std::uint32_t> writes;
  std::uint32_t value = 32000;
  int opened = 0;
};

class FakeMixer : public VolumeMixer {
 public:
  FakeMixer(MixerLog& log, std::optional<MixerBounds> bounds) : log_(log), bounds_(bounds) { ++log_.opened; }
  std::optional<MixerBounds> bounds() const override { return bounds_; }
  std::optional<std::uint32_t> Read() override { return log_.value; }
  bool Write(std::uint32_t value) override {
    log_.writes.push_back(value);
    log_.value = value;
    return true;
  }

 private:
  MixerLog& log_;
  std::optional<MixerBounds> bounds_;
};

// Drags the trackbar's thumb by dx pixels with real mouse messages.
void DragThumb(HWND bar, int dx) {
  RECT thumb{};
  SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  const int x = (thumb.left + thumb.right) / 2;
  const int y = (thumb.top + thumb.bottom) / 2;
  SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx / 2, y));
  SendMessageA(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx, y));
  SendMessageA(bar, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y));
  DispatchWaitingMessages();
}

int Position(HWND bar) { return static_cast<int>(SendMessageA(bar, TBM_GETPOS, 0, 0)); }

TEST(VolumeDialog, OneDialogFollowsTheMixerAndOnlyTheMouseWritesIt) {
  MixerLog log;
  VolumeDialog dialog([&] { return std::make_unique<FakeMixer>(log, MixerBounds{0, 65535}); });
  HWND first = dialog.Open(Instance());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(dialog.Open(Instance()), first);
  DispatchWaitingMessages();
  EXPECT_EQ(VisibleVolumeDialogs(), 1);
  EXPECT_EQ(log.opened, 1);

  HWND bar = dialog.trackbar();
  EXPECT_EQ(SendMessageA(bar, TBM_GETRANGEMAX, 0, 0), 6553);
  EXPECT_EQ(Position(bar), 3200);

  // Keys move the thumb only.
  SendMessageA(bar, WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageA(bar, WM_KEYUP, VK_RIGHT, 0);
  SendMessageA(bar, WM_KEYDOWN, VK_NEXT, 0);
  DispatchWaitingMessages();
  EXPECT_NE(Position(bar), 3200);
  EXPECT_TRUE(log.writes.empty());

  DragThumb(bar, -40);
  ASSERT_FALSE(log.writes.empty());
  EXPECT_EQ(log.writes.back(), static_cast<std::uint32_t>(Position(bar)) * 10);
  EXPECT_GE(log.writes.size(), 2u) << "the volume follows the drag, not only its end";

  // Hidden (the main window's double-click), then opened again: the same dialog, showing
  // the volume as it is now.
  dialog.HideIfVisible();
  EXPECT_FALSE(IsWindowVisible(first));
  log.value = 12340;
  EXPECT_EQ(dialog.Open(Instance()), first);
  EXPECT_TRUE(IsWindowVisible(first));
  EXPECT_EQ(Position(bar), 1234);

  // Closing destroys it and lets go of the mixer; the next open starts anew.
  SendMessageA(first, WM_CLOSE, 0, 0);
  EXPECT_EQ(dialog.window(), nullptr);
  EXPECT_EQ(dialog.mixer(), nullptr);
  EXPECT_FALSE(IsWindow(first));
  ASSERT_NE(dialog.Open(Instance()), nullptr);
  EXPECT_EQ(log.opened, 2);
  dialog.Destroy();
}

TEST(VolumeDialog, WithoutAMixerTheSliderRestsAndSaysWhy) {
  MixerLog log;
  VolumeDialog dialog([&] { return std::make_unique<FakeMixer>(log, std::nullopt); });
  ASSERT_NE(dialog.Open(Instance()), nullptr);
  EXPECT_FALSE(IsWindowEnabled(dialog.trackbar()));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog.window(), IDC_VOLUME_NO_MIXER)));
  DragThumb(dialog.trackbar(), 30);
  EXPECT_TRUE(log.writes.empty());
  dialog.Destroy();

  // No factory at all (no device could be opened) is the same.
  VolumeDialog none([] { return std::unique_ptr<VolumeMixer>(); });
  ASSERT_NE(none.Open(Instance()), nullptr);
  EXPECT_FALSE(IsWindowEnabled(none.trackbar()));
  none.Destroy();
}

TEST(VolumeDialog, DraggingChangesTheSystemMixerVolume) {
  SpeakerVolume probe;
  if (!probe.bounds()) GTEST_SKIP() << "this machine has no speaker volume control";
  const std::optional<std::uint32_t> before = probe.Read();
  ASSERT_TRUE(before.has_value());

  VolumeDialog dialog([] { return std::make_unique<SpeakerVolume>(); });
  ASSERT_NE(dialog.Open(Instance()), nullptr);
  HWND bar = dialog.trackbar();
  EXPECT_EQ(Position(bar), TrackbarPositionFor(*before));
  const int target = Position(bar) > 3000 ? -60 : 60;
  DragThumb(bar, target);
  const int moved = Position(bar);
  EXPECT_NE(moved, TrackbarPositionFor(*before));
  EXPECT_EQ(SpeakerVolume().Read(), static_cast<std::uint32_t>(moved) * 10) << "read through a mixer of its own";
  dialog.Destroy();
  probe.Write(*before);
}

// The sleep timer with a clock of the test's own.
class SleepTimerTest : public ::testing::Test {
 protected:
  SleepTimerTest()
      : dialog_([this] { return now_; },
                [this](bool shutdown) {
                  ++expiries_;
                  shutdownAsked_ = shutdown;
                  return expiries_ > refusedCloses_;
                }) {}
  void SetUp() override {
    ASSERT_NE(dialog_.Open(Instance()), nullptr);
    window_ = dialog_.window();
  }
  void TearDown() override { dialog_.Destroy(); }

  void Press(int button) { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }
  void Tick() { SendMessageA(window_, WM_TIMER, kSleepTimerId, 0); }
  bool MinutesReadOnly() const {
    return (GetWindowLongA(GetDlgItem(window_, IDC_SLEEP_MINUTES), GWL_STYLE) & ES_READONLY) != 0;
  }

  std::uint64_t now_ = 1'000'000;
  int expiries_ = 0;
  // How many times the player answers that it cannot close yet.
  int refusedCloses_ = 0;
  bool shutdownAsked_ = false;
  SleepTimerDialog dialog_;
  HWND window_ = nullptr;
};

TEST_F(SleepTimerTest, CountsDownWhileHiddenAndExpiresOnce) {
  SetDlgItemTextA(window_, IDC_SLEEP_MINUTES, "1");
  Press(IDOK);
  ASSERT_TRUE(dialog_.running());
  EXPECT_TRUE(MinutesReadOnly());
  now_ += 950;
  Tick();
  EXPECT_EQ(Text(window_, IDC_SLEEP_MINUTES), "0");
  EXPECT_EQ(Text(window_, IDC_SLEEP_SECONDS), "60");

  // "閉じる" only hides; the window's own timer goes on counting.
  Press(IDCANCEL);
  EXPECT_FALSE(IsWindowVisible(window_));
  now_ = 1'000'000 + 59'000;
  ASSERT_TRUE(WaitUntil([&] { return Text(window_, IDC_SLEEP_SECONDS) == "01"; }, 3000))
      << Text(window_, IDC_SLEEP_SECONDS);
  EXPECT_EQ(expiries_, 0);
  now_ = 1'000'000 + 60'000;
  ASSERT_TRUE(WaitUntil([&] { return expiries_ > 0; }, 3000));
  EXPECT_FALSE(shutdownAsked_);
  EXPECT_FALSE(dialog_.running());
  Tick();
  Sleep(1100);
  DispatchWaitingMessages();
  EXPECT_EQ(expiries_, 1) << "the close is asked for once";
}

TEST_F(SleepTimerTest, ShutdownIsAskedOnlyWithItsBoxChecked) {
  CheckDlgButton(window_, IDC_SLEEP_SHUTDOWN, BST_CHECKED);
  SetDlgItemTextA(window_, IDC_SLEEP_MINUTES, "2");
  Press(IDOK);
  now_ += 120'000;
  Tick();
  EXPECT_EQ(expiries_, 1);
  EXPECT_TRUE(shutdownAsked_);
}

TEST_F(SleepTimerTest, AClosePutOffIsAskedForAgainUntilItStarts) {
  refusedCloses_ = 2;  // a modal dialog of the player stays open for two ticks
  SetDlgItemTextA(window_, IDC_SLEEP_MINUTES, "1");
  Press(IDOK);
  now_ += 60'000;
  Tick();
  EXPECT_EQ(expiries_, 1);
  EXPECT_TRUE(dialog_.running()) << "a close that could not start would be lost";
  Tick();
  EXPECT_EQ(expiries_, 2);
  Tick();
  EXPECT_EQ(expiries_, 3);
  EXPECT_FALSE(dialog_.running());
  EXPECT_FALSE(MinutesReadOnly());
  Tick();
  EXPECT_EQ(expiries_, 3) << "asked no more once the close started";
}

// A hung program must not hold the night's shutdown back; one that answers keeps
// its chance to save.
TEST(SleepShutdown, EndsHungProgramsButForcesNoOther) {
  EXPECT_EQ(kSleepShutdownFlags & EWX_SHUTDOWN, static_cast<UINT>(EWX_SHUTDOWN));
  EXPECT_EQ(kSleepShutdownFlags & EWX_FORCEIFHUNG, static_cast<UINT>(EWX_FORCEIFHUNG));
  EXPECT_EQ(kSleepShutdownFlags & EWX_FORCE, 0u);
}

TEST_F(SleepTimerTest, PressingAgainStopsAndANonNumberNeverStarts) {
  SetDlgItemTextA(window_, IDC_SLEEP_MINUTES, "5");
  Press(IDOK);
  now_ += 61'000;
  Tick();
  EXPECT_EQ(Text(window_, IDC_SLEEP_MINUTES), "3");
  Press(IDOK);
  EXPECT_FALSE(dialog_.running());
  EXPECT_FALSE(MinutesReadOnly());
  EXPECT_EQ(Text(window_, IDC_SLEEP_SECONDS), "00");
  EXPECT_EQ(Text(window_, IDC_SLEEP_MINUTES), "3") << "the minutes keep the last value shown";
  now_ += 600'000;
  Tick();
  EXPECT_EQ(expiries_, 0);

  for (const char* text : {"0", ""}) {
    SetDlgItemTextA(window_, IDC_SLEEP_MINUTES, text);
    Press(IDOK);
    EXPECT_FALSE(dialog_.running()) << text;
    EXPECT_FALSE(MinutesReadOnly());
  }
}

TEST(AboutDialog, ShowsTheBuiltVersionAndOpensTheHomePageStayingOpen) {
  std::vector<std::pair<std::string, std::string>> opened;
  AboutDialog about("C:\\Kestrun",
                    [&](const char* url, const std::string& directory) { opened.emplace_back(url, directory); });
  std::string version;
  bool openAfterHomePage = false;
  const INT_PTR result = kestrun::testing::ModalDialogDriver::Run(
      IDC_ABOUT_HOMEPAGE,
      [&](HWND dialog) {
        version = Text(dialog, IDC_ABOUT_VERSION);
        SendMessageA(GetDlgItem(dialog, IDC_ABOUT_HOMEPAGE), BM_CLICK, 0, 0);
        openAfterHomePage = IsWindow(dialog) && IsWindowVisible(dialog);
        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      },
      [&] { return about.Show(Instance(), nullptr); });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(version, std::string(kAboutVersionPrefix) + KESTRUN_PROJECT_VERSION)
      << "the version resource and the project version agree";
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].first, kHomePage);
  EXPECT_EQ(opened[0].second, "C:\\Kestrun");
  EXPECT_TRUE(openAfterHomePage);
}

}  // namespace
}  // namespace kestrun::shell
