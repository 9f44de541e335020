// The hand-off of a path from a second start of the player to the running one. The
// running player's main window carries a property that marks it; the second start
// sends the path to every marked window as wide text with WM_COPYDATA and waits,
// bounded, until each has taken it. The data is copied by the receiver before it
// returns, so a receiver that is busy for a while still gets the whole path, and
// paths of any length and any characters travel unchanged.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::app {

// Marks a main window that takes hand-offs (while it lives) and lets WM_COPYDATA and the
// broadcast through the message filter, so an elevated player still hears a start
// from an unelevated shell.
void AcceptHandoffs(HWND main, UINT broadcastMessage);
void StopAcceptingHandoffs(HWND main);

// The main windows of every running player, in the system's window order.
std::vector<HWND> FindHandoffWindows();

// The registered message of the older hand-off by a global atom; its name is shared with
// every player that still sends it, so it must stay exactly this.
inline constexpr char kHandoffMessageName[] = "kesopenfine";

// Sends path to each window (waiting at most kHandoffSendTimeoutMs for each); answers
// how many took it.
inline constexpr UINT kHandoffSendTimeoutMs = 10000;
int SendHandoff(const std::vector<HWND>& windows, std::wstring_view path);

// The path a WM_COPYDATA record carries, when it is a hand-off: the right tag, a whole
// number of wide characters, not empty, within the size a path can have, and no
// character 0 inside (one at the end is allowed and dropped).
std::optional<std::wstring> HandoffPathFromCopyData(const COPYDATASTRUCT* data);

}  // namespace kestrun::app
