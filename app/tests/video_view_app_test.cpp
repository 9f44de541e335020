// The video view in a whole player: it opens under the main window with the playing
// title in its caption, the two move together, a path dropped on it plays through
// the main window, and a new run of the program numbers its captures afresh.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "playback/tests/video_view_files_win.h"
#include "platform/drop_target_win.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

class VideoViewTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    RemoveFrameFiles();
  }
  void TearDown() override {
    PlayerWindowTest::TearDown();
    RemoveFrameFiles();
  }
  static playback::VideoViewWindow& View() { return App().videoView(); }
  static HWND ViewWindow() { return View().window(); }
  static void Command(int id) { SendMessageA(ViewWindow(), WM_COMMAND, id, 0); }
  static void PlayVideo(const char* name) {
    OpenAndPlay(MediaPath(name).c_str());
    ASSERT_EQ(Player().state.load(), playback::kStatePlaying) << name;
    ASSERT_FALSE(Player().audioOnly) << name;
  }
};

TEST_F(VideoViewTest, NewVideoShowsAtNativeSizeUnderTheMainWindow) {
  PlayVideo("video320.avi");
  EXPECT_TRUE(IsWindowVisible(ViewWindow()));
  const SIZE client = ClientSize(ViewWindow());
  EXPECT_EQ(client.cx, 320);
  EXPECT_EQ(client.cy, 240);
  const RECT main = WindowRect(main_);
  const RECT view = WindowRect(ViewWindow());
  EXPECT_EQ(view.left, main.left);
  EXPECT_EQ(view.top, main.bottom);
  EXPECT_EQ(WindowText(ViewWindow()), "[video320.avi] Quenfold' Ambrel");
}

TEST_F(VideoViewTest, MainWindowAndViewMoveTogether) {
  PlayVideo("video320.avi");
  SetWindowPos(main_, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT main = WindowRect(main_);
  RECT view = WindowRect(ViewWindow());
  EXPECT_EQ(view.left, main.left);
  EXPECT_EQ(view.top, main.bottom);

  SetWindowPos(ViewWindow(), nullptr, 100, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  main = WindowRect(main_);
  EXPECT_EQ(main.left, 100);
  EXPECT_EQ(main.top, 300 - playback::kMainAboveView);
  view = WindowRect(ViewWindow());
  EXPECT_EQ(view.left, 100);
  EXPECT_EQ(view.top, 300);
}

TEST_F(VideoViewTest, DropOnTheViewPlaysThePathOutsideThePlaylist) {
  PlayVideo("video320.avi");
  Engine().ResumeRow(3);
  const std::string path = MediaPath("video322.avi");
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, path.size() + 1);
  std::memcpy(GlobalLock(block), path.c_str(), path.size() + 1);
  GlobalUnlock(block);
  POINTL point{20, 20};
  platform::DropInfo info;
  info.point = &point;
  info.format = CF_TEXT;
  info.data = block;
  SendMessageA(ViewWindow(), platform::kDropMessage, platform::kDragEnter, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.effect, 5u);
  info.effect = 0;
  SendMessageA(ViewWindow(), platform::kDropMessage, platform::kDragLeave, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.effect, 0u);
  SendMessageA(ViewWindow(), platform::kDropMessage, platform::kDrop, reinterpret_cast<LPARAM>(&info));
  GlobalFree(block);
  // The drop returned with the old video still playing; the path plays from the
  // message it left.
  EXPECT_EQ(Player().currentPath, MediaPath("video320.avi"));
  DispatchWaitingMessages();
  EXPECT_EQ(Player().currentPath, path);
  EXPECT_EQ(Player().currentTrackIndex, -1);
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_TRUE(IsWindowEnabled(Main().titleDisplay()));
}

TEST_F(VideoViewTest, CaptureNeverReplacesAFileAndNumbersPerRun) {
  const int first = View().captureCounter();
  PlayVideo("video320.avi");
  Command(IDM_VIEW_CAPTURE);
  ASSERT_TRUE(std::ifstream(FrameFile(first)).good());
  // The next number is the user's own file: it stays, the frame takes the one after.
  { std::ofstream(FrameFile(first + 1), std::ios::binary) << "mine"; }
  PlayVideo("video320.avi");
  Command(IDM_VIEW_CAPTURE);
  EXPECT_EQ(ReadFileBytes(FrameFile(first + 1)), "mine");
  EXPECT_EQ(ReadFileBytes(FrameFile(first + 2)).size(), 54u + 230400u);
  EXPECT_EQ(View().captureCounter(), first + 3);
  RemoveFrameFiles();

  // A new run of the program starts again at 00.
  KestrunProcess player;
  ASSERT_TRUE(player.Start("\"" + MediaPath("video320.avi") + "\""));
  ASSERT_TRUE(player.WaitForMainWindow());
  DWORD processId = 0;
  GetWindowThreadProcessId(player.mainWindow(), &processId);
  HWND view = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        view = nullptr;
        while ((view = FindWindowExA(nullptr, view, nullptr, "[video320.avi] Quenfold' Ambrel")) != nullptr) {
          DWORD owner = 0;
          GetWindowThreadProcessId(view, &owner);
          if (owner == processId && IsWindowVisible(view)) return true;
        }
        return false;
      },
      20000));
  PostMessageA(view, WM_COMMAND, IDM_VIEW_CAPTURE, 0);
  EXPECT_TRUE(WaitUntil([&] { return player.TitleText() == "キャプチャー成功 " + FrameFile(0); }, 20000))
      << player.TitleText();
  EXPECT_EQ(ReadFileBytes(FrameFile(0)).size(), 54u + 230400u);
  EXPECT_EQ(player.Close(), 0);
}

}  // namespace
}  // namespace kestrun::testing
