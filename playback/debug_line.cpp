#include "playback/debug_line.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrun::playback {

void DebugLine(const char* text) {
#ifdef _WIN32
  OutputDebugStringA(text);
#else
  (void)text;  // the native build has no debugger channel; its tests read the state
#endif
}

}  // namespace kestrun::playback
