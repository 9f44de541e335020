// The shared test fixtures that other suites trust to leave the machine as they found
// it and to hand over exactly what a test gave them: registry save and restore, the
// fake data object, the message pump and the modal dialog driver.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/fake_data_object_win.h"
#include "platform/testing/message_pump_win.h"
#include "platform/testing/modal_dialog_driver_win.h"
#include "platform/testing/registry_value_win.h"

namespace kestrun::testing {
namespace {

// A key of this process alone, removed with everything in it before and after.
class ScratchKey : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
  const std::string key_ = "Software\\KestrunTests\\fixtures-" + std::to_string(GetCurrentProcessId());
};

TEST_F(ScratchKey, ScopedValuePutsBackWhatWasThereAndRemovesWhatWasNot) {
  const RegistryValue binary{REG_BINARY, std::string("\x00\x01\x02", 3)};
  ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, key_, "Kept", binary));
  {
    ScopedRegistryValue kept(HKEY_CURRENT_USER, key_, "Kept");
    ScopedRegistryValue absent(HKEY_CURRENT_USER, key_, "Absent");
    EXPECT_EQ(kept.saved(), binary);
    EXPECT_FALSE(absent.saved());
    ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, key_, "Kept", 7));
    ASSERT_TRUE(WriteRegistryText(HKEY_CURRENT_USER, key_, "Absent", "new"));
    EXPECT_EQ(ReadRegistryDword(HKEY_CURRENT_USER, key_, "Kept"), std::optional<DWORD>(7));
  }
  EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, key_, "Kept"), binary) << "type and bytes as they were";
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, key_, "Absent")) << "a value the test added goes again";
}

TEST_F(ScratchKey, ScopedKeyRemovesAddedValuesAndRestoresChangedOnes) {
  ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, key_, "Volume", 50));
  ASSERT_TRUE(WriteRegistryText(HKEY_CURRENT_USER, key_, "SkinName", std::string(6000, 's')));
  {
    ScopedRegistryKey saved(HKEY_CURRENT_USER, key_);
    ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, key_, "Volume", 0));
    ASSERT_TRUE(WriteRegistryText(HKEY_CURRENT_USER, key_, "SkinName", "other"));
    ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, key_, "Added1", 1));
    ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, key_, "Added2", 2));
  }
  EXPECT_EQ(ReadRegistryDword(HKEY_CURRENT_USER, key_, "Volume"), std::optional<DWORD>(50));
  EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, key_, "SkinName"), std::string(6000, 's'))
      << "a value longer than a first guess at its size";
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, key_, "Added1"));
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, key_, "Added2"));
}

TEST_F(ScratchKey, TypedReadsRefuseOtherTypesAndMissingKeys) {
  ASSERT_TRUE(WriteRegistryText(HKEY_CURRENT_USER, key_, "Text", "12"));
  ASSERT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, key_, "Number", 12));
  EXPECT_FALSE(ReadRegistryDword(HKEY_CURRENT_USER, key_, "Text"));
  EXPECT_FALSE(ReadRegistryText(HKEY_CURRENT_USER, key_, "Number"));
  EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, key_, "Text"), std::string("12")) << "without its zero";
  EXPECT_FALSE(ReadRegistryDword(HKEY_CURRENT_USER, key_ + "\\missing", "Number"));
  EXPECT_TRUE(WriteRegistryDword(HKEY_CURRENT_USER, key_ + "\\missing", "Number", std::nullopt))
      << "removing from a key that is not there leaves nothing to do";
}

TEST(FakeDataObject, HandsOutItsOneFormatAndCountsEachRequest) {
  const std::vector<std::string> files{"C:\\music\\a.mp3", "D:\\\x93\xfa\x96\x7b\\b.wav"};
  FakeDataObject data(CF_HDROP, FileDropBytes(files));
  FORMATETC wanted{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  ASSERT_EQ(data.GetData(&wanted, &medium), S_OK);
  auto* drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
  ASSERT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), files.size());
  for (UINT i = 0; i < files.size(); ++i) {
    char name[MAX_PATH] = {};
    DragQueryFileA(drop, i, name, sizeof(name));
    EXPECT_EQ(name, files[i]);
  }
  GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);
  EXPECT_EQ(data.fetched(), 1);

  FORMATETC text{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(data.QueryGetData(&text), DV_E_FORMATETC);
  EXPECT_EQ(data.GetData(&text, &medium), DV_E_FORMATETC);
  FORMATETC stream{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
  EXPECT_EQ(data.QueryGetData(&stream), DV_E_FORMATETC) << "memory is the only medium it offers";
  EXPECT_EQ(data.fetched(), 1) << "refused requests are not counted";

  IEnumFORMATETC* formats = nullptr;
  ASSERT_EQ(data.EnumFormatEtc(DATADIR_GET, &formats), S_OK);
  FORMATETC listed[2] = {};
  ULONG count = 0;
  formats->Next(2, listed, &count);
  formats->Release();
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(listed[0].cfFormat, CF_HDROP);
}

// A window that posts itself a message each time it handles one, rounds times.
LRESULT CALLBACK Echo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    auto* left = reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (*left < 0 || --*left > 0) PostMessageA(window, WM_APP, 0, 0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(MessagePump, UntilIdleHandlesWhatHandlingPostsAndGivesUpOnEndlessPosting) {
  WNDCLASSA echoClass{};
  echoClass.lpfnWndProc = &Echo;
  echoClass.hInstance = GetModuleHandleA(nullptr);
  echoClass.lpszClassName = "KestrunPumpEcho";
  RegisterClassA(&echoClass);
  HWND window = CreateWindowA("KestrunPumpEcho", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  int left = 50;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&left));
  PostMessageA(window, WM_APP, 0, 0);
  EXPECT_TRUE(PumpUntilIdle(5000));
  EXPECT_EQ(left, 0) << "every message that handling posted was handled";

  left = -1;  // posts for ever
  PostMessageA(window, WM_APP, 0, 0);
  const DWORD start = GetTickCount();
  EXPECT_FALSE(PumpUntilIdle(300));
  EXPECT_LT(GetTickCount() - start, 3000u);
  DestroyWindow(window);
  DispatchWaitingMessages();
}

TEST(MessagePump, FilterTakesMessagesBeforeTheirWindow) {
  HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_APP + 1, 0, 0);
  PostMessageA(window, WM_APP + 2, 0, 0);
  std::vector<UINT> taken;
  EXPECT_TRUE(WaitUntil([&] { return taken.size() == 2; }, 2000,
                        [&](MSG& message) {
                          if (message.message < WM_APP) return false;
                          taken.push_back(message.message);
                          return true;
                        }));
  EXPECT_EQ(taken, (std::vector<UINT>{WM_APP + 1, WM_APP + 2}));
  DestroyWindow(window);
}

TEST(ModalDialogDriver, ActsOnceOnTheShownDialogFromInsideItsLoop) {
  int actions = 0;
  std::string caption;
  const INT_PTR result = ModalDialogDriver::Run(
      IDNO,
      [&](HWND dialog) {
        ++actions;
        char text[64] = {};
        GetWindowTextA(dialog, text, sizeof(text));
        caption = text;
        SendMessageA(GetDlgItem(dialog, IDNO), BM_CLICK, 0, 0);
      },
      [] { return static_cast<INT_PTR>(MessageBoxA(nullptr, "driven", "Driven box", MB_YESNO)); });
  EXPECT_EQ(result, IDNO);
  EXPECT_EQ(actions, 1);
  EXPECT_EQ(caption, "Driven box");
  EXPECT_TRUE(ModalDialogDriver::acted());

  // A show that opens nothing: the actions never run, and no timer is left behind.
  const INT_PTR none = ModalDialogDriver::Run(
      IDNO, [&](HWND) { ++actions; }, [] { return INT_PTR{5}; });
  EXPECT_EQ(none, 5);
  EXPECT_FALSE(ModalDialogDriver::acted());
  Sleep(150);
  MSG timer;
  EXPECT_FALSE(PeekMessageA(&timer, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  EXPECT_EQ(actions, 1);
}

}  // namespace
}  // namespace kestrun::testing
