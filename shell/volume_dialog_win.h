// The volume dialog (IDD_VOLUMEDLG): a trackbar over the speaker volume. Modeless and
// without owner; closing destroys it (and lets go of the mixer), the command opens it
// again. Only the mouse moves the volume: keys move the thumb alone.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <memory>

#include "platform/modeless_dialog_win.h"
#include "platform/win32_handles_win.h"
#include "resources/shell_dialog_ids.h"
#include "shell/volume_mixer.h"

namespace kestrun::shell {

inline constexpr char kVolumeDialogResource[] = "IDD_VOLUMEDLG";

class VolumeDialog final : public platform::ModelessDialog {
 public:
  using MixerFactory = std::function<std::unique_ptr<VolumeMixer>()>;

  // openMixer is called each time the dialog is created.
  explicit VolumeDialog(MixerFactory openMixer) : openMixer_(std::move(openMixer)) {}
  ~VolumeDialog() override { Destroy(); }

  // Creates and shows the dialog, or shows the one that exists (it may have been
  // hidden); there is never more than one.
  HWND Open(HINSTANCE instance, platform::DialogRouter* router = nullptr);
  // Hides the dialog if it is shown.
  void HideIfVisible();

  HWND trackbar() const { return window() != nullptr ? GetDlgItem(window(), IDC_VOLUME_TRACKBAR) : nullptr; }
  // The mixer of the open dialog, nullptr when closed.
  VolumeMixer* mixer() const { return mixer_.get(); }

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Initialise();
  // Moves the thumb to the mixer's current value.
  void ShowMixerValue();
  void WritePosition();
  static LRESULT CALLBACK TrackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);

  MixerFactory openMixer_;
  std::unique_ptr<VolumeMixer> mixer_;
  MixerBounds bounds_{};
  platform::WindowSubclass trackbarHook_;
  bool buttonDown_ = false;
};

}  // namespace kestrun::shell
