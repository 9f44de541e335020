#include "platform/modal_guard_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kestrun::platform {
namespace {

constexpr UINT_PTR kSendCommandTimer = 1;
constexpr UINT_PTR kCheckTimer = 2;
constexpr WORD kOpenDialogCommand = 200;

// A dialog template in memory without controls (the standard dialog class, a popup).
std::vector<DWORD> EmptyDialogTemplate() {
  std::vector<WORD> words;
  DLGTEMPLATE header = {};
  header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
  header.cx = 120;
  header.cy = 60;
  words.resize(sizeof header / sizeof(WORD));
  std::memcpy(words.data(), &header, sizeof header);
  words.push_back(0);  // no menu
  words.push_back(0);  // the standard dialog class
  for (const char* title = "Modal"; *title != '\0'; ++title) words.push_back(static_cast<WORD>(*title));
  words.push_back(0);
  std::vector<DWORD> aligned((words.size() * sizeof(WORD) + 3) / 4, 0);
  std::memcpy(aligned.data(), words.data(), words.size() * sizeof(WORD));
  return aligned;
}

struct Scene {
  HWND owner = nullptr;
  HWND second = nullptr;  // stays enabled while the modal dialog is up, as the playlist window does
  HWND first = nullptr;   // the open modal dialog
  int secondDialogsOpened = 0;
  int dialogsSeenAtCheck = 0;
  HWND foregroundAtCheck = nullptr;
  bool turnRefused = false;
};

Scene* g_scene = nullptr;

BOOL CALLBACK CountVisibleDialog(HWND window, LPARAM count) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

INT_PTR CALLBACK SecondDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    ++g_scene->secondDialogsOpened;
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  return FALSE;
}

// Opens a dialog under its own turn, as each of the player's dialog commands does.
void OpenGuardedDialog(HWND owner, DLGPROC proc) {
  ModalTurn turn;
  if (!turn) {
    g_scene->turnRefused = true;
    return;
  }
  const std::vector<DWORD> dialogTemplate = EmptyDialogTemplate();
  DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), owner,
                          proc, 0);
}

LRESULT CALLBACK SecondWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kOpenDialogCommand) {
    OpenGuardedDialog(window, &SecondDialogProc);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK FirstDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      g_scene->first = dialog;
      SetTimer(dialog, kSendCommandTimer, 50, nullptr);
      return TRUE;
    case WM_TIMER:
      KillTimer(dialog, wParam);
      if (wParam == kSendCommandTimer) {
        // The user goes to the second window and gives it a command that opens a dialog.
        SetForegroundWindow(g_scene->second);
        PostMessageA(g_scene->second, WM_COMMAND, kOpenDialogCommand, 0);
        SetTimer(dialog, kCheckTimer, 200, nullptr);
      } else {
        EnumThreadWindows(GetCurrentThreadId(), &CountVisibleDialog,
                          reinterpret_cast<LPARAM>(&g_scene->dialogsSeenAtCheck));
        g_scene->foregroundAtCheck = GetForegroundWindow();
        EndDialog(dialog, IDOK);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

class ModalTurnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &SecondWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KestrunModalTurnTest";
    RegisterClassA(&windowClass);
    scene_.owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    scene_.second = CreateWindowA("KestrunModalTurnTest", "second", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(scene_.owner, nullptr);
    ASSERT_NE(scene_.second, nullptr);
    g_scene = &scene_;
  }
  void TearDown() override {
    DestroyWindow(scene_.second);
    DestroyWindow(scene_.owner);
    g_scene = nullptr;
  }
  Scene scene_;
};

TEST_F(ModalTurnTest, CommandFromAnotherWindowDoesNotNestASecondModalDialog) {
  OpenGuardedDialog(scene_.owner, &FirstDialogProc);
  ASSERT_NE(scene_.first, nullptr);
  EXPECT_EQ(scene_.secondDialogsOpened, 0);
  EXPECT_TRUE(scene_.turnRefused);
  EXPECT_EQ(scene_.dialogsSeenAtCheck, 1);
  // The refused command brought the open dialog back in front of the second window.
  EXPECT_EQ(scene_.foregroundAtCheck, scene_.first);
}

TEST_F(ModalTurnTest, TurnIsFreeAgainOnceTheDialogHasClosed) {
  OpenGuardedDialog(scene_.owner, &FirstDialogProc);
  EXPECT_FALSE(ModalTurn::Taken());
  scene_.turnRefused = false;
  SendMessageA(scene_.second, WM_COMMAND, kOpenDialogCommand, 0);
  EXPECT_FALSE(scene_.turnRefused);
  EXPECT_EQ(scene_.secondDialogsOpened, 1);
}

TEST_F(ModalTurnTest, NothingToBringForwardWhenNoDialogIsOpen) {
  EXPECT_FALSE(ModalTurn::Taken());
  EXPECT_FALSE(ModalTurn::BringOpenDialogToFront());
}

}  // namespace
}  // namespace kestrun::platform
