#include "shell/association_dialog_win.h"

#include "platform/modal_guard_win.h"
#include "resources/shell_dialog_ids.h"
#include "shell/association_registry_win.h"

namespace kestrun::shell {

const char kAssociationsNotChangedMessage[] = "次の種類の関連づけを変更できませんでした:";

namespace {

void MoveUp(HWND dialog, int control, int by) {
  HWND item = GetDlgItem(dialog, control);
  RECT rect{};
  GetWindowRect(item, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  SetWindowPos(item, nullptr, rect.left, rect.top - by, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

AssociationDialog::AssociationDialog(ClassRoot& root, AssociationBackup& backup, std::string modulePath)
    : root_(root), backup_(backup), modulePath_(std::move(modulePath)), openDefaultApps_(&OpenDefaultAppsSettings) {}

INT_PTR AssociationDialog::Show(HINSTANCE instance, HWND owner) {
  const platform::ModalTurn turn;
  if (!turn) return IDCANCEL;
  return DialogBoxParamA(instance, kAssociationDialogResource, owner, &AssociationDialog::DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void AssociationDialog::ShowAssociations(HWND dialog) {
  for (const AssociationRow& row : kAssociationRows) {
    CheckDlgButton(dialog, row.controlId, isAssociated(root_, row.testExtension) ? BST_CHECKED : BST_UNCHECKED);
  }
  ShowWindowsChoiceNote(dialog);
}

void AssociationDialog::ShowWindowsChoiceNote(HWND dialog) {
  const std::vector<const AssociationRow*> decided = RowsDecidedByWindows(root_, modulePath_);
  if (!decided.empty()) {
    SetDlgItemTextA(dialog, IDC_ASSOC_WINDOWS_CHOICE_TYPES, JoinBoxTexts(decided).c_str());
    return;
  }
  // Nothing to say: the note and its button go, and the dialog closes up over them.
  HWND note = GetDlgItem(dialog, IDC_ASSOC_WINDOWS_CHOICE);
  HWND okButton = GetDlgItem(dialog, IDOK);
  if (note == nullptr || okButton == nullptr) return;
  RECT noteRect{};
  RECT okRect{};
  GetWindowRect(note, &noteRect);
  GetWindowRect(okButton, &okRect);
  const int by = okRect.top - noteRect.top;
  for (int control : {IDC_ASSOC_WINDOWS_CHOICE, IDC_ASSOC_WINDOWS_CHOICE_TYPES, IDC_ASSOC_DEFAULT_APPS}) {
    ShowWindow(GetDlgItem(dialog, control), SW_HIDE);
  }
  if (by <= 0) return;
  MoveUp(dialog, IDOK, by);
  MoveUp(dialog, IDCANCEL, by);
  RECT frame{};
  GetWindowRect(dialog, &frame);
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top - by,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<const AssociationRow*> AssociationDialog::ApplyAssociations(HWND dialog) {
  std::array<bool, kAssociationRowCount> checked{};
  for (std::size_t i = 0; i < kAssociationRows.size(); ++i) {
    checked[i] = IsDlgButtonChecked(dialog, kAssociationRows[i].controlId) == BST_CHECKED;
  }
  // Without the text the classes simply go without a type name.
  char typeName[128] = {};
  LoadStringA(GetModuleHandleA(nullptr), IDS_ASSOC_TYPE_NAME, typeName, sizeof(typeName));
  std::vector<const AssociationRow*> failed = ApplyAssociationChoices(root_, backup_, checked, modulePath_, typeName);
  NotifyAssociationsChanged();
  return failed;
}

INT_PTR CALLBACK AssociationDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<AssociationDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_APPCOMMAND:
      return platform::PassAppCommandToOwner(dialog, wParam, lParam);
    case WM_INITDIALOG:
      self = reinterpret_cast<AssociationDialog*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      if (self != nullptr) self->ShowAssociations(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (self != nullptr) {
            const std::vector<const AssociationRow*> failed = self->ApplyAssociations(dialog);
            if (!failed.empty()) {
              // The types that stayed as they were are named, not passed over.
              char caption[64] = {};
              GetWindowTextA(dialog, caption, sizeof(caption));
              const std::string text = std::string(kAssociationsNotChangedMessage) + "\n" + JoinBoxTexts(failed);
              MessageBoxA(dialog, text.c_str(), caption, MB_OK | MB_ICONWARNING);
            }
          }
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case IDC_ASSOC_DEFAULT_APPS:
          if (self != nullptr && self->openDefaultApps_) self->openDefaultApps_(dialog);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace kestrun::shell
