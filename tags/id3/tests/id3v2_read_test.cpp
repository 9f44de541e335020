// Reading ID3v2 tags: frame layout, ID3v2.2 translation, unsynchronisation, the
// text rules of each frame kind, genres, and malformed files.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/testing/temp_dir.h"
#include "tags/id3/id3v2.h"
#include "tags/id3/tests/tag_builder.h"

namespace kestrun::tags {
namespace {

using namespace tags::testing;

int Parse(Id3v2Tag& tag, const std::string& bytes) {
  return tag.ParseTag(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(Id3v2Parse, Version23FramesUpToPaddingFirstDuplicateWins) {
  const std::string bytes =
      Tag(Frame23("TIT2", Text("Title")) + Frame23("COMM", std::string("\0eng\0First", 10)) +
              Frame23("COMM", std::string("\0eng\0Second", 11)) + Frame23("TPE1", Text("Artist"), 0x4000),
          64) +
      Audio(100);
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, bytes), 0);
  EXPECT_TRUE(tag.HasTag());
  EXPECT_EQ(tag.GetTitle(), "Title");
  EXPECT_EQ(tag.GetArtist(), "Artist");
  EXPECT_EQ(tag.GetComment(), "First");
  EXPECT_EQ(tag.Frames().size(), 4u) << "the second COMM is kept, only not shown";
  EXPECT_EQ(tag.FrameAt("TPE1").flags, 0x4000);
}

TEST(Id3v2Parse, Version22IdsAreTranslatedAndTheTagBecomesVersion23) {
  const char* const pairs[][2] = {{"TT2", "TIT2"}, {"TRK", "TRCK"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TYE", "TYER"},
                                  {"TCO", "TCON"}, {"COM", "COMM"}, {"TCM", "TCOM"}, {"TOA", "TOPE"}, {"TCR", "TCOP"},
                                  {"WXX", "WXXX"}, {"TSS", "TSSE"}, {"TEN", "TENC"}};
  std::string frames;
  for (const auto& p : pairs) frames += Frame22(p[0], std::string("\0eng\0", 5) + p[1]);
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(frames, 10, 2, 0)), 0);
  EXPECT_EQ(tag.Frames().size(), 13u);
  for (const auto& p : pairs) {
    EXPECT_EQ(tag.FrameCount(p[1]), 1u) << p[0];
  }
  EXPECT_EQ(tag.GetComment(), "COMM");
  EXPECT_EQ(tag.Version(), 0x0300);
  EXPECT_EQ(tag.Header()[3], 3);
  EXPECT_EQ(tag.Header()[4], 0);
}

TEST(Id3v2Parse, Version22UnknownFrameIsReadOverButBlocksTheWrite) {
  const std::string frames =
      Frame22("TT2", Text("Title")) + Frame22("XYZ", "unknown bytes") + Frame22("TP1", Text("Artist"));
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(frames, 0, 2, 0)), 0);
  EXPECT_EQ(tag.Frames().size(), 2u);
  EXPECT_EQ(tag.GetTitle(), "Title");
  EXPECT_EQ(tag.GetArtist(), "Artist") << "frames after the unknown one are read";
  EXPECT_EQ(tag.Unconvertible(), "XYZ");
  // The tag is never written with the frame left out.
  EXPECT_EQ(tag.SaveTag("never-written.mp3"), kId3v2CannotConvert);
}

TEST(Id3v2Parse, Version22PictureLinkAndTheRestOfTheListConvert) {
  const std::string frames = Frame22("PIC", std::string("\0JPG\x03"
                                                        "cover\0",
                                                        11) +
                                                "jpegdata") +
                             Frame22("PIC", std::string("\x01PNG\x04\xFF\xFE\0\0", 9) + "pngdata") +
                             Frame22("LNK", std::string("TT2http://x\0", 12)) + Frame22("TCP", Text("1")) +
                             Frame22("TPA", Text("1/2")) + Frame22("ULT", std::string("\0eng\0words", 10)) +
                             Frame22("CRM", std::string("owner\0encrypted", 15));
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(frames, 0, 2, 0)), 0);
  ASSERT_EQ(tag.FrameCount("APIC"), 2u);
  const auto dataOf = [](const Id3v2Frame& f) { return std::string(f.data.begin(), f.data.end()); };
  EXPECT_EQ(dataOf(tag.Frames()[0]), std::string("\0image/jpeg\0\x03"
                                                 "cover\0",
                                                 19) +
                                         "jpegdata");
  EXPECT_EQ(dataOf(tag.Frames()[1]), std::string("\x01image/png\0\x04\xFF\xFE\0\0", 16) + "pngdata");
  EXPECT_EQ(dataOf(tag.FrameAt("LINK")), std::string("TIT2http://x\0", 13));
  EXPECT_EQ(tag.FrameCount("TCMP"), 1u);
  EXPECT_EQ(tag.FrameCount("TPOS"), 1u);
  EXPECT_EQ(tag.FrameCount("USLT"), 1u);
  // An encrypted meta frame has no ID3v2.3 counterpart.
  EXPECT_EQ(tag.Unconvertible(), "CRM");
}

TEST(Id3v2Parse, UnsynchronisedBodyAndExtendedHeader) {
  // Body with the unsynchronisation zero after 0xFF, behind a 6-byte extended header.
  const std::string ext = Syncsafe(6) + std::string(6, '\0');
  const std::vector<std::uint8_t> sent = Unsynchronise(Bytes(ext + Frame23("TIT2", Text("A\xFF\xE0Z"))));
  ASSERT_EQ(sent.size(), 10u + 10u + 5u + 1u);
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(std::string(sent.begin(), sent.end()), 0, 3, 0, 0xC0)), 0);
  EXPECT_EQ(tag.GetTitle(), "A\xFF\xE0Z");
  EXPECT_EQ(tag.Header()[5] & 0x40, 0) << "the extended header is not written back";
}

TEST(Id3v2Parse, UnsupportedVersionsAreNoTag) {
  const std::string frames = Frame23("TIT2", Text("T"));
  for (const auto& [major, revision] : std::vector<std::pair<int, int>>{{4, 0}, {3, 1}, {3, 0x80}, {1, 0}, {0, 0}}) {
    Id3v2Tag tag;
    EXPECT_EQ(Parse(tag, Tag(frames, 0, major, revision)), kId3v2NoTag) << major << "." << revision;
    EXPECT_FALSE(tag.HasTag());
  }
  Id3v2Tag v22;
  EXPECT_EQ(Parse(v22, Tag(Frame22("TT2", Text("T")), 0, 2, 0xFF)), 0) << "ID3v2.2 of any revision";
}

TEST(Id3v2Text, RulesOfEachFrameKind) {
  const std::string frames = Frame23("TIT2", std::string("\x01\xFF\xFET\0", 5)) +      // UTF-16: not read
                             Frame23("TPE1", std::string("\0Artist\0", 8)) +           // terminated text
                             Frame23("COMM", std::string("\0engdesc\0Comment", 16)) +  // with a description
                             Frame23("WXXX", std::string("\0d\0http://x", 11)) +       // URL with description
                             Frame23("WOAR", std::string("\0no end", 7)) +             // description without end
                             Frame23("CTOC", std::string("\0chapter", 8)) +            // a "C" frame that is not COMM
                             Frame23("APIC", std::string("\0image/png\0", 11));
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(frames)), 0);
  EXPECT_EQ(tag.GetTitle(), "");
  EXPECT_EQ(tag.GetArtist(), "Artist");
  EXPECT_EQ(tag.GetComment(), "") << "a comment with a description is not the comment field";
  EXPECT_EQ(tag.GetText("WXXX"), "http://x");
  EXPECT_EQ(tag.GetText("WOAR"), "");
  EXPECT_EQ(tag.GetText("CTOC"), "");
  EXPECT_EQ(tag.GetText("APIC"), "");
  tag.SetText("CTOC", "new");
  tag.SetText("APIC", "new");
  EXPECT_EQ(tag.FrameAt("CTOC").data.size(), 8u) << "other frames cannot be set";
  EXPECT_EQ(tag.FrameAt("APIC").data.size(), 11u);
}

TEST(Id3v2Text, ReplacingTextKeepsTheFrameFlags) {
  Id3v2Tag tag;
  // Read-only status kept; the encryption, compression and grouping flags
  // described the old data and go.
  ASSERT_EQ(Parse(tag, Tag(Frame23("TALB", Text("Old"), 0x20E0))), 0);
  tag.SetAlbum("New");
  EXPECT_EQ(tag.FrameAt("TALB").flags, 0x2000);
  EXPECT_EQ(tag.GetAlbum(), "New");
}

TEST(Id3v2Genre, ReadingStripsNumberReferences) {
  const struct {
    const char* tcon;
    const char* genre;
  } cases[] = {{"(17)Rock", "Rock"},    {"(17)(18)Rock", "Rock"}, {"(17)", ""},   {"(13)", ""},
               {"((paren)", "(paren)"}, {"Rock", "Rock"},         {"(17", "(17"}, {"", ""},
               {"(1)((x)", "(x)"},      {"\x81(x)", "\x81(x)"}};
  for (const auto& c : cases) {
    Id3v2Tag tag;
    tag.SetText("TCON", c.tcon);
    EXPECT_EQ(tag.GetGenre(), c.genre) << "TCON " << c.tcon;
  }
}

TEST(Id3v2Genre, WritingNumbersNamesOfTheId3v2List) {
  const struct {
    const char* name;
    const char* tcon;
  } cases[] = {{"Rock", "(17)Rock"},     {"Juzz+Funk", "Juzz+Funk"},    {"Jazz+Funk", "(29)Jazz+Funk"},
               {"Anime(J)", "Anime(J)"}, {"J-POP(J)", "(250)J-POP(J)"}, {"Blues", "(0)Blues"},
               {"rock", "rock"},         {"My own", "My own"}};
  for (const auto& c : cases) {
    Id3v2Tag tag;
    tag.SetGenre(c.name);
    EXPECT_EQ(tag.GetText("TCON"), c.tcon) << c.name;
  }
  Id3v2Tag tag;
  tag.SetGenre("Rock");
  tag.SetGenre("");
  EXPECT_EQ(tag.FrameCount("TCON"), 0u);
}

TEST(Id3v2Write, FramesAreSerialisedByTheirLastCharacterFirst) {
  Id3v2Tag tag;
  tag.SetYear("1999");
  tag.SetGenre("Rock");
  tag.SetComment("c");
  tag.SetTrack("1");
  tag.SetAlbum("al");
  tag.SetTitle("ti");
  tag.SetArtist("ar");
  tag.SetText("TXXX", "x");  // a single data byte after the encoding byte is still written
  const std::vector<std::uint8_t> body = tag.SerializeFrames();
  std::vector<std::string> order;
  for (std::size_t pos = 0; pos + 10 <= body.size();) {
    order.emplace_back(reinterpret_cast<const char*>(&body[pos]), 4);
    const std::size_t size =
        (std::size_t{body[pos + 4]} << 24) | (body[pos + 5] << 16) | (body[pos + 6] << 8) | body[pos + 7];
    pos += 10 + size;
  }
  EXPECT_EQ(order, (std::vector<std::string>{"TPE1", "TIT2", "TALB", "TRCK", "COMM", "TCON", "TYER", "TXXX"}));
}

TEST(Id3v2Write, FramesOfFewerThanTwoBytesAreLeftOut) {
  Id3v2Tag tag;
  ASSERT_EQ(Parse(tag, Tag(Frame23("TIT2", "") + Frame23("TPE1", std::string(1, '\0')) + Frame23("TALB", Text("A")))),
            0);
  EXPECT_EQ(tag.Frames().size(), 3u);
  EXPECT_EQ(tag.SerializeFrames(), Bytes(Frame23("TALB", Text("A"))));
}

TEST(Id3v2Unsync, InsertsZeroOnlyBeforeFalseSyncs) {
  EXPECT_EQ(Unsynchronise(Bytes("\xFF\xE0")), Bytes(std::string("\xFF\x00\xE0", 3)));
  EXPECT_EQ(Unsynchronise(Bytes(std::string("\xFF\x00", 2))), Bytes(std::string("\xFF\x00\x00", 3)));
  EXPECT_EQ(Unsynchronise(Bytes("\xFF\xDF\xFF")), Bytes("\xFF\xDF\xFF"));
  EXPECT_EQ(Resynchronise(reinterpret_cast<const std::uint8_t*>("\xFF\x00\x00"), 3), Bytes(std::string("\xFF\x00", 2)));
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint8_t> data(random() % 64);
    for (auto& b : data) b = (random() % 3 == 0) ? 0xFF : static_cast<std::uint8_t>(random() % 2 ? 0 : random());
    const std::vector<std::uint8_t> sent = Unsynchronise(data);
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
      ASSERT_FALSE(sent[i] == 0xFF && sent[i + 1] >= 0xE0) << "false sync left at " << i;
    }
    ASSERT_EQ(Resynchronise(sent.data(), sent.size()), data);
  }
}

// Malformed files read as no tag, or as the frames before the fault; the fixture
// files are named after their defect.
TEST(Id3v2Malformed, FixturesReadSafely) {
  const struct {
    const char* file;
    int load;
    const char* title;
    const char* artist;
  } cases[] = {
      {"tag_size_beyond_file.mp3", kId3v2NoTag, "", ""},
      {"extended_header_beyond_body.mp3", kId3v2NoTag, "", ""},
      {"frame_size_past_tag.mp3", 0, "Kept title", ""},
      {"text_frame_without_encoding_byte.mp3", 0, "", "Artist"},
      {"comm_shorter_than_language.mp3", 0, "Title", ""},
      {"comm_description_unterminated.mp3", 0, "Title", ""},
      {"id3v24_tag.mp3", kId3v2NoTag, "", ""},
      {"id3v23_later_revision.mp3", kId3v2NoTag, "", ""},
      {"id3v23_revision_above_127.mp3", kId3v2NoTag, "", ""},
      {"unsynchronised_body_ends_in_ff.mp3", 0, "Ti\xFF\xE0tle\xFF", ""},
      {"header_cut_after_four_bytes.mp3", kId3v2NoTag, "", ""},
      {"header_without_body.mp3", kId3v2NoTag, "", ""},
      {"frame_size_wraps_32_bits.mp3", 0, "Title", ""},
      {"id3v22_frame_size_past_tag.mp3", 0, "Title", ""},
  };
  for (const auto& c : cases) {
    Id3v2Tag tag;
    EXPECT_EQ(tag.LoadTag(FixturePath(c.file)), c.load) << c.file;
    EXPECT_EQ(tag.GetTitle(), c.title) << c.file;
    EXPECT_EQ(tag.GetArtist(), c.artist) << c.file;
    EXPECT_EQ(tag.GetComment(), "") << c.file;
    TagFields fields;
    EXPECT_EQ(ReadId3v2Fields(FixturePath(c.file), fields), c.load == 0) << c.file;
  }
}

TEST(Id3v2Malformed, MissingFileReportsASystemError) {
  Id3v2Tag tag;
  const int result = tag.LoadTag(FixturePath("no_such_file.mp3"));
  EXPECT_NE(result, 0);
  EXPECT_NE(result, kId3v2NoTag);
  EXPECT_FALSE(HasId3v2Header(FixturePath("no_such_file.mp3")));
}

TEST(Id3v2Read, FieldsAreCutTo128BytesWithoutSplittingACharacter) {
  kestrun::testing::TempDir dir;
  const std::string path = dir.File("long.mp3");
  const std::string title = std::string(127, 'a') + "\x83\x41" + "bc";  // the double-byte char straddles 128
  const std::string artist(300, 'b');
  ASSERT_TRUE(kestrun::testing::WriteBytes(
      path, Tag(Frame23("TIT2", Text(title)) + Frame23("TPE1", Text(artist))) + Audio(10)));
  std::string t, a;
  ASSERT_TRUE(ReadId3v2TitleArtist(path, t, a));
  EXPECT_EQ(t, std::string(127, 'a'));
  EXPECT_EQ(a, std::string(128, 'b'));
  TagFields fields;
  ASSERT_TRUE(ReadId3v2Fields(path, fields));
  EXPECT_EQ(fields.title, t);
  EXPECT_EQ(fields.artist, a);
}

}  // namespace
}  // namespace kestrun::tags
