#include "platform/modeless_dialog_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/modal_guard_win.h"

namespace kestrun::platform {
namespace {

constexpr int kEditId = 100;
constexpr int kButtonId = 101;
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;

// Builds a dialog template in memory: DLGTEMPLATE, then the menu, class, title and font,
// then each DLGITEMTEMPLATE on a DWORD boundary followed by its class, title and an
// empty creation-data block.
class TemplateBuilder {
 public:
  TemplateBuilder(DWORD style, short cx, short cy) {
    DLGTEMPLATE header = {};
    header.style = style | DS_SETFONT;
    header.cx = cx;
    header.cy = cy;
    Append(&header, sizeof header);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Text("Kestrun test");
    Word(8);
    Text("MS Shell Dlg");
  }

  TemplateBuilder& Item(WORD window_class, int id, DWORD style, short x, short y) {
    Align();
    DLGITEMTEMPLATE item = {};
    item.style = style | WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    item.x = x;
    item.y = y;
    item.cx = 40;
    item.cy = 12;
    item.id = static_cast<WORD>(id);
    Append(&item, sizeof item);
    Word(0xFFFF);
    Word(window_class);
    Text("");
    Word(0);
    ++reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit;
    return *this;
  }

  const DLGTEMPLATE* get() {
    // The words live in DWORDs, so the template starts DWORD-aligned.
    words_.assign((bytes_.size() + 3) / 4, 0);
    std::memcpy(words_.data(), bytes_.data(), bytes_.size());
    return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
  }

 private:
  void Append(const void* data, std::size_t size) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + size);
    std::memcpy(bytes_.data() + at, data, size);
  }
  void Word(WORD value) { Append(&value, sizeof value); }
  void Text(const char* ascii) {
    for (; *ascii != '\0'; ++ascii) Word(static_cast<WORD>(*ascii));
    Word(0);
  }
  void Align() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }

  std::vector<char> bytes_;
  std::vector<DWORD> words_;
};

// Records what reaches HandleMessage, and fills its edit box from its state in
// WM_INITDIALOG, as the player's dialogs do.
class RecordingDialog : public ModelessDialog {
 public:
  explicit RecordingDialog(std::string title, bool* destroyed = nullptr)
      : title_(std::move(title)), destroyed_(destroyed) {}
  // The flag lives outside the object, so the store survives the end of its lifetime.
  ~RecordingDialog() override {
    if (destroyed_ != nullptr) *destroyed_ = true;
  }

  bool Saw(UINT message) const {
    for (UINT seen : messages_) {
      if (seen == message) return true;
    }
    return false;
  }

  std::vector<UINT> messages_;
  HWND window_in_init_ = nullptr;
  LONG_PTR user_data_in_init_ = 0;

 protected:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    // The base must never route a message here once this object is being torn down.
    if (destroyed_ != nullptr && *destroyed_) {
      ADD_FAILURE() << "message " << message << " reached a destroyed dialog";
      return FALSE;
    }
    messages_.push_back(message);
    if (message == WM_INITDIALOG) {
      window_in_init_ = window();
      user_data_in_init_ = GetWindowLongPtrA(window(), DWLP_USER);
      SetDlgItemTextA(window(), kEditId, title_.c_str());
      return TRUE;
    }
    return FALSE;
  }

 private:
  std::string title_;
  bool* destroyed_;
};

// Dialog procedures run inside system callbacks, where a crash is swallowed instead of
// ending the test program: count the faults so a test can fail on them.
class FaultCounter {
 public:
  FaultCounter() : handler_(AddVectoredExceptionHandler(1, &Count)) { faults_ = 0; }
  ~FaultCounter() { RemoveVectoredExceptionHandler(handler_); }
  FaultCounter(const FaultCounter&) = delete;
  FaultCounter& operator=(const FaultCounter&) = delete;

  static int faults() { return faults_; }

 private:
  static LONG CALLBACK Count(EXCEPTION_POINTERS* info) {
    switch (info->ExceptionRecord->ExceptionCode) {
      case EXCEPTION_ACCESS_VIOLATION:
      case EXCEPTION_ILLEGAL_INSTRUCTION:
      case EXCEPTION_PRIV_INSTRUCTION:
        ++faults_;
        break;
      default:
        break;
    }
    return EXCEPTION_CONTINUE_SEARCH;
  }

  static inline int faults_ = 0;
  void* handler_;
};

class ModelessDialogTest : public ::testing::Test {
 protected:
  ModelessDialogTest() {
    popup_.Item(kEditClass, kEditId, ES_AUTOHSCROLL | WS_BORDER, 4, 4).Item(kButtonClass, kButtonId, 0, 4, 20);
    child_.Item(kButtonClass, kButtonId, 0, 4, 4).Item(kEditClass, kEditId, WS_BORDER, 4, 20);
  }

  HWND CreatePopup(ModelessDialog& dialog, HWND owner = nullptr, std::optional<DialogSlot> slot = std::nullopt) {
    return dialog.CreateIndirect(GetModuleHandleA(nullptr), popup_.get(), owner, &router_, slot);
  }

  static MSG TabFor(HWND control) {
    MSG message = {};
    message.hwnd = control;
    message.message = WM_KEYDOWN;
    message.wParam = VK_TAB;
    return message;
  }

  void TearDown() override { EXPECT_EQ(FaultCounter::faults(), 0) << "a dialog procedure crashed"; }

  FaultCounter fault_counter_;
  TemplateBuilder popup_{WS_POPUP | WS_CAPTION | WS_SYSMENU, 120, 60};
  // Not DS_CONTROL: a control-parent child would hand navigation to the outer dialog.
  TemplateBuilder child_{WS_CHILD | WS_VISIBLE, 60, 40};
  DialogRouter router_;
};

TEST_F(ModelessDialogTest, StateIsReachableFromInitDialog) {
  RecordingDialog dialog("Tag editor");
  HWND window = CreatePopup(dialog, nullptr, DialogSlot::TagEditor);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(dialog.window(), window);
  EXPECT_EQ(dialog.window_in_init_, window);
  EXPECT_EQ(dialog.user_data_in_init_, reinterpret_cast<LONG_PTR>(static_cast<ModelessDialog*>(&dialog)));
  // WM_SETFONT comes before WM_INITDIALOG, when the object is not on the window yet.
  ASSERT_FALSE(dialog.messages_.empty());
  EXPECT_EQ(dialog.messages_.front(), static_cast<UINT>(WM_INITDIALOG));
  char text[32] = {};
  GetDlgItemTextA(window, kEditId, text, sizeof text);
  EXPECT_STREQ(text, "Tag editor");
  EXPECT_EQ(router_.At(DialogSlot::TagEditor), window);
}

TEST_F(ModelessDialogTest, WindowDestroyedFromOutsideLeavesNothingBehind) {
  RecordingDialog dialog("a");
  HWND window = CreatePopup(dialog, nullptr, DialogSlot::FilterList);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_TRUE(dialog.Saw(WM_DESTROY));
  EXPECT_TRUE(dialog.Saw(WM_NCDESTROY));
  EXPECT_EQ(dialog.window(), nullptr);
  EXPECT_EQ(router_.At(DialogSlot::FilterList), nullptr);
  dialog.Destroy();
  dialog.Destroy();
  EXPECT_EQ(dialog.window(), nullptr);
}

TEST_F(ModelessDialogTest, DialogDiesWithItsOwner) {
  RecordingDialog owner("owner");
  RecordingDialog owned("owned");
  ASSERT_NE(CreatePopup(owner, nullptr, DialogSlot::Main), nullptr);
  HWND owned_window = CreatePopup(owned, owner.window(), DialogSlot::Equalizer);
  ASSERT_NE(owned_window, nullptr);
  owner.Destroy();
  EXPECT_FALSE(IsWindow(owned_window));
  EXPECT_EQ(owned.window(), nullptr);
  EXPECT_EQ(router_.At(DialogSlot::Main), nullptr);
  EXPECT_EQ(router_.At(DialogSlot::Equalizer), nullptr);
}

TEST_F(ModelessDialogTest, ObjectGoingAwayDestroysItsWindowWithoutCallingBack) {
  HWND window = nullptr;
  bool destroyed = false;
  {
    RecordingDialog dialog("a", &destroyed);
    window = CreatePopup(dialog, nullptr, DialogSlot::Main);
    ASSERT_NE(window, nullptr);
  }
  // A message reaching the object after its destructor either fails in RecordingDialog or,
  // once only the base is left, crashes in the callback (counted by the fixture).
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(router_.At(DialogSlot::Main), nullptr);
}

TEST_F(ModelessDialogTest, CreatingAgainReplacesTheWindow) {
  RecordingDialog dialog("a");
  HWND first = CreatePopup(dialog, nullptr, DialogSlot::TagEditor);
  ASSERT_NE(first, nullptr);
  HWND second = CreatePopup(dialog, nullptr, DialogSlot::Equalizer);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(router_.At(DialogSlot::TagEditor), nullptr);
  EXPECT_EQ(router_.At(DialogSlot::Equalizer), second);
  EXPECT_EQ(dialog.window(), second);
}

TEST_F(ModelessDialogTest, RouterSlotsAreReplacedAndClearedByWindow) {
  HWND a = reinterpret_cast<HWND>(0x1000);
  HWND b = reinterpret_cast<HWND>(0x2000);
  router_.Register(DialogSlot::Main, a);
  router_.Register(DialogSlot::Main, b);
  router_.Register(DialogSlot::Equalizer, b);
  router_.Register(DialogSlot::TagEditor, a);
  EXPECT_EQ(router_.At(DialogSlot::Main), b);
  router_.Unregister(b);
  EXPECT_EQ(router_.At(DialogSlot::Main), nullptr);
  EXPECT_EQ(router_.At(DialogSlot::Equalizer), nullptr);
  EXPECT_EQ(router_.At(DialogSlot::TagEditor), a);
}

TEST_F(ModelessDialogTest, RouterOffersMessagesToEveryDialog) {
  RecordingDialog first("first");
  RecordingDialog second("second");
  ASSERT_NE(CreatePopup(first, nullptr, DialogSlot::TagEditor), nullptr);
  ASSERT_NE(CreatePopup(second, nullptr, DialogSlot::Main), nullptr);
  first.messages_.clear();
  second.messages_.clear();

  MSG tab = TabFor(GetDlgItem(second.window(), kButtonId));
  EXPECT_TRUE(router_.Route(tab));
  EXPECT_TRUE(second.Saw(WM_NEXTDLGCTL));
  EXPECT_FALSE(first.Saw(WM_NEXTDLGCTL));

  // A window outside every registered dialog is left to the normal dispatch.
  {
    HWND loose =
        CreateWindowExA(0, "BUTTON", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(loose, nullptr);
    MSG message = TabFor(loose);
    EXPECT_FALSE(router_.Route(message));
    DestroyWindow(loose);
  }
}

TEST_F(ModelessDialogTest, NestedDialogsAreOfferedMessagesInSlotOrder) {
  RecordingDialog outer("outer");
  RecordingDialog inner("inner");
  ASSERT_NE(CreatePopup(outer), nullptr);
  ASSERT_NE(inner.CreateIndirect(GetModuleHandleA(nullptr), child_.get(), outer.window()), nullptr);
  ASSERT_TRUE(IsChild(outer.window(), inner.window()));
  // The inner dialog's button is inside both dialogs, so whichever comes first takes it.
  HWND button = GetDlgItem(inner.window(), kButtonId);

  router_.Register(DialogSlot::TagEditor, inner.window());
  router_.Register(DialogSlot::Main, outer.window());
  outer.messages_.clear();
  inner.messages_.clear();
  MSG tab = TabFor(button);
  EXPECT_TRUE(router_.Route(tab));
  EXPECT_TRUE(inner.Saw(WM_NEXTDLGCTL));
  EXPECT_FALSE(outer.Saw(WM_NEXTDLGCTL));

  router_.Register(DialogSlot::TagEditor, outer.window());
  router_.Register(DialogSlot::Main, inner.window());
  outer.messages_.clear();
  inner.messages_.clear();
  tab = TabFor(button);
  EXPECT_TRUE(router_.Route(tab));
  EXPECT_TRUE(outer.Saw(WM_NEXTDLGCTL));
  EXPECT_FALSE(inner.Saw(WM_NEXTDLGCTL));
}

}  // namespace
}  // namespace kestrun::platform

namespace kestrun::platform {
namespace {

// Takes the media keys as the player's main window does: answers TRUE to the play/pause
// command and leaves every other one to the default handling.
class AppCommandDialog : public RecordingDialog {
 public:
  AppCommandDialog() : RecordingDialog("target") {}
  int playPauses = 0;

 protected:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APPCOMMAND && GET_APPCOMMAND_LPARAM(lParam) == APPCOMMAND_MEDIA_PLAY_PAUSE) {
      ++playPauses;
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    return RecordingDialog::HandleMessage(message, wParam, lParam);
  }
};

LRESULT SendAppCommand(HWND window, int command) {
  return SendMessageA(window, WM_APPCOMMAND, reinterpret_cast<WPARAM>(window),
                      MAKELPARAM(0, command | FAPPCOMMAND_KEY));
}

TEST_F(ModelessDialogTest, AppCommandsLeftUnhandledGoToTheRoutersWindowOnce) {
  AppCommandDialog target;
  RecordingDialog other("other");
  RecordingDialog loose("loose");
  ASSERT_NE(CreatePopup(target, nullptr, DialogSlot::Main), nullptr);
  ASSERT_NE(CreatePopup(other), nullptr) << "a router without a slot still passes the keys on";
  ASSERT_NE(loose.CreateIndirect(GetModuleHandleA(nullptr), popup_.get(), nullptr), nullptr);

  // Before the router knows its window, nothing is passed on.
  EXPECT_EQ(SendAppCommand(other.window(), APPCOMMAND_MEDIA_PLAY_PAUSE), 0);
  EXPECT_EQ(target.playPauses, 0);

  router_.SetAppCommandWindow(target.window());
  EXPECT_EQ(SendAppCommand(other.window(), APPCOMMAND_MEDIA_PLAY_PAUSE), TRUE);
  EXPECT_EQ(target.playPauses, 1);
  EXPECT_EQ(SendAppCommand(target.window(), APPCOMMAND_MEDIA_PLAY_PAUSE), TRUE);
  EXPECT_EQ(target.playPauses, 2) << "the window itself takes it once, without passing it to itself";
  // A command the target declines keeps the sender's default answer.
  EXPECT_EQ(SendAppCommand(other.window(), APPCOMMAND_BROWSER_BACKWARD), 0);
  EXPECT_TRUE(target.Saw(WM_APPCOMMAND));
  // A dialog made without the router keeps the default handling.
  EXPECT_EQ(SendAppCommand(loose.window(), APPCOMMAND_MEDIA_PLAY_PAUSE), 0);
  EXPECT_EQ(target.playPauses, 2);
}

// A modal dialog's procedure as the player's are written: media keys go to the owner.
INT_PTR CALLBACK PassingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APPCOMMAND) return PassAppCommandToOwner(dialog, wParam, lParam);
  return message == WM_INITDIALOG;
}

TEST_F(ModelessDialogTest, ModalDialogsPassAppCommandsToTheirOwner) {
  AppCommandDialog owner;
  ASSERT_NE(CreatePopup(owner), nullptr);
  HWND dialog =
      CreateDialogIndirectParamA(GetModuleHandleA(nullptr), popup_.get(), owner.window(), &PassingDialogProc, 0);
  HWND orphan = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), popup_.get(), nullptr, &PassingDialogProc, 0);
  ASSERT_NE(dialog, nullptr);
  ASSERT_NE(orphan, nullptr);
  EXPECT_EQ(SendAppCommand(dialog, APPCOMMAND_MEDIA_PLAY_PAUSE), TRUE);
  EXPECT_EQ(owner.playPauses, 1);
  // What the owner declines keeps the default answer; a dialog without an owner passes nothing.
  EXPECT_EQ(SendAppCommand(dialog, APPCOMMAND_BROWSER_BACKWARD), 0);
  EXPECT_EQ(SendAppCommand(orphan, APPCOMMAND_MEDIA_PLAY_PAUSE), 0);
  EXPECT_EQ(owner.playPauses, 1);
  DestroyWindow(dialog);
  DestroyWindow(orphan);
}

}  // namespace
}  // namespace kestrun::platform
