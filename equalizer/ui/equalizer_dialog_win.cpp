#include "equalizer/ui/equalizer_dialog_win.h"

#include "resources/resource_ids.h"

namespace kestrun::equalizer {

void EqualizerDialog::ShowSwitches() {
  if (window() == nullptr) return;
  CheckDlgButton(window(), IDC_EQUALIZER_ENABLE, options_.equalizerOn ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window(), IDC_VOICE_REMOVAL_ENABLE, options_.voiceRemovalOn ? BST_CHECKED : BST_UNCHECKED);
}

void EqualizerDialog::ToggleVisible() {
  if (window() == nullptr) return;
  ShowWindow(window(), IsWindowVisible(window()) ? SW_HIDE : SW_SHOW);
}

bool EqualizerDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
  const bool checked = IsDlgButtonChecked(window(), LOWORD(wParam)) == BST_CHECKED;
  switch (LOWORD(wParam)) {
    case IDC_EQUALIZER_ENABLE:
      options_.equalizerOn = checked;
      break;
    case IDC_VOICE_REMOVAL_ENABLE:
      options_.voiceRemovalOn = checked;
      break;
    default:
      return false;
  }
  result = TRUE;
  return true;
}

}  // namespace kestrun::equalizer
