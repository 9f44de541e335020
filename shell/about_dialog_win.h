// The about box (IDD_ABOUT): the program's version from its version resource and a
// button that opens the project's home page. Modal, owned by the main window.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <string>

namespace kestrun::shell {

inline constexpr char kAboutDialogResource[] = "IDD_ABOUT";

// The version line of module's version resource; the bare prefix when it has none.
std::string ModuleVersionLine(HMODULE module);

// Asks the shell to open url with directory as the working directory.
void OpenInBrowser(const char* url, const std::string& directory);

class AboutDialog {
 public:
  using PageOpener = std::function<void(const char* url, const std::string& directory)>;

  AboutDialog(std::string appDirectory, PageOpener openPage = OpenInBrowser)
      : appDirectory_(std::move(appDirectory)), openPage_(std::move(openPage)) {}

  // Runs the dialog until "OK" or closing; the version is read from instance.
  INT_PTR Show(HINSTANCE instance, HWND owner);

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  std::string appDirectory_;
  PageOpener openPage_;
  HINSTANCE instance_ = nullptr;
};

}  // namespace kestrun::shell
