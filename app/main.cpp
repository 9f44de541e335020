// Kestrun.exe entry point.
#include <windows.h>

#include "app/program_entry_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return kestrun::app::RunProgram(instance, commandLine);
}
