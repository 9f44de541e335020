// The tag editor on FLAC, MP4 and Ogg files: their tags are shown in the code page,
// read-only, and nothing is ever written to them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/testing/temp_dir.h"
#include "resources/resource_ids.h"
#include "tags/editor/tag_editor_dialog_win.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/editor/tests/tag_editor_fixture_win.h"
#include "tags/formats/tests/container_builders.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace tags::testing;

class ContainerTagEditor : public TagEditorFixture {
 protected:
  bool ReadOnly(int id) const { return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & ES_READONLY) != 0; }
  // Whether the control's text, laid out as a static text lays it out, fits inside it.
  bool TextFits(int id) const {
    HWND control = GetDlgItem(dialog, id);
    RECT client{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, client.right, 0};
    const std::string text = Text(id);
    DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return needed.right <= client.right && needed.bottom <= client.bottom;
  }
  int Width(int id) const {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    return r.right - r.left;
  }

  TempDir dir;
};

TEST_F(ContainerTagEditor, ShowsTheTagsReadOnlyAndNeverWrites) {
  const std::string flac = dir.File("a.flac");
  // 日本語のタイトル and "Café ♪" in UTF-8; "é" is not in code page 932.
  const std::string bytes = FlacFile(
      VorbisComment({"TITLE=\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88"
                     "\xE3\x83\xAB",
                     "ARTIST=Caf\xC3\xA9 \xE2\x99\xAA", "ALBUM=Al", "DATE=2009", "GENRE=Jazz", "TRACKNUMBER=7"}),
      9096);
  ASSERT_TRUE(WriteBytes(flac, bytes));
  const int statusWidth = Width(IDC_TAG_STATUS);
  OpenTagEditor(editor, flac);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "日本語のタイトル");
  EXPECT_EQ(Text(IDC_TAG_ARTIST), "Caf? ♪");
  EXPECT_EQ(Text(IDC_TAG_ALBUM), "Al");
  EXPECT_EQ(Text(IDC_TAG_YEAR), "2009");
  EXPECT_EQ(Text(IDC_TAG_TRACK), "7");
  EXPECT_EQ(Text(IDC_TAG_GENRE), "Jazz");
  for (const int id : {IDC_TAG_TITLE, IDC_TAG_ARTIST, IDC_TAG_ALBUM, IDC_TAG_YEAR, IDC_TAG_COMMENT, IDC_TAG_TRACK}) {
    EXPECT_TRUE(ReadOnly(id)) << id;
  }
  for (const int id : {IDC_TAG_WRITE, IDC_TAG_GENRE, IDC_TAG_SOURCE_ID3V1, IDC_TAG_SOURCE_ID3V2, IDC_TAG_FROM_ID3V1}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  EXPECT_EQ(Text(IDC_TAG_STATUS), "この形式のタグは\n書き込めません");
  EXPECT_GT(Width(IDC_TAG_STATUS), statusWidth * 2);
  EXPECT_TRUE(TextFits(IDC_TAG_STATUS)) << "the whole notice shows";
  // Even a write command that reaches the editor leaves the file alone.
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_TAG_WRITE, BN_CLICKED), 0);
  EXPECT_EQ(ReadBytes(flac), bytes);
  EXPECT_EQ(Text(IDC_TAG_STATUS), "この形式のタグは\n書き込めません");

  // An MP3 afterwards is writable again, with the status text in its own place.
  const std::string mp3 = dir.File("b.mp3");
  ASSERT_TRUE(WriteBytes(mp3, Id3v2TitleArtist("T", "A") + Audio()));
  OpenTagEditor(editor, mp3);
  EXPECT_FALSE(ReadOnly(IDC_TAG_TITLE));
  EXPECT_TRUE(Enabled(IDC_TAG_WRITE));
  EXPECT_TRUE(Enabled(IDC_TAG_GENRE));
  EXPECT_EQ(Width(IDC_TAG_STATUS), statusWidth);
  EXPECT_EQ(Text(IDC_TAG_STATUS), "読込成功");
}

TEST_F(ContainerTagEditor, CutEmptyOrMislabelledFilesShowNoTags) {
  const std::string m4a = dir.File("c.m4a");
  const std::string whole = Mp4File(Mvhd(1000, 2000) + Ilst(Item("\xA9nam", 1, "Kept")));
  for (const std::string& bytes : {whole.substr(0, 30), std::string(), std::string("ID3\x03 an MP3 named .m4a")}) {
    ASSERT_TRUE(WriteBytes(m4a, bytes));
    OpenTagEditor(editor, m4a);
    EXPECT_EQ(Text(IDC_TAG_TITLE), "");
    EXPECT_EQ(Text(IDC_TAG_STATUS), "読込失敗");
    EXPECT_FALSE(Enabled(IDC_TAG_WRITE));
  }
}

}  // namespace
}  // namespace kestrun::tags
