// The tag editor driven through its real controls. Files written here are also
// listed in a manifest that an independent reader checks after this test.
#include "tags/editor/tag_editor_dialog_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/modeless_dialog_win.h"
#include "platform/testing/real_input_win.h"
#include "platform/testing/temp_dir.h"
#include "resources/resource_ids.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/editor/tests/tag_editor_fixture_win.h"
#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/id3/unicode_text.h"
#include "tags/wm/tests/asf_test_file.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace tags::testing;

constexpr char kWrittenDir[] = "tag_editor_written";
constexpr char kManifest[] = "tag_editor_written\\manifest.txt";
// The editor's status texts, as the user reads them.
const std::string kReadOk = "読込成功";
const std::string kReadNg = "読込失敗";
const std::string kWriteOk = "書込成功";

class TagEditorWindow : public TagEditorFixture {
 protected:
  static void SetUpTestSuite() {
    CreateDirectoryA(kWrittenDir, nullptr);
    std::ofstream(kManifest, std::ios::trunc).close();
  }

  void Type(int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }
  void Click(int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
  std::string SelectedGenre() const {
    HWND genre = GetDlgItem(dialog, IDC_TAG_GENRE);
    const LRESULT index = SendMessageA(genre, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return "<none>";
    char text[64] = {};
    SendMessageA(genre, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
  }
  // A file kept for the independent check, in the written-files folder.
  static std::string Kept(const std::string& name) { return std::string(kWrittenDir) + "\\" + name; }
  static void Expect(const char* kind, const std::string& name, const std::string& key, const std::string& value) {
    std::ofstream(kManifest, std::ios::app) << kind << '\t' << name << '\t' << key << '\t' << value << '\n';
  }
};

std::string BothTagsFile() {
  TagFields v1 = TitleArtist("V1 title", "V1 artist", "V1 album");
  v1.year = "1999";
  v1.track = "4";
  v1.genre = "Rock";
  return Id3v2TitleArtist("V2 title", "V2 artist") + Audio() + Id3v1Bytes(v1);
}

TEST_F(TagEditorWindow, InitialListsAndHiding) {
  EXPECT_EQ(SelectedGenre(), "Acapella") << "the sorted list's first entry is selected";
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_TAG_GENRE_SLOTS, CB_GETCOUNT, 0, 0), 256);
  char slot17[32] = {};
  SendDlgItemMessageA(dialog, IDC_TAG_GENRE_SLOTS, CB_GETLBTEXT, 17, reinterpret_cast<LPARAM>(slot17));
  EXPECT_STREQ(slot17, "Rock");
  editor.Open(std::nullopt);
  EXPECT_TRUE(IsWindowVisible(dialog));
  Click(IDC_TAG_CLOSE);
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_TRUE(IsWindow(dialog)) << "closing only hides the editor";
}

TEST_F(TagEditorWindow, BothTagsThenId3v1ValuesWrittenIntoId3v2) {
  const std::string path = Kept("both.mp3");
  const std::string original = BothTagsFile();
  ASSERT_TRUE(WriteBytes(path, original));
  OpenTagEditor(editor, path);
  EXPECT_EQ(Text(IDC_TAG_PATH), path);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "V2 title");
  EXPECT_TRUE(Checked(IDC_TAG_SOURCE_ID3V2));
  EXPECT_TRUE(Enabled(IDC_TAG_FROM_ID3V1));
  EXPECT_EQ(Text(IDC_TAG_STATUS), kReadOk);

  Click(IDC_TAG_SOURCE_ID3V1);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "V1 title");
  EXPECT_EQ(Text(IDC_TAG_YEAR), "1999");
  EXPECT_EQ(Text(IDC_TAG_TRACK), "4");
  EXPECT_EQ(SelectedGenre(), "Rock");
  EXPECT_EQ(Text(IDC_TAG_GENRE_NUMBER), "17");
  EXPECT_TRUE(Checked(IDC_TAG_SOURCE_ID3V1));
  EXPECT_FALSE(Enabled(IDC_TAG_FROM_ID3V1));

  Click(IDC_TAG_SOURCE_ID3V2);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "V2 title");
  EXPECT_TRUE(Enabled(IDC_TAG_FROM_ID3V1));

  Click(IDC_TAG_FROM_ID3V1);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "V1 title");
  EXPECT_EQ(Text(IDC_TAG_ARTIST), "V1 artist");
  EXPECT_TRUE(Checked(IDC_TAG_SOURCE_ID3V2)) << "the next write goes to ID3v2";

  Click(IDC_TAG_WRITE);
  EXPECT_EQ(Text(IDC_TAG_STATUS), kWriteOk);
  TagFields stored;
  ASSERT_TRUE(ReadId3v2Fields(path, stored));
  EXPECT_EQ(stored.title, "V1 title");
  EXPECT_EQ(stored.album, "V1 album");
  // The audio and the ID3v1 record behind it are untouched.
  const std::string after = ReadBytes(path);
  const std::string tail = original.substr(Id3v2TitleArtist("V2 title", "V2 artist").size());
  ASSERT_GE(after.size(), tail.size());
  EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
  Expect("mp3", "both.mp3", "TIT2", "V1 title");
  Expect("mp3", "both.mp3", "TPE1", "V1 artist");
  Expect("mp3", "both.mp3", "TALB", "V1 album");
  Expect("mp3", "both.mp3", "TYER", "1999");
}

TEST_F(TagEditorWindow, WriteIntoAnId3v24TagIsRefusedAndTheFileStaysAsItWas) {
  const std::string path = Kept("v24.mp3");
  const std::string original = tags::testing::Tag(Frame23("TIT2", tags::testing::Text("Four")), 64, 4) + Audio() +
                               Id3v1Bytes(TitleArtist("V1 title", "V1 artist"));
  ASSERT_TRUE(WriteBytes(path, original));
  editor.Open(path);
  Click(IDC_TAG_SOURCE_ID3V2);
  Type(IDC_TAG_TITLE, "Changed");
  Click(IDC_TAG_WRITE);
  EXPECT_EQ(Text(IDC_TAG_STATUS), "ID3v2.4のタグには書き込めません");
  EXPECT_TRUE(ReadBytes(path) == original);
}

// A tag as taggers leave it: a 200-byte album (more than the old 127-byte
// buffers), replay-gain and database TXXX frames, a normalisation comment before
// the real one, a UTF-16 artist, two pictures and a PRIV frame. The user types a
// new title with the keyboard, having switched "UnicodeTags" on after opening;
// every other frame must come out exactly as it went in.
TEST_F(TagEditorWindow, TypedTitleLeavesEveryOtherFrameAsItWas) {
  const std::string path = Kept("tagged.mp3");
  std::string album;
  for (int i = 0; i < 100; ++i) album += "あ";  // 200 bytes in the code page
  ASSERT_EQ(album.size(), 200u);
  const std::string utf16Artist("\x01\xFF\xFE\xE5\x65\x2C\x67", 7);  // "日本"
  const std::string frames = Frame23("TIT2", tags::testing::Text("Old title")) + Frame23("TPE1", utf16Artist) +
                             Frame23("TALB", tags::testing::Text(album)) +
                             Frame23("TXXX", std::string("\0replaygain_track_gain\0-6.20 dB", 31)) +
                             Frame23("TXXX", std::string("\0replaygain_track_peak\0"
                                                         "0.988",
                                                         28)) +
                             Frame23("TXXX", std::string("\0MusicBrainz Album Id\0"
                                                         "0d8c5c",
                                                         28)) +
                             Frame23("COMM", std::string("\0engiTunNORM\0 0000021A 00000000", 31)) +
                             Frame23("COMM", std::string("\0eng\0the comment", 16)) +
                             Frame23("APIC", std::string("\0image/png\0\x03\0front", 17)) +
                             Frame23("APIC", std::string("\0image/png\0\x04\0back", 16)) +
                             Frame23("PRIV", std::string("owner\0private", 13));
  const std::string audio = Audio();
  ASSERT_TRUE(WriteBytes(path, tags::testing::Tag(frames, 100) + audio));
  Id3v2Tag before;
  ASSERT_EQ(before.LoadTag(path), 0);

  AnsiFromUtf16 unicodeTags = nullptr;
  editor.SetUnicodeTagsSource([&unicodeTags] { return unicodeTags; });
  editor.Open(path);
  ASSERT_EQ(Text(IDC_TAG_STATUS), kReadOk);
  EXPECT_EQ(Text(IDC_TAG_ARTIST), "") << "the UTF-16 artist is not shown with the switch off";
  EXPECT_EQ(Text(IDC_TAG_COMMENT), "the comment") << "the comment without a description";
  char shownAlbum[512] = {};
  GetDlgItemTextA(dialog, IDC_TAG_ALBUM, shownAlbum, sizeof shownAlbum);
  EXPECT_EQ(std::string(shownAlbum), album) << "the whole album is shown";
  unicodeTags = SystemAnsiFromUtf16;

  // Click into the title, clear it and type the new one, as a user does.
  using kestrun::testing::PressKey;
  const auto pump = [this](auto condition, DWORD timeoutMs) {
    return kestrun::testing::WaitUntil(condition, timeoutMs);
  };
  HWND title = GetDlgItem(dialog, IDC_TAG_TITLE);
  kestrun::testing::BringToFront(dialog);
  ASSERT_TRUE(pump([&] { return WindowFromPoint(kestrun::testing::CentreOf(title)) == title; }, 3000));
  ASSERT_TRUE(kestrun::testing::ClickCentreOf(title));
  ASSERT_TRUE(pump([&] { return GetFocus() == title; }, 3000));
  ASSERT_TRUE(PressKey(VK_END));
  for (std::size_t i = 0; i < std::string("Old title").size(); ++i) ASSERT_TRUE(PressKey(VK_BACK));
  for (const WORD key : {WORD{'N'}, WORD{'E'}, WORD{'W'}, WORD{VK_SPACE}, WORD{'2'}}) ASSERT_TRUE(PressKey(key));
  ASSERT_TRUE(pump([&] { return Text(IDC_TAG_TITLE) == "new 2"; }, 5000)) << Text(IDC_TAG_TITLE);

  SetDlgItemTextA(dialog, IDC_TAG_STATUS, "");
  HWND write = GetDlgItem(dialog, IDC_TAG_WRITE);
  ASSERT_TRUE(kestrun::testing::ClickCentreOf(write));
  ASSERT_TRUE(pump([&] { return !Text(IDC_TAG_STATUS).empty(); }, 5000));
  EXPECT_EQ(Text(IDC_TAG_STATUS), kWriteOk);

  const std::string after = ReadBytes(path);
  ASSERT_GE(after.size(), audio.size());
  EXPECT_TRUE(after.substr(after.size() - audio.size()) == audio) << "the audio must not change";
  Id3v2Tag written;
  ASSERT_EQ(written.LoadTag(path), 0);
  EXPECT_EQ(written.GetTitle(), "new 2");
  ASSERT_EQ(written.Frames().size(), before.Frames().size());
  // Frames are written sorted by ID; frames of one ID keep their order.
  for (const char* id : {"TPE1", "TALB", "TXXX", "COMM", "APIC", "PRIV"}) {
    std::vector<const Id3v2Frame*> was, is;
    for (const Id3v2Frame& f : before.Frames())
      if (f.Id() == id) was.push_back(&f);
    for (const Id3v2Frame& f : written.Frames())
      if (f.Id() == id) is.push_back(&f);
    ASSERT_EQ(was.size(), is.size()) << id;
    for (std::size_t i = 0; i < was.size(); ++i) {
      EXPECT_TRUE(was[i]->data == is[i]->data && was[i]->flags == is[i]->flags) << id << " #" << i;
    }
  }
  Expect("mp3", "tagged.mp3", "TIT2", "new 2");
  Expect("mp3", "tagged.mp3", "TALB", album);
  Expect("mp3", "tagged.mp3", "TXXX:replaygain_track_gain", "-6.20 dB");
  Expect("mp3", "tagged.mp3", "COMM:iTunNORM:eng", " 0000021A 00000000");
}

TEST_F(TagEditorWindow, Id3v22TagThatCannotBeConvertedIsNotWrittenAndTheEditorSaysWhy) {
  const std::string path = Kept("v22.mp3");
  const std::string original =
      tags::testing::Tag(Frame22("TT2", tags::testing::Text("Old")) + Frame22("CRM", std::string("me\0secret", 9)) +
                             Frame22("TP1", tags::testing::Text("Artist")),
                         32, 2) +
      Audio();
  ASSERT_TRUE(WriteBytes(path, original));
  editor.Open(path);
  EXPECT_EQ(Text(IDC_TAG_ARTIST), "Artist");
  Type(IDC_TAG_TITLE, "Changed");
  Click(IDC_TAG_WRITE);
  char why[128] = {};
  ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), IDS_TAG_V22_NOT_CONVERTED, why, sizeof why), 0);
  EXPECT_EQ(Text(IDC_TAG_STATUS), why);
  EXPECT_TRUE(ReadBytes(path) == original);
}

TEST_F(TagEditorWindow, Id3v1WriteUsesTheListGenreAndId3v2TheTypedOne) {
  const std::string path = Kept("v1only.mp3");
  TagFields v1 = TitleArtist("Old", "Someone");
  v1.genre = "Jazz";  // slot 8
  const std::string audio = Audio();
  ASSERT_TRUE(WriteBytes(path, audio + Id3v1Bytes(v1)));
  editor.Open(path);
  EXPECT_TRUE(Checked(IDC_TAG_SOURCE_ID3V1));
  EXPECT_FALSE(Enabled(IDC_TAG_FROM_ID3V1));
  Type(IDC_TAG_TITLE, std::string(40, 'N'));
  Type(IDC_TAG_GENRE, "Not A Genre");
  Click(IDC_TAG_WRITE);
  EXPECT_EQ(Text(IDC_TAG_STATUS), kWriteOk);
  ASSERT_TRUE(ReadId3v1Tag(path));
  EXPECT_EQ(Id3v1Record[kId3v1GenreOffset], 8) << "typed genre text is not used for ID3v1";
  EXPECT_EQ(Text(IDC_TAG_TITLE), std::string(30, 'N')) << "the record's 30 bytes are shown again";
  EXPECT_EQ(ReadBytes(path).substr(0, audio.size()), audio);

  // ID3v2 has no tag yet: empty fields; the write creates one with the typed genre.
  Click(IDC_TAG_SOURCE_ID3V2);
  EXPECT_EQ(Text(IDC_TAG_STATUS), kReadNg);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "");
  Type(IDC_TAG_TITLE, "Fresh");
  Type(IDC_TAG_GENRE, "Not A Genre");
  Click(IDC_TAG_WRITE);
  EXPECT_EQ(Text(IDC_TAG_STATUS), kWriteOk);
  EXPECT_EQ(Text(IDC_TAG_GENRE), "Not A Genre");
  const std::string after = ReadBytes(path);
  EXPECT_EQ(after.substr(after.size() - kId3v1Size - audio.size(), audio.size()), audio);
  Expect("mp3", "v1only.mp3", "TIT2", "Fresh");
  Expect("mp3", "v1only.mp3", "TCON", "Not A Genre");
}

TEST_F(TagEditorWindow, BlankId3v1YearAfterAFileWithAYear) {
  TempDir dir;
  TagFields withYear = TitleArtist("A", "");
  withYear.year = "2001";
  const std::string first = dir.File("first.mp3");
  const std::string second = dir.File("second.mp3");
  ASSERT_TRUE(WriteBytes(first, Audio() + Id3v1Bytes(withYear)));
  ASSERT_TRUE(WriteBytes(second, Audio() + Id3v1Bytes(TitleArtist("B", ""))));
  editor.Open(first);
  EXPECT_EQ(Text(IDC_TAG_YEAR), "2001");
  editor.Open(second);
  EXPECT_EQ(Text(IDC_TAG_YEAR), "");

  // A file without any tag: empty fields, "Blues", read failed.
  const std::string bare = dir.File("bare.mp3");
  ASSERT_TRUE(WriteBytes(bare, Audio()));
  editor.Open(bare);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "");
  EXPECT_EQ(SelectedGenre(), "Blues");
  EXPECT_EQ(Text(IDC_TAG_STATUS), kReadNg);
  EXPECT_TRUE(Checked(IDC_TAG_SOURCE_ID3V1));
}

TEST_F(TagEditorWindow, WindowsMediaFileDisablesTheTagChoice) {
  const std::string path = Kept("song.wma");
  TestAsf layout;
  layout.description =
      std::array<std::string, 5>{Utf16z(u"Old title"), Utf16z(u"Old author"), Utf16z(u""), Utf16z(u""), Utf16z(u"")};
  const std::string original = BuildAsf(layout);
  ASSERT_TRUE(WriteBytes(path, original));
  editor.Open(path);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "Old title");
  EXPECT_EQ(Text(IDC_TAG_ARTIST), "Old author");
  EXPECT_TRUE(Checked(IDC_TAG_SOURCE_ID3V2));
  EXPECT_FALSE(Enabled(IDC_TAG_SOURCE_ID3V1));
  EXPECT_FALSE(Enabled(IDC_TAG_SOURCE_ID3V2));
  EXPECT_FALSE(Enabled(IDC_TAG_FROM_ID3V1));

  Type(IDC_TAG_TITLE, "新しい題名");
  Type(IDC_TAG_ALBUM, "Album");
  Type(IDC_TAG_GENRE, "Own Genre");
  Type(IDC_TAG_YEAR, "2024");
  Click(IDC_TAG_WRITE);
  EXPECT_EQ(Text(IDC_TAG_STATUS), kWriteOk);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "新しい題名") << "fields are read back after the write";
  const std::string after = ReadBytes(path);
  const std::string payload = layout.payload;
  EXPECT_EQ(after.substr(after.size() - payload.size()), payload) << "the audio data must not change";
  Expect("asf", "song.wma", "Title", "新しい題名");
  Expect("asf", "song.wma", "WM/AlbumTitle", "Album");
  Expect("asf", "song.wma", "WM/Genre", "Own Genre");
  Expect("asf", "song.wma", "WM/Year", "2024");
}

TEST_F(TagEditorWindow, OtherFilesAreNeitherReadNorWritten) {
  TempDir dir;
  const std::string mp3 = dir.File("shown.mp3");
  ASSERT_TRUE(WriteBytes(mp3, Audio() + Id3v1Bytes(TitleArtist("Shown", ""))));
  editor.Open(mp3);
  const std::string wav = dir.File("tone.wav");
  ASSERT_TRUE(WriteBytes(wav, "RIFF"));
  editor.Open(wav);
  EXPECT_EQ(Text(IDC_TAG_PATH), mp3) << "the editor keeps the file it showed";

  // A path of another type in the path field: the write does nothing at all.
  SetDlgItemTextA(dialog, IDC_TAG_PATH, wav.c_str());
  SetDlgItemTextA(dialog, IDC_TAG_STATUS, "before");
  Click(IDC_TAG_WRITE);
  EXPECT_EQ(Text(IDC_TAG_STATUS), "before");
  EXPECT_EQ(ReadBytes(wav), "RIFF");
}

TEST_F(TagEditorWindow, ReadButtonOpensTheChosenFile) {
  TempDir dir;
  const std::string path = dir.File("chosen.MP3");
  ASSERT_TRUE(WriteBytes(path, Id3v2TitleArtist("Chosen", "") + Audio()));
  editor.SetFileChooser([&](HWND owner) -> std::optional<std::string> {
    EXPECT_EQ(owner, dialog);
    return path;
  });
  Click(IDC_TAG_READ);
  EXPECT_EQ(Text(IDC_TAG_TITLE), "Chosen");
  EXPECT_EQ(Text(IDC_TAG_PATH), path);
  editor.SetFileChooser([](HWND) { return std::optional<std::string>(); });
  Click(IDC_TAG_READ);
  EXPECT_EQ(Text(IDC_TAG_PATH), path) << "a cancelled choice changes nothing";
}

}  // namespace
}  // namespace kestrun::tags
