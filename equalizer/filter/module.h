// Book-keeping of the in-process server: the module handle and the count of live
// objects and server locks that DllCanUnloadNow answers from.
#pragma once

#include <windows.h>

namespace kestrun::equalizer {

HMODULE ModuleHandle();
// Every COM object this module hands out counts itself while it lives.
void ModuleObjectCreated();
void ModuleObjectDestroyed();
void ModuleLock(bool lock);
bool ModuleInUse();

}  // namespace kestrun::equalizer
