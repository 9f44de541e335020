#include "tags/editor/title_lookup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/testing/temp_dir.h"
#include "tags/editor/display_title.h"
#include "tags/editor/tag_format.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/formats/tests/container_builders.h"
#include "tags/wm/tests/asf_test_file.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace tags::testing;

struct Found {
  bool read;
  std::string title;
  std::string artist;
};

Found Lookup(const std::string& path, bool alwaysId3v1) {
  Found found;
  found.read = ReadTitleArtist(path, found.title, found.artist, alwaysId3v1);
  return found;
}

class TitleLookup : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST(TagFormatByExtension, EveryReaderChoosesByTheSameRule) {
  const struct {
    const char* path;
    TagFormat format;
  } cases[] = {
      {"C:\\m\\a.mp3", TagFormat::Id3},   {"a.MP3", TagFormat::Id3},
      {"b.Mid", TagFormat::Midi},         {"c.wma", TagFormat::WindowsMedia},
      {"d.WMV", TagFormat::WindowsMedia}, {"e.asf", TagFormat::WindowsMedia},
      {"f.wav", TagFormat::None},         {"g.midi", TagFormat::None},
      {"h.mp3.bak", TagFormat::None},     {"C:\\x.mp3\\noext", TagFormat::None},
      {"\x95\x5C.mid", TagFormat::Midi},  {"", TagFormat::None},
      {"i.FLAC", TagFormat::Container},   {"j.m4b", TagFormat::Container},
      {"k.oga", TagFormat::Container},    {"l.opus.txt", TagFormat::None},
  };
  for (const auto& c : cases) EXPECT_EQ(TagFormatOf(c.path), c.format) << c.path;
}

TEST_F(TitleLookup, Mp3PrefersId3v2UnlessAlwaysId3v1) {
  const std::string path = dir.File("both.mp3");
  ASSERT_TRUE(WriteBytes(
      path, Id3v2TitleArtist("V2 title", "V2 artist") + Audio() + Id3v1Bytes(TitleArtist("V1 title", "V1 artist"))));
  Found found = Lookup(path, false);
  EXPECT_EQ(found.title, "V2 title");
  EXPECT_EQ(found.artist, "V2 artist");
  found = Lookup(path, true);
  EXPECT_EQ(found.title, "V1 title");
  EXPECT_EQ(found.artist, "V1 artist");
}

TEST_F(TitleLookup, ReadableId3v2WithoutTitleDoesNotFallBack) {
  const std::string path = dir.File("empty.MP3");
  ASSERT_TRUE(WriteBytes(path, Id3v2TitleArtist("", "") + Audio() + Id3v1Bytes(TitleArtist("V1", "A1"))));
  const Found found = Lookup(path, false);
  EXPECT_TRUE(found.read);
  EXPECT_EQ(found.title, "");
  EXPECT_EQ(found.artist, "");
}

TEST_F(TitleLookup, UnicodeTagsReadVersion24AndUnicodeTextsOnlyWhenSwitchedOn) {
  const std::string v24 = dir.File("v24u.mp3");
  ASSERT_TRUE(WriteBytes(v24, Tag(Frame23("TIT2", std::string("\x03"
                                                              "Uni\xC3\x84",
                                                              6)),
                                  0, 4) +
                                  Audio() + Id3v1Bytes(TitleArtist("Fallback", ""))));
  const std::string v23 = dir.File("v23u.mp3");
  ASSERT_TRUE(WriteBytes(v23, Tag(Frame23("TIT2", std::string("\x01\xFF\xFEU\0n\0", 7)), 0) + Audio() +
                                  Id3v1Bytes(TitleArtist("Fallback", ""))));
  // Off: exactly the old answers (ID3v1 for ID3v2.4, an empty UTF-16 title).
  EXPECT_EQ(Lookup(v24, false).title, "Fallback");
  Found off = Lookup(v23, false);
  EXPECT_TRUE(off.read);
  EXPECT_EQ(off.title, "");
  Found on;
  ASSERT_TRUE(ReadTitleArtist(v24, on.title, on.artist, false, AsciiOrDefaultChar));
  EXPECT_EQ(on.title, "Uni?");
  ASSERT_TRUE(ReadTitleArtist(v23, on.title, on.artist, false, AsciiOrDefaultChar));
  EXPECT_EQ(on.title, "Un");
  // AlwaysID3v1 still wins.
  ASSERT_TRUE(ReadTitleArtist(v24, on.title, on.artist, true, AsciiOrDefaultChar));
  EXPECT_EQ(on.title, "Fallback");
}

TEST_F(TitleLookup, UnreadableId3v2FallsBackToId3v1) {
  // ID3v2.4 is not read by the player; the ID3v1 record answers instead.
  const std::string path = dir.File("v24.mp3");
  ASSERT_TRUE(
      WriteBytes(path, Tag(Frame23("TIT2", Text("v2.4")), 0, 4) + Audio() + Id3v1Bytes(TitleArtist("Fallback", ""))));
  EXPECT_EQ(Lookup(path, false).title, "Fallback");
}

TEST_F(TitleLookup, Id3v1TextsAreTrimmedAndTheSharedRecordIsUntouched) {
  const std::string path = dir.File("v1.mp3");
  ASSERT_TRUE(WriteBytes(path, Audio() + Id3v1Bytes(TitleArtist(std::string(30, 'T'), "Art  "))));
  std::memset(Id3v1Record, 'x', kId3v1Size);
  const Found found = Lookup(path, false);
  EXPECT_EQ(found.title, std::string(30, 'T'));
  EXPECT_EQ(found.artist, "Art");
  EXPECT_EQ(Id3v1Record[0], 'x') << "the lookup must not disturb the editor's record";

  const std::string plain = dir.File("plain.mp3");
  ASSERT_TRUE(WriteBytes(plain, Audio(127)));
  EXPECT_FALSE(Lookup(plain, false).read);
}

TEST_F(TitleLookup, WindowsMediaTitleAndAuthor) {
  const std::string path = dir.File("song.wma");
  ASSERT_TRUE(WriteBytes(path, BuildTaggedAsf({{u"WM/AlbumTitle", "Album"}})));
  // The Content Description Object carries Title and Author.
  TestAsf layout;
  layout.description =
      std::array<std::string, 5>{Utf16z(u"WM title"), Utf16z(u"WM author"), Utf16z(u""), Utf16z(u""), Utf16z(u"")};
  ASSERT_TRUE(WriteBytes(path, BuildAsf(layout)));
  const Found found = Lookup(path, false);
  EXPECT_TRUE(found.read);
  EXPECT_EQ(found.title, "WM title");
  EXPECT_EQ(found.artist, "WM author");
}

TEST_F(TitleLookup, OtherFilesGiveNothing) {
  const std::string path = dir.File("tone.wav");
  ASSERT_TRUE(WriteBytes(path, Audio() + Id3v1Bytes(TitleArtist("Hidden", "Tag"))));
  const Found found = Lookup(path, false);
  EXPECT_FALSE(found.read);
  EXPECT_EQ(found.title, "");
}

TEST_F(TitleLookup, FlacMp4AndOggFilesGiveTheirOwnTitleAndArtistNotTheirName) {
  const std::string flac = dir.File("a.flac");
  ASSERT_TRUE(WriteBytes(flac, FlacFile(VorbisComment({"TITLE=\xE6\x97\xA5", "ARTIST=Caf\xC3\xA9"}), 9096)));
  std::string title;
  std::string artist;
  EXPECT_TRUE(ReadTitleArtist(flac, title, artist, false, Utf8FromUtf16));
  EXPECT_EQ(title, "\xE6\x97\xA5");
  EXPECT_EQ(artist, "Caf\xC3\xA9");
  // Without the user's conversion the code page's converter takes the texts.
  char shown[kDisplayTitleCapacity] = {};
  FormatDisplayTitle(flac.c_str(), shown, false);
#ifdef _WIN32
  EXPECT_STREQ(shown, "\x93\xFA - Caf?") << "code page 932";
#else
  EXPECT_STREQ(shown, "? - Caf?");
#endif
  const std::string m4a = dir.File("b.M4A");
  ASSERT_TRUE(WriteBytes(m4a, Mp4File(Mvhd(1000, 5000) + Ilst(Item("\xA9nam", 1, "Mp4 title")))));
  EXPECT_EQ(Lookup(m4a, false).title, "Mp4 title");
  // A text file named .ogg, and an empty one, give nothing: the row shows the name.
  const std::string text = dir.File("c.ogg");
  ASSERT_TRUE(WriteBytes(text, "TITLE=not a tag"));
  EXPECT_FALSE(Lookup(text, false).read);
  const std::string empty = dir.File("d.opus");
  ASSERT_TRUE(WriteBytes(empty, ""));
  EXPECT_FALSE(Lookup(empty, false).read);
}

TEST_F(TitleLookup, Id3v1TitleCutInHalfByAnotherProgramLosesTheHalf) {
  std::string record = Id3v1Bytes(TitleArtist("", ""));
  record.replace(kId3v1TitleOffset, kId3v1TextWidth, std::string(29, 't') + "\x82");
  record.replace(kId3v1ArtistOffset, 4, std::string("Ba") + "\x95" + '\0');
  const std::string path = dir.File("foreign.mp3");
  ASSERT_TRUE(WriteBytes(path, Audio() + record));
  const Found found = Lookup(path, true);
  EXPECT_TRUE(found.read);
  EXPECT_EQ(found.title, std::string(29, 't'));
  EXPECT_EQ(found.artist, "Ba");
}

TEST_F(TitleLookup, DisplayTitleIsTheRowText) {
  const std::string tagged = dir.File("tagged.mp3");
  ASSERT_TRUE(WriteBytes(tagged, Id3v2TitleArtist("Song", "Band") + Audio()));
  char text[kDisplayTitleCapacity];
  FormatDisplayTitle(tagged.c_str(), text, false);
  EXPECT_STREQ(text, "Song - Band");

  const std::string untagged = dir.File("untagged.mp3");
  ASSERT_TRUE(WriteBytes(untagged, Audio()));
  FormatDisplayTitle(untagged.c_str(), text, false);
  EXPECT_STREQ(text, "untagged.mp3");

  // The caller's "AlwaysID3v1" choice decides for the display.
  const std::string both = dir.File("both.mp3");
  ASSERT_TRUE(WriteBytes(both, Id3v2TitleArtist("New", "") + Audio() + Id3v1Bytes(TitleArtist("Old", ""))));
  FormatDisplayTitle(both.c_str(), text, true);
  EXPECT_STREQ(text, "Old");
  FormatDisplayTitle(both.c_str(), text, false);
  EXPECT_STREQ(text, "New");
}

TEST_F(TitleLookup, LongDisplayTitleIsCutWithoutSplittingACharacter) {
  // No title: the 205-byte file name, " - ", then an artist of double-byte
  // characters that runs past the buffer. Byte 259 would be a lead byte.
  const std::string path = dir.File(std::string(201, 'F') + ".mp3");
  std::string artist;
  for (int i = 0; i < 63; ++i) artist += "\x82\xA0";  // a double-byte hiragana
  ASSERT_TRUE(WriteBytes(path, Id3v2TitleArtist("", artist) + Audio()));
  char text[kDisplayTitleCapacity];
  FormatDisplayTitle(path.c_str(), text, false);
  EXPECT_EQ(std::strlen(text), 258u);
  EXPECT_EQ(std::string(text).substr(0, 208), std::string(201, 'F') + ".mp3 - ");
}

}  // namespace
}  // namespace kestrun::tags
