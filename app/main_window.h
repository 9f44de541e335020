// The main window: a modeless dialog that routes every user action, runs the
// start-up sequence while it initialises and the shutdown sequence when it ends.
#pragma once

#include <windows.h>

namespace kestrun::app {

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Start-up sequence (WM_INITDIALOG) and shutdown sequence (WM_DESTROY).
void RunStartupSequence(HWND mainWindow);
void RunShutdownSequence();

}  // namespace kestrun::app
