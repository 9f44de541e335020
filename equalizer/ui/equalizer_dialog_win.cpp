#include "equalizer/ui/equalizer_dialog_win.h"

#include <commctrl.h>

#include "equalizer/band_slider.h"
#include "equalizer/ui/equalizer_calls_win.h"
#include "resources/resource_ids.h"

namespace kestrun::equalizer {
namespace {

constexpr int kSliderIds[kBandCount] = {IDC_BAND_SLIDER_1,  IDC_BAND_SLIDER_2,  IDC_BAND_SLIDER_3,  IDC_BAND_SLIDER_4,
                                        IDC_BAND_SLIDER_5,  IDC_BAND_SLIDER_6,  IDC_BAND_SLIDER_7,  IDC_BAND_SLIDER_8,
                                        IDC_BAND_SLIDER_9,  IDC_BAND_SLIDER_10, IDC_BAND_SLIDER_11, IDC_BAND_SLIDER_12,
                                        IDC_BAND_SLIDER_13, IDC_BAND_SLIDER_14, IDC_BAND_SLIDER_15};

// Shown when the run has no equalizer filter (Equalizer.ax missing or refusing to
// load): the window says so, once, and its controls stay disabled.
constexpr char kCaption[] = "Quenfold' Equalizer";
constexpr char kUnavailableCaption[] = "Quenfold' Equalizer - 使用できません";
constexpr char kUnavailableText[] =
    "イコライザを使用できません。\n"
    "Equalizer.ax をプログラムと同じフォルダから読み込めませんでした。\n"
    "再生はイコライザなしで続けます。";
constexpr int kSwitchIds[] = {IDC_EQUALIZER_RESET, IDC_EQUALIZER_ENABLE, IDC_VOICE_REMOVAL_ENABLE};

void PlaceSlider(HWND slider, int band) {
  if (slider != nullptr) SendMessageA(slider, TBM_SETPOS, TRUE, SliderPositionFromBand(band));
}

}  // namespace

void EqualizerDialog::OnInit() {
  for (int band = 0; band < kBandCount; ++band) {
    sliders_[band] = GetDlgItem(window(), kSliderIds[band]);
    if (sliders_[band] == nullptr) continue;
    SendMessageA(sliders_[band], TBM_SETRANGE, FALSE, MAKELPARAM(kMinBand, kMaxBand));
    PlaceSlider(sliders_[band], kFlatBand);
  }
}

void EqualizerDialog::Synchronize() {
  if (window() == nullptr) return;
  for (int band = 0; band < kBandCount; ++band) PlaceSlider(sliders_[band], options_.bands[band]);
  CheckDlgButton(window(), IDC_EQUALIZER_ENABLE, options_.equalizerOn ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window(), IDC_VOICE_REMOVAL_ENABLE, options_.voiceRemovalOn ? BST_CHECKED : BST_UNCHECKED);
}

void EqualizerDialog::ToggleVisible() {
  if (window() == nullptr) return;
  const bool show = !IsWindowVisible(window());
  const bool available = show ? ShowAvailability() : true;
  ShowWindow(window(), show ? SW_SHOWNORMAL : SW_HIDE);
  UpdateWindow(window());
  if (!available && !unavailableTold_) {
    unavailableTold_ = true;
    MessageBoxA(window(), kUnavailableText, kCaption, MB_OK | MB_ICONWARNING);
  }
}

bool EqualizerDialog::ShowAvailability() {
  const bool available = filter_ && filter_() != nullptr;
  for (HWND slider : sliders_) {
    if (slider != nullptr) EnableWindow(slider, available);
  }
  for (int id : kSwitchIds) EnableWindow(GetDlgItem(window(), id), available);
  SetWindowTextA(window(), available ? kCaption : kUnavailableCaption);
  return available;
}

void EqualizerDialog::CollectSwitches(playback::GraphOptions& options) const {
  if (window() == nullptr) return;
  options.equalizerOn = IsDlgButtonChecked(window(), IDC_EQUALIZER_ENABLE) == BST_CHECKED;
  options.voiceRemovalOn = IsDlgButtonChecked(window(), IDC_VOICE_REMOVAL_ENABLE) == BST_CHECKED;
}

int EqualizerDialog::SliderIndex(HWND control) const {
  if (control == nullptr) return -1;
  for (int band = 0; band < kBandCount; ++band) {
    if (sliders_[band] == control) return band;
  }
  return -1;
}

void EqualizerDialog::SendSliders() {
  for (int band = 0; band < kBandCount; ++band) {
    if (sliders_[band] == nullptr) continue;
    options_.bands[band] = BandFromSliderPosition(static_cast<int>(SendMessageA(sliders_[band], TBM_GETPOS, 0, 0)));
  }
  // The filter gets its own copy: the interface takes a writable array.
  BandValues bands = options_.bands;
  CallEqualizer(filter_ ? filter_() : nullptr, [&](IEqualizer* control) { return control->SetBands(bands.data()); });
}

void EqualizerDialog::Reset() {
  for (int band = 0; band < kBandCount; ++band) PlaceSlider(sliders_[band], kFlatBand);
  options_.bands = FlatBands();
  CallEqualizer(filter_ ? filter_() : nullptr, [](IEqualizer* control) { return control->ResetBands(); });
}

void EqualizerDialog::ToggleSwitch(bool& flag, HRESULT (STDMETHODCALLTYPE IEqualizer::*method)(BOOL)) {
  // The flag is inverted rather than read from the box: the box flips its own mark
  // on every click, the flag only when the filter hears of it.
  CallEqualizer(filter_ ? filter_() : nullptr, [&](IEqualizer* control) {
    flag = !flag;
    return (control->*method)(flag ? TRUE : FALSE);
  });
}

bool EqualizerDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      result = TRUE;
      return true;
    case WM_VSCROLL:
      if (SliderIndex(reinterpret_cast<HWND>(lParam)) < 0) return false;
      SendSliders();
      result = TRUE;
      return true;
    case WM_COMMAND:
      break;
    default:
      return false;
  }
  if (HIWORD(wParam) != BN_CLICKED) return false;
  switch (LOWORD(wParam)) {
    case IDOK:
      SendSliders();
      PostMessageA(window(), WM_CLOSE, 0, 0);
      break;
    case IDCANCEL:
      // Esc hides the window like its close button.
      PostMessageA(window(), WM_CLOSE, 0, 0);
      break;
    case IDC_EQUALIZER_RESET:
      Reset();
      break;
    case IDC_EQUALIZER_ENABLE:
      ToggleSwitch(options_.equalizerOn, &IEqualizer::EnableEqualizer);
      break;
    case IDC_VOICE_REMOVAL_ENABLE:
      ToggleSwitch(options_.voiceRemovalOn, &IEqualizer::EnableVoiceRemoval);
      break;
    default:
      return false;
  }
  result = TRUE;
  return true;
}

}  // namespace kestrun::equalizer
