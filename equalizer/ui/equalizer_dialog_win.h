// The player's equalizer window (IDD_EQUALIZER): fifteen band sliders, reset and the
// two switches. Every change goes to the running equalizer filter at once and into
// the graph options, which the next graph is built with and the settings are saved
// from.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <utility>

#include "equalizer/band_values.h"
#include "equalizer/iequalizer.h"
#include "platform/companion_dialog_win.h"
#include "playback/engine_state.h"

namespace kestrun::equalizer {

class EqualizerDialog final : public platform::CompanionDialog {
 public:
  // filter answers the equalizer filter object of the run (null when there is none);
  // asked anew at each change.
  using FilterSource = std::function<IUnknown*()>;

  EqualizerDialog(playback::GraphOptions& options, FilterSource filter)
      : options_(options), filter_(std::move(filter)) {}
  HWND Create(HINSTANCE instance, platform::DialogRouter& router) {
    return CreateHidden(instance, "IDD_EQUALIZER", nullptr, &router, platform::DialogSlot::Equalizer);
  }
  // After the settings are loaded: sliders from the band values, check boxes from
  // the two flags.
  void Synchronize();
  // Shows the window (normal activation) when hidden, hides it when shown. With no
  // filter in the run its controls are disabled, its caption says so, and the first
  // showing tells the user in a message box.
  void ToggleVisible();
  bool IsVisible() const { return window() != nullptr && IsWindowVisible(window()); }
  // What is saved at exit: the check boxes' marks, which a click that could not
  // reach the filter leaves apart from the flags. (The band values always follow the
  // sliders.)
  void CollectSwitches(playback::GraphOptions& options) const;

  HWND Slider(int band) const { return sliders_[band]; }

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnInit();
  // Enables the controls when there is a filter to talk to; answers whether there is.
  bool ShowAvailability();
  int SliderIndex(HWND control) const;
  // Reads all fifteen sliders into the band values and sends them to the filter.
  void SendSliders();
  void Reset();
  // A switch click: the flag flips only when the filter can be told.
  void ToggleSwitch(bool& flag, HRESULT (STDMETHODCALLTYPE IEqualizer::*method)(BOOL));

  playback::GraphOptions& options_;
  FilterSource filter_;
  std::array<HWND, kBandCount> sliders_{};
  bool unavailableTold_ = false;
};

}  // namespace kestrun::equalizer
