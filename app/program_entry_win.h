// Program entry: the single-instance rule with the hand-off of a path to the
// running player, the owner of everything for the run, and the message loop.
#pragma once

#include <windows.h>

#include <memory>

#include "app/application_win.h"
#include "platform/win32_handles_win.h"

namespace kestrun::app {

// What the program holds for its run. Members go in reverse order: the application
// with every window first, then the rich-edit library that the title display's window
// class lives in, then OLE. A library freed before its last window would leave that
// window's procedure pointing into unmapped code.
struct ProgramRun {
  platform::OleSession ole;
  platform::ModuleHandle richEdit{LoadLibraryA("RICHED32.DLL")};
  std::unique_ptr<Application> app;
};

// The main window without caption or frame, shown.
void ShowMainWindow(HWND main);

// Runs the program for the whole wide command line (program name first, as
// GetCommandLineW gives it); returns the exit code.
int RunProgram(HINSTANCE instance, const wchar_t* wholeCommandLine);

// Second instance: hands the path of the command line (arguments only) to every
// running player's main window; where none is found, through the broadcast below.
void HandOffToRunningPlayers(const wchar_t* commandLine);

// Hands path to every running player through a global atom and the registered
// hand-off message, then waits for them to read it (for players that take no
// WM_COPYDATA).
void HandOffPath(const char* path);

}  // namespace kestrun::app
