#include "tags/editor/rename_pattern_dialog_win.h"

#include <commctrl.h>

#include "platform/modal_guard_win.h"
#include "platform/win32_handles_win.h"
#include "resources/resource_ids.h"
#include "tags/editor/rename_by_tag.h"

namespace kestrun::tags {
namespace {

constexpr char kDialogName[] = "IDD_RENAMEMP3";
constexpr UINT_PTR kPatternSubclassId = 1075;

struct PatternDialogState {
  std::string pattern;
  std::optional<std::string> chosen;
  platform::WindowSubclass patternEdit;
};

std::string PatternText(HWND dialog) {
  char text[kRenamePatternMax + 1] = {};
  GetDlgItemTextA(dialog, IDC_RENAME_PATTERN, text, sizeof text);
  return text;
}

void UpdateSample(HWND dialog) {
  SetDlgItemTextA(dialog, IDC_RENAME_SAMPLE, PatternSample(PatternText(dialog)).c_str());
}

// The pattern edit's own handling stays; every key release refreshes the sample.
LRESULT CALLBACK PatternEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
  if (message == WM_KEYUP) UpdateSample(GetParent(edit));
  return result;
}

INT_PTR CALLBACK PatternDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<PatternDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_APPCOMMAND:
      return platform::PassAppCommandToOwner(dialog, wParam, lParam);
    case WM_INITDIALOG: {
      state = reinterpret_cast<PatternDialogState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      HWND edit = GetDlgItem(dialog, IDC_RENAME_PATTERN);
      SendMessageA(edit, EM_LIMITTEXT, kRenamePatternMax, 0);
      state->patternEdit.Install(edit, PatternEditProc, kPatternSubclassId, 0);
      SetDlgItemTextA(dialog, IDC_RENAME_PATTERN, state->pattern.c_str());
      UpdateSample(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      if (state == nullptr) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
          state->chosen = PatternText(dialog);
          state->patternEdit.Remove();
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:  // "ｷｬﾝｾﾙ", Escape and the close box
          state->patternEdit.Remove();
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<std::string> ShowRenamePatternDialog(HINSTANCE instance, HWND owner, const std::string& pattern) {
  const platform::ModalTurn turn;
  if (!turn) return std::nullopt;
  PatternDialogState state;
  state.pattern = pattern.substr(0, kRenamePatternMax);
  DialogBoxParamA(instance, kDialogName, owner, PatternDialogProc, reinterpret_cast<LPARAM>(&state));
  return state.chosen;
}

bool EditRenamePattern(HINSTANCE instance, HWND owner, std::string& pattern) {
  std::optional<std::string> chosen = ShowRenamePatternDialog(instance, owner, pattern);
  if (!chosen) return false;
  pattern = std::move(*chosen);
  return true;
}

}  // namespace kestrun::tags
