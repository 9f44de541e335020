// The FLAC, MP4 and Ogg readers on small files built in the test: what a whole
// file gives, and malformed files, each named after its defect, giving no length
// (or nothing) instead of a wrong one.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tags/formats/container_file.h"
#include "tags/formats/vorbis_comment.h"
#include "tags/formats/tests/container_builders.h"
#include "tags/id3/tests/tag_builder.h"

namespace kestrun::tags {
namespace {

using namespace tags::testing;

std::optional<ContainerInfo> Read(const std::string& bytes, ContainerParts parts = ContainerParts::Both) {
  MemorySource source({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  return ReadContainer(source, parts, Utf8FromUtf16);
}

std::int64_t Units(double seconds) { return static_cast<std::int64_t>(seconds * 1e7 + 0.5); }

const std::vector<std::string> kComments = {"title=Ti",         "ARTIST=Ar",      "Album=Al",
                                            "DATE=2009-05-01",  "DESCRIPTION=De", "COMMENT=Co",
                                            "TRACKNUMBER=3/12", "GENRE=Rock",     "TITLE=second title is ignored"};

void ExpectFields(const TagFields& f) {
  EXPECT_EQ(f.title, "Ti");
  EXPECT_EQ(f.artist, "Ar");
  EXPECT_EQ(f.album, "Al");
  EXPECT_EQ(f.year, "2009");
  EXPECT_EQ(f.comment, "Co");
  EXPECT_EQ(f.track, "3/12");
  EXPECT_EQ(f.genre, "Rock");
}

TEST(FlacReader, GivesStreamInfoLengthAndCommentsAlsoBehindAnId3v2Tag) {
  const std::string flac = FlacFile(VorbisComment(kComments), 9096);
  for (const std::string& file : {flac, Tag("xxxxx") + flac}) {
    const auto info = Read(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->duration, 9096 * 10'000'000LL / 44100);
    ASSERT_TRUE(info->hasTags);
    ExpectFields(info->fields);
  }
}

TEST(FlacReader, LengthOnlyWhenTheLastFrameEndsAtTheDeclaredCount) {
  const std::string comment = VorbisComment({"TITLE=t"});
  // Cut inside the last frame or before it: the file holds less than its header
  // promises, though its tags are still there.
  const std::string whole = FlacFile(comment, 9096);
  EXPECT_TRUE(Read(whole)->duration);
  EXPECT_TRUE(Read(whole + std::string("TAG") + std::string(125, ' '))->duration) << "an ID3v1 record after the audio";
  for (std::size_t cutBytes : {10, 60}) {
    const auto cut = Read(whole.substr(0, whole.size() - cutBytes));
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->duration) << cutBytes;
    EXPECT_EQ(cut->fields.title, "t");
  }
  EXPECT_FALSE(Read(FlacFile(comment, 9096 + 1))->duration) << "count beyond the last frame";
  EXPECT_FALSE(Read(FlacFile(comment, 0))->duration) << "unknown sample count";
}

TEST(FlacReader, BrokenMetadataGivesNothing) {
  const std::string whole = FlacFile(VorbisComment(kComments), 9096);
  EXPECT_FALSE(Read(""));
  EXPECT_FALSE(Read("fLaC"));
  EXPECT_FALSE(Read(whole.substr(0, 30))) << "cut inside STREAMINFO";
  EXPECT_FALSE(Read(whole.substr(0, 60))) << "cut inside the comment block";
  std::string zeroRate = whole;
  zeroRate[18] = zeroRate[19] = 0;
  zeroRate[20] = static_cast<char>(zeroRate[20] & 0x0F);
  EXPECT_FALSE(Read(zeroRate));
  EXPECT_FALSE(Read("fLaC" + FlacBlock(4, VorbisComment({"TITLE=x"}), true))) << "no STREAMINFO first";
  std::string neverLast = "fLaC" + FlacBlock(0, FlacStreamInfo(44100, 10), false);
  for (int i = 0; i < 600; ++i) neverLast += FlacBlock(1, "", false);
  EXPECT_FALSE(Read(neverLast)) << "a chain of blocks without a last one";
}

TEST(VorbisComment, HostileCountsAndLengthsEndTheWalkKeepingWhatWasRead) {
  // A count of four billion fields in a few bytes, then a field longer than the
  // rest of the block: the walk ends, the fields before it stay.
  std::string hostile = Le(4, 4) + "test" + Le(0xFFFFFFFFu, 4) + Le(7, 4) + "TITLE=a" + Le(1000, 4) + "ARTIST=b";
  MemorySource source({reinterpret_cast<const std::uint8_t*>(hostile.data()), hostile.size()});
  TagFields fields;
  EXPECT_TRUE(ReadVorbisComment(source, fields, Utf8FromUtf16));
  EXPECT_EQ(fields.title, "a");
  EXPECT_EQ(fields.artist, "");
  const std::string vendorPastEnd = Le(100, 4) + "test";
  MemorySource cut({reinterpret_cast<const std::uint8_t*>(vendorPastEnd.data()), vendorPastEnd.size()});
  EXPECT_FALSE(ReadVorbisComment(cut, fields, Utf8FromUtf16));
}

TEST(VorbisComment, LongValuesAreCutWholeAndLackingCharactersBecomeTheDefault) {
  std::string kanji;
  for (int i = 0; i < 3000; ++i) kanji += "\xE6\x97\xA5";  // 日, three bytes in UTF-8
  const std::string block = VorbisComment({"TITLE=" + kanji, "ARTIST=Caf\xC3\xA9 \xF0\x9F\x8E\xB5"});
  MemorySource source({reinterpret_cast<const std::uint8_t*>(block.data()), block.size()});
  TagFields fields;
  ASSERT_TRUE(ReadVorbisComment(source, fields, Utf8FromUtf16));
  EXPECT_EQ(fields.title.size(), 126u) << "cut to whole characters below 128 bytes";
  ASSERT_TRUE(ReadVorbisComment(source, fields, AsciiOrDefaultChar));
  EXPECT_EQ(fields.artist, "Caf? ?");
}

TEST(Mp4Reader, MovieHeaderLengthAndItemListInBothVersions) {
  const std::string items = Item("\xA9nam", 1, "Ti") +
                            Item(
                                "\xA9"
                                "ART",
                                1, "Ar") +
                            Item(
                                "\xA9"
                                "alb",
                                1, "Al") +
                            Item(
                                "\xA9"
                                "day",
                                1, "2009-05-01T00:00:00Z") +
                            Item(
                                "\xA9"
                                "cmt",
                                1, "Co") +
                            Item("trkn", 0, Be(0, 2) + Be(3, 2) + Be(12, 2) + Be(0, 2)) + Item("\xA9gen", 1, "Rock") +
                            Item("gnre", 0, Be(2, 2)) + Item("covr", 13, std::string(70000, '\x01'));
  for (bool version1 : {false, true}) {
    const auto info = Read(Mp4File(Mvhd(44100, 145530, version1) + Ilst(items)));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->duration, Units(3.3));
    TagFields want{"Ti", "Ar", "Al", "2009", "Co", "3", "Rock"};
    EXPECT_EQ(info->fields.title, want.title);
    EXPECT_EQ(info->fields.artist, want.artist);
    EXPECT_EQ(info->fields.album, want.album);
    EXPECT_EQ(info->fields.year, want.year);
    EXPECT_EQ(info->fields.comment, want.comment);
    EXPECT_EQ(info->fields.track, want.track);
    EXPECT_EQ(info->fields.genre, want.genre);
  }
}

TEST(Mp4Reader, GenreNumbersUtf16TextsAndQuickTimeMeta) {
  const std::string items = Item("\xA9nam", 2, std::string("\x65\xE5\x67\x2C", 4)) + Item("gnre", 0, Be(18, 2));
  const auto info = Read(Mp4File(Mvhd(1000, 5000) + Ilst(items, false)));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->fields.title, "\xE6\x97\xA5\xE6\x9C\xAC");  // 日本
  EXPECT_EQ(info->fields.genre, "Rock");                      // ID3v1 genre 17, stored plus one
}

TEST(Mp4Reader, LengthFromTheSoundTrackWithoutMovieHeaderAnd64BitAtoms) {
  const std::string tracks = Trak("vide", Mdhd(600, 6000)) + Trak("soun", Mdhd(48000, 96000));
  EXPECT_EQ(Read(Mp4File(tracks))->duration, Units(2.0));
  // moov with a 64-bit size.
  const std::string moovBody = Mvhd(1000, 2500);
  const std::string large =
      Atom("ftyp", "M4A " + Be(0, 4)) + Be(1, 4) + "moov" + Be(moovBody.size() + 16, 8) + moovBody;
  EXPECT_EQ(Read(large)->duration, Units(2.5));
}

TEST(Mp4Reader, CutOrFragmentedFilesGiveNoLength) {
  const std::string whole = Mp4File(Mvhd(1000, 5000) + Ilst(Item("\xA9nam", 1, "Ti")));
  const auto cut = Read(whole.substr(0, whole.size() - 1));
  ASSERT_TRUE(cut) << "media data cut short";
  EXPECT_FALSE(cut->duration);
  EXPECT_EQ(cut->fields.title, "Ti");
  EXPECT_FALSE(Read(Mp4File(Mvhd(1000, 5000) + Atom("mvex", "")))->duration) << "fragments";
  EXPECT_FALSE(Read(Mp4File(Mvhd(0, 5000)))->duration) << "zero time scale";
  EXPECT_FALSE(Read(Mp4File(Mvhd(1000, 0xFFFFFFFFu)))->duration) << "duration not known";
  EXPECT_FALSE(Read(whole.substr(0, 40))) << "cut inside the movie atom";
  std::string tooSmall = whole;
  tooSmall.replace(whole.find("moov") - 4, 4, Be(4, 4));
  EXPECT_FALSE(Read(tooSmall)) << "an atom smaller than its header";
  EXPECT_FALSE(Read(Atom("ftyp", "M4A ")));
}

std::string OggFile(const std::string& id, const std::string& comment, std::uint64_t lastGranule) {
  // The comment packet spans two pages; a page of another stream sits between the
  // last two of ours.
  const std::string head = comment.substr(0, 255);
  return OggPage(7, 0, 2, id) + OggPage(7, 0, 0, head, true) + OggPage(7, 0, 1, comment.substr(255)) +
         OggPage(7, 1000, 0, std::string(100, 'a')) + OggPage(9, 99999999, 0, std::string(50, 'b')) +
         OggPage(7, lastGranule, 4, std::string(100, 'c'));
}

TEST(OggReader, VorbisOpusAndFlacLengthsAndComments) {
  const std::string comment = VorbisComment(kComments, std::string(300, 'v'));
  const auto vorbis = Read(OggFile(VorbisIdPacket(44100), std::string("\x03vorbis") + comment + "\x01", 145530));
  ASSERT_TRUE(vorbis);
  EXPECT_EQ(vorbis->duration, Units(3.3));
  ExpectFields(vorbis->fields);
  const auto opus = Read(OggFile(OpusHead(312), "OpusTags" + comment, 158712));
  ASSERT_TRUE(opus);
  EXPECT_EQ(opus->duration, Units(3.3)) << "pre-skip taken off, at 48 kHz";
  ExpectFields(opus->fields);
  const std::string flacId = std::string(
                                 "\x7F"
                                 "FLAC\x01\x00\x00\x01",
                                 9) +
                             "fLaC" + FlacBlock(0, FlacStreamInfo(44100, 0), false);
  const auto flac = Read(OggFile(flacId, FlacBlock(4, comment, true), 145530));
  ASSERT_TRUE(flac);
  EXPECT_EQ(flac->duration, Units(3.3));
  ExpectFields(flac->fields);
}

TEST(OggReader, LastPageMustBeWholeAndOfTheStream) {
  const std::string file =
      OggFile(OpusHead(312), "OpusTags" + VorbisComment({"TITLE=t"}, std::string(300, 'v')), 96312);
  // Cut inside the last page: timed to the page before it (granule 1000).
  EXPECT_EQ(Read(file.substr(0, file.size() - 5))->duration, SamplesToUnits(1000 - 312, 48000));
  std::string corrupt = file;
  corrupt[corrupt.size() - 1] ^= 1;
  EXPECT_EQ(Read(corrupt)->duration, SamplesToUnits(1000 - 312, 48000)) << "checksum mismatch";
  EXPECT_FALSE(Read(OggFile(OpusHead(312), "OpusTags" + VorbisComment({}, std::string(300, 'v')), 100))->duration)
      << "granule below the pre-skip";
  EXPECT_EQ(Read(file, ContainerParts::Tags)->duration, std::nullopt) << "tags alone never read the tail";
}

TEST(OggReader, BrokenHeadersGiveNothing) {
  const std::string comment = "OpusTags" + VorbisComment({"TITLE=t"}, std::string(300, 'v'));
  const std::string file = OggFile(OpusHead(312), comment, 96312);
  EXPECT_FALSE(Read("OggS"));
  EXPECT_FALSE(Read(file.substr(0, 40))) << "cut inside the first page";
  std::string notFirst = file;
  notFirst[5] = 0;
  EXPECT_FALSE(Read(notFirst)) << "first page without its beginning-of-stream flag";
  EXPECT_FALSE(Read(OggFile("OpusHead\x10\x02" + Le(312, 2) + Le(48000, 4) + Le(0, 3), comment, 9000)))
      << "unknown major version";
  EXPECT_FALSE(Read(OggFile(std::string("Speex   ") + std::string(60, 'x'), comment, 9000))) << "other codec";
  const auto noComment = Read(file.substr(0, 100));
  ASSERT_TRUE(noComment) << "cut inside the comment packet";
  EXPECT_FALSE(noComment->hasTags);
}

TEST(ContainerFile, ExtensionsAndMislabelledFiles) {
  for (const char* path : {"a.flac", "b.M4A", "c.m4b", "d.mp4", "e.aac", "f.OPUS", "g.ogg", "h.oga"}) {
    EXPECT_TRUE(IsContainerPath(path)) << path;
  }
  for (const char* path : {"a.mp3", "b.wav", "c.flac.txt", "flac"}) EXPECT_FALSE(IsContainerPath(path)) << path;
  EXPECT_FALSE(Read("ID3\x03\0\0\0\0\0\0 an mp3 named .flac"));
  EXPECT_FALSE(Read("RIFF....WAVEfmt "));
}

}  // namespace
}  // namespace kestrun::tags
