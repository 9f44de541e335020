// Diagnostic lines of the player, written to the debugger output on Windows (the
// native build has no debugger channel and drops them; its tests read state).
// There is no log file and no level: a line is a fixed text or a code line.
#pragma once

#include <cstdint>
#include <string>

namespace kestrun::platform {

void DebugLine(const char* text);
inline void DebugLine(const std::string& text) { DebugLine(text.c_str()); }

// "what: 0x8004022F\n": a failing result code (an HRESULT) with what failed; the
// code is written as its 32 bits, whatever the width of long.
std::string CodeLine(const char* what, std::uint32_t code);

}  // namespace kestrun::platform
