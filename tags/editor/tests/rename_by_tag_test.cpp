#include "tags/editor/rename_by_tag.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/formats/tests/container_builders.h"
#include "tags/wm/tests/asf_test_file.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace tags::testing;

TEST(RenamePattern, ExpansionRules) {
  EXPECT_EQ(PatternSample("(%6 %2 - %3) %1"), "(01 Artist - Album) Title");
  EXPECT_EQ(PatternSample("%4 %5"), "2001 Comment");

  PatternTexts texts;
  texts.title = "X";
  std::string pattern = "%1%1";
  ExpandPatternWith(pattern, texts);
  EXPECT_EQ(pattern, "XX");

  // A value holding a later placeholder has it replaced as well; one holding its
  // own placeholder is not searched again (no endless growth).
  texts.title = "T%2";
  texts.artist = "A%1";
  pattern = "%1|%2";
  ExpandPatternWith(pattern, texts);
  EXPECT_EQ(pattern, "TA%1|A%1");

  std::string text = "%1%1%1";
  ReplaceAll(text, "%1", "%1%1");
  EXPECT_EQ(text, "%1%1%1%1%1%1");
}

TEST(RenamePattern, SampleCutsPatternAndResultWithoutSplittingCharacters) {
  // 174 ASCII bytes then a double-byte character: byte 175 would be a lead byte.
  const std::string pattern = std::string(174, 'p') + "\x82\xA0%1";
  EXPECT_EQ(PatternSample(pattern), std::string(174, 'p'));
  EXPECT_EQ(PatternSample(std::string(60, 'a') + "%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5%5").size(),
            255u);
}

TEST(RenamePattern, Id3v1TrackRules) {
  TempDir dir;
  struct Case {
    int trackByte;
    const char* expected;
  } cases[] = {{5, "05"}, {0x20, ""}, {123, "123"}};
  for (const Case& c : cases) {
    const std::string path = dir.File("t" + std::to_string(c.trackByte) + ".mp3");
    ASSERT_TRUE(WriteBytes(path, Audio() + Id3v1Bytes(TitleArtist("T", "A"), c.trackByte)));
    std::string pattern = "[%6]";
    EXPECT_TRUE(ExpandPattern(path, pattern, false));
    EXPECT_EQ(pattern, std::string("[") + c.expected + "]") << c.trackByte;
  }
  const std::string untagged = dir.File("none.mp3");
  ASSERT_TRUE(WriteBytes(untagged, Audio()));
  std::string pattern = "%1";
  EXPECT_FALSE(ExpandPattern(untagged, pattern, false));
  EXPECT_EQ(pattern, "%1");
}

TEST(RenameName, FormsAndTheirFallBacks) {
  const auto texts = [](const char* title, const char* artist, const char* album) {
    PatternTexts t;
    t.title = title;
    t.artist = artist;
    t.album = album;
    return t;
  };
  using F = RenameForm;
  struct Case {
    F form;
    PatternTexts texts;
    std::optional<std::string> name;
  } cases[] = {
      {F::ArtistTitle, texts("A", "B", ""), "(B) A"},
      {F::ArtistTitle, texts("A", "", ""), "A"},
      {F::ArtistTitle, texts("", "B", ""), std::nullopt},
      {F::ArtistAlbumTitle, texts("A", "B", "C"), "(B - C) A"},
      {F::ArtistAlbumTitle, texts("A", "B", ""), "(B) A"},
      {F::ArtistAlbumTitle, texts("A", "", "C"), std::nullopt},
      {F::ArtistAlbumTitle, texts("A", "", ""), "A"},
      {F::ArtistAlbumTitle, texts("", "B", "C"), std::nullopt},
      {F::Title, texts("A", "B", "C"), "A"},
      {F::ArtistDashTitle, texts("A", "B", ""), "B - A"},
      {F::ArtistDashTitle, texts("A", "", "C"), "A"},
      {F::UserPattern, texts("", "", ""), " - "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildRenameName(c.form, c.texts, "%2 - %1"), c.name)
        << static_cast<int>(c.form) << " " << c.texts.title << "/" << c.texts.artist << "/" << c.texts.album;
  }
  PatternTexts longTitle = texts(std::string(300, 'x').c_str(), "", "");
  EXPECT_EQ(BuildRenameName(F::UserPattern, longTitle, "%1")->size(), kExpandedNameMax);
}

TEST(RenameName, DirectoryAndExtensionParts) {
  EXPECT_EQ(RenameDirectoryOf("C:\\Music\\x.mp3"), "C:\\Music\\");
  EXPECT_EQ(RenameDirectoryOf("C:\\x.mp3"), "C:\\");
  EXPECT_EQ(RenameDirectoryOf("\\\\server\\share\\x.MP3"), "\\\\server\\share\\");
  EXPECT_EQ(RenameExtensionOf("C:\\Music\\x.Mp3"), ".Mp3");
  EXPECT_EQ(RenameExtensionOf("C:\\a.b\\noext"), "");
  // A double-byte file name whose trail byte is 0x5C stays in its directory.
  EXPECT_EQ(RenameDirectoryOf("C:\\M\\\x95\x5C.mp3"), "C:\\M\\");
}

TEST(RenameName, NamesThatWouldLeaveTheDirectoryAreRefused) {
  for (const char* bad : {"..\\up", "../up", "sub\\x", "C:x", "..", ".", "", "   ", "a/b"})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  // "表" in the system's code page ends in 0x5C; it is a character, not a separator.
  for (const char* good : {"\x95\x5C", "Title (Live)", "a..b", "...", "%1"}) EXPECT_TRUE(IsPlainFileName(good)) << good;
}

TEST(RenameName, ANameEndingInHalfACharacterIsRefused) {
  // The extension goes right after the name: 0x82 would take its dot for a trail byte.
  for (const char* bad : {"abc\x82", "\x82", "(Band) Song\x95"}) EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  // Whole characters at the end, also one whose trail byte is in the lead-byte range.
  for (const char* good : {"abc\x82\xA0", "\x82\x82", "x\x95\x5C"}) EXPECT_TRUE(IsPlainFileName(good)) << good;
}

class RenameFiles : public ::testing::Test {
 protected:
  std::string Mp3(const std::string& name, const TagFields& v1) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteBytes(path, Audio() + Id3v1Bytes(v1)));
    return path;
  }
  std::string Sep() const { return dir.File("x").substr(dir.path().size(), 1); }
  TempDir dir;
  RenameOptions options;
};

TEST_F(RenameFiles, Form1RenamesInPlaceKeepingTheBytes) {
  const std::string path = Mp3("x.mp3", TitleArtist("A", "B"));
  const std::string before = ReadBytes(path);
  const auto renamed = RenameFileByTag(path, RenameForm::ArtistTitle, options);
  ASSERT_TRUE(renamed.has_value());
  EXPECT_EQ(*renamed, dir.File("(B) A.mp3"));
  EXPECT_EQ(ReadBytes(*renamed), before);
  EXPECT_FALSE(platform::FileExists(path));
}

TEST_F(RenameFiles, ExistingTargetKeepsBothFiles) {
  const std::string path = Mp3("x.mp3", TitleArtist("A", ""));
  ASSERT_TRUE(WriteBytes(dir.File("A.mp3"), "other"));
  EXPECT_FALSE(RenameFileByTag(path, RenameForm::Title, options));
  EXPECT_EQ(ReadBytes(dir.File("A.mp3")), "other");
  EXPECT_TRUE(platform::FileExists(path));
}

TEST_F(RenameFiles, ReadOnlyStaysReadOnlyWhetherTheMoveWorksOrNot) {
  const std::string path = Mp3("ro.mp3", TitleArtist("New", ""));
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  const auto renamed = RenameFileByTag(path, RenameForm::Title, options);
  ASSERT_TRUE(renamed.has_value());
  bool readOnly = false;
  ASSERT_TRUE(platform::IsReadOnly(*renamed, readOnly));
  EXPECT_TRUE(readOnly);

  // A failed move (the target exists) gives the old file its attribute back.
  const std::string second = Mp3("ro2.mp3", TitleArtist("New", ""));
  ASSERT_TRUE(platform::SetReadOnly(second, true));
  EXPECT_FALSE(MoveKeepingReadOnly(second, *renamed));
  ASSERT_TRUE(platform::IsReadOnly(second, readOnly));
  EXPECT_TRUE(readOnly);
  platform::SetReadOnly(second, false);
  platform::SetReadOnly(*renamed, false);
}

TEST_F(RenameFiles, TagTextsNeverMoveAFileOutOfItsDirectory) {
  TempDir outside;  // a directory the ".." would reach, if a title were trusted
  ASSERT_TRUE(platform::FileExists(dir.path()));
  for (const std::string& title :
       {std::string("..") + Sep() + "escaped", std::string("sub") + Sep() + "x", std::string("C:evil")}) {
    const std::string path = Mp3("x.mp3", TitleArtist(title, ""));
    EXPECT_FALSE(RenameFileByTag(path, RenameForm::Title, options)) << title;
    EXPECT_TRUE(platform::FileExists(path)) << title;
  }
  // The artist and the user pattern are checked the same way.
  const std::string path = Mp3("y.mp3", TitleArtist("T", std::string("..") + Sep()));
  EXPECT_FALSE(RenameFileByTag(path, RenameForm::ArtistDashTitle, options));
  options.userPattern = std::string("..") + Sep() + "%1";
  EXPECT_FALSE(RenameFileByTag(path, RenameForm::UserPattern, options));
  EXPECT_TRUE(platform::FileExists(path));
}

TEST_F(RenameFiles, EmptyExpandedPatternKeepsTheName) {
  const std::string path = Mp3("keep.mp3", TitleArtist("", ""));
  options.userPattern = "%1%2";
  EXPECT_FALSE(RenameFileByTag(path, RenameForm::UserPattern, options));
  EXPECT_TRUE(platform::FileExists(path));
  EXPECT_FALSE(platform::FileExists(dir.File(".mp3")));
}

TEST_F(RenameFiles, TagSourceFollowsExtensionAndSetting) {
  // A .wav with an ID3v1 record is not one of the tag formats: left alone.
  const std::string wav = dir.File("a.wav");
  ASSERT_TRUE(WriteBytes(wav, Audio() + Id3v1Bytes(TitleArtist("Wav", ""))));
  EXPECT_FALSE(RenameFileByTag(wav, RenameForm::Title, options));
  options.userPattern = "%1";
  EXPECT_FALSE(RenameFileByTag(wav, RenameForm::UserPattern, options));
  EXPECT_TRUE(platform::FileExists(wav));

  // An ID3v2.4 file begins with "ID3" but cannot be read: not renamed, unless the
  // ID3v1 record is asked for.
  const std::string v24 = dir.File("v24.mp3");
  ASSERT_TRUE(
      WriteBytes(v24, Tag(Frame23("TIT2", Text("v2")), 0, 4) + Audio() + Id3v1Bytes(TitleArtist("From v1", ""))));
  EXPECT_FALSE(RenameFileByTag(v24, RenameForm::Title, options));
  options.alwaysId3v1 = true;
  EXPECT_EQ(RenameFileByTag(v24, RenameForm::Title, options), dir.File("From v1.mp3"));

  // ID3v2 texts, with the user pattern and its track as stored.
  options.alwaysId3v1 = false;
  options.userPattern = "%6 %2 - %1";
  const std::string v23 = dir.File("v23.MP3");
  ASSERT_TRUE(WriteBytes(
      v23,
      Tag(Frame23("TIT2", Text("Song")) + Frame23("TPE1", Text("Band")) + Frame23("TRCK", Text("7/12"))) + Audio()));
  EXPECT_FALSE(RenameFileByTag(v23, RenameForm::UserPattern, options)) << "'/' of the track is refused";
  ASSERT_TRUE(WriteBytes(
      v23, Tag(Frame23("TIT2", Text("Song")) + Frame23("TPE1", Text("Band")) + Frame23("TRCK", Text("7"))) + Audio()));
  EXPECT_EQ(RenameFileByTag(v23, RenameForm::UserPattern, options), dir.File("7 Band - Song.MP3"));

  // Windows Media attributes.
  TestAsf layout;
  layout.description =
      std::array<std::string, 5>{Utf16z(u"Wm"), Utf16z(u"Author"), Utf16z(u""), Utf16z(u""), Utf16z(u"")};
  const std::string wma = dir.File("w.wma");
  ASSERT_TRUE(WriteBytes(wma, BuildAsf(layout)));
  EXPECT_EQ(RenameFileByTag(wma, RenameForm::ArtistTitle, options), dir.File("(Author) Wm.wma"));
}

TEST_F(RenameFiles, FlacMp4AndOggFilesAreRenamedFromTheirOwnTags) {
  const std::string flac = dir.File("x.flac");
  ASSERT_TRUE(WriteBytes(flac, FlacFile(VorbisComment({"TITLE=Song", "ARTIST=Band", "TRACKNUMBER=4"}), 9096)));
  options.userPattern = "%6 %2 - %1";
  EXPECT_EQ(RenameFileByTag(flac, RenameForm::UserPattern, options), dir.File("4 Band - Song.flac"));
  const std::string m4a = dir.File("y.m4a");
  ASSERT_TRUE(WriteBytes(m4a, Mp4File(Mvhd(1000, 5000) + Ilst(Item("\xA9nam", 1, "Tune") + Item("\xA9"
                                                                                                "ART",
                                                                                                1, "Player")))));
  EXPECT_EQ(RenameFileByTag(m4a, RenameForm::ArtistTitle, options), dir.File("(Player) Tune.m4a"));
  // A file of these types without a comment block is left alone.
  const std::string bare = dir.File("z.flac");
  ASSERT_TRUE(WriteBytes(bare, FlacFile("", 9096)));
  EXPECT_FALSE(RenameFileByTag(bare, RenameForm::Title, options));
}

TEST_F(RenameFiles, ARenamedFileKeepsItsExtensionWhenItsTitleWasCutInHalf) {
  const std::string a = "\x82\xA0";  // "あ"
  std::string fourteen;
  for (int i = 0; i < 14; ++i) fourteen += a;

  // Written through the record encoder, as the tag editor writes: "A" and 16
  // characters do not fit the 30-byte title.
  std::string sixteen = fourteen + a + a;
  const std::string edited = Mp3("edited.mp3", TitleArtist("A" + sixteen, ""));
  const auto renamed = RenameFileByTag(edited, RenameForm::Title, options);
  ASSERT_TRUE(renamed.has_value());
  EXPECT_EQ(*renamed, dir.File("A" + fourteen + ".mp3"));
  EXPECT_EQ(RenameExtensionOf(*renamed), ".mp3");

  // Written by another program that cut the title at 30 bytes.
  std::string record = Id3v1Bytes(TitleArtist("", ""));
  record.replace(kId3v1TitleOffset, kId3v1TextWidth, "B" + fourteen + "\x82");
  const std::string foreign = dir.File("foreign.mp3");
  ASSERT_TRUE(WriteBytes(foreign, Audio() + record));
  const auto foreignRenamed = RenameFileByTag(foreign, RenameForm::Title, options);
  ASSERT_TRUE(foreignRenamed.has_value());
  EXPECT_EQ(*foreignRenamed, dir.File("B" + fourteen + ".mp3"));
  EXPECT_EQ(RenameExtensionOf(*foreignRenamed), ".mp3");
}

TEST_F(RenameFiles, RowsGetTheirNewPathsAndFailuresKeepTheirs) {
  std::map<int, std::string> cells = {{0, Mp3("one.mp3", TitleArtist("First", ""))},
                                      {1, Mp3("two.mp3", TitleArtist("", ""))},
                                      {2, Mp3("three.mp3", TitleArtist("Third", "X"))}};
  const auto before = cells;
  const int renamed = RenameByTag(
      {0, 1, 2}, [&](int row) { return cells.at(row); }, [&](int row, const std::string& path) { cells[row] = path; },
      RenameForm::ArtistDashTitle, options);
  EXPECT_EQ(renamed, 2);
  EXPECT_EQ(cells[0], dir.File("First.mp3"));
  EXPECT_EQ(cells[1], before.at(1));
  EXPECT_EQ(cells[2], dir.File("X - Third.mp3"));
}

}  // namespace
}  // namespace kestrun::tags
