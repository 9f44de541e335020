// The title display (control 1008): keyboard focus holder of the main window.
// Its keys are the player's shortcuts; typed characters never change its text.
#pragma once

#include <windows.h>

namespace kestrun::app {

void SubclassTitleDisplay(HWND display);
void RestoreTitleDisplay(HWND display);

}  // namespace kestrun::app
