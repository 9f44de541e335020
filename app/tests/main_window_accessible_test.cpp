// The skinned main window as a screen reader meets it, from another process as one
// does: the accessible object of a real Kestrun.exe through AccessibleObjectFromWindow,
// its children's names, roles, states, places and values, its default actions, its
// announcements, and the focus frame that real Tab and Space keys move and press.
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "platform/testing/real_input_win.h"
#include "platform/win32_handles_win.h"
#include "resources/resource_ids.h"

namespace kestrun::testing {
namespace {

using Microsoft::WRL::ComPtr;

constexpr long kChildCount = 13;
constexpr long kPlayChild = 2;
constexpr long kStopChild = 4;
constexpr long kOpenChild = 6;
constexpr long kPlaylistChild = 7;
constexpr long kSeekChild = 10;
constexpr long kVolumeChild = 11;
constexpr long kTimeChild = 12;
constexpr long kTitleChild = 13;
constexpr char kDemoFile[] = "kestrun-demo.wav";
constexpr char kPlaylistCaption[] = "Quenfold' PlayList";

VARIANT Child(long id) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

std::wstring Wide(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                         static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return wide;
}

// A text property of a child; "<failed>" when the call fails, "<none>" without text.
template <typename Getter>
std::wstring Text(Getter getter) {
  BSTR text = nullptr;
  if (FAILED(getter(&text))) return L"<failed>";
  if (text == nullptr) return L"<none>";
  std::wstring result(text, SysStringLen(text));
  SysFreeString(text);
  return result;
}

long Number(HRESULT (IAccessible::*getter)(VARIANT, VARIANT*), IAccessible* face, long id) {
  VARIANT answer;
  VariantInit(&answer);
  if (FAILED((face->*getter)(Child(id), &answer)) || answer.vt != VT_I4) return -1;
  return answer.lVal;
}

// Keys with Shift held around them, as a person types Shift+Tab.
bool PressWithShift(WORD key) {
  INPUT inputs[4]{};
  const WORD keys[4] = {VK_SHIFT, key, key, VK_SHIFT};
  for (int i = 0; i < 4; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = keys[i];
    inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(keys[i], MAPVK_VK_TO_VSC));
    inputs[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  return SendInput(4, inputs, sizeof(INPUT)) == 4;
}

// The visible top-level window of a process with a caption, or nullptr.
HWND ProcessWindow(HWND sibling, const char* caption) {
  return FindProcessWindow(sibling,
                           [caption](HWND window) { return IsWindowVisible(window) && WindowText(window) == caption; });
}

// Whole seconds of the position in a time text ("01:05/03:42" gives 65).
int PositionSeconds(const std::string& timeText) {
  int minutes = 0;
  int seconds = 0;
  return std::sscanf(timeText.c_str(), "%d:%d/", &minutes, &seconds) == 2 ? minutes * 60 + seconds : -1;
}

// The player's window events for its client area's children, counted on this thread
// while it pumps messages (WaitUntil). One recorder at a time.
class EventRecorder {
 public:
  explicit EventRecorder(HWND main) {
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    counts_.clear();
    hook_ = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, Record, process, 0,
                            WINEVENT_OUTOFCONTEXT);
  }
  ~EventRecorder() {
    if (hook_ != nullptr) UnhookWinEvent(hook_);
  }
  EventRecorder(const EventRecorder&) = delete;
  EventRecorder& operator=(const EventRecorder&) = delete;

  bool hooked() const { return hook_ != nullptr; }
  static int Count(DWORD event, long child) { return counts_[{event, child}]; }
  static void Reset(DWORD event, long child) { counts_[{event, child}] = 0; }

 private:
  static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT) ++counts_[{event, child}];
  }
  static inline std::map<std::pair<DWORD, long>, int> counts_;
  HWINEVENTHOOK hook_ = nullptr;
};

class AccessibleFaceTest : public ::testing::Test {
 protected:
  void Start(const std::string& arguments) {
    ASSERT_TRUE(com_.ok());
    ASSERT_TRUE(player_.Start(arguments));
    ASSERT_TRUE(player_.WaitForMainWindow());
    main_ = player_.mainWindow();
    const HRESULT found = AccessibleObjectFromWindow(main_, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(face_.GetAddressOf()));
    ASSERT_EQ(found, S_OK);
    ASSERT_NE(face_, nullptr);
  }
  void StartPlayingDemo() {
    ASSERT_NO_FATAL_FAILURE(Start("\"" + BinaryDirectory() + "\\" + kDemoFile + "\""));
    ASSERT_TRUE(WaitUntil([&] { return PositionSeconds(player_.TimeText()) >= 1; }, 20000)) << player_.TimeText();
  }
  void TearDown() override {
    face_.Reset();
    if (main_ != nullptr) player_.Close();
  }

  std::wstring Name(long id) {
    return Text([&](BSTR* out) { return face_->get_accName(Child(id), out); });
  }
  std::wstring Value(long id) {
    return Text([&](BSTR* out) { return face_->get_accValue(Child(id), out); });
  }
  long Role(long id) { return Number(&IAccessible::get_accRole, face_.Get(), id); }
  long State(long id) { return Number(&IAccessible::get_accState, face_.Get(), id); }
  long Focused() {
    VARIANT focus;
    VariantInit(&focus);
    if (face_->get_accFocus(&focus) != S_OK || focus.vt != VT_I4) return -1;
    return focus.lVal;
  }
  RECT ControlRect(int controlId) {
    RECT rect{};
    GetWindowRect(GetDlgItem(main_, controlId), &rect);
    return rect;
  }

  platform::ComApartment com_;
  KestrunProcess player_;
  HWND main_ = nullptr;
  ComPtr<IAccessible> face_;
};

TEST_F(AccessibleFaceTest, EachPaintedControlIsAChildWithItsJapaneseNameRolePlaceAndAction) {
  ASSERT_NO_FATAL_FAILURE(StartPlayingDemo());
  LONG count = 0;
  ASSERT_EQ(face_->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, kChildCount);
  EXPECT_EQ(Role(CHILDID_SELF), ROLE_SYSTEM_CLIENT);

  struct Expected {
    long id;
    int control;
    const wchar_t* name;
    long role;
  };
  const Expected controls[] = {
      {1, IDC_PREVIOUS_BUTTON, L"前の曲", ROLE_SYSTEM_PUSHBUTTON},
      {2, IDC_PLAY_BUTTON, L"再生", ROLE_SYSTEM_PUSHBUTTON},
      {3, IDC_PAUSE_BUTTON, L"一時停止", ROLE_SYSTEM_PUSHBUTTON},
      {4, IDC_STOP_BUTTON, L"停止", ROLE_SYSTEM_PUSHBUTTON},
      {5, IDC_NEXT_BUTTON, L"次の曲", ROLE_SYSTEM_PUSHBUTTON},
      {6, IDC_OPEN_BUTTON, L"開く", ROLE_SYSTEM_PUSHBUTTON},
      {7, IDC_PLAYLIST_BUTTON, L"プレイリスト", ROLE_SYSTEM_PUSHBUTTON},
      {8, IDC_MINIMIZE_BUTTON, L"最小化", ROLE_SYSTEM_PUSHBUTTON},
      {9, IDC_EXIT_BUTTON, L"終了", ROLE_SYSTEM_PUSHBUTTON},
      {10, IDC_SEEK_KNOB, L"シーク", ROLE_SYSTEM_SLIDER},
      {11, IDC_VOLUME_KNOB, L"ボリューム", ROLE_SYSTEM_SLIDER},
  };
  for (const Expected& control : controls) {
    SCOPED_TRACE(control.id);
    EXPECT_EQ(Name(control.id), control.name);
    EXPECT_EQ(Role(control.id), control.role);
    IDispatch* child = nullptr;
    EXPECT_EQ(face_->get_accChild(Child(control.id), &child), S_FALSE) << "a simple child, no object of its own";
    EXPECT_EQ(child, nullptr);
    const long state = State(control.id);
    EXPECT_EQ(state & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_PRESSED), 0) << state;
    EXPECT_NE(state & STATE_SYSTEM_FOCUSABLE, 0);

    // Where the control is on the screen, and what is under its centre.
    const RECT rect = ControlRect(control.control);
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(face_->accLocation(&left, &top, &width, &height, Child(control.id)), S_OK);
    EXPECT_EQ(left, rect.left);
    EXPECT_EQ(top, rect.top);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
    VARIANT hit;
    VariantInit(&hit);
    ASSERT_EQ(face_->accHitTest((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, &hit), S_OK);
    EXPECT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, control.id);

    const std::wstring action = Text([&](BSTR* out) { return face_->get_accDefaultAction(Child(control.id), out); });
    if (control.role == ROLE_SYSTEM_PUSHBUTTON) {
      EXPECT_EQ(action, L"押す");
    } else {
      EXPECT_EQ(action, L"<failed>") << "a knob is dragged, not pressed";
    }
  }

  // The texts: the title as the title display shows it, the time as the time display.
  EXPECT_EQ(Role(kTimeChild), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(Role(kTitleChild), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(Name(kTitleChild), Wide(player_.TitleText()));
  EXPECT_NE(Name(kTitleChild).find(L"kestrun-demo"), std::wstring::npos) << "the playing file's title";
  EXPECT_EQ(Name(CHILDID_SELF), Wide(player_.Caption()));

  // Time, seek and volume values; the running time may turn a second between reads.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::string before = player_.TimeText();
    const std::wstring time = Value(kTimeChild);
    const std::wstring seek = Value(kSeekChild);
    if (player_.TimeText() != before) continue;
    EXPECT_EQ(time, Wide(before));
    EXPECT_EQ(Name(kTimeChild), Wide(before));
    const std::size_t slash = before.find('/');
    ASSERT_NE(slash, std::string::npos) << before;
    EXPECT_EQ(seek, Wide(before.substr(0, slash) + " / " + before.substr(slash + 1)));
    EXPECT_EQ(before.substr(slash + 1), "00:20") << "the demo lasts 20 s";
    break;
  }
  const std::wstring volume = Value(kVolumeChild);
  const int percent = _wtoi(volume.c_str());
  EXPECT_TRUE(percent >= 0 && percent <= 100 && std::to_wstring(percent) == volume) << volume;

  // Ids outside the children are refused.
  BSTR name = nullptr;
  EXPECT_EQ(face_->get_accName(Child(kChildCount + 1), &name), E_INVALIDARG);
  EXPECT_EQ(face_->get_accName(Child(-1), &name), E_INVALIDARG);

  // The parent is the window's own object, which holds this client area (Wine's
  // answers little more than that it is one).
  ComPtr<IDispatch> parent;
  ASSERT_EQ(face_->get_accParent(parent.GetAddressOf()), S_OK);
  ComPtr<IAccessible> window;
  EXPECT_EQ(parent.As(&window), S_OK);

  // Navigation walks the children in order and stops at the ends.
  VARIANT next;
  VariantInit(&next);
  ASSERT_EQ(face_->accNavigate(NAVDIR_FIRSTCHILD, Child(CHILDID_SELF), &next), S_OK);
  EXPECT_EQ(next.lVal, 1);
  ASSERT_EQ(face_->accNavigate(NAVDIR_NEXT, Child(1), &next), S_OK);
  EXPECT_EQ(next.lVal, 2);
  EXPECT_EQ(face_->accNavigate(NAVDIR_NEXT, Child(kChildCount), &next), S_FALSE);
  ASSERT_EQ(face_->accNavigate(NAVDIR_RIGHT, Child(kPlayChild), &next), S_OK);
  EXPECT_EQ(next.lVal, 3) << "pause is right of play";
}

TEST_F(AccessibleFaceTest, DefaultActionsWorkTheButtonsAsTheirClicksDo) {
  ASSERT_NO_FATAL_FAILURE(StartPlayingDemo());
  ASSERT_EQ(face_->accDoDefaultAction(Child(kStopChild)), S_OK);
  ASSERT_TRUE(WaitUntil([&] { return PositionSeconds(player_.TimeText()) == 0; }, 10000)) << player_.TimeText();
  Sleep(1500);
  EXPECT_EQ(PositionSeconds(player_.TimeText()), 0) << "stopped: " << player_.TimeText();

  // Play starts the same file again from its start, and the time runs.
  ASSERT_EQ(face_->accDoDefaultAction(Child(kPlayChild)), S_OK);
  EXPECT_TRUE(WaitUntil([&] { return PositionSeconds(player_.TimeText()) >= 2; }, 20000)) << player_.TimeText();
  EXPECT_NE(player_.TimeText().find("/00:20"), std::string::npos) << player_.TimeText();

  EXPECT_EQ(face_->accDoDefaultAction(Child(kSeekChild)), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(face_->accDoDefaultAction(Child(kTimeChild)), DISP_E_MEMBERNOTFOUND);
}

TEST_F(AccessibleFaceTest, ValuesFollowTheVolumeKnobAndChangesAreAnnouncedAFewTimesASecondAtMost) {
  ASSERT_NO_FATAL_FAILURE(Start(""));
  const EventRecorder events(main_);
  ASSERT_TRUE(events.hooked());

  BringToFront(main_);
  DragWithMouse(CentreOf(GetDlgItem(main_, IDC_VOLUME_KNOB)), 0, -120);
  EXPECT_TRUE(WaitUntil([&] { return Value(kVolumeChild) == L"100"; }, 5000)) << "at the top: full volume";
  DragWithMouse(CentreOf(GetDlgItem(main_, IDC_VOLUME_KNOB)), 0, 120);
  EXPECT_TRUE(WaitUntil([&] { return Value(kVolumeChild) == L"0"; }, 5000)) << "at the bottom: silent";
  EXPECT_TRUE(WaitUntil([] { return EventRecorder::Count(EVENT_OBJECT_VALUECHANGE, kVolumeChild) >= 2; }, 3000));

  // Five seconds of playing: the running time is announced about once a second, not
  // at every tick of the position timer (five a second).
  ASSERT_EQ(face_->accDoDefaultAction(Child(kOpenChild)), S_OK);
  HWND open = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (open = ProcessWindow(main_, "Open Media File...")) != nullptr; }, 10000));
  // The file-name box: an edit inside the combo box 1148, or the edit 1152.
  HWND name = FindWindowExA(GetDlgItem(open, 1148), nullptr, "Edit", nullptr);
  if (name == nullptr) name = GetDlgItem(open, 1152);
  if (name == nullptr) name = GetDlgItem(open, 1148);
  ASSERT_NE(name, nullptr);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>((BinaryDirectory() + "\\" + kDemoFile).c_str()));
  PostMessageA(open, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return PositionSeconds(player_.TimeText()) >= 1; }, 20000)) << player_.TimeText();
  EventRecorder::Reset(EVENT_OBJECT_VALUECHANGE, kTimeChild);
  WaitUntil([] { return false; }, 5000);
  EXPECT_GE(EventRecorder::Count(EVENT_OBJECT_VALUECHANGE, kTimeChild), 3);
  EXPECT_LE(EventRecorder::Count(EVENT_OBJECT_VALUECHANGE, kTimeChild), 7);
  EXPECT_GE(EventRecorder::Count(EVENT_OBJECT_NAMECHANGE, kTitleChild), 1) << "the new title";

  // Dragging the seek knob changes the time text at every move of the pointer; the
  // seek value is still announced at most once a second, and the final one follows.
  WaitUntil([] { return false; }, 300);
  EventRecorder::Reset(EVENT_OBJECT_VALUECHANGE, kSeekChild);
  DragWithMouse(CentreOf(GetDlgItem(main_, IDC_SEEK_KNOB)), 150, 0);
  WaitUntil([] { return false; }, 200);
  EXPECT_GE(EventRecorder::Count(EVENT_OBJECT_VALUECHANGE, kSeekChild), 1);
  EXPECT_LE(EventRecorder::Count(EVENT_OBJECT_VALUECHANGE, kSeekChild), 2) << "six moves in under a second";
}

TEST_F(AccessibleFaceTest, TabFramesTheControlsOnTheFaceAndSpacePressesTheFramedButton) {
  ASSERT_NO_FATAL_FAILURE(Start(""));
  const EventRecorder events(main_);
  BringToFront(main_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }, 5000));
  const RECT button = ControlRect(IDC_PLAYLIST_BUTTON);
  RECT around = button;
  InflateRect(&around, 4, 4);
  const std::vector<DWORD> before = ScreenPixels(around);
  EXPECT_EQ(Focused(), CHILDID_SELF) << "no frame before the first Tab";

  for (int i = 0; i < kPlaylistChild; ++i) ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(WaitUntil([&] { return Focused() == kPlaylistChild; }, 5000)) << Focused();
  EXPECT_NE(State(kPlaylistChild) & STATE_SYSTEM_FOCUSED, 0);
  EXPECT_EQ(State(kOpenChild) & STATE_SYSTEM_FOCUSED, 0);
  // A screen reader follows the frame by its focus events, one for each control passed.
  EXPECT_TRUE(WaitUntil([] { return EventRecorder::Count(EVENT_OBJECT_FOCUS, kPlaylistChild) == 1; }, 3000));
  EXPECT_EQ(EventRecorder::Count(EVENT_OBJECT_FOCUS, 1), 1);

  // The frame shows around the button; the button's own picture stays the skin's.
  std::vector<DWORD> after;
  WaitUntil(
      [&] {
        after = ScreenPixels(around);
        return after != before;
      },
      3000);
  const int width = around.right - around.left;
  int ringChanged = 0;
  int insideChanged = 0;
  for (std::size_t i = 0; i < after.size(); ++i) {
    const int x = around.left + static_cast<int>(i) % width;
    const int y = around.top + static_cast<int>(i) / width;
    const bool inside = x >= button.left && x < button.right && y >= button.top && y < button.bottom;
    if (after[i] != before[i]) ++(inside ? insideChanged : ringChanged);
  }
  EXPECT_GE(ringChanged, (button.right - button.left) / 2) << "a frame around the button";
  EXPECT_EQ(insideChanged, 0) << "the skin's picture of the button is unchanged";

  // Shift+Tab goes back; Tab comes round again.
  ASSERT_TRUE(PressWithShift(VK_TAB));
  ASSERT_TRUE(WaitUntil([&] { return Focused() == kOpenChild; }, 5000)) << Focused();
  ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(WaitUntil([&] { return Focused() == kPlaylistChild; }, 5000)) << Focused();

  // Space presses the framed button: the playlist window appears.
  ASSERT_EQ(ProcessWindow(main_, kPlaylistCaption), nullptr);
  ASSERT_TRUE(PressKey(VK_SPACE));
  EXPECT_TRUE(WaitUntil([&] { return ProcessWindow(main_, kPlaylistCaption) != nullptr; }, 5000));
  // And the key table's letters still work with the frame shown: C hides the playlist.
  BringToFront(main_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }, 5000));
  ASSERT_TRUE(PressKey('C'));
  EXPECT_TRUE(WaitUntil([&] { return ProcessWindow(main_, kPlaylistCaption) == nullptr; }, 5000));
  // Under Xvfb with no window manager the X focus can still sit on the playlist window
  // after SetForegroundWindow; unmapping it then leaves the desktop active, a moment
  // later. A user clicks the player again (as often as it takes), and the frame must be
  // back where it was.
  EXPECT_TRUE(WaitUntil(
      [&] {
        if (GetForegroundWindow() != main_) BringToFront(main_);
        return GetForegroundWindow() == main_ && Focused() == kPlaylistChild;
      },
      5000))
      << "the frame stays where it was: " << Focused();
  // The player keeps the front from here on: a loss that was still on its way has come.
  WaitUntil([] { return false; }, 300);
  if (GetForegroundWindow() != main_) BringToFront(main_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }, 5000));
  // Enter presses it too (the dialog manager would otherwise take Enter for itself).
  ASSERT_TRUE(PressKey(VK_RETURN));
  EXPECT_TRUE(WaitUntil([&] { return ProcessWindow(main_, kPlaylistCaption) != nullptr; }, 5000));
}

TEST_F(AccessibleFaceTest, ArrowKeysMoveAFramedKnob) {
  ASSERT_NO_FATAL_FAILURE(StartPlayingDemo());
  BringToFront(main_);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; }, 5000));
  for (int i = 0; i < kSeekChild; ++i) ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(WaitUntil([&] { return Focused() == kSeekChild; }, 5000)) << Focused();

  // Right goes five seconds on, Left five back.
  const int before = PositionSeconds(player_.TimeText());
  ASSERT_TRUE(PressKey(VK_RIGHT));
  EXPECT_TRUE(WaitUntil([&] { return PositionSeconds(player_.TimeText()) >= before + 5; }, 3000))
      << before << " then " << player_.TimeText();
  const int later = PositionSeconds(player_.TimeText());
  ASSERT_TRUE(PressKey(VK_LEFT));
  EXPECT_TRUE(WaitUntil([&] { return PositionSeconds(player_.TimeText()) <= later - 3; }, 3000))
      << later << " then " << player_.TimeText();

  // Up and Down step the volume as the volume keys do.
  ASSERT_TRUE(PressKey(VK_TAB));
  ASSERT_TRUE(WaitUntil([&] { return Focused() == kVolumeChild; }, 5000)) << Focused();
  for (int i = 0; i < 25 && Value(kVolumeChild) != L"100"; ++i) {
    ASSERT_TRUE(PressKey(VK_UP));
    WaitUntil([] { return false; }, 100);
  }
  EXPECT_EQ(Value(kVolumeChild), L"100");
  ASSERT_TRUE(PressKey(VK_DOWN));
  EXPECT_TRUE(WaitUntil([&] { return Value(kVolumeChild) == L"95"; }, 3000)) << Value(kVolumeChild);
  EXPECT_EQ(Focused(), kVolumeChild) << "the arrows move the knob, not the frame";
}

TEST_F(AccessibleFaceTest, AButtonHeldDownWithTheMouseReadsPressed) {
  ASSERT_NO_FATAL_FAILURE(Start(""));
  BringToFront(main_);
  HWND pause = GetDlgItem(main_, IDC_PAUSE_BUTTON);
  const POINT centre = CentreOf(pause);
  SetCursorPos(centre.x, centre.y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  ASSERT_EQ(SendInput(1, &input, sizeof(INPUT)), 1u);
  EXPECT_TRUE(WaitUntil([&] { return (State(3) & STATE_SYSTEM_PRESSED) != 0; }, 3000)) << State(3);
  EXPECT_EQ(State(kPlayChild) & STATE_SYSTEM_PRESSED, 0);
  // Let go off the button, so nothing is clicked.
  SetCursorPos(centre.x, centre.y + 200);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof(INPUT));
  EXPECT_TRUE(WaitUntil([&] { return (State(3) & STATE_SYSTEM_PRESSED) == 0; }, 3000)) << State(3);
}

TEST_F(AccessibleFaceTest, AClientHoldingTheObjectAfterThePlayerClosedGetsAnErrorNotACrash) {
  ASSERT_NO_FATAL_FAILURE(Start(""));
  ASSERT_EQ(player_.Close(), 0);
  main_ = nullptr;
  LONG count = 0;
  EXPECT_TRUE(FAILED(face_->get_accChildCount(&count)));
  BSTR name = nullptr;
  EXPECT_TRUE(FAILED(face_->get_accName(Child(kPlayChild), &name)));
}

}  // namespace
}  // namespace kestrun::testing
