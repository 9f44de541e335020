// Unicode reading of ID3v2 tags: ID3v2.4 frame layout, the UTF-16 and UTF-8
// encodings converted to the code page, what stays exactly as before with the
// switch off, and writes that keep untouched frames and refuse ID3v2.4 tags.
#include <gtest/gtest.h>

#include <string>

#include "platform/testing/temp_dir.h"
#include "tags/id3/id3v2.h"
#include "tags/id3/tests/tag_builder.h"
#include "tags/id3/unicode_text.h"

namespace kestrun::tags {
namespace {

using namespace tags::testing;
using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

std::string Bin(const char* bytes, std::size_t size) { return std::string(bytes, size); }

// "日本" in each encoding, with its encoding byte.
const std::string kUtf8Nihon = Bin("\x03\xE6\x97\xA5\xE6\x9C\xAC", 7);
const std::string kUtf16LeBomNihon = Bin("\x01\xFF\xFE\xE5\x65\x2C\x67", 7);
const std::string kUtf16BeBomNihon = Bin("\x01\xFE\xFF\x65\xE5\x67\x2C", 7);
const std::string kUtf16NoBomNihon = Bin("\x01\xE5\x65\x2C\x67", 5);
const std::string kUtf16BeNihon = Bin("\x02\x65\xE5\x67\x2C", 5);

int Parse(Id3v2Tag& tag, const std::string& bytes, AnsiFromUtf16 toAnsi) {
  tag.SetUnicodeReading(toAnsi);
  return tag.ParseTag(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string TitleOf(const std::string& frameData, int major, AnsiFromUtf16 toAnsi = Utf8FromUtf16) {
  Id3v2Tag tag;
  const std::string frame = major == 4 ? Frame24("TIT2", frameData) : Frame23("TIT2", frameData);
  if (Parse(tag, Tag(frame, 4, major), toAnsi) != 0) return "<no tag>";
  return tag.GetTitle();
}

TEST(Id3v2UnicodeOff, Version24IsNoTagAndUnicodeTextsReadEmpty) {
  Id3v2Tag tag;
  EXPECT_EQ(Parse(tag, Tag(Frame24("TIT2", Text("t")), 0, 4), nullptr), kId3v2NoTag);
  for (const std::string& data : {kUtf8Nihon, kUtf16LeBomNihon, kUtf16BeNihon}) {
    EXPECT_EQ(TitleOf(data, 3, nullptr), "");
  }
  EXPECT_EQ(TitleOf(Text("plain"), 3, nullptr), "plain");
  // The file functions default to the same reading.
  TempDir dir;
  const std::string path = dir.File("a.mp3");
  ASSERT_TRUE(WriteBytes(path, Tag(Frame24("TIT2", kUtf8Nihon), 4, 4) + Audio(100)));
  TagFields fields;
  EXPECT_FALSE(ReadId3v2Fields(path, fields));
  std::string title, artist;
  EXPECT_FALSE(ReadId3v2TitleArtist(path, title, artist));
  EXPECT_TRUE(ReadId3v2TitleArtist(path, title, artist, Utf8FromUtf16));
  EXPECT_EQ(title, "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(Id3v2UnicodeText, EveryEncodingAndByteOrderDecodes) {
  const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC";
  for (int major : {3, 4}) {
    EXPECT_EQ(TitleOf(kUtf8Nihon, major), nihon) << major;
    EXPECT_EQ(TitleOf(kUtf16LeBomNihon, major), nihon) << major;
    EXPECT_EQ(TitleOf(kUtf16BeBomNihon, major), nihon) << major;
    EXPECT_EQ(TitleOf(kUtf16NoBomNihon, major), nihon) << major;
    EXPECT_EQ(TitleOf(kUtf16BeNihon, major), nihon) << major;
  }
  // Single-byte texts are passed on as they are, whatever the version.
  EXPECT_EQ(TitleOf(Text("\x93\xFA\x96\x7B"), 4), "\x93\xFA\x96\x7B");
  // An unknown encoding byte reads as no text.
  EXPECT_EQ(TitleOf(Bin("\x04"
                        "abc",
                        4),
                    4),
            "");
}

TEST(Id3v2UnicodeText, TextEndsAtItsTerminatorNotAtAZeroByteInsideACharacter) {
  // "A" in UTF-16LE is 41 00: a zero byte that is not a terminator.
  EXPECT_EQ(TitleOf(Bin("\x01\xFF\xFE"
                        "A\0B\0\0\0C\0",
                        11),
                    4),
            "AB");
  EXPECT_EQ(TitleOf(Bin("\x02\0A\0B\0\0\0C", 10), 4), "AB");
  EXPECT_EQ(TitleOf(Bin("\x03"
                        "AB\0C",
                        5),
                    4),
            "AB");
}

TEST(Id3v2UnicodeText, CharactersTheCodePageLacksBecomeItsDefaultCharacter) {
  // A surrogate pair (U+1F600) is one character, so one "?".
  EXPECT_EQ(TitleOf(Bin("\x01\xFF\xFE"
                        "a\0\x3D\xD8\x00\xDE"
                        "b\0",
                        11),
                    3, AsciiOrDefaultChar),
            "a?b");
  EXPECT_EQ(TitleOf(kUtf8Nihon, 4, AsciiOrDefaultChar), "??");
}

TEST(Id3v2UnicodeText, CommentAndUrlDescriptionsInUnicodeAreSkipped) {
  Id3v2Tag tag;
  const std::string comm =
      Bin("\x01"
          "eng"
          "\xFF\xFE"
          "d\0\0\0"
          "\xFF\xFE"
          "h\0i\0",
          16);
  const std::string wxxx =
      Bin("\x01\xFF\xFE"
          "d\0\0\0"
          "http://x",
          15);
  // The comment field is the COMM whose description is empty (a lone
  // byte-order mark counts as empty).
  const std::string empty =
      Bin("\x01"
          "eng"
          "\xFF\xFE\0\0"
          "\xFF\xFE"
          "h\0i\0",
          14);
  ASSERT_EQ(Parse(tag, Tag(Frame23("COMM", comm) + Frame23("WXXX", wxxx) + Frame23("COMM", empty), 0), Utf8FromUtf16),
            0);
  EXPECT_EQ(tag.GetComment(), "hi");
  EXPECT_EQ(tag.GetText("WXXX"), "http://x");
}

TEST(Id3v2UnicodeDecode, MalformedUtf8BecomesReplacementCharacters) {
  const auto decode = [](const std::string& s) {
    return Utf8FromUtf16(DecodeUtf8(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
  };
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(decode("\xC0\xAF"), replacement);                 // overlong "/"
  EXPECT_EQ(decode("\xED\xA0\x80"), replacement);             // a surrogate
  EXPECT_EQ(decode("a\xE6\x97"), "a" + replacement);          // cut short
  EXPECT_EQ(decode("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");  // four bytes survive
}

TEST(Id3v2Version24, FrameSizesAreSyncsafe) {
  // 200 bytes: syncsafe 00 00 01 48; read as a plain number it would be 328.
  const std::string longTitle(199, 'x');
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(Frame24("TIT2", Text(longTitle)) + Frame24("TPE1", Text("After")), 0, 4), Utf8FromUtf16), 0);
  EXPECT_EQ(tag.Version(), 0x0400);
  EXPECT_EQ(tag.GetTitle(), longTitle);
  EXPECT_EQ(tag.GetArtist(), "After");
}

TEST(Id3v2Version24, FrameUnsynchronisationDataLengthAndGroupAreUndone) {
  // Title "\xFF\xE0" unsynchronised to FF 00 E0, behind a data-length indicator.
  const std::string unsynced = Syncsafe(3) + Bin("\0\xFF\0\xE0", 4);
  const std::string grouped = Bin("\x07", 1) + Text("Grouped");
  const std::string compressed = Syncsafe(5) + Text("zzzz");
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag,
                  Tag(Frame24("TIT2", unsynced, 0x0003) + Frame24("TPE1", grouped, 0x0040) +
                          Frame24("TALB", compressed, 0x0009),
                      0, 4),
                  Utf8FromUtf16),
            0);
  EXPECT_EQ(tag.GetTitle(), "\xFF\xE0");
  EXPECT_EQ(tag.GetArtist(), "Grouped");
  // A compressed frame cannot be read, and is not taken as text.
  EXPECT_EQ(tag.GetAlbum(), "");
}

TEST(Id3v2Version24, TagUnsynchronisationAppliesToEveryFrameAndExtendedHeaderCountsItself) {
  const std::string extended = Syncsafe(6) + Bin("\x01\0", 2);
  const std::string frames = Frame24("TIT2", Bin("\0\xFF\0\xE0", 4)) + Frame24("TPE1", Text("B"));
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(extended + frames, 0, 4, 0, 0xC0), Utf8FromUtf16), 0);
  EXPECT_EQ(tag.GetTitle(), "\xFF\xE0");
  EXPECT_EQ(tag.GetArtist(), "B");
}

#ifdef _WIN32
// Run in a Japanese prefix (code page 932).
TEST(Id3v2SystemCodePage, TextsBecomeShiftJisAndTheRestTheDefaultCharacter) {
  EXPECT_EQ(TitleOf(kUtf8Nihon, 4, SystemAnsiFromUtf16), "\x93\xFA\x96\x7B");
  EXPECT_EQ(TitleOf(kUtf16BeNihon, 4, SystemAnsiFromUtf16), "\x93\xFA\x96\x7B");
  // "Ä" (no best-fit "A") and a Hangul syllable are not in the code page.
  EXPECT_EQ(TitleOf(Bin("\x03"
                        "a\xC3\x84"
                        "b\xED\x95\x9C",
                        8),
                    4, SystemAnsiFromUtf16),
            "a?b?");
}
#endif

class Id3v2UnicodeWrite : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string audio_ = Audio(3000);
};

TEST_F(Id3v2UnicodeWrite, Version24TagIsRefusedWithoutUnicodeReadingAndTheFileStaysByteIdentical) {
  const std::string path = dir_.File("v24.mp3");
  const std::string original = Tag(Frame24("TIT2", kUtf8Nihon), 100, 4) + audio_;
  ASSERT_TRUE(WriteBytes(path, original));
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields, AsciiOrDefaultChar));
  fields.artist = "Someone";
  EXPECT_TRUE(HasId3v24Header(path));
  EXPECT_FALSE(WriteId3v2Fields(path, fields));
  EXPECT_EQ(WriteId3v2Changes(path, fields, TagFieldSet::All()), Id3v2WriteResult::Version24Refused);
  EXPECT_EQ(ReadBytes(path), original);
}

TEST_F(Id3v2UnicodeWrite, UnchangedUnicodeFramesStayByteIdentical) {
  const std::string path = dir_.File("u.mp3");
  const std::string title = Frame23("TIT2", kUtf16LeBomNihon, 0x2000);
  const std::string comment = Frame23("COMM", Bin("\x01"
                                                  "eng\xFF\xFE\0\0\xFF\xFE"
                                                  "c\0",
                                                  12));
  ASSERT_TRUE(WriteBytes(path, Tag(title + comment + Frame23("TPE1", Text("Old")), 200) + audio_));
  for (AnsiFromUtf16 toAnsi : {static_cast<AnsiFromUtf16>(nullptr), &AsciiOrDefaultChar}) {
    TagFields fields;
    ASSERT_TRUE(ReadId3v2Fields(path, fields, toAnsi));
    fields.artist = "New artist";
    ASSERT_TRUE(WriteId3v2Fields(path, fields, toAnsi));
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.substr(bytes.size() - audio_.size()), audio_);
    // The body is unsynchronised on disk (the byte-order marks hold FF FE), so
    // the frames are compared as the reader gives them back.
    Id3v2Tag tag;
    ASSERT_EQ(tag.LoadTag(path), 0);
    const auto frameOf = [&tag](const char* id) {
      const Id3v2Frame& f = tag.FrameAt(id);
      return Frame23(id, std::string(f.data.begin(), f.data.end()), f.flags);
    };
    EXPECT_EQ(frameOf("TIT2"), title);
    EXPECT_EQ(frameOf("COMM"), comment);
    EXPECT_EQ(frameOf("TPE1"), Frame23("TPE1", Text("New artist")));
  }
}

TEST_F(Id3v2UnicodeWrite, ChangedFieldIsWrittenAsSingleByteText) {
  const std::string path = dir_.File("c.mp3");
  ASSERT_TRUE(WriteBytes(path, Tag(Frame23("TIT2", kUtf16LeBomNihon), 200) + audio_));
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields, AsciiOrDefaultChar));
  EXPECT_EQ(fields.title, "??");
  fields.title = "Plain";
  ASSERT_TRUE(WriteId3v2Fields(path, fields, AsciiOrDefaultChar));
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.substr(0, 5), Bin("ID3\x03\0", 5));
  EXPECT_NE(bytes.find(Frame23("TIT2", Text("Plain"))), std::string::npos);
}

// "新しい" and "メモ" as UTF-8, the "code page" of the stand-in conversions.
const std::string kUtf8Atarashii = Bin("\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84", 9);
const std::string kUtf8Memo = Bin("\xE3\x83\xA1\xE3\x83\xA2", 6);

TEST_F(Id3v2UnicodeWrite, ChangedUnicodeFieldWithWideTextGoesBackAsUtf16) {
  const std::string path = dir_.File("w.mp3");
  const std::string comment = Frame23("COMM", Bin("\x01"
                                                  "eng\xFF\xFE\0\0\xFF\xFE"
                                                  "c\0",
                                                  12));
  ASSERT_TRUE(WriteBytes(path, Tag(Frame23("TIT2", kUtf16LeBomNihon, 0x2000) + comment +
                                       Frame23("TALB", Text("Plain")) + Frame23("TPE1", kUtf16LeBomNihon),
                                   200) +
                                   audio_));
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields, Utf8FromUtf16));
  fields.title = kUtf8Atarashii;  // Unicode frame, wide text: UTF-16
  fields.comment = kUtf8Memo;     // the comment the same way
  fields.album = kUtf8Memo;       // a single-byte frame stays single-byte
  fields.artist = "Band";         // ASCII needs no Unicode frame
  ASSERT_TRUE(WriteId3v2Fields(path, fields, Utf8FromUtf16, Utf16FromUtf8));

  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(tag.Version(), 0x0300) << "still written as ID3v2.3";
  const auto frame = [&tag](const char* id) {
    const Id3v2Frame& f = tag.FrameAt(id);
    return std::string(f.data.begin(), f.data.end());
  };
  EXPECT_EQ(frame("TIT2"), Bin("\x01\xFF\xFE\xB0\x65\x57\x30\x44\x30", 9));
  EXPECT_EQ(tag.FrameAt("TIT2").flags, 0x2000) << "the frame keeps its flags";
  EXPECT_EQ(frame("COMM"), Bin("\x01"
                               "eng\xFF\xFE\0\0\xFF\xFE\xE1\x30\xE2\x30",
                               14));
  EXPECT_EQ(frame("TALB"), Text(kUtf8Memo));
  EXPECT_EQ(frame("TPE1"), Text("Band"));

  TagFields back;
  ASSERT_TRUE(ReadId3v2Fields(path, back, Utf8FromUtf16));
  EXPECT_EQ(back.title, kUtf8Atarashii);
  EXPECT_EQ(back.comment, kUtf8Memo);
  EXPECT_EQ(back.album, kUtf8Memo);
  EXPECT_EQ(ReadBytes(path).substr(ReadBytes(path).size() - audio_.size()), audio_);
}

// A frame longer than the field shows is not cut by a write that leaves it alone.
TEST_F(Id3v2UnicodeWrite, UnchangedLongFrameIsNotCut) {
  const std::string path = dir_.File("l.mp3");
  const std::string album = Frame23("TALB", Text(std::string(300, 'a')));
  ASSERT_TRUE(WriteBytes(path, Tag(album, 100) + audio_));
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields));
  fields.title = "T";
  ASSERT_TRUE(WriteId3v2Fields(path, fields));
  EXPECT_NE(ReadBytes(path).find(album), std::string::npos);
}

}  // namespace
}  // namespace kestrun::tags
