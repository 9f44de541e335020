// The association dialog (IDD_REGDLG): one box per group of extensions, checked when
// the player opens them; "OK(更新)" associates the checked ones and restores the rest,
// and names the types it could not change. A note names the types for which Windows'
// own setting decides, with a button that opens that setting.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "shell/file_associations.h"

namespace kestrun::shell {

inline constexpr char kAssociationDialogResource[] = "IDD_REGDLG";
// Shown after OK, followed by the box texts of the types that stayed as they were.
extern const char kAssociationsNotChangedMessage[];

class AssociationDialog {
 public:
  // modulePath: the program that the associations start.
  AssociationDialog(ClassRoot& root, AssociationBackup& backup, std::string modulePath);

  // Runs the modal dialog owned by owner; IDOK when the settings were applied.
  INT_PTR Show(HINSTANCE instance, HWND owner);

  // The boxes and the note from the class root; the class root from the boxes. Apply
  // returns the rows that could not be changed.
  void ShowAssociations(HWND dialog);
  std::vector<const AssociationRow*> ApplyAssociations(HWND dialog);

  // What the button "Windows の設定を開く" does (tests replace it).
  void SetDefaultAppsOpener(std::function<bool(HWND)> open) { openDefaultApps_ = std::move(open); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void ShowWindowsChoiceNote(HWND dialog);

  ClassRoot& root_;
  AssociationBackup& backup_;
  std::string modulePath_;
  std::function<bool(HWND)> openDefaultApps_;
};

}  // namespace kestrun::shell
