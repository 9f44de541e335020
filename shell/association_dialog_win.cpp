#include "shell/association_dialog_win.h"

#include "shell/association_registry_win.h"

namespace kestrun::shell {

INT_PTR AssociationDialog::Show(HINSTANCE instance, HWND owner) {
  return DialogBoxParamA(instance, kAssociationDialogResource, owner, &AssociationDialog::DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void AssociationDialog::ShowAssociations(HWND dialog) {
  for (const AssociationRow& row : kAssociationRows) {
    CheckDlgButton(dialog, row.controlId, isAssociated(root_, row.testExtension) ? BST_CHECKED : BST_UNCHECKED);
  }
}

void AssociationDialog::ApplyAssociations(HWND dialog) {
  for (const AssociationRow& row : kAssociationRows) {
    const bool checked = IsDlgButtonChecked(dialog, row.controlId) == BST_CHECKED;
    for (const char* extension : row.extensions) {
      if (extension == nullptr || extension[0] == '\0') continue;
      if (checked) {
        associateExtension(root_, backup_, extension, modulePath_);
      } else {
        restoreExtension(root_, backup_, extension);
      }
    }
  }
  NotifyAssociationsChanged();
}

INT_PTR CALLBACK AssociationDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<AssociationDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      self = reinterpret_cast<AssociationDialog*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      if (self != nullptr) self->ShowAssociations(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (self != nullptr) self->ApplyAssociations(dialog);
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
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
