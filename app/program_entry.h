// Program entry: the single-instance rule with the hand-off of a path to the
// running player, the main window and the message loop.
#pragma once

#include <windows.h>

namespace kestrun::app {

// Runs the program for the raw ANSI command line; returns the exit code.
int RunProgram(HINSTANCE instance, const char* commandLine);

// Second instance: hands path to every running player through a global atom and
// the registered hand-off message, then waits for them to read it.
void HandOffPath(const char* path);

}  // namespace kestrun::app
