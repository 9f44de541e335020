// Writes that keep what the user did not change: every frame of a tag, the
// frames of ID3v2.4 tags exactly as stored, and ID3v2.2 tags converted whole or
// not written at all.
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

TagFieldSet TitleOnly() {
  TagFieldSet set;
  set.title = true;
  return set;
}

TagFields Title(const std::string& title) {
  TagFields fields;
  fields.title = title;
  return fields;
}

class Id3v2KeepFrames : public ::testing::Test {
 protected:
  std::string WriteFile(const std::string& name, const std::string& tag) {
    const std::string path = dir_.File(name);
    EXPECT_TRUE(WriteBytes(path, tag + audio_));
    return path;
  }
  void ExpectAudioIntact(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), audio_.size());
    EXPECT_TRUE(bytes.substr(bytes.size() - audio_.size()) == audio_) << "the audio must not change";
  }
  TempDir dir_;
  const std::string audio_ = Audio(4000);
};

TEST_F(Id3v2KeepFrames, RepeatedFramesSurviveAWriteInTheirOrder) {
  const std::string frames = Frame23("TXXX", Bin("\0gain\0-6 dB", 11)) + Frame23("TIT2", Text("Old")) +
                             Frame23("TXXX", Bin("\0peak\0"
                                                 "0.9",
                                                 9)) +
                             Frame23("PRIV", Bin("a\0one", 5)) + Frame23("PRIV", Bin("b\0two", 5)) +
                             Frame23("APIC", Bin("\0image/png\0\x03\0f", 14)) +
                             Frame23("APIC", Bin("\0image/png\0\x04\0b", 14));
  const std::string path = WriteFile("many.mp3", Tag(frames, 200));
  ASSERT_EQ(WriteId3v2Changes(path, Title("New"), TitleOnly()), Id3v2WriteResult::Written);
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(tag.GetTitle(), "New");
  ASSERT_EQ(tag.Frames().size(), 7u);
  const std::string bytes = ReadBytes(path);
  for (const auto& [first, second] :
       {std::pair{Frame23("TXXX", Bin("\0gain\0-6 dB", 11)), Frame23("TXXX", Bin("\0peak\0"
                                                                                 "0.9",
                                                                                 9))},
        std::pair{Frame23("PRIV", Bin("a\0one", 5)), Frame23("PRIV", Bin("b\0two", 5))},
        std::pair{Frame23("APIC", Bin("\0image/png\0\x03\0f", 14)),
                  Frame23("APIC", Bin("\0image/png\0\x04\0b", 14))}}) {
    const std::size_t a = bytes.find(first);
    const std::size_t b = bytes.find(second);
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    EXPECT_LT(a, b) << "frames of one ID keep their order";
  }
  ExpectAudioIntact(path);
}

TEST_F(Id3v2KeepFrames, CommentFieldIsTheCommentWithoutDescription) {
  const std::string norm = Frame23("COMM", Bin("\0engiTunNORM\0 0000021A", 22));
  // Only a described comment: the field is empty, and writing it adds one.
  std::string path = WriteFile("norm.mp3", Tag(norm, 100));
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields));
  EXPECT_EQ(fields.comment, "");
  fields.comment = "Mine";
  TagFieldSet comment;
  comment.comment = true;
  ASSERT_EQ(WriteId3v2Changes(path, fields, comment), Id3v2WriteResult::Written);
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(tag.GetComment(), "Mine");
  EXPECT_EQ(tag.FrameCount("COMM"), 2u);
  EXPECT_NE(ReadBytes(path).find(norm), std::string::npos) << "the described comment stays as it was";
  // Emptying the field removes only the comment it showed.
  fields.comment = "";
  ASSERT_EQ(WriteId3v2Changes(path, fields, comment), Id3v2WriteResult::Written);
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(tag.FrameCount("COMM"), 1u);
  EXPECT_NE(ReadBytes(path).find(norm), std::string::npos);
}

TEST_F(Id3v2KeepFrames, UnchangedFieldsAreLeftAloneEvenWhenTheyReadDifferently) {
  // A 200-byte album reads cut to 128 bytes and a UTF-16 artist reads empty; a
  // write that marks only the title changed leaves both frames as they are.
  const std::string album = Frame23("TALB", Text(std::string(200, 'a')));
  const std::string artist = Frame23("TPE1", Bin("\x01\xFF\xFE\xE5\x65\x2C\x67", 7));
  const std::string path = WriteFile("long.mp3", Tag(Frame23("TIT2", Text("Old")) + album + artist, 50));
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields));
  EXPECT_EQ(fields.album.size(), kTagTextMax);
  fields.title = "Changed";
  ASSERT_EQ(WriteId3v2Changes(path, fields, TitleOnly()), Id3v2WriteResult::Written);
  const std::string bytes = ReadBytes(path);
  EXPECT_NE(bytes.find(album), std::string::npos);
  // The artist holds FF FE, so the tag is unsynchronised on disk: compare as read.
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(Frame23("TPE1", std::string(tag.FrameAt("TPE1").data.begin(), tag.FrameAt("TPE1").data.end())), artist);
  // The whole field is there for a caller that asks for it.
  ASSERT_TRUE(ReadId3v2Fields(path, fields, nullptr, std::string::npos));
  EXPECT_EQ(fields.album, std::string(200, 'a'));
}

TEST_F(Id3v2KeepFrames, SevenEmptyFieldsGiveAFileAnEmptyTag) {
  const std::string path = dir_.File("empty.mp3");
  ASSERT_TRUE(WriteBytes(path, audio_));
  ASSERT_TRUE(WriteId3v2Fields(path, TagFields{}));
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.substr(0, 5), "ID3\x03" + std::string(1, '\0'));
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_TRUE(tag.Frames().empty());
  EXPECT_EQ(TagSizeOf(bytes), 16 + kId3v2GrowPadding) << "sized for the file-name title, then emptied";
  ExpectAudioIntact(path);
}

TEST_F(Id3v2KeepFrames, ReplacedFrameDropsTheFormatFlagsOfItsOldData) {
  // ID3v2.3: compressed (4-byte size first), encrypted and grouped frames.
  const std::string path = WriteFile("flags.mp3", Tag(Frame23("TIT2", Bin("\0\0\0\x05xxxx", 8), 0x2080) +
                                                          Frame23("TPE1",
                                                                  Bin("\x01"
                                                                      "Artist",
                                                                      7),
                                                                  0x0040) +
                                                          Frame23("TALB", Bin("\x01\0Album", 7), 0x0020),
                                                      100));
  TagFields fields;
  fields.title = "T";
  fields.artist = "A";
  fields.album = "B";
  TagFieldSet set;
  set.title = set.artist = set.album = true;
  ASSERT_EQ(WriteId3v2Changes(path, fields, set), Id3v2WriteResult::Written);
  Id3v2Tag tag;
  ASSERT_EQ(tag.LoadTag(path), 0);
  EXPECT_EQ(tag.FrameAt("TIT2").flags, 0x2000) << "the read-only status stays";
  // Before the write: compressed text reads as empty, a group byte is skipped.
  Id3v2Tag stored;
  const std::string tagBytes =
      Tag(Frame23("TIT2", Bin("\0\0\0\x05xxxx", 8), 0x0080) + Frame23("TALB", Bin("\x01\0Album", 7), 0x0020));
  ASSERT_EQ(stored.ParseTag(reinterpret_cast<const std::uint8_t*>(tagBytes.data()), tagBytes.size()), 0);
  EXPECT_EQ(stored.GetTitle(), "");
  EXPECT_EQ(stored.GetAlbum(), "Album");
  EXPECT_EQ(tag.FrameAt("TPE1").flags, 0);
  EXPECT_EQ(tag.FrameAt("TALB").flags, 0);
  EXPECT_EQ(tag.GetTitle(), "T");
}

TEST_F(Id3v2KeepFrames, Version22WithAFrameWithoutCounterpartIsNotWritten) {
  const std::string frames = Frame22("TT2", Text("Title")) + Frame22("PIC", Bin("\0JPG\x03\0jpeg", 10)) +
                             Frame22("CRM", Bin("me\0secret", 9)) + Frame22("TP1", Text("Artist"));
  const std::string path = WriteFile("v22.mp3", Tag(frames, 20, 2));
  const std::string original = ReadBytes(path);
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields));
  EXPECT_EQ(fields.artist, "Artist") << "the fields still read";
  fields.title = "New";
  EXPECT_EQ(WriteId3v2Changes(path, fields, TitleOnly()), Id3v2WriteResult::CannotConvert);
  EXPECT_FALSE(WriteId3v2Fields(path, fields));
  EXPECT_TRUE(ReadBytes(path) == original) << "the refused file is byte-identical";

  // Without the CRM frame the whole tag converts, picture included.
  const std::string convertible = WriteFile(
      "v22ok.mp3",
      Tag(Frame22("TT2", Text("Title")) + Frame22("PIC", Bin("\0JPG\x03\0jpeg", 10)) + Frame22("TP1", Text("Artist")),
          20, 2));
  ASSERT_EQ(WriteId3v2Changes(convertible, fields, TitleOnly()), Id3v2WriteResult::Written);
  const std::string bytes = ReadBytes(convertible);
  EXPECT_EQ(bytes.substr(3, 2), Bin("\x03\0", 2));
  EXPECT_NE(bytes.find(Frame23("APIC", Bin("\0image/jpeg\0\x03\0jpeg", 18))), std::string::npos);
  EXPECT_NE(bytes.find(Frame23("TPE1", Text("Artist"))), std::string::npos);
  ExpectAudioIntact(convertible);
}

// ID3v2.4 with Unicode reading: "日本" in UTF-8 is the stand-in code page.
const std::string kNihonUtf8 = Bin("\xE6\x97\xA5\xE6\x9C\xAC", 6);

TEST_F(Id3v2KeepFrames, Version24StaysVersion24WithUntouchedFramesAsStored) {
  // A grouped, unsynchronised frame with a data-length indicator, a compressed
  // one (unreadable), and a UTF-16 title that the write replaces.
  const std::string grouped = Frame24("TPE1",
                                      Bin("\x07", 1) + Syncsafe(5) +
                                          Bin("\x00\xFF\x00\xE0"
                                              "A",
                                              5),
                                      0x4043);
  const std::string compressed = Frame24("TALB", Syncsafe(9) + Bin("\x78\x9C\x01\x02", 4), 0x0009);
  const std::string priv = Frame24("PRIV", Bin("who\0data", 8));
  const std::string path = WriteFile("v24.mp3", Tag(Frame24("TIT2",
                                                            Syncsafe(5) + Bin("\x01\xFF\xFE"
                                                                              "O\0",
                                                                              5),
                                                            0x4001) +
                                                        grouped + compressed + priv,
                                                    300, 4));
  const std::string original = ReadBytes(path);
  EXPECT_EQ(WriteId3v2Changes(path, Title("x"), TitleOnly()), Id3v2WriteResult::Version24Refused)
      << "not without Unicode reading";
  EXPECT_EQ(WriteId3v2Changes(path, Title(kNihonUtf8), TitleOnly(), Utf8FromUtf16), Id3v2WriteResult::Failed)
      << "text beyond ASCII needs the conversion back to Unicode";
  EXPECT_TRUE(ReadBytes(path) == original);
  ASSERT_EQ(WriteId3v2Changes(path, Title(kNihonUtf8), TitleOnly(), Utf8FromUtf16, Utf16FromUtf8),
            Id3v2WriteResult::Written);
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.substr(3, 2), Bin("\x04\0", 2)) << "still ID3v2.4";
  for (const std::string& frame : {grouped, compressed, priv}) {
    EXPECT_NE(bytes.find(frame), std::string::npos) << "an untouched frame is written as stored";
  }
  // The title keeps its encoding (UTF-16 with a byte-order mark) and loses the
  // data-length flag that no longer describes it.
  EXPECT_NE(bytes.find(Frame24("TIT2", Bin("\x01\xFF\xFE\xE5\x65\x2C\x67", 7), 0x4000)), std::string::npos);
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields, Utf8FromUtf16));
  EXPECT_EQ(fields.title, kNihonUtf8);
  ExpectAudioIntact(path);

  // A new frame beyond ASCII goes in as UTF-8, an ASCII one single-byte.
  TagFields more = fields;
  more.year = "2024";
  more.comment = kNihonUtf8;
  TagFieldSet set;
  set.year = set.comment = true;
  ASSERT_EQ(WriteId3v2Changes(path, more, set, Utf8FromUtf16, Utf16FromUtf8), Id3v2WriteResult::Written);
  const std::string again = ReadBytes(path);
  EXPECT_NE(again.find(Frame24("TDRC", Text("2024"))), std::string::npos) << "the year frame of ID3v2.4";
  EXPECT_NE(again.find(Frame24("COMM", Bin("\x03"
                                           "eng\0",
                                           5) +
                                           kNihonUtf8)),
            std::string::npos);
}

TEST_F(Id3v2KeepFrames, Version24WrittenAsAWholeUnsynchronisedTagStaysReadable) {
  // The tag's unsynchronisation flag makes every frame unsynchronised: the new
  // frame is written so too.
  const std::string path = WriteFile("v24u.mp3", Tag(Frame24("TIT2", Bin("\x01\xFF\0\xFE"
                                                                         "O\0",
                                                                         6)) +
                                                         Frame24("TPE1", Text("Keep")),
                                                     100, 4, 0, 0x80));
  ASSERT_EQ(WriteId3v2Changes(path, Title(kNihonUtf8), TitleOnly(), Utf8FromUtf16, Utf16FromUtf8),
            Id3v2WriteResult::Written);
  EXPECT_NE(ReadBytes(path).find(Frame24("TIT2", Bin("\x01\xFF\0\xFE\xE5\x65\x2C\x67", 8), 0x0002)), std::string::npos);
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields, Utf8FromUtf16));
  EXPECT_EQ(fields.title, kNihonUtf8);
  EXPECT_EQ(fields.artist, "Keep");
}

TEST_F(Id3v2KeepFrames, Version24VariantsOfOtherWritersAreRead) {
  // The extended-header flag set with no extended header.
  Id3v2Tag tag;
  tag.SetUnicodeReading(AsciiOrDefaultChar);
  const std::string flagOnly = Tag(Frame24("TIT2", Text("Flag only")), 10, 4, 0, 0x40) + audio_;
  ASSERT_EQ(tag.ParseTag(reinterpret_cast<const std::uint8_t*>(flagOnly.data()), flagOnly.size()), 0);
  EXPECT_EQ(tag.GetTitle(), "Flag only");
  // Frame sizes as plain numbers: 200 bytes is 00 00 00 C8, not syncsafe.
  const std::string longTitle(199, 'x');
  const auto plain = [](const std::string& id, const std::string& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    return id + std::string{static_cast<char>(n >> 24),
                            static_cast<char>(n >> 16),
                            static_cast<char>(n >> 8),
                            static_cast<char>(n),
                            0,
                            0} +
           data;
  };
  const std::string plainSizes = Tag(plain("TIT2", Text(longTitle)) + plain("TPE1", Text("After")), 20, 4) + audio_;
  ASSERT_EQ(tag.ParseTag(reinterpret_cast<const std::uint8_t*>(plainSizes.data()), plainSizes.size()), 0);
  EXPECT_EQ(tag.GetTitle(), longTitle);
  EXPECT_EQ(tag.GetArtist(), "After");
  // Syncsafe sizes that also make sense as plain ones stay syncsafe (200 is
  // 00 00 01 48: 328 as a plain number, which ends inside nothing).
  const std::string syncsafeSizes =
      Tag(Frame24("TIT2", Text(longTitle)) + Frame24("TPE1", Text("After")), 400, 4) + audio_;
  ASSERT_EQ(tag.ParseTag(reinterpret_cast<const std::uint8_t*>(syncsafeSizes.data()), syncsafeSizes.size()), 0);
  EXPECT_EQ(tag.GetTitle(), longTitle);
  EXPECT_EQ(tag.GetArtist(), "After");

  // Written back, the plain-size tag gets syncsafe sizes.
  const std::string path = dir_.File("plain.mp3");
  ASSERT_TRUE(WriteBytes(path, plainSizes));
  ASSERT_EQ(WriteId3v2Changes(path, Title("New"), TitleOnly(), AsciiOrDefaultChar, Utf16FromUtf8),
            Id3v2WriteResult::Written);
  EXPECT_NE(ReadBytes(path).find(Frame24("TPE1", Text("After"))), std::string::npos);
}

TEST_F(Id3v2KeepFrames, Version24FooterIsTakenAsRoomForTheTag) {
  // A footer ("3DI" and the header's fields) follows the tag; the write puts
  // padding in its place and the audio stays where it was.
  const std::string body = Frame24("TIT2", Text("Old"));
  const std::string footer = "3DI" + Bin("\x04\0\x10", 3) + Syncsafe(static_cast<std::uint32_t>(body.size()));
  const std::string path = WriteFile("footer.mp3", Tag(body, 0, 4, 0, 0x10) + footer);
  const std::size_t size = ReadBytes(path).size();
  ASSERT_EQ(WriteId3v2Changes(path, Title("New"), TitleOnly(), AsciiOrDefaultChar, Utf16FromUtf8),
            Id3v2WriteResult::Written);
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.size(), size) << "written in place";
  EXPECT_EQ(bytes[5] & 0x10, 0) << "padding, no footer";
  EXPECT_EQ(bytes.find("3DI"), std::string::npos);
  ExpectAudioIntact(path);
}

}  // namespace
}  // namespace kestrun::tags
