// Drives a real Kestrun.exe from outside, as a user or the shell meets it: start it
// with a command line, find its main window, read what it shows, close it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/testing/real_input_win.h"

namespace kestrun::testing {

// The folder of the running test program (where Kestrun.exe is built too).
std::string BinaryDirectory();
// A file of the generated test media.
std::string MediaPath(const std::string& name);

class KestrunProcess {
 public:
  KestrunProcess() = default;
  ~KestrunProcess();
  KestrunProcess(const KestrunProcess&) = delete;
  KestrunProcess& operator=(const KestrunProcess&) = delete;

  // Starts Kestrun.exe with arguments (the raw text after the program name).
  bool Start(const std::string& arguments);
  // Starts Kestrun.exe through the wide call with wide arguments, as the shell does.
  bool StartWide(const std::wstring& arguments);
  // Starts another copy of the player (an installed or unpacked one) in its folder.
  bool StartProgram(const std::string& exe, const std::string& arguments);
  // The same through the wide call, for folders the code page cannot name.
  bool StartProgramWide(const std::wstring& exe, const std::wstring& arguments);
  // Waits for the main window (the dialog holding the title display).
  bool WaitForMainWindow(DWORD timeoutMs = 30000);
  // Waits for the process to end; returns its exit code, or -1 on time-out.
  int WaitForExit(DWORD timeoutMs);
  // Ends the process at once, as Windows does at the end of a session.
  void Terminate();
  // Asks the main window to close (as its exit button does) and waits for the end.
  int Close(DWORD timeoutMs = 30000);

  HWND mainWindow() const { return main_; }
  std::string Caption() const;
  std::string TitleText() const;
  std::string TimeText() const;

 private:
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

// The first top-level window of the process that owns sibling for which wanted holds,
// or nullptr.
HWND FindProcessWindow(HWND sibling, const std::function<bool(HWND)>& wanted);

// Reads a window's text through WM_GETTEXT with a large buffer (the rich-edit
// control does not answer the length of its text to another process).
std::string WindowText(HWND window);

}  // namespace kestrun::testing
