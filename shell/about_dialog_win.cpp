#include "shell/about_dialog_win.h"

#include <shellapi.h>

#include <vector>

#include "platform/modal_guard_win.h"
#include "platform/shell_path_win.h"
#include "resources/resource_ids.h"
#include "shell/about_text.h"

namespace kestrun::shell {

std::string ModuleVersionLine(HMODULE module) {
  // Read by the wide name: the program's folder may hold characters the code page lacks.
  const std::wstring path = platform::ModuleFileNameWide(module);
  if (path.empty()) return kAboutVersionPrefix;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return kAboutVersionPrefix;
  std::vector<char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return kAboutVersionPrefix;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  char root[] = "\\";
  if (!VerQueryValueA(block.data(), root, reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
      fixedSize < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE) {
    return kAboutVersionPrefix;
  }
  return AboutVersionLine(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

void OpenInBrowser(const char* url, const std::string& directory) {
  ShellExecuteA(nullptr, "open", url, nullptr, directory.c_str(), SW_SHOWNORMAL);
}

INT_PTR AboutDialog::Show(HINSTANCE instance, HWND owner) {
  const platform::ModalTurn turn;
  if (!turn) return IDCANCEL;
  instance_ = instance;
  return DialogBoxParamA(instance, kAboutDialogResource, owner, &AboutDialog::DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK AboutDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<AboutDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_APPCOMMAND:
      return platform::PassAppCommandToOwner(dialog, wParam, lParam);
    case WM_INITDIALOG:
      self = reinterpret_cast<AboutDialog*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      if (self != nullptr) SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, ModuleVersionLine(self->instance_).c_str());
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDC_ABOUT_HOMEPAGE:
          // The box stays open.
          if (self != nullptr && self->openPage_) self->openPage_(kHomePage, self->appDirectory_);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      EndDialog(dialog, IDOK);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace kestrun::shell
