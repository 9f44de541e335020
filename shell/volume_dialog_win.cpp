#include "shell/volume_dialog_win.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "shell/volume_scale.h"

namespace kestrun::shell {

HWND VolumeDialog::Open(HINSTANCE instance, platform::DialogRouter* router) {
  if (window() == nullptr) {
    Create(instance, kVolumeDialogResource, nullptr, router);
  } else {
    // Shown again after hiding: the volume may have been changed elsewhere meanwhile.
    ShowMixerValue();
  }
  if (window() != nullptr) {
    ShowWindow(window(), SW_SHOW);
    SetForegroundWindow(window());
  }
  return window();
}

void VolumeDialog::HideIfVisible() {
  if (window() != nullptr && IsWindowVisible(window())) ShowWindow(window(), SW_HIDE);
}

void VolumeDialog::Initialise() {
  mixer_ = openMixer_ ? openMixer_() : nullptr;
  HWND bar = trackbar();
  const std::optional<MixerBounds> bounds = mixer_ ? mixer_->bounds() : std::nullopt;
  if (!bounds) {
    // Nothing to drive: the slider rests and says why.
    bounds_ = {};
    SendMessageA(bar, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(bar, TBM_SETRANGEMAX, TRUE, 0);
    EnableWindow(bar, FALSE);
    ShowWindow(GetDlgItem(window(), IDC_VOLUME_NO_MIXER), SW_SHOW);
    return;
  }
  bounds_ = *bounds;
  const TrackbarRange range = TrackbarRangeFor(bounds_);
  SendMessageA(bar, TBM_SETRANGEMIN, FALSE, range.minimum);
  SendMessageA(bar, TBM_SETRANGEMAX, TRUE, range.maximum);
  SendMessageA(bar, TBM_SETPAGESIZE, 0, kVolumePageSize);
  SendMessageA(bar, TBM_SETTICFREQ, (range.maximum - range.minimum) / 10 + 1, 0);
  ShowMixerValue();
  trackbarHook_.Install(bar, &VolumeDialog::TrackbarProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void VolumeDialog::ShowMixerValue() {
  if (!mixer_ || !mixer_->bounds()) return;
  const std::optional<std::uint32_t> value = mixer_->Read();
  SendMessageA(trackbar(), TBM_SETPOS, TRUE, TrackbarPositionFor(value.value_or(bounds_.minimum)));
}

void VolumeDialog::WritePosition() {
  if (!mixer_) return;
  const int position = static_cast<int>(SendMessageA(trackbar(), TBM_GETPOS, 0, 0));
  mixer_->Write(MixerValueFor(position, bounds_));
}

LRESULT CALLBACK VolumeDialog::TrackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
  auto* self = reinterpret_cast<VolumeDialog*>(data);
  switch (message) {
    case WM_LBUTTONDOWN:
      self->buttonDown_ = true;
      return DefSubclassProc(window, message, wParam, lParam);
    case WM_MOUSEMOVE: {
      // The trackbar moves its thumb first; the volume follows where it is now.
      const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
      if (self->buttonDown_) self->WritePosition();
      return result;
    }
    case WM_LBUTTONUP: {
      const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
      self->WritePosition();
      self->buttonDown_ = false;
      return result;
    }
    default:
      return DefSubclassProc(window, message, wParam, lParam);
  }
}

INT_PTR VolumeDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise();
      return TRUE;
    case WM_CLOSE:
      Destroy();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL) return FALSE;
      Destroy();
      return TRUE;
    case WM_DESTROY:
      trackbarHook_.Remove();
      mixer_.reset();
      buttonDown_ = false;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace kestrun::shell
