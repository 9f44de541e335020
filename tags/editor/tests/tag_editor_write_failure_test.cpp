// A write the tag editor cannot make: the file is held open by another program that
// shares it with no one. Whichever tag is written (ID3v1, ID3v2, Windows Media), the
// user must read the failure text, never the success text, and the file must stay
// as it was.
#include "tags/editor/tag_editor_dialog_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>

#include "platform/modeless_dialog_win.h"
#include "platform/testing/real_input_win.h"
#include "platform/testing/temp_dir.h"
#include "resources/resource_ids.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/editor/tests/tag_editor_fixture_win.h"
#include "tags/wm/tests/asf_test_file.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace tags::testing;

const std::string kWriteOk = "書込成功";
const std::string kWriteNg = "書込失敗";

// Holds a file open with no sharing, as another program may.
class LockedFile {
 public:
  explicit LockedFile(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~LockedFile() { Release(); }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

class TagEditorWriteFailure : public TagEditorFixture {
 protected:
  // Pumps this thread's messages (the editor's router first) until condition holds
  // or timeoutMs passes.
  template <typename Condition>
  bool PumpUntil(Condition condition, DWORD timeoutMs) {
    return kestrun::testing::WaitUntil(condition, timeoutMs, [this](MSG& message) { return router.Route(message); });
  }
  // Clicks 書込 with the real pointer and waits for the status to change.
  void ClickWrite() {
    SetDlgItemTextA(dialog, IDC_TAG_STATUS, "");
    HWND button = GetDlgItem(dialog, IDC_TAG_WRITE);
    ASSERT_NE(button, nullptr);
    kestrun::testing::BringToFront(dialog);
    const POINT centre = kestrun::testing::CentreOf(button);
    ASSERT_TRUE(PumpUntil([&] { return WindowFromPoint(centre) == button; }, 3000));
    ASSERT_TRUE(kestrun::testing::ClickAt(centre));
    PumpUntil([&] { return !Text(IDC_TAG_STATUS).empty(); }, 5000);
  }
};

TEST_F(TagEditorWriteFailure, LockedFileShowsTheFailureAndStaysUnchanged) {
  TempDir dir;
  TestAsf layout;
  layout.description =
      std::array<std::string, 5>{Utf16z(u"Old title"), Utf16z(u"Old author"), Utf16z(u""), Utf16z(u""), Utf16z(u"")};
  struct Case {
    const char* name;
    std::string bytes;
    int source;  // the tag to write, 0 for a Windows Media file
  };
  const Case cases[] = {
      {"v1.mp3", Audio() + Id3v1Bytes(TitleArtist("Old v1", "Artist")), IDC_TAG_SOURCE_ID3V1},
      {"v2.mp3", Id3v2TitleArtist("Old v2", "Artist") + Audio(), IDC_TAG_SOURCE_ID3V2},
      {"song.wma", BuildAsf(layout), 0},
  };
  for (const auto& item : cases) {
    SCOPED_TRACE(item.name);
    const std::string path = dir.File(item.name);
    ASSERT_TRUE(WriteBytes(path, item.bytes));
    editor.Open(path);
    ASSERT_TRUE(IsWindowVisible(dialog));
    if (item.source != 0) {
      ASSERT_EQ(IsDlgButtonChecked(dialog, item.source), BST_CHECKED);
    }
    SetDlgItemTextA(dialog, IDC_TAG_TITLE, "New title");

    LockedFile lock(path);
    ASSERT_TRUE(lock.held());
    ClickWrite();
    EXPECT_NE(Text(IDC_TAG_STATUS), kWriteOk) << "a write that failed must not report success";
    EXPECT_EQ(Text(IDC_TAG_STATUS), kWriteNg);
    lock.Release();
    EXPECT_EQ(ReadBytes(path), item.bytes) << "the file must stay as it was";

    // The same write once the file is free succeeds: the failure came from the lock.
    ClickWrite();
    EXPECT_EQ(Text(IDC_TAG_STATUS), kWriteOk);
    EXPECT_NE(ReadBytes(path), item.bytes);
  }
}

}  // namespace
}  // namespace kestrun::tags
