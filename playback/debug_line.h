// Diagnostic lines of the player, written to the debugger output on Windows.
#pragma once

namespace kestrun::playback {

void DebugLine(const char* text);

}  // namespace kestrun::playback
