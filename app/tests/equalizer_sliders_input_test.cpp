// The equalizer window's sliders as a user meets them: found by where they stand in
// the window, left to right (25 Hz first), and clicked with the real pointer. Each
// click must move its own band and no other, both in the values the next graph and
// the saved settings take and in the running equalizer filter.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/real_input_win.h"
#include "equalizer/band_values.h"
#include "equalizer/iequalizer.h"
#include "resources/resource_ids.h"

namespace kestrun::testing {
namespace {

// The trackbars of a window, left to right on the screen.
std::vector<HWND> SlidersLeftToRight(HWND dialog) {
  std::vector<HWND> sliders;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM lParam) -> BOOL {
        char name[32] = {};
        GetClassNameA(child, name, sizeof(name));
        if (lstrcmpiA(name, TRACKBAR_CLASSA) == 0 && IsWindowVisible(child)) {
          reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&sliders));
  std::sort(sliders.begin(), sliders.end(), [](HWND a, HWND b) {
    RECT ra{}, rb{};
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  return sliders;
}

class EqualizerSlidersByPointer : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    dialog_ = App().equalizerDialog().window();
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(main_, SW_RESTORE);
    ResetBands();
    if (!App().equalizerDialog().IsVisible()) App().equalizerDialog().ToggleVisible();
    BringToFront(dialog_);
    WaitUntil([this] { return GetForegroundWindow() == dialog_; }, 3000);
  }
  void TearDown() override {
    ResetBands();
    if (App().equalizerDialog().IsVisible()) App().equalizerDialog().ToggleVisible();
    PlayerWindowTest::TearDown();
  }
  void ResetBands() { SendMessageA(GetDlgItem(dialog_, IDC_EQUALIZER_RESET), BM_CLICK, 0, 0); }

  // The band values the window keeps for the next graph and the saved settings.
  static equalizer::BandValues KeptBands() { return Engine().options().bands; }
  // The bands of the equalizer filter the player runs, if there is one.
  static bool FilterBands(equalizer::BandValues& bands) {
    IUnknown* filter = Session().Equalizer();
    if (filter == nullptr) return false;
    IEqualizer* control = nullptr;
    if (FAILED(filter->QueryInterface(IID_IEqualizer, reinterpret_cast<void**>(&control)))) return false;
    const bool read = SUCCEEDED(control->GetBands(bands.data()));
    control->Release();
    return read;
  }

  HWND dialog_ = nullptr;
};

TEST_F(EqualizerSlidersByPointer, EachSliderFromTheLeftMovesItsOwnBand) {
  const std::vector<HWND> sliders = SlidersLeftToRight(dialog_);
  ASSERT_EQ(sliders.size(), static_cast<std::size_t>(equalizer::kBandCount));
  const equalizer::BandValues flat = equalizer::FlatBands();

  for (int position = 0; position < equalizer::kBandCount; ++position) {
    SCOPED_TRACE("slider " + std::to_string(position + 1) + " from the left");
    ASSERT_EQ(KeptBands(), flat);
    // A click on the channel above the thumb (which stands in the middle) raises the
    // slider by a page.
    RECT rect{};
    GetWindowRect(sliders[position], &rect);
    const POINT above{(rect.left + rect.right) / 2, rect.top + (rect.bottom - rect.top) / 6};
    BringToFront(dialog_);
    ASSERT_TRUE(WaitUntil([&] { return WindowFromPoint(above) == sliders[position]; }, 3000));
    ASSERT_TRUE(ClickAt(above));
    WaitUntil([&] { return KeptBands() != flat; }, 3000);
    WaitUntil([] { return false; }, 100);

    const equalizer::BandValues kept = KeptBands();
    for (int band = 0; band < equalizer::kBandCount; ++band) {
      if (band == position) {
        EXPECT_GT(kept[band], equalizer::kFlatBand) << "its own band, band " << band + 1 << ", goes up";
      } else {
        EXPECT_EQ(kept[band], equalizer::kFlatBand) << "band " << band + 1 << " must not move";
      }
    }
    equalizer::BandValues running{};
    if (FilterBands(running)) {
      EXPECT_EQ(running, kept) << "the running filter gets the same bands";
    }

    ResetBands();
  }
}

}  // namespace
}  // namespace kestrun::testing
