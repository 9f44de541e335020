// A real Kestrun.exe at the end of a Windows session (log-off, restart, shutdown):
// Windows sends WM_QUERYENDSESSION and WM_ENDSESSION and then ends the process
// without a WM_CLOSE. What the user changed in the session must be on disk by then,
// and the player closes itself (the Restart Manager ends only this program's session).
// Also the ordinary close from another process, which must rewrite the playlist.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/tests/kestrun_process.h"
#include "platform/testing/registry_value_win.h"
#include "platform/testing/temp_dir.h"
#include "resources/menu_ids.h"
#include "resources/resource_ids.h"

namespace kestrun::testing {
namespace {

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";
constexpr char kTop[] = "Top";

std::optional<DWORD> ReadTop() { return ReadRegistryDword(HKEY_CURRENT_USER, kPlayerKey, kTop); }
void WriteTop(std::optional<DWORD> value) { WriteRegistryDword(HKEY_CURRENT_USER, kPlayerKey, kTop, value); }

// The player's own "default.m3u" and "Top" value, put back as they were after the test.
class SavedPlayerState {
 public:
  SavedPlayerState()
      : path_(BinaryDirectory() + "\\default.m3u"),
        existed_(GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES),
        playlist_(existed_ ? ReadBytes(path_) : std::string()),
        top_(HKEY_CURRENT_USER, kPlayerKey, kTop) {}
  ~SavedPlayerState() {
    if (existed_) {
      WriteBytes(path_, playlist_);
    } else {
      DeleteFileA(path_.c_str());
    }
  }
  SavedPlayerState(const SavedPlayerState&) = delete;
  SavedPlayerState& operator=(const SavedPlayerState&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool existed_;
  std::string playlist_;
  ScopedRegistryValue top_;
};

// Three rows the player loads at start: the first is the one the test removes.
const char kRemovedName[] = "junk.xyz";
std::string ThreeRows() {
  return "#EXTM3U\r\n" + MediaPath(kRemovedName) + "\r\n" + MediaPath("short.wav") + "\r\n" + MediaPath("tone.wav") +
         "\r\n";
}

HWND PlaylistWindowOf(HWND main) {
  return FindProcessWindow(main, [](HWND window) { return GetDlgItem(window, IDC_PLAYLIST_LIST) != nullptr; });
}

// Starts the player on three rows, removes the first with the playlist's own
// command and switches "Top" on through its menu command.
void StartAndChange(KestrunProcess& player, HWND& main) {
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  main = player.mainWindow();
  HWND playlist = PlaylistWindowOf(main);
  ASSERT_NE(playlist, nullptr);
  HWND list = GetDlgItem(playlist, IDC_PLAYLIST_LIST);
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);
  // Home in the list selects its first row, as the key does for a user.
  SendMessageA(list, WM_KEYDOWN, VK_HOME, 0);
  SendMessageA(list, WM_KEYUP, VK_HOME, 0);
  ASSERT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
  SendMessageA(playlist, WM_COMMAND, IDM_LIST_REMOVE_SELECTED, 0);
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
  // Handled before the send returns. (Its WS_EX_TOPMOST cannot be read back under
  // Wine, which leaves it off a window that owns a topmost tooltip; the saved value
  // is what the tests check.)
  SendMessageA(main, WM_COMMAND, IDM_TOPMOST, 0);
}

void ExpectChangesSaved(const SavedPlayerState& state) {
  const std::string saved = ReadBytes(state.path());
  EXPECT_EQ(saved.find(kRemovedName), std::string::npos) << "the removed row is gone:\n" << saved;
  EXPECT_NE(saved.find(MediaPath("short.wav")), std::string::npos) << saved;
  EXPECT_NE(saved.find(MediaPath("tone.wav")), std::string::npos) << saved;
  EXPECT_EQ(ReadTop(), std::optional<DWORD>(1)) << "\"Top\" switched on in the session";
}

// Each test's player, and the player's own files put back after it.
class SessionEnd : public ::testing::Test {
 protected:
  // The player on three rows with the first removed and "Top" switched on.
  void StartChanged() {
    WriteBytes(restore.path(), ThreeRows());
    WriteTop(0);
    StartAndChange(player, main);
  }

  SavedPlayerState restore;  // put back after the player has gone
  KestrunProcess player;
  HWND main = nullptr;
};

TEST_F(SessionEnd, TheSessionsChangesAreOnDiskBeforeWindowsEndsThePlayer) {
  ASSERT_NO_FATAL_FAILURE(StartChanged());

  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the player lets the session end";
  ASSERT_TRUE(SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 20000, &answer));
  // Windows may end the process from now on: the files are written already.
  ExpectChangesSaved(restore);
  // No WM_CLOSE comes; the player closes by itself.
  EXPECT_EQ(player.WaitForExit(15000), 0);
}

// The Restart Manager (an installer or an updater replacing a file the player has
// loaded) ends the session of this program only: the process must go, or the file
// stays locked and a hidden player keeps running with nothing saved any more.
TEST_F(SessionEnd, ARestartManagerCloseEndsTheProcessAndSavesTheSession) {
  ASSERT_NO_FATAL_FAILURE(StartChanged());

  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  ASSERT_TRUE(SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 20000, &answer));
  const int exitCode = player.WaitForExit(15000);
  if (exitCode == -1) player.Terminate();
  EXPECT_EQ(exitCode, 0) << "the player still runs after the Restart Manager closed it";
  ExpectChangesSaved(restore);
}

TEST_F(SessionEnd, ACancelledEndSavesNothingAndTheEndAfterItClosesThePlayer) {
  ASSERT_NO_FATAL_FAILURE(StartChanged());

  // Another program refused the end: wParam FALSE, the session goes on.
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(main, WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, 10000, &answer));
  EXPECT_EQ(ReadBytes(restore.path()), ThreeRows()) << "a session that goes on saves nothing yet";
  EXPECT_EQ(player.WaitForExit(0), -1) << "a session that goes on keeps the player";

  ASSERT_TRUE(SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 20000, &answer));
  EXPECT_EQ(player.WaitForExit(15000), 0);
  ExpectChangesSaved(restore);
}

TEST_F(SessionEnd, AnOrdinaryCloseFromAnotherProcessRewritesThePlaylist) {
  ASSERT_NO_FATAL_FAILURE(StartChanged());
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(player.WaitForExit(30000), 0);
  ExpectChangesSaved(restore);
}

// The lengths of a long playlist are being measured on worker threads when the
// player is closed: it ends at once and cleanly, and the autosave holds every row.
TEST_F(SessionEnd, ClosingWhileLengthsAreMeasuredEndsTheWorkersAndSavesEveryRow) {
  constexpr int kRows = 3000;
  std::string rows = "#EXTM3U\r\n";
  // A file no graph takes: each row costs a graph build.
  for (int i = 0; i < kRows; ++i) rows += MediaPath(kRemovedName) + "\r\n";
  WriteBytes(restore.path(), rows);
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  HWND playlist = PlaylistWindowOf(player.mainWindow());
  ASSERT_NE(playlist, nullptr);
  char idle[256] = {};
  GetWindowTextA(playlist, idle, sizeof(idle));
  PostMessageA(playlist, WM_COMMAND, IDM_LENGTH_ALL, 0);
  // The caption shows the progress once the run is under way.
  ASSERT_TRUE(WaitUntil(
      [&] {
        char caption[256] = {};
        GetWindowTextA(playlist, caption, sizeof(caption));
        return std::string(caption) != idle;
      },
      10000));
  const DWORD start = GetTickCount();
  PostMessageA(player.mainWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(player.WaitForExit(30000), 0);
  EXPECT_LT(GetTickCount() - start, 10000u) << "the close waited for the run";
  const std::string saved = ReadBytes(restore.path());
  std::size_t count = 0;
  for (std::size_t at = saved.find(kRemovedName); at != std::string::npos; at = saved.find(kRemovedName, at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, static_cast<std::size_t>(kRows));
}

}  // namespace
}  // namespace kestrun::testing
