// The program's run ends with its windows gone before the rich-edit library is
// freed. A process of its own: no other code here loads the library, so its
// reference count is the program's alone.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/program_entry_win.h"
#include "app/tests/application_test_access.h"
#include "app/tests/kestrun_process.h"

namespace kestrun::testing {
namespace {

// Set by the title display's last message: was the library still mapped then?
bool g_titleDisplayDied = false;
bool g_libraryLoadedAtDeath = false;

LRESULT CALLBACK WatchDeath(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
  if (message == WM_NCDESTROY) {
    g_titleDisplayDied = true;
    g_libraryLoadedAtDeath = GetModuleHandleA("RICHED32.DLL") != nullptr;
    RemoveWindowSubclass(window, WatchDeath, id);
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

TEST(ShutdownOrder, TitleDisplayDiesWhileItsLibraryIsLoaded) {
  ASSERT_EQ(GetModuleHandleA("RICHED32.DLL"), nullptr) << "this process must not have loaded it before";
  {
    app::ProgramRun run;
    ASSERT_TRUE(run.richEdit);
    run.app = std::make_unique<app::Application>(GetModuleHandleA(nullptr), BinaryDirectory());
    ASSERT_NE(run.app->CreateMainWindow(), nullptr);
    HWND title = app::ApplicationTestAccess{*run.app}.main().titleDisplay();
    ASSERT_NE(title, nullptr);
    ASSERT_TRUE(SetWindowSubclass(title, WatchDeath, 1, 0));
  }
  EXPECT_TRUE(g_titleDisplayDied);
  EXPECT_TRUE(g_libraryLoadedAtDeath) << "the library went before the window that needs it";
  EXPECT_EQ(GetModuleHandleA("RICHED32.DLL"), nullptr) << "and it is released once the windows are gone";
}

}  // namespace
}  // namespace kestrun::testing
