// Asking Windows to shut down, as the sleep timer does when its box is checked.
#pragma once

namespace kestrun::shell {

// Takes the shutdown privilege into the process token (where the system requires it)
// and asks for a shutdown, without forcing applications. False when the request was
// refused.
bool RequestWindowsShutdown();

}  // namespace kestrun::shell
