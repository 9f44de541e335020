#include "app/program_entry_win.h"

#include <ole2.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application_win.h"
#include "app/command_line.h"
#include "app/instance_handoff_win.h"
#include "app/shell_texts.h"
#include "platform/debug_line.h"
#include "platform/limits.h"
#include "platform/shell_path_win.h"
#include "platform/win32_handles_win.h"
#include "resources/resource_ids.h"

namespace kestrun::app {
namespace {

// Texts and names of the single-instance protocol.
constexpr char kInstanceMutexName[] = "Quenfold'Ambrel";
constexpr DWORD kHandoffWaitMs = 350;
constexpr std::size_t kAtomNameLimit = 255;
constexpr DWORD kFindPlayerWaitMs = 5000;
constexpr DWORD kFindPlayerPollMs = 100;

constexpr LONG_PTR kRemovedStyles = 0xC40000;  // WS_CAPTION | WS_THICKFRAME
constexpr LONG_PTR kAddedStyles = 0xA0000;     // WS_SYSMENU | WS_MINIMIZEBOX
constexpr LONG_PTR kRemovedExStyles = 0x300;   // WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE

// The path to play, as an ANSI path of at most limit bytes (its short form where the
// long one does not fit or convert), or refused; empty when nothing was given.
platform::ShellPath PathFromCommandLine(const wchar_t* arguments, std::size_t limit) {
  const std::wstring text = CommandLinePathText(arguments);
  if (text.empty()) return {};
  return platform::AnsiPathFromWide(text, limit);
}

// The one message at start when the program's folder cannot be used.
void ShowProgramFolderRefusal(HINSTANCE instance, platform::PathRefusal refusal) {
  char text[512] = {};
  if (refusal == platform::PathRefusal::TooLong ||
      LoadStringA(instance, IDS_PROGRAM_FOLDER_UNUSABLE, text, sizeof(text)) == 0) {
    MessageBoxA(nullptr, platform::kPathTooLong, kMainWindowTitle, MB_OK | MB_ICONERROR);
    return;
  }
  MessageBoxA(nullptr, text, kMainWindowTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

void ShowMainWindow(HWND main) {
  SetWindowLongPtrA(main, GWL_STYLE, (GetWindowLongPtrA(main, GWL_STYLE) & ~kRemovedStyles) | kAddedStyles);
  SetWindowLongPtrA(main, GWL_EXSTYLE, GetWindowLongPtrA(main, GWL_EXSTYLE) & ~kRemovedExStyles);
  // The frame must be recomputed for the new styles to show.
  SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
}

void HandOffPath(const char* path) {
  const UINT handoffMessage = RegisterWindowMessageA(kHandoffMessageName);
  platform::GlobalAtom atom(GlobalAddAtomA(path));
  PostMessageA(HWND_BROADCAST, handoffMessage, atom.get(), 0);
  Sleep(kHandoffWaitMs);
}

void HandOffToRunningPlayers(const wchar_t* commandLine) {
  const std::wstring text = CommandLinePathText(commandLine);
  if (text.empty()) return;
  // The first start may still be building its main window (Explorer starts one process
  // per file of a selection at once): look for it a while before giving up on it.
  std::vector<HWND> players = FindHandoffWindows();
  for (DWORD waited = 0; players.empty() && waited < kFindPlayerWaitMs; waited += kFindPlayerPollMs) {
    Sleep(kFindPlayerPollMs);
    players = FindHandoffWindows();
  }
  if (!players.empty()) {
    if (SendHandoff(players, text) == 0) platform::DebugLine("Hand-off not taken\n");
    return;
  }
  // No marked window: a player of an older kind may still hear the broadcast.
  const platform::ShellPath path = PathFromCommandLine(commandLine, kAtomNameLimit);
  if (!path.path.empty()) {
    HandOffPath(path.path.c_str());
  } else if (path.refused()) {
    // An atom holds at most 255 characters; a cut path would name another file.
    platform::DebugLine("Path too long to hand over\n");
  }
}

int RunProgram(HINSTANCE instance, const wchar_t* wholeCommandLine) {
  const std::wstring_view arguments = CommandLineArguments(wholeCommandLine != nullptr ? wholeCommandLine : L"");
  // The view ends where the system's text ends, so it is terminated.
  const wchar_t* commandLine = arguments.empty() ? L"" : arguments.data();
  HANDLE created = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
  const bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
  platform::OwnedMutex instanceMutex(created, created != nullptr && !alreadyRunning);
  const bool shiftHeld = (GetKeyState(VK_SHIFT) & 0x8000) != 0;

  if (alreadyRunning && !shiftHeld) {
    if (commandLine[0] != L'\0') HandOffToRunningPlayers(commandLine);
    return 0;
  }

  // Equalizer.ax, the skins and the saved playlist are found next to the program. The
  // folder is read wide and taken by its short name where the code page lacks a
  // character of its long one; a folder with neither is told, not used with "?" in it.
  const platform::ShellPath module = platform::ModuleAnsiPath(nullptr);
  const auto directory =
      module.refused() ? std::nullopt
                       : ApplicationDirectoryFromModulePath(module.path, module.path.size(), module.path.size() + 1);
  if (!directory) {
    ShowProgramFolderRefusal(instance, module.refusal);
    return 1;
  }

  ProgramRun run;
  run.app = std::make_unique<Application>(instance, *directory);
  Application* app = run.app.get();

  if (commandLine[0] != L'\0') {
    const platform::ShellPath path = PathFromCommandLine(commandLine, platform::kPathMaxLength);
    app->SetStartupPath(path.path);
    app->SetCommandLineRefusal(path.refusal);
  }

  const HWND main = app->CreateMainWindow();
  if (main == nullptr) {
    // Without its main window the player cannot run; leave cleanly.
    platform::DebugLine("Cannot create the main window\n");
    return 1;
  }
  // Only the program's own run takes hand-offs: a main window that a host makes without
  // running its message loop would hold every second start until its send times out.
  AcceptHandoffs(main, RegisterWindowMessageA(kHandoffMessageName));
  ShowMainWindow(main);

  return app->RunMessageLoop();
}

}  // namespace kestrun::app
