#include "tags/id3/id3v1.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"
#include "tags/id3/genre_names.h"
#include "tags/id3/tests/tag_builder.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using tags::testing::Audio;

std::string RecordOf(const TagFields& fields) {
  unsigned char record[kId3v1Size];
  EncodeId3v1Record(fields, record);
  return std::string(reinterpret_cast<const char*>(record), kId3v1Size);
}

TEST(Id3v1Encode, TextsAreBlankPaddedAndCutToTheirWidths) {
  TagFields f;
  f.title = std::string(30, 'T');
  f.artist = std::string(45, 'A') + "tail";
  f.album = "Al";
  f.year = "19999";
  f.comment = std::string(29, 'c');
  const std::string r = RecordOf(f);
  EXPECT_EQ(r[125], 'c') << "a 29-byte comment fills byte 125";
  EXPECT_EQ(r.substr(0, 3), "TAG");
  EXPECT_EQ(r.substr(3, 30), std::string(30, 'T'));
  EXPECT_EQ(r.substr(33, 30), std::string(30, 'A'));
  EXPECT_EQ(r.substr(63, 30), "Al" + std::string(28, ' '));
  EXPECT_EQ(r.substr(93, 4), "1999");
  EXPECT_EQ(r.substr(0, 127).find('\0'), std::string::npos) << "records are padded with blanks, never zero bytes";
  TagFields shorter;
  shorter.comment = "hi";
  EXPECT_EQ(RecordOf(shorter).substr(97, 29), "hi" + std::string(27, ' '));
}

// "あ" in Shift-JIS, the code page of the player's users and of the test prefix.
const std::string kA = "\x82\xA0";

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

TEST(Id3v1EncodeSplitsNoCharacter, AFieldNeverEndsInALoneLeadByte) {
  // "A" and 16 double-byte characters are 33 bytes; a byte-count cut at 30 would
  // end the title with the lead byte 0x82 of the 15th character.
  TagFields f;
  f.title = "A" + Repeat(kA, 16);
  f.artist = Repeat(kA, 20);
  f.album = "AB" + Repeat(kA, 14);  // exactly 30 bytes: kept whole
  f.year = "1" + Repeat(kA, 2);
  f.comment = "AB" + Repeat(kA, 14);  // 30 bytes into 29
  const std::string r = RecordOf(f);
  EXPECT_EQ(r.substr(3, 30), "A" + Repeat(kA, 14) + " ") << "the cut character's byte stays a blank";
  EXPECT_EQ(r.substr(33, 30), Repeat(kA, 15));
  EXPECT_EQ(r.substr(63, 30), "AB" + Repeat(kA, 14));
  EXPECT_EQ(r.substr(93, 4), "1" + kA + " ");
  EXPECT_EQ(r.substr(97, 29), "AB" + Repeat(kA, 13) + " ");
  EXPECT_EQ(r.substr(0, 3), "TAG") << "the fields around stay in place";
  EXPECT_EQ(static_cast<unsigned char>(r[126]), 0x20);

  // Read back, the title is the whole characters that fit.
  unsigned char record[kId3v1Size];
  std::memcpy(record, r.data(), kId3v1Size);
  EXPECT_EQ(DecodeId3v1Record(record).title, "A" + Repeat(kA, 14));
}

TEST(Id3v1DecodeSplitsNoCharacter, ALoneLeadByteAtTheEndOfAFieldIsDropped) {
  // Records written by other programs that cut by bytes.
  unsigned char record[kId3v1Size];
  std::memset(record, ' ', sizeof record);
  std::memcpy(record, "TAG", 3);
  const std::string full = "A" + Repeat(kA, 14) + "\x82";  // byte 29 of the field is a lead byte
  std::memcpy(record + kId3v1TitleOffset, full.data(), 30);
  const std::string zeroPadded = std::string("Band") + "\x95" + std::string(25, '\0');
  std::memcpy(record + kId3v1ArtistOffset, zeroPadded.data(), 30);
  const std::string blankPadded = "Al\x82" + std::string(27, ' ');
  std::memcpy(record + kId3v1AlbumOffset, blankPadded.data(), 30);
  const std::string comment = Repeat(kA, 14) + "\x88";  // 29 bytes
  std::memcpy(record + kId3v1CommentOffset, comment.data(), 29);
  const TagFields f = DecodeId3v1Record(record);
  EXPECT_EQ(f.title, "A" + Repeat(kA, 14));
  EXPECT_EQ(f.artist, "Band");
  EXPECT_EQ(f.album, "Al");
  EXPECT_EQ(f.comment, Repeat(kA, 14));
  // Whole characters at the end of a full field stay.
  std::memcpy(record + kId3v1TitleOffset, Repeat(kA, 15).data(), 30);
  EXPECT_EQ(DecodeId3v1Record(record).title, Repeat(kA, 15));
}

TEST(Id3v1Encode, TrackByteOnlyForNumbersFrom1To255) {
  const struct {
    const char* text;
    unsigned char byte;
  } cases[] = {{"0", 0x20}, {"", 0x20},   {"300", 0x20}, {"256", 0x20}, {"-3", 0x20}, {"x", 0x20},
               {"12", 12},  {"255", 255}, {"1", 1},      {"7/12", 7},   {" 9", 9},    {"99999999999", 0x20}};
  for (const auto& c : cases) {
    TagFields f;
    f.track = c.text;
    EXPECT_EQ(static_cast<unsigned char>(RecordOf(f)[126]), c.byte) << "track text '" << c.text << "'";
  }
}

TEST(Id3v1Encode, GenreByteIsTheSlotOfTheNameIgnoringCase) {
  EXPECT_EQ(Id3v1GenreSlot("Rock"), 17);
  EXPECT_EQ(Id3v1GenreSlot("rOCK"), 17);
  EXPECT_EQ(Id3v1GenreSlot("Anime"), 145);
  EXPECT_EQ(Id3v1GenreSlot("Anime(J)"), 255);
  EXPECT_EQ(Id3v1GenreSlot("no such genre"), 0);
  // Every name maps back to its own slot, so choosing any entry of the editor's
  // list writes that entry's number.
  for (int slot = 0; slot < kGenreSlots; ++slot) {
    if (GenreNames[slot][0] != '\0') {
      EXPECT_EQ(Id3v1GenreSlot(GenreNames[slot]), slot) << GenreNames[slot];
    }
  }
}

TEST(Id3v1Decode, TrimsOnlyBlankPaddedFields) {
  unsigned char record[kId3v1Size];
  std::memset(record, ' ', sizeof record);
  std::memcpy(record, "TAG", 3);
  std::memcpy(record + 3, "Title", 5);           // blank padded: trimmed
  std::memcpy(record + 33, "Art  \0\0\0\0", 9);  // zero padded after blanks: kept
  std::memset(record + 33 + 9, 0, 21);
  std::memcpy(record + 63, std::string(30, 'B').data(), 30);  // full field
  record[126] = 0x20;
  record[127] = 17;
  const TagFields f = DecodeId3v1Record(record);
  EXPECT_EQ(f.title, "Title");
  EXPECT_EQ(f.artist, "Art  ");
  EXPECT_EQ(f.album, std::string(30, 'B'));
  EXPECT_EQ(f.year, "") << "a year of four blanks is empty";
  EXPECT_EQ(f.comment, "");
  EXPECT_EQ(f.track, "");
  EXPECT_EQ(f.genre, "Rock");
}

TEST(Id3v1Decode, TrackAndGenreBytes) {
  unsigned char record[kId3v1Size] = {};
  std::memcpy(record, "TAG", 3);
  const struct {
    unsigned char track;
    const char* trackText;
    unsigned char genre;
    const char* genreName;
  } cases[] = {{0, "0", 200, "Blues"},
               {12, "12", 253, "Moemoe(J)"},
               {255, "255", 248, "Blues"},
               {0x20, "", 0, "Blues"},
               {1, "1", 147, "Synthpop"}};
  for (const auto& c : cases) {
    record[126] = c.track;
    record[127] = c.genre;
    const TagFields f = DecodeId3v1Record(record);
    EXPECT_EQ(f.track, c.trackText);
    EXPECT_EQ(f.genre, c.genreName) << "genre byte " << int{c.genre};
    EXPECT_EQ(Id3v1GenreNumberText(record), std::to_string(c.genre));
  }
}

class Id3v1File : public ::testing::Test {
 protected:
  void PrepareRecord(const std::string& title) {
    TagFields f;
    f.title = title;
    EncodeId3v1Record(f, Id3v1Record);
  }
  TempDir dir_;
};

TEST_F(Id3v1File, FirstWriteAppendsLaterWritesOverwrite) {
  const std::string path = dir_.File("song.mp3");
  const std::string audio = Audio(1000);
  ASSERT_TRUE(WriteBytes(path, audio));
  EXPECT_FALSE(ReadId3v1Tag(path));

  PrepareRecord("First");
  ASSERT_TRUE(WriteId3v1Tag(path));
  std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), audio.size() + 128);
  EXPECT_EQ(bytes.substr(0, audio.size()), audio);

  PrepareRecord("Second");
  ASSERT_TRUE(WriteId3v1Tag(path));
  bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), audio.size() + 128);
  EXPECT_EQ(bytes.substr(0, audio.size()), audio);

  std::memset(Id3v1Record, 0xAA, sizeof Id3v1Record);
  ASSERT_TRUE(ReadId3v1Tag(path));
  EXPECT_EQ(DecodeId3v1Record(Id3v1Record).title, "Second");
}

TEST_F(Id3v1File, ShortOrMissingFilesHaveNoTagAndAreNotWritten) {
  const std::string shortPath = dir_.File("short.mp3");
  const std::string shortBytes = "TAG" + std::string(100, 'x');
  ASSERT_TRUE(WriteBytes(shortPath, shortBytes));
  std::memset(Id3v1Record, 0xAA, sizeof Id3v1Record);
  EXPECT_FALSE(ReadId3v1Tag(shortPath));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(Id3v1Record), 128), std::string(128, '\0'));
  PrepareRecord("x");
  EXPECT_FALSE(WriteId3v1Tag(shortPath));
  EXPECT_EQ(ReadBytes(shortPath), shortBytes);

  EXPECT_FALSE(ReadId3v1Tag(dir_.File("missing.mp3")));
  EXPECT_FALSE(WriteId3v1Tag(dir_.File("missing.mp3")));
  EXPECT_FALSE(platform::FileExists(dir_.File("missing.mp3")));
}

TEST_F(Id3v1File, ReadOnlyFileIsWrittenAndStaysReadOnly) {
  const std::string path = dir_.File("ro.mp3");
  ASSERT_TRUE(WriteBytes(path, Audio(400)));
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  PrepareRecord("Locked");
  ASSERT_TRUE(WriteId3v1Tag(path));
  bool readOnly = false;
  ASSERT_TRUE(platform::IsReadOnly(path, readOnly));
  EXPECT_TRUE(readOnly);
  ASSERT_TRUE(ReadId3v1Tag(path));
  EXPECT_EQ(DecodeId3v1Record(Id3v1Record).title, "Locked");
}

TEST_F(Id3v1File, FailedWriteLeavesFileAndReadOnlyAttribute) {
  const std::string path = dir_.File("fail.mp3");
  const std::string audio = Audio(400);
  ASSERT_TRUE(WriteBytes(path, audio));
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  PrepareRecord("x");
  platform::FileFaults::Reset();
  platform::FileFaults::FailAt(platform::FileStep::Write, 1);
  EXPECT_FALSE(WriteId3v1Tag(path));
  platform::FileFaults::Reset();
  EXPECT_EQ(ReadBytes(path), audio);
  bool readOnly = false;
  ASSERT_TRUE(platform::IsReadOnly(path, readOnly));
  EXPECT_TRUE(readOnly);
}

// The two lists differ in exactly these slots; everything else is shared.
TEST(GenreLists, DifferOnlyInTheKnownSlots) {
  const struct {
    int slot;
    const char* v1;
    const char* v2;
  } differences[] = {{25, "Euro-tecno", "Euro-Techno"},
                     {29, "Juzz+Funk", "Jazz+Funk"},
                     {40, "AlternRock", "Alt. Rock"},
                     {59, "Gangsta", "Gangsta Rap"},
                     {60, "Top 40", "Top 4"},
                     {67, "Psychadelic", "Psychedelic"},
                     {85, "Bedob", "Bebob"},
                     {90, "Avantagarde", "Avantgarde"},
                     {93, "Psychadelic Rock", "Psychedelic Rock"},
                     {96, "Big band", "Big Band"},
                     {101, "SpeechChanson", "Speech"},
                     {118, "Rhytmic Soul", "Rhythmic Soul"},
                     {123, "Acapella", "A Cappella"},
                     {127, "Dram & Bass", "Drum & Bass"},
                     {136, "Chiristian Gangsta Rap", "Christian Gangsta Rap"},
                     {248, "", "Heavy Rock(J)"},
                     {249, "", "Doom Rock(J)"},
                     {250, "", "J-POP(J)"}};
  bool differs[256] = {};
  for (const auto& d : differences) {
    EXPECT_STREQ(GenreNames[d.slot], d.v1) << d.slot;
    EXPECT_STREQ(Id3v2GenreNames[d.slot], d.v2) << d.slot;
    differs[d.slot] = true;
  }
  for (int slot = 0; slot < kGenreSlots; ++slot) {
    ASSERT_NE(GenreNames[slot], nullptr);
    ASSERT_NE(Id3v2GenreNames[slot], nullptr);
    if (!differs[slot]) {
      EXPECT_STREQ(GenreNames[slot], Id3v2GenreNames[slot]) << slot;
    }
    const bool empty = slot >= 148 && slot <= 250;
    EXPECT_EQ(GenreNames[slot][0] == '\0', empty) << slot;
    EXPECT_LE(std::strlen(GenreNames[slot]), 34u);
    EXPECT_LE(std::strlen(Id3v2GenreNames[slot]), 29u);
  }
}

}  // namespace
}  // namespace kestrun::tags
