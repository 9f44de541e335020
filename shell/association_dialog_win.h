// The association dialog (IDD_REGDLG): one box per group of extensions, checked when
// the player opens them; "OK(更新)" associates the checked ones and restores the rest.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "shell/file_associations.h"

namespace kestrun::shell {

inline constexpr char kAssociationDialogResource[] = "IDD_REGDLG";

class AssociationDialog {
 public:
  // modulePath: the program that the associations start.
  AssociationDialog(ClassRoot& root, AssociationBackup& backup, std::string modulePath)
      : root_(root), backup_(backup), modulePath_(std::move(modulePath)) {}

  // Runs the modal dialog owned by owner; IDOK when the settings were applied.
  INT_PTR Show(HINSTANCE instance, HWND owner);

  // The boxes from the class root; the class root from the boxes.
  void ShowAssociations(HWND dialog);
  void ApplyAssociations(HWND dialog);

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  ClassRoot& root_;
  AssociationBackup& backup_;
  std::string modulePath_;
};

}  // namespace kestrun::shell
