// Every key of the title display, typed with real key input into the focused title
// display of a real main window. Each key is checked by what it does to things a
// user sees (a check mark, a window shown, what plays, the clipboard), and by
// changing nothing else, so that a key sending another key's command fails.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "app/title_display_win.h"
#include "platform/testing/clipboard_text_win.h"
#include "platform/testing/real_input_win.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

constexpr wchar_t kEffectCaption[] = L"エフェクト設定";
constexpr char kOpenCaption[] = "Open Media File...";

using Observed = std::map<std::string, std::string>;

// Closes the modal dialogs a key may open (the effect dialog, the open dialog) and
// remembers which of them appeared.
class ModalWatcher {
 public:
  ModalWatcher() : thread_([this] { Run(); }) {}
  ~ModalWatcher() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool effectSeen() const { return effectSeen_; }
  bool openSeen() const { return openSeen_; }

 private:
  void Run() {
    while (!stop_) {
      HWND effect = FindWindowW(nullptr, kEffectCaption);
      if (effect != nullptr && IsWindowVisible(effect)) {
        effectSeen_ = true;
        PostMessageA(effect, WM_COMMAND, IDCANCEL, 0);
      }
      HWND open = FindWindowA(nullptr, kOpenCaption);
      if (open != nullptr && IsWindowVisible(open)) {
        openSeen_ = true;
        PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
      }
      Sleep(30);
    }
  }

  std::atomic<bool> stop_{false};
  std::atomic<bool> effectSeen_{false};
  std::atomic<bool> openSeen_{false};
  std::thread thread_;
};

class TitleKeysByRealInput : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    ShowWindow(main_, SW_RESTORE);
    HideCompanions();
  }
  void TearDown() override {
    HideCompanions();
    ShowWindow(main_, SW_RESTORE);
    PlayerWindowTest::TearDown();
  }

  // Pumps this thread's messages as the program's loop does (the modeless dialogs
  // first) until condition holds or timeoutMs passes.
  template <typename Condition>
  static bool PumpUntil(Condition condition, DWORD timeoutMs) {
    return WaitUntil(condition, timeoutMs, [](MSG& message) { return App().router().Route(message); });
  }
  static void Pump(DWORD ms) {
    PumpFor(ms, [](MSG& message) { return App().router().Route(message); });
  }

  static void HideCompanions() {
    for (HWND window : {App().volumeDialog().window(), App().sleepTimerDialog().window(), App().filterList().window(),
                        App().equalizerDialog().window(), App().playlist().window()}) {
      if (window != nullptr) ShowWindow(window, SW_HIDE);
    }
  }

  // The main window active with the keyboard focus in its title display.
  static bool FocusTitleDisplay() {
    HWND title = Main().titleDisplay();
    BringToFront(main_);
    SetFocus(title);
    return PumpUntil([&] { return GetForegroundWindow() == main_ && GetFocus() == title; }, 3000);
  }

  static std::string Check(int id) {
    return (GetMenuState(Main().mainPopup(), id, MF_BYCOMMAND) & MF_CHECKED) != 0 ? "checked" : "-";
  }
  static std::string Shown(HWND window) { return window != nullptr && IsWindowVisible(window) ? "shown" : "-"; }
  static std::string SelectedRow() {
    HWND list = App().playlist().list();
    if (list == nullptr) return "none";
    return std::to_string(ListView_GetNextItem(list, -1, LVNI_SELECTED));
  }
  static std::string PlayState() {
    switch (Player().state.load()) {
      case playback::kStatePlaying:
        return "playing";
      case playback::kStatePaused:
        return "paused";
      case playback::kStateStopped:
        return "stopped";
      default:
        return "closed";
    }
  }

  // Everything a key of the table can change, as the user sees it.
  static Observed Observe() {
    return Observed{
        {"rate 2.0", Check(IDM_RATE_2_0)},
        {"rate 1.25", Check(IDM_RATE_1_25)},
        {"rate 1.0", Check(IDM_RATE_1_0)},
        {"rate 0.5", Check(IDM_RATE_0_5)},
        {"repeat all", Check(IDM_REPEAT_ALL)},
        {"repeat one", Check(IDM_REPEAT_ONE)},
        {"shuffle", Check(IDM_SHUFFLE)},
        {"fast seek", Check(IDM_FAST_SEEK)},
        {"topmost", Check(IDM_TOPMOST)},
        {"volume window", Shown(App().volumeDialog().window())},
        {"sleep window", Shown(App().sleepTimerDialog().window())},
        {"filter list", Shown(App().filterList().window())},
        {"equalizer window", Shown(App().equalizerDialog().window())},
        {"playlist window", Shown(App().playlist().window())},
        {"main window", IsIconic(main_) ? "minimized" : "normal"},
        {"playing", PlayState()},
        {"caption", WindowText(main_)},
        {"selected row", SelectedRow()},
        {"clipboard", ClipboardText()},
    };
  }

  // A playlist of three rows, the middle one playing: next and previous go to
  // different rows.
  static void PlayMiddleOfThree() {
    playlist::appendRow(*Rows(), MediaPath("short.wav"));
    playlist::appendRow(*Rows(), MediaPath("tone.wav"));
    playlist::appendRow(*Rows(), MediaPath("short.wav"));
    SendMessageA(main_, WM_COMMAND, IDC_NEXT_BUTTON, 0);
    SendMessageA(main_, WM_COMMAND, IDC_NEXT_BUTTON, 0);
  }
};

struct KeyCase {
  const char* name;
  WORD key;
  bool ctrl;
  std::function<void()> prepare;
  // What the key must change, and to what; everything else stays.
  Observed changes;
  // Modal dialogs the key must open (and nothing else may).
  bool opensEffects;
  bool opensOpenDialog;
  std::function<void()> undo;
};

TEST_F(TitleKeysByRealInput, EveryKeyDoesItsOwnCommandAndNothingElse) {
  ASSERT_NE(Main().mainPopup(), nullptr);
  const std::string tone = MediaPath("tone.wav");
  const std::string shortTone = MediaPath("short.wav");
  auto play = [tone] { OpenAndPlay(tone.c_str()); };
  auto command = [](int id) { return [id] { SendMessageA(main_, WM_COMMAND, id, 0); }; };
  auto hide = [](HWND (*window)()) { return [window] { ShowWindow(window(), SW_HIDE); }; };
  auto none = [] {};

  const std::vector<KeyCase> cases = {
      {"1: rate 2.0", '1', false, play, {{"rate 2.0", "checked"}}, false, false, none},
      {"2: rate 1.25", '2', false, play, {{"rate 1.25", "checked"}}, false, false, none},
      {"3: rate 1.0", '3', false, play, {{"rate 1.0", "checked"}}, false, false, none},
      {"4: rate 0.5", '4', false, play, {{"rate 0.5", "checked"}}, false, false, none},
      {"A: repeat all", 'A', false, none, {{"repeat all", "checked"}}, false, false, command(IDM_REPEAT_ALL)},
      {"B: volume", 'B', false, none, {{"volume window", "shown"}}, false, false, hide([] {
         return App().volumeDialog().window();
       })},
      {"C: playlist", 'C', false, none, {{"playlist window", "shown"}}, false, false, hide([] {
         return App().playlist().window();
       })},
      {"Ctrl+C: copy the path", 'C', true, play, {{"clipboard", tone}}, false, false, none},
      {"E: stop", 'E', false, play, {{"playing", "closed"}}, false, false, none},
      {"F: filter list", 'F', false, none, {{"filter list", "shown"}}, false, false, hide([] {
         return App().filterList().window();
       })},
      {"H: pause", 'H', false, play, {{"playing", "paused"}}, false, false, none},
      {"K: fast seek", 'K', false, none, {{"fast seek", "checked"}}, false, false, command(IDM_FAST_SEEK)},
      {"L: sleep timer", 'L', false, none, {{"sleep window", "shown"}}, false, false, hide([] {
         return App().sleepTimerDialog().window();
       })},
      {"M: effects", 'M', false, none, {}, true, false, none},
      {"N: next row",
       'N',
       false,
       PlayMiddleOfThree,
       {{"selected row", "2"}, {"caption", "short.wav"}},
       false,
       false,
       none},
      {"O: open", 'O', false, none, {}, false, true, none},
      {"P: play",
       'P',
       false,
       [play] {
         play();
         Engine().StopAndClose();
       },
       {{"playing", "playing"}},
       false,
       false,
       none},
      {"Q: equalizer", 'Q', false, none, {{"equalizer window", "shown"}}, false, false, hide([] {
         return App().equalizerDialog().window();
       })},
      {"R: repeat one", 'R', false, none, {{"repeat one", "checked"}}, false, false, command(IDM_REPEAT_ONE)},
      {"S: shuffle", 'S', false, none, {{"shuffle", "checked"}}, false, false, command(IDM_SHUFFLE)},
      {"T: topmost", 'T', false, none, {{"topmost", "checked"}}, false, false, command(IDM_TOPMOST)},
      {"U: minimize",
       'U',
       false,
       none,
       {{"main window", "minimized"}},
       false,
       false,
       [] { ShowWindow(main_, SW_RESTORE); }},
      {"V: previous row",
       'V',
       false,
       PlayMiddleOfThree,
       {{"selected row", "0"}, {"caption", "short.wav"}},
       false,
       false,
       none},
      {"Ctrl+V: play the pasted path",
       'V',
       true,
       [play, shortTone] {
         play();
         Engine().StopAndClose();
         SetClipboardText(shortTone);
       },
       {{"playing", "playing"}, {"caption", "short.wav"}},
       false,
       false,
       none},
  };

  for (const auto& keyCase : cases) {
    SCOPED_TRACE(keyCase.name);
    Engine().StopAndClose();
    Rows()->DeleteAllRows();
    SetClipboardText("clipboard before the key");
    keyCase.prepare();
    // The caption of a new graph: a row played by the preparation may still be
    // settling.
    Pump(100);
    ASSERT_TRUE(FocusTitleDisplay());
    const Observed before = Observe();
    for (const auto& [name, value] : keyCase.changes) {
      ASSERT_EQ(before.count(name), 1u) << name;
      ASSERT_NE(before.at(name), value) << name << " already shows what the key must bring";
    }

    ModalWatcher watcher;
    ASSERT_TRUE(PressKey(keyCase.key, keyCase.ctrl));
    PumpUntil(
        [&] {
          const Observed now = Observe();
          for (const auto& [name, value] : keyCase.changes) {
            if (now.at(name) != value) return false;
          }
          return (!keyCase.opensEffects || watcher.effectSeen()) && (!keyCase.opensOpenDialog || watcher.openSeen());
        },
        5000);
    // Time for a wrong command to show as well.
    Pump(200);
    watcher.Stop();

    const Observed after = Observe();
    for (const auto& [name, value] : before) {
      const auto expected = keyCase.changes.find(name);
      EXPECT_EQ(after.at(name), expected != keyCase.changes.end() ? expected->second : value) << name;
    }
    EXPECT_EQ(watcher.effectSeen(), keyCase.opensEffects) << "the effect dialog";
    EXPECT_EQ(watcher.openSeen(), keyCase.opensOpenDialog) << "the open dialog";
    keyCase.undo();
    HideCompanions();
  }
}

TEST_F(TitleKeysByRealInput, EditingKeysPasteUndoAndImeTextLeaveTheTitleAsItIs) {
  HWND title = Main().titleDisplay();
  Main().ShowTitleText("one.wav");
  SetClipboardText("pasted");
  ASSERT_TRUE(FocusTitleDisplay());
  EXPECT_NE(GetWindowLongA(title, GWL_STYLE) & ES_READONLY, 0) << "the display is read-only";
  EXPECT_EQ(ImmGetContext(title), nullptr) << "no IME composes into the display";

  struct Edit {
    const char* name;
    WORD modifier;
    WORD key;
  };
  const Edit edits[] = {
      {"Delete", 0, VK_DELETE},
      {"End", 0, VK_END},
      {"Backspace", 0, VK_BACK},
      {"Shift+Insert: paste", VK_SHIFT, VK_INSERT},
      {"Ctrl+Z: undo", VK_CONTROL, 'Z'},
      {"Shift+Delete: cut", VK_SHIFT, VK_DELETE},
      {"Home", 0, VK_HOME},
      {"Delete after Home", 0, VK_DELETE},
  };
  for (const auto& edit : edits) {
    SCOPED_TRACE(edit.name);
    ASSERT_TRUE(PressKeyWith(edit.modifier, edit.key));
    Pump(150);
    EXPECT_EQ(WindowText(title), "one.wav");
  }

  // What an IME hands over when a composition ends: a result string, then its
  // characters ("\x82\xa0" is HIRAGANA A in code page 932).
  SendMessageA(title, WM_IME_STARTCOMPOSITION, 0, 0);
  SendMessageA(title, WM_IME_COMPOSITION, 0x82a0, GCS_RESULTSTR);
  SendMessageA(title, WM_IME_ENDCOMPOSITION, 0, 0);
  SendMessageA(title, WM_IME_CHAR, 0x82a0, 1);
  SendMessageA(title, WM_CHAR, 'z', 1);
  Pump(100);
  EXPECT_EQ(WindowText(title), "one.wav") << "composed text";
  EXPECT_EQ(ClipboardText(), "pasted") << "nothing cut or copied over the clipboard";
}

UINT WINAPI PressedKeyIsOne(HWND) { return '1'; }
UINT WINAPI PressedKeyIsUnknown(HWND) { return VK_PROCESSKEY; }

TEST_F(TitleKeysByRealInput, AKeyTheImeTookActsAsTheKeyPressed) {
  const std::string tone = MediaPath("tone.wav");
  OpenAndPlay(tone.c_str());
  Pump(100);
  ASSERT_TRUE(FocusTitleDisplay());
  HWND title = Main().titleDisplay();
  ASSERT_NE(Check(IDM_RATE_2_0), "checked");

  // A key the IME keeps to itself does nothing.
  app::TitleDisplayKeys::SetVirtualKeyLookupForTesting(PressedKeyIsUnknown);
  const Observed before = Observe();
  PostMessageA(title, WM_KEYDOWN, VK_PROCESSKEY, 1);
  Pump(200);
  EXPECT_EQ(Observe(), before);

  app::TitleDisplayKeys::SetVirtualKeyLookupForTesting(PressedKeyIsOne);
  PostMessageA(title, WM_KEYDOWN, VK_PROCESSKEY, 1);
  EXPECT_TRUE(PumpUntil([] { return Check(IDM_RATE_2_0) == "checked"; }, 5000)) << "key 1 under the IME: rate 2.0";
  app::TitleDisplayKeys::SetVirtualKeyLookupForTesting(nullptr);
  SendMessageA(main_, WM_COMMAND, IDM_RATE_1_0, 0);
}

TEST(KestrunProcessKeys, RealKeyXClosesTheRealPlayer) {
  KestrunProcess player;
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  HWND main = player.mainWindow();
  HWND title = GetDlgItem(main, IDC_TITLE_DISPLAY);
  ASSERT_NE(title, nullptr);
  // A click on the title display makes the player active with the focus there.
  BringToFront(main);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }, 5000));
  ASSERT_EQ(WindowFromPoint(CentreOf(title)), title);
  ASSERT_TRUE(ClickAt(CentreOf(title)));
  Sleep(300);
  ASSERT_TRUE(PressKey('X'));
  EXPECT_EQ(player.WaitForExit(20000), 0) << "key X ends the player through its close sequence";
}

}  // namespace
}  // namespace kestrun::testing
