// Driving a built graph: the playback state machine, the end-of-track rule and
// the 200 ms position display.
#pragma once

#include <windows.h>

namespace kestrun::playback {

// Message the graph posts to the main window for its events (WM_USER + 13).
inline constexpr UINT kGraphEventMessage = WM_USER + 13;

// Stops and releases the graph; shows the idle display.
void StopAndClose();
// Stops without releasing the graph.
void StopKeepGraph();
// Pauses when playing; runs when paused or stopped.
void TogglePause();
// The play command: restarts the current file from its beginning.
void PlayCommand();
// The next command: the next row, or a random one in shuffle mode.
void NextCommand();
// Choose a playlist row, select it and play it.
void PlayNext();
void PlayPrevious();
void PlayRandom();

// Menu commands with check marks in the main pop-up and (play modes, rates) the tray menu.
void PlayModeCommand(int commandId);
void RateCommand(int commandId);
void FastSeekCommand();
// Sets a command's check mark in the main pop-up and, when asked, in the tray menu.
void CheckCommand(int id, bool checked, bool inTrayMenuToo);
// Applies a play mode's check marks to both menus (0: none checked).
void CheckPlayMode(int playMode);

// The seek knob was released after a drag at track position p (0..234).
void SeekFromKnob(int trackPosition);
// The seek knob was pressed: zone repeat ends.
void OnSeekKnobPressed();
// Ctrl went down or up over the title display, the cursor at x (main-window client).
void OnZoneKey(bool ctrlDown, int cursorX);
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
