// The equalizer window of the player: its switches set what the next graph tells
// the equalizer filter.
#pragma once

#include <windows.h>

#include "platform/companion_dialog_win.h"
#include "playback/engine_state.h"

namespace kestrun::equalizer {

class EqualizerDialog final : public platform::CompanionDialog {
 public:
  explicit EqualizerDialog(playback::GraphOptions& options) : options_(options) {}
  HWND Create(HINSTANCE instance, platform::DialogRouter& router) {
    return CreateHidden(instance, "IDD_EQUALIZER", nullptr, &router, platform::DialogSlot::Equalizer);
  }
  // Shows the options' switches in the check boxes.
  void ShowSwitches();
  // Shows or hides the window (key Q, the effect dialog's button).
  void ToggleVisible();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  playback::GraphOptions& options_;
};

}  // namespace kestrun::equalizer
