// The main window's commands, keys, system commands, tray and drops, driven through
// real messages to a real main window.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "app/tray_icon_win.h"
#include "platform/drop_target_win.h"
#include "platform/shell_path_win.h"
#include "platform/testing/clipboard_text_win.h"
#include "platform/testing/fake_data_object_win.h"
#include "platform/testing/modal_dialog_driver_win.h"
#include "platform/testing/temp_dir.h"
#include "platform/testing/wide_files_win.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

bool IsChecked(HMENU menu, int id) {
  return menu != nullptr && (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

class MainWindowCommandsTest : public PlayerWindowTest {
 protected:
  // Runs a whole drag over the main window: enter, over, then drop or leave. Returns
  // the effects the target answered.
  std::vector<DWORD> Drag(IDataObject& data, bool drop) {
    const UINT formats[] = {CF_TEXT, CF_HDROP};
    IDropTarget* target = platform::NewDropTarget(main_, platform::kDropMessage, formats, 2);
    EXPECT_NE(target, nullptr);
    std::vector<DWORD> answers;
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    target->DragEnter(&data, 0, POINTL{10, 10}, &effect);
    answers.push_back(effect);
    enabledWhileDragging = IsWindowEnabled(Main().titleDisplay()) != FALSE;
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    target->DragOver(0, POINTL{12, 12}, &effect);
    answers.push_back(effect);
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    if (drop) {
      target->Drop(&data, 0, POINTL{12, 12}, &effect);
      openedInsideDrop = Session().HasGraph();
      DispatchWaitingMessages();
    } else {
      target->DragLeave();
      effect = 0;
    }
    answers.push_back(effect);
    target->Release();
    return answers;
  }
  bool enabledWhileDragging = true;
  // A graph existed when Drop returned (the tests start with none).
  bool openedInsideDrop = false;
};

TEST_F(MainWindowCommandsTest, TogglesFlipTheirStateAndTheirCheckMarks) {
  struct Toggle {
    int id;
    std::function<bool()> state;
    HMENU (*menu)();
  };
  auto mainMenu = [] { return Main().mainPopup(); };
  auto trayMenu = [] { return Main().trayPopup(); };
  const Toggle toggles[] = {
      // Wine keeps WS_EX_TOPMOST off a window that owns a topmost window (the tooltip),
      // so only the flag can be read back here.
      {IDM_TOPMOST, [] { return App().settings().topmost; }, mainMenu},
      {IDM_DOCK_PLAYLIST, [] { return App().settings().dockPlaylist; }, mainMenu},
      {IDM_FAST_SEEK, [] { return Player().fastSeek; }, mainMenu},
      {IDM_USE_WMP71, [] { return Engine().options().useWmp71; }, trayMenu},
      {IDM_USE_TRAY, [] { return Main().trayInUse(); }, mainMenu},
      {IDM_SHUFFLE, [] { return Player().playMode == playback::kPlayModeShuffle; }, trayMenu},
  };
  for (const auto& toggle : toggles) {
    SCOPED_TRACE(toggle.id);
    const bool before = toggle.state();
    SendMessageA(main_, WM_COMMAND, toggle.id, 0);
    EXPECT_NE(toggle.state(), before);
    EXPECT_EQ(IsChecked(toggle.menu(), toggle.id), toggle.state());
    SendMessageA(main_, WM_COMMAND, toggle.id, 0);
    EXPECT_EQ(toggle.state(), before);
    EXPECT_EQ(IsChecked(toggle.menu(), toggle.id), before);
  }
}

TEST_F(MainWindowCommandsTest, PlaylistCommandShowsItUnderTheMainWindowAndHidesItAgain) {
  HWND playlist = App().playlist().window();
  SetWindowPos(main_, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_FALSE(IsWindowVisible(playlist));
  SendMessageA(main_, WM_COMMAND, IDC_PLAYLIST_BUTTON, 0);
  ASSERT_TRUE(IsWindowVisible(playlist));
  RECT mainRect{}, listRect{};
  GetWindowRect(main_, &mainRect);
  GetWindowRect(playlist, &listRect);
  EXPECT_EQ(listRect.left, mainRect.left);
  EXPECT_EQ(listRect.top, mainRect.bottom);
  SendMessageA(main_, WM_COMMAND, IDM_PLAYLIST, 0);
  EXPECT_FALSE(IsWindowVisible(playlist));
}

TEST_F(MainWindowCommandsTest, KeysTypedIntoTheTitleDisplayAreCommandsNotText) {
  HWND title = Main().titleDisplay();
  const std::string before = WindowText(title);
  for (char letter : std::string("zyw")) SendMessageA(title, WM_CHAR, letter, 0);
  EXPECT_EQ(WindowText(title), before) << "typed letters never change the text";

  const bool fastSeek = Player().fastSeek;
  SendMessageA(title, WM_KEYDOWN, 'K', 0);
  EXPECT_NE(Player().fastSeek, fastSeek);
  SendMessageA(title, WM_KEYDOWN, 'K', 0);

  SendMessageA(title, WM_KEYDOWN, 'S', 0);
  EXPECT_EQ(Player().playMode, playback::kPlayModeShuffle);
  SendMessageA(title, WM_KEYDOWN, 'R', 0);
  EXPECT_EQ(Player().playMode, playback::kPlayModeRepeatOne);
  SendMessageA(title, WM_KEYDOWN, 'R', 0);
  EXPECT_EQ(Player().playMode, playback::kPlayModeNormal);

  HWND equalizer = App().equalizerDialog().window();
  SendMessageA(title, WM_KEYDOWN, 'Q', 0);
  EXPECT_TRUE(IsWindowVisible(equalizer));
  SendMessageA(title, WM_KEYDOWN, 'Q', 0);
  EXPECT_FALSE(IsWindowVisible(equalizer));

  HWND playlist = App().playlist().window();
  SendMessageA(title, WM_KEYDOWN, 'C', 0);
  EXPECT_TRUE(IsWindowVisible(playlist));
  SendMessageA(title, WM_KEYDOWN, 'C', 0);
  EXPECT_FALSE(IsWindowVisible(playlist));
}

// Ctrl held for the keys below, as the thread's keyboard state says.
class CtrlHeld {
 public:
  CtrlHeld() {
    GetKeyboardState(saved_);
    BYTE state[256];
    std::memcpy(state, saved_, sizeof(state));
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
  }
  ~CtrlHeld() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256] = {};
};

TEST_F(MainWindowCommandsTest, CtrlCCopiesThePathAndCtrlVPlaysAPastedOne) {
  HWND title = Main().titleDisplay();
  const std::string tone = MediaPath("tone.wav");
  Engine().PlayOutsidePath(tone);
  Engine().StopAndClose();
  {
    CtrlHeld ctrl;
    SendMessageA(title, WM_KEYDOWN, 'C', 0);
  }
  EXPECT_EQ(ClipboardText(), tone);
  EXPECT_FALSE(IsWindowVisible(App().playlist().window())) << "Ctrl+C is not the playlist key";

  const std::string shortTone = MediaPath("short.wav");
  ASSERT_TRUE(SetClipboardText(shortTone));
  Engine().ResumeRow(3);
  {
    CtrlHeld ctrl;
    SendMessageA(title, WM_KEYDOWN, 'V', 0);
  }
  EXPECT_EQ(Player().currentPath, shortTone);
  EXPECT_EQ(Player().currentTrackIndex, -1);
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
}

TEST_F(MainWindowCommandsTest, TrayMinimizeHidesAndTheIconBringsItBack) {
  ASSERT_FALSE(Main().trayInUse());
  SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  ShowWindow(main_, SW_SHOW);
  SendMessageA(main_, WM_COMMAND, IDC_MINIMIZE_BUTTON, 0);
  EXPECT_FALSE(IsWindowVisible(main_)) << "in the tray the window goes away";
  EXPECT_FALSE(GetMenuState(Main().trayPopup(), IDM_RESTORE, MF_BYCOMMAND) & MF_GRAYED);

  // A right double-click plays the next row without showing the window.
  playlist::appendRow(*Rows(), MediaPath("short.wav"));
  playlist::appendRow(*Rows(), MediaPath("tone.wav"));
  Engine().ResumeRow(0);
  SendMessageA(main_, app::kTrayMessage, 1, WM_RBUTTONDBLCLK);
  EXPECT_EQ(Player().currentTrackIndex, 1);
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_FALSE(IsWindowVisible(main_));

  SendMessageA(main_, app::kTrayMessage, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_TRUE(GetMenuState(Main().trayPopup(), IDM_RESTORE, MF_BYCOMMAND) & MF_GRAYED);
  SendMessageA(main_, WM_COMMAND, IDM_USE_TRAY, 0);
  EXPECT_FALSE(Main().trayInUse());
}

TEST_F(MainWindowCommandsTest, PlaylistVisibleAtMinimizeComesBackWithTheWindow) {
  HWND playlist = App().playlist().window();
  SendMessageA(main_, WM_COMMAND, IDM_PLAYLIST, 0);
  ASSERT_TRUE(IsWindowVisible(playlist));
  SendMessageA(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(IsWindowVisible(playlist));
  SendMessageA(main_, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(IsWindowVisible(playlist));
  ShowWindow(playlist, SW_HIDE);
  ShowWindow(main_, SW_RESTORE);
}

TEST_F(MainWindowCommandsTest, WithAVideoShownTheViewFollowsAndThePlaylistStays) {
  HWND playlist = App().playlist().window();
  HWND video = App().videoView().window();
  if (!Main().dockPlaylist()) SendMessageA(main_, WM_COMMAND, IDM_DOCK_PLAYLIST, 0);
  OpenAndPlay(MediaPath("video320.avi").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  ASSERT_FALSE(Player().audioOnly);
  SetWindowPos(playlist, nullptr, 500, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetWindowPos(main_, nullptr, 60, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT mainRect{}, videoRect{}, listRect{};
  GetWindowRect(main_, &mainRect);
  GetWindowRect(video, &videoRect);
  GetWindowRect(playlist, &listRect);
  EXPECT_EQ(videoRect.left, mainRect.left);
  EXPECT_EQ(videoRect.top, mainRect.bottom);
  EXPECT_EQ(listRect.left, 500) << "the playlist stays while a video is shown";

  // No video: the docked playlist follows.
  Engine().StopAndClose();
  ASSERT_TRUE(Player().audioOnly);
  SetWindowPos(main_, nullptr, 80, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  GetWindowRect(main_, &mainRect);
  GetWindowRect(playlist, &listRect);
  EXPECT_EQ(listRect.left, mainRect.left);
  EXPECT_EQ(listRect.top, mainRect.bottom);
}

TEST_F(MainWindowCommandsTest, DoubleClickOnTheBodyHidesTheAuxiliaryWindows) {
  SendMessageA(main_, WM_COMMAND, IDM_PLAYLIST, 0);
  SendMessageA(Main().titleDisplay(), WM_KEYDOWN, 'Q', 0);
  SendMessageA(main_, WM_COMMAND, IDM_VOLUME, 0);
  SendMessageA(main_, WM_COMMAND, IDM_SLEEP, 0);
  const HWND windows[] = {App().playlist().window(), App().equalizerDialog().window(), App().volumeDialog().window(),
                          App().sleepTimerDialog().window()};
  for (HWND window : windows) ASSERT_TRUE(window != nullptr && IsWindowVisible(window));
  SendMessageA(main_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(150, 40));
  for (HWND window : windows) EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(IsWindowVisible(main_));
}

TEST_F(MainWindowCommandsTest, DragAnswersAndALeaveGivesTheKeysBack) {
  FakeDataObject text(CF_TEXT, TextDropBytes("C:\\music\\x.mp3"));
  const auto answers = Drag(text, false);
  EXPECT_EQ(answers, (std::vector<DWORD>{DROPEFFECT_COPY | DROPEFFECT_LINK, DROPEFFECT_COPY | DROPEFFECT_LINK, 0}));
  EXPECT_FALSE(enabledWhileDragging) << "the title display is disabled while something is dragged over";
  EXPECT_TRUE(IsWindowEnabled(Main().titleDisplay()));
}

std::string TitleDisplayText(HWND title) {
  char text[1024] = {};
  GetWindowTextA(title, text, sizeof(text));
  return text;
}

// A text longer than a path would name another file once cut: it is refused with its
// message, whether dropped or pasted, and what played before stays current.
TEST_F(MainWindowCommandsTest, DroppedOrPastedLongTextIsRefusedNotCut) {
  const std::string before = MediaPath("short.wav");
  Engine().PlayOutsidePath(before);
  std::string ascii(300, 'a');
  FakeDataObject text(CF_TEXT, TextDropBytes(ascii));
  Drag(text, true);
  EXPECT_EQ(std::string(Player().currentPath), before);
  EXPECT_EQ(TitleDisplayText(Main().titleDisplay()), platform::kPathTooLong);
  EXPECT_TRUE(IsWindowEnabled(Main().titleDisplay()));

  // "ab" and then double-byte characters: a byte cut at 259 would end in a lone lead byte.
  std::string japanese = "ab";
  while (japanese.size() < 300) japanese += "\x82\xA0";
  FakeDataObject dropped(CF_TEXT, TextDropBytes(japanese));
  SetWindowTextA(Main().titleDisplay(), "");
  Drag(dropped, true);
  EXPECT_EQ(std::string(Player().currentPath), before);
  EXPECT_EQ(TitleDisplayText(Main().titleDisplay()), platform::kPathTooLong);

  // A text that fits whole, up to its last double-byte character, is taken.
  const std::string fits = japanese.substr(0, 258);
  FakeDataObject whole(CF_TEXT, TextDropBytes(fits));
  Drag(whole, true);
  EXPECT_EQ(std::string(Player().currentPath), fits);

  const std::string pasted = "xy" + japanese.substr(2);
  ASSERT_TRUE(SetClipboardText(pasted));
  SetWindowTextA(Main().titleDisplay(), "");
  {
    CtrlHeld ctrl;
    SendMessageA(Main().titleDisplay(), WM_KEYDOWN, 'V', 0);
  }
  EXPECT_EQ(std::string(Player().currentPath), fits);
  EXPECT_EQ(TitleDisplayText(Main().titleDisplay()), platform::kPathTooLong);
}

// A pasted wide text is read before the ANSI one: a Korean file name has no code in
// code page 932, and its ANSI text would be "?" (another file or none). It plays by
// its short form or is refused with its message.
TEST_F(MainWindowCommandsTest, PastedWideTextPlaysTheFileItselfOrIsRefused) {
  testing::TempDir dir;
  testing::WideFiles files(testing::WidePath(dir.path()));
  const std::wstring korean = files.File(L"\uD55C\uAD6D\uC5B4.wav", testing::ReadBytes(MediaPath("short.wav")));
  ASSERT_FALSE(korean.empty());
  const std::size_t bytes = (korean.size() + 1) * sizeof(wchar_t);
  // With the ANSI form a careless reader would take instead.
  ASSERT_TRUE(SetClipboardFormats({{CF_UNICODETEXT, std::string(reinterpret_cast<const char*>(korean.c_str()), bytes)},
                                   {CF_TEXT, std::string("???", 4)}}));
  Engine().StopAndClose();
  SetWindowTextA(Main().titleDisplay(), "");
  {
    CtrlHeld ctrl;
    SendMessageA(Main().titleDisplay(), WM_KEYDOWN, 'V', 0);
  }
  const std::string played = Player().currentPath;
  if (TitleDisplayText(Main().titleDisplay()) == platform::kPathUnrepresentable) {
    EXPECT_EQ(Player().state.load(), playback::kStateClosed);
    return;
  }
  EXPECT_EQ(played.find('?'), std::string::npos) << played;
  wchar_t full[MAX_PATH] = {};
  ASSERT_GT(GetLongPathNameW(testing::WidePath(played).c_str(), full, MAX_PATH), 0u) << played;
  EXPECT_EQ(std::wstring(full), korean);
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  Engine().StopAndClose();
}

// The drop returns before anything opens: building a graph inside it (a download,
// a slow drive) would hold the program the drag came from. The path shows at once
// and plays from the message the drop left.
TEST_F(MainWindowCommandsTest, ADropReturnsBeforeItsFileOpensAndPlaysItAfterwards) {
  const std::string path = MediaPath("short.wav");
  FakeDataObject text(CF_TEXT, TextDropBytes(path));
  const UINT formats[] = {CF_TEXT, CF_HDROP};
  IDropTarget* target = platform::NewDropTarget(main_, platform::kDropMessage, formats, 2);
  ASSERT_NE(target, nullptr);
  DWORD effect = DROPEFFECT_COPY;
  target->DragEnter(&text, 0, POINTL{10, 10}, &effect);
  effect = DROPEFFECT_COPY;
  const DWORD start = GetTickCount();
  target->Drop(&text, 0, POINTL{12, 12}, &effect);
  const DWORD took = GetTickCount() - start;
  target->Release();
  EXPECT_FALSE(Session().HasGraph()) << "a graph was built inside the drop";
  EXPECT_EQ(Player().state.load(), playback::kStateClosed);
  EXPECT_LT(took, 500u);
  EXPECT_EQ(TitleDisplayText(Main().titleDisplay()), path) << "the dropped path shows at once";

  // Two drops before the message comes: the later path plays, once.
  FakeDataObject second(CF_TEXT, TextDropBytes(MediaPath("tone.wav")));
  effect = DROPEFFECT_COPY;
  target = platform::NewDropTarget(main_, platform::kDropMessage, formats, 2);
  target->DragEnter(&second, 0, POINTL{10, 10}, &effect);
  target->Drop(&second, 0, POINTL{12, 12}, &effect);
  target->Release();
  DispatchWaitingMessages();
  EXPECT_EQ(Player().currentPath, MediaPath("tone.wav"));
  EXPECT_EQ(Player().currentTrackIndex, -1);
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
}

TEST_F(MainWindowCommandsTest, DroppedFilesPlayTheFirstOnly) {
  FakeDataObject files(CF_HDROP, FileDropBytes({MediaPath("short.wav"), MediaPath("tone.wav")}));
  Drag(files, true);
  EXPECT_FALSE(openedInsideDrop);
  EXPECT_EQ(Player().currentPath, MediaPath("short.wav"));
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_EQ(WindowText(main_), "short.wav");
  EXPECT_EQ(Rows()->RowCount(), 0) << "dropped files do not enter the playlist";
}

TEST_F(MainWindowCommandsTest, OpenDialogPlaysTheChosenFileOutsideThePlaylist) {
  const std::string tone = MediaPath("tone.wav");
  std::atomic<bool> chosen{false};
  std::string title;
  Engine().ResumeRow(2);
  std::thread chooser([&] { chosen = ChooseInFileDialog(main_, tone, &title); });
  SendMessageA(main_, WM_COMMAND, IDC_OPEN_BUTTON, 0);  // returns when the dialog closed
  chooser.join();
  ASSERT_TRUE(chosen.load());
  EXPECT_EQ(title, "Open Media File...");
  EXPECT_EQ(Player().currentPath, tone);
  EXPECT_EQ(Player().currentTrackIndex, -1);
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
}

// The open dialog as the system answers a pick of path: one that does not fit the
// buffer it was given fails with FNERR_BUFFERTOOSMALL.
struct PickInOpenDialog {
  std::wstring path;
  DWORD error = 0;
  DWORD offeredCapacity = 0;

  app::MainWindow::OpenDialogApi Api() {
    return {[this](OPENFILENAMEW* dialog) {
              offeredCapacity = dialog->nMaxFile;
              if (path.size() + 1 > dialog->nMaxFile) {
                error = FNERR_BUFFERTOOSMALL;
                return FALSE;
              }
              path.copy(dialog->lpstrFile, path.size());
              dialog->lpstrFile[path.size()] = L'\0';
              error = 0;
              return TRUE;
            },
            [this] { return error; }};
  }
};

TEST_F(MainWindowCommandsTest, AnOpenPickTooLongForThePlayerIsToldNeverDroppedUnseen) {
  HWND title = GetDlgItem(main_, IDC_TITLE_DISPLAY);
  std::wstring deep = L"C:\\";
  for (int i = 0; i < 30; ++i) deep += L"folder" + std::to_wstring(1000 + i) + L"\\";
  PickInOpenDialog pick{deep + L"tone.wav"};  // longer than MAX_PATH, well within the system's limit
  Main().SetOpenDialog(pick.Api());
  SetWindowTextA(title, "before");
  SendMessageA(main_, WM_COMMAND, IDC_OPEN_BUTTON, 0);
  EXPECT_GE(pick.offeredCapacity, 32768u);
  EXPECT_EQ(WindowText(title), platform::kPathTooLong) << "the pick came back and was refused with its reason";

  // A pick that fits no buffer at all: said in a box, not dropped.
  pick.path.assign(40000, L'x');
  std::atomic<bool> boxSeen{false};
  std::thread closer([&] {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = OwnedDialog(main_)) != nullptr; }, 10000)) return;
    char text[128] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    boxSeen = std::strcmp(text, platform::kPathTooLong) == 0;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  SendMessageA(main_, WM_COMMAND, IDC_OPEN_BUTTON, 0);
  closer.join();
  Main().SetOpenDialog(app::MainWindow::SystemOpenDialog());
  EXPECT_TRUE(boxSeen.load());
}

TEST(KestrunProcessKeys, TrayThenKeyXClosesTheRealPlayer) {
  KestrunProcess player;
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  HWND main = player.mainWindow();
  SendMessageA(main, WM_COMMAND, IDM_USE_TRAY, 0);
  SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 5000));
  SendMessageA(main, app::kTrayMessage, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000));
  SendMessageA(main, WM_COMMAND, IDM_USE_TRAY, 0);  // leave the setting as it was
  // Key X posts the exit command: the player closes through its close sequence.
  PostMessageA(GetDlgItem(main, IDC_TITLE_DISPLAY), WM_KEYDOWN, 'X', 0);
  EXPECT_EQ(player.WaitForExit(20000), 0);
}

}  // namespace
}  // namespace kestrun::testing
