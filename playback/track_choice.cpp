#include "playback/track_choice.h"

namespace kestrun::playback {

int NextTrackIndex(int current, int rowCount) {
  if (current == -1 || current + 1 >= rowCount) return 0;
  return current + 1;
}

int PreviousTrackIndex(int current, int rowCount) {
  const int previous = current - 1;
  // An index of rowCount would name a row past the end: it wraps like one above it.
  if (previous < 0 || previous >= rowCount) return rowCount - 1;
  return previous;
}

int RandomTrackIndex(int r, int rowCount) {
  const int index = r % rowCount;
  return index < 0 ? index + rowCount : index;
}

void ClearSelection(playlist::RowStore& rows) { rows.ClearSelection(); }

}  // namespace kestrun::playback
