// Driving a built graph: the playback state machine, the end-of-track rule and
// the 200 ms position display.
#pragma once

#include <windows.h>

namespace kestrun::playback {

// Message the graph posts to the main window for its events (WM_USER + 13).
inline constexpr UINT kGraphEventMessage = WM_USER + 13;

// Stops and releases the graph; shows the idle display.
void StopAndClose();
// Handler of kGraphEventMessage.
void HandleGraphEvents();
// Returns the knob, the time text and the zone to their idle look.
void ResetPositionDisplay();
// (Re)starts the 200 ms position timer.
void StartPositionTimer();
// Stops the position timer for good (shutdown); waits out a running callback.
void StopPositionTimer();
// The position timer's work; runs on the multimedia timer thread.
void UpdatePosition();
// Publishes the time text to the time display.
void ShowTimeText();

}  // namespace kestrun::playback
