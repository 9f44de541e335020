// The tag editor of a real Kestrun.exe, driven from this process as a user would:
// "読み込み", the system's open-file dialog, then "書き込み".
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/tests/kestrun_process.h"
#include "platform/testing/temp_dir.h"
#include "resources/resource_ids.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/id3/id3v2.h"
#include "tags/wm/tests/asf_test_file.h"

namespace kestrun::testing {
namespace {

constexpr char kEditorCaption[] = "Quenfold' ID3TagEditor";
constexpr char kOpenCaption[] = "Open MP3/WMT File...";
// The file-name box of the open dialog: a ComboBoxEx32 holding an edit.
constexpr int kOpenFileNameBox = 1148;

struct Search {
  DWORD process;
  const char* caption;
  HWND found;
};

BOOL CALLBACK FindByCaption(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char caption[128] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (process == search->process && std::string(caption) == search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindow(DWORD process, const char* caption, DWORD timeoutMs) {
  Search search{process, caption, nullptr};
  WaitUntil(
      [&] {
        EnumWindows(FindByCaption, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  return search.found;
}

// Chooses path through the editor's "読み込み" and the open-file dialog.
bool ReadThroughOpenDialog(DWORD process, HWND editor, const std::string& path) {
  PostMessageA(GetDlgItem(editor, IDC_TAG_READ), BM_CLICK, 0, 0);
  HWND open = WaitForWindow(process, kOpenCaption, 10000);
  if (open == nullptr) return false;
  HWND box = GetDlgItem(open, kOpenFileNameBox);
  HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
  if (edit == nullptr) edit = FindWindowExA(FindWindowExA(box, nullptr, nullptr, nullptr), nullptr, "Edit", nullptr);
  if (edit == nullptr) return false;
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(open, WM_COMMAND, IDOK, 0);
  return WaitUntil([&] { return WindowText(GetDlgItem(editor, IDC_TAG_PATH)) == path; }, 10000);
}

// When KESTRUN_SCREENSHOT_HOLD_MS is set, the window stays up that long for a
// screenshot taken from outside.
void HoldForScreenshot(HWND window, const char* name) {
  const char* hold = std::getenv("KESTRUN_SCREENSHOT_HOLD_MS");
  if (hold == nullptr) return;
  SetForegroundWindow(window);
  RECT rect{};
  GetWindowRect(window, &rect);
  std::printf("SCREENSHOT %s %ldx%ld+%ld+%ld\n", name, rect.right - rect.left, rect.bottom - rect.top, rect.left,
              rect.top);
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(std::atoi(hold)));
}

TEST(TagEditorProcess, ReadAndWriteThroughTheRealWindows) {
  TempDir dir;
  const std::string mp3 = dir.File("editor.mp3");
  const std::string audio = tags::testing::Audio();
  using tags::testing::Frame23;
  using tags::testing::Text;
  ASSERT_TRUE(WriteBytes(mp3, tags::testing::Tag(Frame23("TIT2", Text("In the tag")) + Frame23("TPE1", Text("Player")) +
                                                 Frame23("TALB", Text("Demo album")) + Frame23("TYER", Text("2001")) +
                                                 Frame23("TCON", Text("(17)Rock")) + Frame23("TRCK", Text("3"))) +
                                  audio));
  tags::testing::TestAsf layout;
  layout.description =
      std::array<std::string, 5>{tags::testing::Utf16z(u"WMA title"), tags::testing::Utf16z(u"WMA author"),
                                 tags::testing::Utf16z(u""), tags::testing::Utf16z(u""), tags::testing::Utf16z(u"")};
  const std::string wma = dir.File("editor.wma");
  ASSERT_TRUE(WriteBytes(wma, tags::testing::BuildAsf(layout)));

  KestrunProcess player;
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  DWORD process = 0;
  GetWindowThreadProcessId(player.mainWindow(), &process);
  HWND editor = WaitForWindow(process, kEditorCaption, 10000);
  ASSERT_NE(editor, nullptr) << "the editor is created hidden at start-up";
  EXPECT_FALSE(IsWindowVisible(editor));
  ShowWindow(editor, SW_SHOW);

  ASSERT_TRUE(ReadThroughOpenDialog(process, editor, mp3));
  EXPECT_EQ(WindowText(GetDlgItem(editor, IDC_TAG_TITLE)), "In the tag");
  EXPECT_EQ(WindowText(GetDlgItem(editor, IDC_TAG_GENRE)), "Rock");
  EXPECT_EQ(IsDlgButtonChecked(editor, IDC_TAG_SOURCE_ID3V2), BST_CHECKED);
  HoldForScreenshot(editor, "tag-editor-mp3");

  SendMessageA(GetDlgItem(editor, IDC_TAG_ALBUM), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Written"));
  SendMessageA(GetDlgItem(editor, IDC_TAG_WRITE), BM_CLICK, 0, 0);
  EXPECT_EQ(WindowText(GetDlgItem(editor, IDC_TAG_STATUS)), "書込成功");
  tags::TagFields stored;
  ASSERT_TRUE(tags::ReadId3v2Fields(mp3, stored));
  EXPECT_EQ(stored.album, "Written");
  const std::string after = ReadBytes(mp3);
  EXPECT_EQ(after.substr(after.size() - audio.size()), audio);

  ASSERT_TRUE(ReadThroughOpenDialog(process, editor, wma));
  EXPECT_EQ(WindowText(GetDlgItem(editor, IDC_TAG_TITLE)), "WMA title");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(editor, IDC_TAG_SOURCE_ID3V1)));
  HoldForScreenshot(editor, "tag-editor-wma");

  EXPECT_EQ(player.Close(), 0);
}

}  // namespace
}  // namespace kestrun::testing
