// Asking Windows to shut down, as the sleep timer does when its box is checked.
#pragma once

#include <windows.h>

namespace kestrun::shell {

// How the sleep timer shuts Windows down: programs are asked to close and may keep
// unsaved work, but one that does not answer at all is ended after the system's
// time-out instead of holding the shutdown back all night. Never EWX_FORCE, which
// would end programs that answer too.
inline constexpr UINT kSleepShutdownFlags = EWX_SHUTDOWN | EWX_FORCEIFHUNG;

// Takes the shutdown privilege into the process token (where the system requires it)
// and asks for a shutdown with kSleepShutdownFlags. False when the request was
// refused.
bool RequestWindowsShutdown();

}  // namespace kestrun::shell
