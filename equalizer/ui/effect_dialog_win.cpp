#include "equalizer/ui/effect_dialog_win.h"

#include <commctrl.h>

#include <utility>

#include "platform/dpi_win.h"
#include "platform/modal_guard_win.h"
#include "resources/resource_ids.h"

namespace kestrun::equalizer {
namespace {

constexpr char kEffectColumn[] = "Effect";
constexpr int kEffectColumnWidth = 200;  // at 96 DPI

enum : INT_PTR {
  kEndStored = 1,
  kEndCancelled = 2,
  kEndEqualizerShown = 3,
};

struct EffectDialogState {
  playback::EffectTable& table;
  std::function<bool()> toggleEqualizer;
};

void FillRows(HWND list, const playback::EffectTable& table) {
  const DWORD extended = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended | LVS_EX_CHECKBOXES);
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = platform::ScaleFromDefaultDpi(kEffectColumnWidth, platform::WindowDpi(list));
  column.pszText = const_cast<char*>(kEffectColumn);
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  for (int index = 0; index < playback::kEffectCount; ++index) {
    LVITEMA row{};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = index;
    row.pszText = const_cast<char*>(table[index].ansiName);
    row.lParam = index;
    const int inserted = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
    if (inserted >= 0 && table[index].enabled) ListView_SetCheckState(list, inserted, TRUE);
  }
}

// Each row's check goes back to the entry its data names.
void StoreChecks(HWND list, playback::EffectTable& table) {
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) continue;
    if (item.lParam < 0 || item.lParam >= playback::kEffectCount) continue;
    table[item.lParam].enabled = ListView_GetCheckState(list, row) ? 1 : 0;
  }
}

INT_PTR CALLBACK EffectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<EffectDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_APPCOMMAND:
      return platform::PassAppCommandToOwner(dialog, wParam, lParam);
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<EffectDialogState*>(lParam);
      if (HWND list = GetDlgItem(dialog, IDC_EFFECT_LIST)) FillRows(list, state->table);
      return TRUE;
    case WM_COMMAND:
      if (state == nullptr) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
          if (HWND list = GetDlgItem(dialog, IDC_EFFECT_LIST)) StoreChecks(list, state->table);
          EndDialog(dialog, kEndStored);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, kEndCancelled);
          return TRUE;
        case IDC_EFFECT_EQUALIZER:
          // Showing the equalizer replaces this dialog; hiding it keeps the dialog open.
          if (state->toggleEqualizer && state->toggleEqualizer()) EndDialog(dialog, kEndEqualizerShown);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      EndDialog(dialog, kEndCancelled);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

EffectDialogResult ShowEffectDialog(HINSTANCE instance, HWND owner, playback::EffectTable& table,
                                    std::function<bool()> toggleEqualizer) {
  const platform::ModalTurn turn;
  if (!turn) return EffectDialogResult::Cancelled;
  EffectDialogState state{table, std::move(toggleEqualizer)};
  switch (DialogBoxParamA(instance, "IDD_EFFECT", owner, &EffectDialogProc, reinterpret_cast<LPARAM>(&state))) {
    case kEndStored:
      return EffectDialogResult::Stored;
    case kEndCancelled:
      return EffectDialogResult::Cancelled;
    case kEndEqualizerShown:
      return EffectDialogResult::EqualizerShown;
    default:
      return EffectDialogResult::Failed;
  }
}

}  // namespace kestrun::equalizer
