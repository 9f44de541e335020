// Which playlist row plays next, and the selection steps around it, over any row
// store (the playlist's rows behind its window in the program).
#pragma once

#include "playlist/row_store.h"

namespace kestrun::playback {

// Index rules, for n rows (n > 0) and the current track index (-1: not from the list).
int NextTrackIndex(int current, int rowCount);
int PreviousTrackIndex(int current, int rowCount);
// r is a value of rand(); the same row may come twice in a row.
int RandomTrackIndex(int r, int rowCount);

// Clears every selected row, in one pass (a track change with thousands of
// selected rows must not freeze the player).
void ClearSelection(playlist::RowStore& rows);

}  // namespace kestrun::playback
