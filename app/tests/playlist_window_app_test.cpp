// The playlist window inside the real player: rows played from the list reach the
// engine, lengths are measured with real graphs, the tag switches reach the
// settings, and the docked playlist follows the main window.
#include <gtest/gtest.h>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

class PlaylistInPlayerTest : public PlayerWindowTest {
 protected:
  HWND PlaylistWindow() { return App().playlist().window(); }
  // The command, and the long command it starts (on worker threads) run to its end.
  void Command(int id) {
    SendMessageA(PlaylistWindow(), WM_COMMAND, id, 0);
    WaitUntil([] { return !App().playlist().busy(); }, 30000);
  }
};

TEST_F(PlaylistInPlayerTest, LengthsComeFromRealGraphsAndUnplayableFilesStayEmpty) {
  auto& rows = *Rows();
  playlist::appendRow(rows, MediaPath("tone.wav"));
  playlist::appendRow(rows, MediaPath("junk.xyz"));
  playlist::appendRow(rows, MediaPath("short.wav"));
  rows.SetCell(1, playlist::Column::Length, "12:34");
  Command(IDM_LENGTH_ALL);
  EXPECT_EQ(rows.Cell(0, playlist::Column::Length), "00:03");
  EXPECT_EQ(rows.Cell(1, playlist::Column::Length), "");
  EXPECT_EQ(rows.Cell(2, playlist::Column::Length), "00:01");
  // Measuring plays nothing.
  EXPECT_EQ(Player().state.load(), playback::kStateClosed);
}

TEST_F(PlaylistInPlayerTest, PlayingARowMakesItTheCurrentTrack) {
  auto& rows = *Rows();
  playlist::appendRow(rows, MediaPath("short.wav"));
  playlist::appendRow(rows, MediaPath("tone.wav"));
  rows.SetSelected(1, true);
  SendMessageA(App().playlist().list(), WM_KEYDOWN, 'P', 0);
  EXPECT_EQ(Player().currentTrackIndex, 1);
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_EQ(std::string(Player().currentPath), MediaPath("tone.wav"));
  // Playing another row stops the first graph.
  rows.SetSelected(1, false);
  rows.SetSelected(0, true);
  Command(IDM_PLAY);
  EXPECT_EQ(Player().currentTrackIndex, 0);
  EXPECT_EQ(std::string(Player().currentPath), MediaPath("short.wav"));
}

TEST_F(PlaylistInPlayerTest, TagSwitchesReachTheSettings) {
  const bool before = App().settings().alwaysTagRead;
  Command(IDM_ALWAYS_TAG_READ);
  EXPECT_NE(App().settings().alwaysTagRead, before);
  Command(IDM_ALWAYS_TAG_READ);
  EXPECT_EQ(App().settings().alwaysTagRead, before);
  Command(IDM_TAG_ALWAYS_ID3V1);
  EXPECT_EQ(App().settings().alwaysId3v1, std::optional<bool>(true));
  Command(IDM_TAG_AUTO);
  EXPECT_EQ(App().settings().alwaysId3v1, std::optional<bool>(false));
}

TEST_F(PlaylistInPlayerTest, DockedPlaylistFollowsTheMainWindow) {
  const auto dock = [](bool on) {
    if (Main().dockPlaylist() != on) SendMessageA(main_, WM_COMMAND, IDM_DOCK_PLAYLIST, 0);
  };
  const bool docked = Main().dockPlaylist();
  dock(true);
  SetWindowPos(main_, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT mainRect{};
  RECT listRect{};
  GetWindowRect(main_, &mainRect);
  GetWindowRect(PlaylistWindow(), &listRect);
  EXPECT_EQ(listRect.left, mainRect.left);
  EXPECT_EQ(listRect.top, mainRect.bottom);
  // Not docked: the playlist stays where it is.
  dock(false);
  SetWindowPos(main_, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT after{};
  GetWindowRect(PlaylistWindow(), &after);
  EXPECT_EQ(after.left, listRect.left);
  EXPECT_EQ(after.top, listRect.top);
  dock(docked);
}

}  // namespace
}  // namespace kestrun::testing
