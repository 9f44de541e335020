// The code of the last failed system call (GetLastError on Windows, errno
// elsewhere), never 0 or -1: those mean "success" and "no tag" to the callers of
// the ID3v2 writer, so a failure that left no code behind (a short read, an
// injected fault) is reported as a generic I/O failure.
#pragma once

namespace kestrun::tags {

int LastSystemError();
// Clears the thread's last error, so a later LastSystemError() reports only what
// failed after this point.
void ClearSystemError();
// The system's code for exhausted memory.
int OutOfMemoryError();

}  // namespace kestrun::tags
