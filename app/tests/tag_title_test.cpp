// The main window's title comes from the tags of the file it plays.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/testing/temp_dir.h"
#include "resources/menu_ids.h"
#include "tags/editor/tag_editor_dialog_win.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/id3/id3v2.h"
#include "tags/id3/tests/tag_builder.h"

namespace kestrun::testing {
namespace {

using TagTitleTest = PlayerWindowTest;

TEST_F(TagTitleTest, PlayingATaggedMp3ShowsTitleAndArtist) {
  const std::string audio = ReadBytes(MediaPath("tone.mp3"));
  ASSERT_FALSE(audio.empty());
  const std::string path = MediaPath("tagged-title.mp3");
  ASSERT_TRUE(WriteBytes(path, tags::testing::Id3v2TitleArtist("Song", "Band") + audio +
                                   tags::testing::Id3v1Bytes(tags::testing::TitleArtist("Old", "Name"))));
  OpenAndPlay(path.c_str());
  EXPECT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_EQ(WindowText(main_), "Song - Band");
  EXPECT_EQ(WindowText(Main().titleDisplay()), "Song - Band");
  Engine().StopAndClose();

  // With "AlwaysID3v1" chosen in the playlist's menu the same file shows its
  // ID3v1 title; choosing the automatic lookup again brings ID3v2 back.
  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_ALWAYS_ID3V1, 0);
  OpenAndPlay(path.c_str());
  EXPECT_EQ(WindowText(main_), "Old - Name");
  Engine().StopAndClose();
  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_AUTO, 0);
  OpenAndPlay(path.c_str());
  EXPECT_EQ(WindowText(main_), "Song - Band");
  Engine().StopAndClose();
  DeleteFileA(path.c_str());
}

// With "AlwaysTagRead" off a row's title is blank until it plays: playing it fills
// title and artist by the tag commands' lookup, "AlwaysID3v1" included.
TEST_F(TagTitleTest, APlayedRowShowsTheTagsTheTagCommandWouldRead) {
  const std::string audio = ReadBytes(MediaPath("tone.mp3"));
  ASSERT_FALSE(audio.empty());
  const std::string path = MediaPath("tagged-row.mp3");
  ASSERT_TRUE(WriteBytes(path, tags::testing::Id3v2TitleArtist("Song", "Band") + audio +
                                   tags::testing::Id3v1Bytes(tags::testing::TitleArtist("Old", "Name"))));
  // The row is added without its tags, whatever "AlwaysTagRead" says.
  const bool tagRead = App().playlist().preferences().alwaysTagRead;
  if (tagRead) SendMessageA(App().playlist().window(), WM_COMMAND, IDM_ALWAYS_TAG_READ, 0);
  App().playlist().AddFiles({path});
  if (tagRead) SendMessageA(App().playlist().window(), WM_COMMAND, IDM_ALWAYS_TAG_READ, 0);
  ASSERT_EQ(Rows()->RowCount(), 1);
  ASSERT_EQ(Rows()->Cell(0, playlist::Column::Title), "");
  Engine().PlayRow(0, path);
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Title), "Song");
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Artist), "Band");
  EXPECT_FALSE(Rows()->Cell(0, playlist::Column::Length).empty());

  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_ALWAYS_ID3V1, 0);
  Engine().PlayRow(0, path);
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Title), "Old");
  EXPECT_EQ(Rows()->Cell(0, playlist::Column::Artist), "Name");
  SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_AUTO, 0);
  Engine().StopAndClose();
  Rows()->DeleteAllRows();
  DeleteFileA(path.c_str());
}

// A text frame's data in UTF-16 with a little-endian byte-order mark.
std::string Utf16Text(std::u16string_view text) {
  std::string data = "\x01\xFF\xFE";
  for (char16_t unit : text) {
    data += static_cast<char>(unit & 0xFF);
    data += static_cast<char>(unit >> 8);
  }
  return data;
}

class UnicodeTagsTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    TurnUnicodeTagsOff();
    App().playlist().ShowUnicodeTags(false);
  }
  void TearDown() override {
    TurnUnicodeTagsOff();
    App().playlist().ShowUnicodeTags(false);
    PlayerWindowTest::TearDown();
  }
  static void TurnUnicodeTagsOff() {
    if (App().playlist().preferences().unicodeTags) {
      SendMessageA(App().playlist().window(), WM_COMMAND, IDM_TAG_UNICODE, 0);
    }
  }
  // Tag reading runs on a worker; its results reach the rows through the
  // playlist window's messages.
  static void SettleRuns() {
    WaitUntil([] { return !App().playlist().busy(); }, 10000);
    DispatchWaitingMessages();
  }
  static void Command(int id) { SendMessageA(App().playlist().window(), WM_COMMAND, id, 0); }
  static bool Checked() {
    return (GetMenuState(App().playlist().popup(), IDM_TAG_UNICODE, MF_BYCOMMAND) & MF_CHECKED) != 0;
  }
  // The title column as the list control itself shows it.
  static std::string ListTitle(int row) {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = static_cast<int>(playlist::Column::Title);
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(App().playlist().list(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
};

TEST_F(UnicodeTagsTest, TheSwitchReadsUtf16TitlesInTheListTheMainTitleAndTheEditor) {
  const std::string audio = ReadBytes(MediaPath("tone.mp3"));
  ASSERT_FALSE(audio.empty());
  const std::string path = MediaPath("utf16-title.mp3");
  const std::string file = tags::testing::Tag(tags::testing::Frame23("TIT2", Utf16Text(u"日本語の歌")) +
                                                  tags::testing::Frame23("TPE1", tags::testing::Text("Band")),
                                              64) +
                           audio;
  ASSERT_TRUE(WriteBytes(path, file));
  playlist::appendRow(*Rows(), path);

  // Off: a UTF-16 text reads as empty, so the row shows the file name.
  Command(IDM_TAGS_READ_ALL);
  SettleRuns();
  EXPECT_EQ(ListTitle(0), "utf16-title.mp3");
  EXPECT_FALSE(Checked());

  Command(IDM_TAG_UNICODE);
  EXPECT_TRUE(App().settings().unicodeTags);
  EXPECT_TRUE(Checked());
  Command(IDM_TAGS_READ_ALL);
  SettleRuns();
  EXPECT_EQ(ListTitle(0), "日本語の歌") << "the real list shows the converted title";
  OpenAndPlay(path.c_str());
  EXPECT_EQ(WindowText(main_), "日本語の歌 - Band");
  Engine().StopAndClose();

  // The editor shows the same text, and writing it back unchanged keeps the
  // Unicode frame's bytes as they were (the tag around it may be laid out anew).
  auto& editor = App().tagEditor();
  tags::OpenTagEditor(editor, path);
  char title[128] = {};
  GetDlgItemTextA(editor.window(), IDC_TAG_TITLE, title, sizeof(title));
  EXPECT_EQ(std::string(title), "日本語の歌");
  editor.SaveMp3Tags(path);
  ShowWindow(editor.window(), SW_HIDE);
  tags::Id3v2Tag written;
  ASSERT_EQ(written.LoadTag(path), 0);
  const tags::Id3v2Frame* frame = written.FindFrame("TIT2");
  ASSERT_NE(frame, nullptr);
  const std::string data(frame->data.begin(), frame->data.end());
  EXPECT_EQ(data, Utf16Text(u"日本語の歌")) << "an unchanged Unicode frame was rewritten";

  // A new title typed over the Unicode one goes back as UTF-16, in ID3v2.3.
  tags::OpenTagEditor(editor, path);
  SetDlgItemTextA(editor.window(), IDC_TAG_TITLE, "新しい歌");
  editor.SaveMp3Tags(path);
  ShowWindow(editor.window(), SW_HIDE);
  tags::Id3v2Tag edited;
  ASSERT_EQ(edited.LoadTag(path), 0);
  const auto& titleFrame = edited.FrameAt("TIT2");
  EXPECT_EQ(std::string(titleFrame.data.begin(), titleFrame.data.end()), Utf16Text(u"新しい歌"));
  EXPECT_EQ(ReadBytes(path).substr(0, 4), std::string("ID3\x03", 4));
  ASSERT_TRUE(WriteBytes(path, file));

  Command(IDM_TAG_UNICODE);
  EXPECT_FALSE(App().settings().unicodeTags);
  EXPECT_FALSE(Checked());
  Command(IDM_TAGS_READ_ALL);
  SettleRuns();
  EXPECT_EQ(ListTitle(0), "utf16-title.mp3") << "off again: today's reading";
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace kestrun::testing
