// Where a step of the file layer asks whether a test wants it to fail. Test
// programs link a file layer compiled with KESTRUN_FILE_FAULTS, whose steps consult
// FileFaults; in the shipped program the question is a constant false and the
// check disappears with it.
#pragma once

#include "platform/file_io.h"

namespace kestrun::platform {

#ifdef KESTRUN_FILE_FAULTS
inline bool InjectedFault(FileStep step) { return FileFaults::ShouldFail(step); }
#else
constexpr bool InjectedFault(FileStep) { return false; }
#endif

}  // namespace kestrun::platform
