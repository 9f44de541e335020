#include "platform/debug_line.h"

#include <windows.h>

namespace kestrun::platform {

void DebugLine(const char* text) { OutputDebugStringA(text); }

}  // namespace kestrun::platform
