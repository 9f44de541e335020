// Kestrun.exe entry point.
#include <windows.h>

#include "app/program_entry_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Read wide: the ANSI command line has a "?" for every character the code page lacks.
  return kestrun::app::RunProgram(instance, GetCommandLineW());
}
