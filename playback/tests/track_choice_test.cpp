#include "playback/track_choice.h"

#include <gtest/gtest.h>

#include "playlist/memory_row_store.h"

namespace kestrun::playback {
namespace {

TEST(NextTrack, StartsAtRowZeroAndWraps) {
  EXPECT_EQ(NextTrackIndex(-1, 5), 0);
  EXPECT_EQ(NextTrackIndex(0, 5), 1);
  EXPECT_EQ(NextTrackIndex(4, 5), 0);  // repeat all on the last row wraps to row 0
  EXPECT_EQ(NextTrackIndex(9, 5), 0);  // an index beyond the list (rows were removed)
  EXPECT_EQ(NextTrackIndex(0, 1), 0);
}

TEST(PreviousTrack, FromRowZeroPlaysTheLastRow) {
  EXPECT_EQ(PreviousTrackIndex(0, 5), 4);
  EXPECT_EQ(PreviousTrackIndex(-1, 5), 4);
  EXPECT_EQ(PreviousTrackIndex(3, 5), 2);
  // Rows were removed under the current index: never a row past the end.
  EXPECT_EQ(PreviousTrackIndex(6, 5), 4);
  EXPECT_EQ(PreviousTrackIndex(5, 5), 4);
  EXPECT_EQ(PreviousTrackIndex(7, 5), 4);
}

TEST(RandomTrack, ModuloTheRowCountAndMayRepeat) {
  EXPECT_EQ(RandomTrackIndex(0, 3), 0);
  EXPECT_EQ(RandomTrackIndex(7, 3), 1);
  EXPECT_EQ(RandomTrackIndex(7, 3), RandomTrackIndex(10, 3));
  EXPECT_EQ(RandomTrackIndex(32767, 1), 0);
}

TEST(TrackSelection, ClearingRemovesEverySelection) {
  playlist::MemoryRowStore rows;
  for (int i = 0; i < 6; ++i) playlist::appendRow(rows, "C:\\" + std::to_string(i) + ".mp3");
  rows.SetSelected(1, true);
  rows.SetSelected(3, true);
  rows.SetSelected(5, true);
  ClearSelection(rows);
  EXPECT_EQ(rows.NextSelected(-1), -1);
}

}  // namespace
}  // namespace kestrun::playback
