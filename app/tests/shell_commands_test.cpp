// The shell's commands on a whole player. A sleep timer that runs out closes the player
// the way the user's close does: the playlist and the settings are saved, then (only
// when asked) Windows is told to shut down. Each test is a whole player in this
// process, with its own directory; its end destroys the main window, so this program
// holds no other player.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "app/application_win.h"
#include "app/tests/application_test_access.h"
#include "app/tests/kestrun_process.h"
#include "platform/modal_guard_win.h"
#include "platform/shell_path_win.h"
#include "platform/testing/modal_dialog_driver_win.h"
#include "platform/testing/real_input_win.h"
#include "platform/testing/registry_value_win.h"
#include "platform/testing/temp_dir.h"
#include "resources/resource_ids.h"

namespace kestrun::testing {
namespace {

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";

// A number the player stored, 0xDEAD when it stored none.
DWORD StoredNumber(const char* name) { return ReadRegistryDword(HKEY_CURRENT_USER, kPlayerKey, name).value_or(0xDEAD); }

void StoreNumber(const char* name, DWORD value) {
  ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, kPlayerKey, name, value));
}

void LoadTitleDisplayLibrary() {
  // The title display's library, for the whole test process.
  static const HMODULE richEdit = LoadLibraryA("RICHED32.DLL");
  EXPECT_NE(richEdit, nullptr);
}

BOOL CALLBACK CountVolumeDialogs(HWND window, LPARAM count) {
  if (IsWindowVisible(window) && GetDlgItem(window, IDC_VOLUME_NO_MIXER) != nullptr) {
    ++*reinterpret_cast<int*>(count);
  }
  return TRUE;
}

TEST(ShellCommands, VolumeTwiceShowsOneDialogAndThePlayerTakesItsDialogsAlong) {
  LoadTitleDisplayLibrary();
  TempDir directory;
  auto app = std::make_unique<app::Application>(GetModuleHandleA(nullptr), directory.path());
  HWND main = app->CreateMainWindow();
  ASSERT_NE(main, nullptr);
  SendMessageA(main, WM_COMMAND, IDM_VOLUME, 0);
  SendMessageA(main, WM_COMMAND, IDM_VOLUME, 0);
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountVolumeDialogs, reinterpret_cast<LPARAM>(&count));
  EXPECT_EQ(count, 1);
  HWND volume = app::ApplicationTestAccess{*app}.volumeDialog().window();
  SendMessageA(main, WM_COMMAND, IDM_SLEEP, 0);
  HWND sleep = app::ApplicationTestAccess{*app}.sleepTimerDialog().window();
  ASSERT_NE(volume, nullptr);
  ASSERT_NE(sleep, nullptr);
  DestroyWindow(main);
  EXPECT_FALSE(IsWindow(volume));
  EXPECT_FALSE(IsWindow(sleep));
  app.reset();
}

struct ExpiryRun {
  bool shutdownCalled = false;
  bool savedBeforeShutdown = false;
  bool mainWindowGone = false;
  // When the main window was destroyed: a modal dialog still open, the dialog or box that
  // was open when the time ran out still there.
  bool modalOpenAtDestroy = false;
  bool dialogAliveAtDestroy = false;
  std::string playlist;
  DWORD playMode = 0;
};

// What the main window's WM_DESTROY finds, seen by a hook on the test's thread.
struct DestroyWatch {
  HWND main = nullptr;
  std::atomic<HWND> dialog{nullptr};
  ExpiryRun* run = nullptr;
};
DestroyWatch* g_destroyWatch = nullptr;

LRESULT CALLBACK WatchMainDestroy(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && g_destroyWatch != nullptr && sent->message == WM_DESTROY &&
      sent->hwnd == g_destroyWatch->main) {
    g_destroyWatch->run->modalOpenAtDestroy = platform::ModalTurn::Taken();
    const HWND dialog = g_destroyWatch->dialog.load();
    g_destroyWatch->run->dialogAliveAtDestroy = dialog != nullptr && IsWindow(dialog);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// An action run once from this thread's message loop (the waits of the test pump it).
std::function<void()> g_laterOnThisThread;
void CALLBACK RunLaterOnThisThread(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const std::function<void()> action = std::move(g_laterOnThisThread);
  g_laterOnThisThread = nullptr;
  if (action) action();
}

// What is open on the player when its time runs out.
enum class OpenAtExpiry { Nothing, AboutBox, PlaylistErrorBox };

// Runs a player until its sleep timer of one minute runs out on a clock of the test's own.
ExpiryRun RunUntilExpiry(bool shutdownBox, OpenAtExpiry open = OpenAtExpiry::Nothing) {
  ExpiryRun run;
  LoadTitleDisplayLibrary();
  TempDir directory;
  const std::string playlistPath = directory.File("default.m3u");
  StoreNumber("Playmode", 0);

  auto app = std::make_unique<app::Application>(GetModuleHandleA(nullptr), directory.path());
  std::atomic<std::uint64_t> now{50'000};
  app->SetSleepClock([&] { return now.load(); });
  app->SetWindowsShutdown([&] {
    run.shutdownCalled = true;
    run.savedBeforeShutdown = !ReadBytes(playlistPath).empty() && StoredNumber("Playmode") == 2;
  });
  HWND main = app->CreateMainWindow();
  EXPECT_NE(main, nullptr);
  if (main == nullptr) return run;
  if (auto* rows = app::ApplicationTestAccess{*app}.playlist().rows()) rows->InsertRow(0, "C:\\music\\sleepy song.mp3");
  app::ApplicationTestAccess{*app}.engine().SetPlayMode(2);  // changed in this run only, so saved by the close

  SendMessageA(main, WM_COMMAND, IDM_SLEEP, 0);
  HWND sleep = app::ApplicationTestAccess{*app}.sleepTimerDialog().window();
  EXPECT_NE(sleep, nullptr);
  if (sleep == nullptr) return run;
  EXPECT_TRUE(IsWindowVisible(sleep));
  SendMessageA(main, WM_COMMAND, IDM_SLEEP, 0);
  EXPECT_EQ(app::ApplicationTestAccess{*app}.sleepTimerDialog().window(), sleep) << "one sleep dialog";
  SetDlgItemTextA(sleep, IDC_SLEEP_MINUTES, "1");
  CheckDlgButton(sleep, IDC_SLEEP_SHUTDOWN, shutdownBox ? BST_CHECKED : BST_UNCHECKED);
  SendMessageA(sleep, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(app::ApplicationTestAccess{*app}.sleepTimerDialog().running());

  DestroyWatch watch;
  watch.main = main;
  watch.run = &run;
  g_destroyWatch = &watch;
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchMainDestroy, nullptr, GetCurrentThreadId());
  EXPECT_NE(hook, nullptr);
  std::thread clock;
  if (open != OpenAtExpiry::Nothing) {
    // The dialog or box runs its own loop on this thread: the time runs out from another
    // one once it shows, and the sleep dialog's timer fires inside that loop.
    const DWORD thread = GetCurrentThreadId();
    HWND playlist = app::ApplicationTestAccess{*app}.playlist().window();
    clock = std::thread([&, thread, playlist] {
      HWND dialog = nullptr;
      const DWORD start = GetTickCount();
      while (GetTickCount() - start < 10000) {
        dialog = open == OpenAtExpiry::AboutBox ? FindThreadDialog(thread, IDC_ABOUT_VERSION) : OwnedDialog(playlist);
        if (dialog != nullptr) break;
        Sleep(50);
      }
      watch.dialog = dialog;
      now += 60'000;
    });
    if (open == OpenAtExpiry::AboutBox) {
      PostMessageA(main, WM_COMMAND, IDM_ABOUT, 0);
    } else {
      // A drop whose path was refused: the playlist window says so in a box of its own.
      g_laterOnThisThread = [&app] {
        app::ApplicationTestAccess{*app}.playlist().AddDroppedPaths({}, platform::PathRefusal::TooLong);
      };
      SetTimer(nullptr, 0, 10, &RunLaterOnThisThread);
    }
  } else {
    now += 60'000;
  }
  // The dialog's own timer notices within a period and posts the close.
  run.mainWindowGone = WaitUntil([&] { return !IsWindow(main); }, 20000);
  if (clock.joinable()) clock.join();
  if (hook != nullptr) UnhookWindowsHookEx(hook);
  g_destroyWatch = nullptr;
  if (open != OpenAtExpiry::Nothing) {
    EXPECT_NE(watch.dialog.load(), nullptr) << "the dialog never showed";
  }
  run.playlist = ReadBytes(playlistPath);
  run.playMode = StoredNumber("Playmode");
  app.reset();
  StoreNumber("Playmode", 0);
  return run;
}

TEST(SleepExpiry, ClosesThePlayerSavingPlaylistAndSettings) {
  const ExpiryRun run = RunUntilExpiry(false);
  EXPECT_TRUE(run.mainWindowGone);
  EXPECT_NE(run.playlist.find("sleepy song.mp3"), std::string::npos) << run.playlist;
  EXPECT_EQ(run.playMode, 2u);
  EXPECT_FALSE(run.shutdownCalled);
}

TEST(SleepExpiry, AModalDialogOpenAtTheEndIsClosedBeforeThePlayer) {
  const ExpiryRun run = RunUntilExpiry(true, OpenAtExpiry::AboutBox);
  EXPECT_TRUE(run.mainWindowGone);
  EXPECT_FALSE(run.modalOpenAtDestroy) << "the main window was destroyed under its modal dialog";
  EXPECT_FALSE(run.dialogAliveAtDestroy);
  EXPECT_NE(run.playlist.find("sleepy song.mp3"), std::string::npos) << run.playlist;
  EXPECT_TRUE(run.shutdownCalled);
  EXPECT_TRUE(run.savedBeforeShutdown);
}

TEST(SleepExpiry, AnErrorBoxOfThePlaylistWindowIsClosedBeforeThePlayer) {
  const ExpiryRun run = RunUntilExpiry(false, OpenAtExpiry::PlaylistErrorBox);
  EXPECT_TRUE(run.mainWindowGone);
  EXPECT_FALSE(run.dialogAliveAtDestroy) << "the playlist window was destroyed under its box";
  EXPECT_NE(run.playlist.find("sleepy song.mp3"), std::string::npos) << run.playlist;
}

TEST(SleepExpiry, ShutsWindowsDownOnlyAfterTheCloseSavedEverything) {
  const ExpiryRun run = RunUntilExpiry(true);
  EXPECT_TRUE(run.mainWindowGone);
  EXPECT_TRUE(run.shutdownCalled);
  EXPECT_TRUE(run.savedBeforeShutdown);
}

}  // namespace
}  // namespace kestrun::testing
