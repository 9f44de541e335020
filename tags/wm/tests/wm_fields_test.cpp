// The seven tag fields through the editor the program uses (our ASF editor
// natively and under Wine, whose runtime answers E_NOTIMPL).
#include "tags/wm/wm_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"
#include "tags/wm/asf_header.h"
#include "tags/wm/tests/asf_test_file.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace kestrun::tags::testing;

// Reads every attribute of a written file back with our own parser, so the
// checks do not depend on the read path under test.
std::string StoredValue(const std::string& file, const std::u16string& name, WmAttrType* type = nullptr) {
  AsfHeader header;
  const std::string h = file.substr(0, HeaderSizeOf(file));
  if (!header.Parse({reinterpret_cast<const std::uint8_t*>(h.data()), h.size()})) return "<corrupt>";
  WmAttrType t{};
  std::string value;
  if (header.Get(name, t, value) != kWmOk) return "<missing>";
  if (type != nullptr) *type = t;
  return value;
}

int FilesIn(const std::string& directory) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++n;
  return n;
}

class WmFieldsTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::FileFaults::Reset(); }

  std::string Put(const std::string& bytes, const char* name = "song.wma") {
    const std::string path = dir_.File(name);
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }
  WmFields Read(const std::string& path) {
    WmFields f;
    std::memset(&f, 'x', sizeof f);
    EXPECT_TRUE(ReadWmFields(path.c_str(), f));
    return f;
  }
  TempDir dir_;
};

TEST_F(WmFieldsTest, ReadsTheSevenAttributesIntoTheirFields) {
  const std::string path = Put(BuildTaggedAsf({{u"Title", Utf16z(u"Song")},
                                               {u"Author", Utf16z(u"Singer")},
                                               {u"Description", Utf16z(u"Notes")},
                                               {u"WM/AlbumTitle", Utf16z(u"Record")},
                                               {u"WM/Genre", Utf16z(u"Jazz")},
                                               {u"WM/Year", Utf16z(u"1999")},
                                               {u"WM/Track", Utf16z(u"4")}}));
  const WmFields f = Read(path);
  EXPECT_STREQ(f.title, "Song");
  EXPECT_STREQ(f.artist, "Singer");
  EXPECT_STREQ(f.album, "Record");
  EXPECT_STREQ(f.comment, "Notes");
  EXPECT_STREQ(f.genre, "Jazz");
  EXPECT_STREQ(f.year, "1999");
  EXPECT_STREQ(f.track, "5");  // stored from 0, shown from 1

  char title[kWmTextCapacity], artist[kWmTextCapacity];
  std::memset(title, 'x', sizeof title);
  ASSERT_TRUE(ReadWmTitleAuthor(path.c_str(), title, artist));
  EXPECT_STREQ(title, "Song");
  EXPECT_STREQ(artist, "Singer");
}

TEST_F(WmFieldsTest, AGivenConversionReplacesTheUsualOneForEveryText) {
  const std::string path = Put(BuildTaggedAsf({{u"Title", Utf16z(u"\u65E5\u672C")},
                                               {u"Author", Utf16z(u"Band")},
                                               {u"WM/AlbumTitle", Utf16z(u"\u30A2")},
                                               {u"WM/Track", Utf16z(u"4")}}));
  WmFields usual{};
  ASSERT_TRUE(ReadWmFields(path.c_str(), usual));
  EXPECT_STREQ(usual.title, "\x93\xFA\x96\x7B");  // code page 932
  WmFields converted{};
  ASSERT_TRUE(ReadWmFields(path.c_str(), converted, AsciiOrDefaultChar));
  EXPECT_STREQ(converted.title, "??");
  EXPECT_STREQ(converted.album, "?");
  EXPECT_STREQ(converted.artist, "Band");
  EXPECT_STREQ(converted.track, "5");

  char title[kWmTextCapacity], artist[kWmTextCapacity];
  ASSERT_TRUE(ReadWmTitleAuthor(path.c_str(), title, artist, AsciiOrDefaultChar));
  EXPECT_STREQ(title, "??") << "the title lookup takes the conversion too";
  EXPECT_STREQ(artist, "Band");
}

TEST_F(WmFieldsTest, TypedValuesBecomeTextAndOthersLeaveTheFieldEmpty) {
  TestAsf layout;
  layout.extended = std::vector<TestAttribute>{
      {u"WM/AlbumTitle", kWord, std::string("\xFF\xFF", 2)},
      {u"WM/Genre", kBytes, "abc"},
      {u"WM/GenreID", kBool, Le32(1)},
      {u"WM/Year", kQword, Le64(1234567)},
      {u"WM/Track", kDword, Le32(0)},
  };
  const WmFields f = Read(Put(BuildAsf(layout)));
  EXPECT_STREQ(f.album, "65535");
  EXPECT_STREQ(f.genre, "");  // binary genre, boolean genre id: no text
  EXPECT_STREQ(f.year, "1234567");
  EXPECT_STREQ(f.track, "1");  // a stored 0 shows as track 1
  EXPECT_STREQ(f.title, "");
}

TEST_F(WmFieldsTest, LongTextsAreCutToTheirFieldWithoutSplittingACharacter) {
  std::u16string longTitle(200, u'a');
  std::u16string kana(100, u'\u30A2');  // two bytes each in code page 932
  const WmFields f = Read(Put(BuildTaggedAsf({{u"Title", Utf16z(longTitle)},
                                              {u"Author", Utf16z(kana)},
                                              {u"WM/Year", Utf16z(u"19991231")},
                                              {u"WM/Track", Utf16z(u"9999999")}})));
  EXPECT_EQ(std::strlen(f.title), 127u);
  EXPECT_EQ(std::strlen(f.artist), 126u);  // 63 whole characters, no stray lead byte
  EXPECT_EQ(std::string(f.artist, 2), "\x83\x41");
  EXPECT_STREQ(f.year, "1999123");
  EXPECT_STREQ(f.track, "1000000");  // 10000000 cut to the field
}

TEST_F(WmFieldsTest, TrackTextsThatAreNotANumberStay) {
  struct Case {
    std::u16string stored;
    const char* shown;
  } cases[] = {{u"0", "1"}, {u"12", "13"}, {u"", ""}, {u"-3", "-3"}, {u"4/12", "4/12"}, {u"x", "x"}};
  for (const auto& c : cases) {
    const WmFields f = Read(Put(BuildTaggedAsf({{u"WM/Track", Utf16z(c.stored)}})));
    EXPECT_STREQ(f.track, c.shown) << std::string(c.stored.begin(), c.stored.end());
  }
}

TEST_F(WmFieldsTest, NumericGenreIdNamesItsSlot) {
  struct Case {
    std::u16string genre;
    std::u16string genreId;
    const char* shown;
  } cases[] = {
      {u"", u"17", "Rock"},      {u"", u"0", "Blues"}, {u"", u"200", ""},      {u"", u"Rock", "Rock"},
      {u"", u"255", "Anime(J)"}, {u"", u"256", "256"}, {u"Pop", u"17", "Pop"}, {u"", u"-1", "-1"},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<std::u16string, std::string>> attrs = {{u"WM/GenreID", Utf16z(c.genreId)}};
    if (!c.genre.empty()) attrs.push_back({u"WM/Genre", Utf16z(c.genre)});
    const WmFields f = Read(Put(BuildTaggedAsf(attrs)));
    EXPECT_STREQ(f.genre, c.shown) << std::string(c.genreId.begin(), c.genreId.end());
  }
}

TEST_F(WmFieldsTest, WriteStoresTheTrackOneLowerInItsLow8Bits) {
  struct Case {
    const char* track;
    std::uint32_t stored;
    const char* readBack;
  } cases[] = {{"1", 0, "1"}, {"", 0, "1"}, {"0", 0, "1"}, {"300", 43, "44"}, {"12th", 11, "12"}, {"256", 0, "1"}};
  for (const auto& c : cases) {
    const std::string path = Put(BuildTaggedAsf({}));
    ASSERT_TRUE(WriteWmFields(path.c_str(), Fields("", "", "", "", "", c.track, "")));
    WmAttrType type{};
    EXPECT_EQ(StoredValue(ReadBytes(path), u"WM/Track", &type), Le32(c.stored)) << c.track;
    EXPECT_EQ(type, WmAttrType::Dword);
    EXPECT_STREQ(Read(path).track, c.readBack) << c.track;
  }
}

TEST_F(WmFieldsTest, WriteThenReadGivesTheFieldsBack) {
  const std::string path = Put(BuildTaggedAsf(
      {{u"Title", Utf16z(u"Old title")}, {u"WM/Genre", Utf16z(u"Pop")}, {u"WM/Picture", Utf16z(u"keep me")}}));
  // Shift-JIS text must survive the trip through UTF-16.
  const char* japanese = "\x83\x65\x83\x58\x83\x67";  // katakana "te su to"
  ASSERT_TRUE(WriteWmFields(path.c_str(), Fields(japanese, "Artist", "Album", "2024", "Comment", "3", "Rock")));
  const WmFields f = Read(path);
  EXPECT_STREQ(f.title, japanese);
  EXPECT_STREQ(f.artist, "Artist");
  EXPECT_STREQ(f.album, "Album");
  EXPECT_STREQ(f.year, "2024");
  EXPECT_STREQ(f.comment, "Comment");
  EXPECT_STREQ(f.track, "3");
  EXPECT_STREQ(f.genre, "Rock");
  const std::string file = ReadBytes(path);
  EXPECT_EQ(StoredValue(file, u"Title"), Utf16z(u"\u30C6\u30B9\u30C8"));
  // The genre id holds the name, not a number.
  EXPECT_EQ(StoredValue(file, u"WM/GenreID"), Utf16z(u"Rock"));
  EXPECT_EQ(StoredValue(file, u"WM/Picture"), Utf16z(u"keep me"));
}

TEST_F(WmFieldsTest, DoubleByteFileNamesAreOpenedAndRewrittenInPlace) {
  // "\x83\x5C" has a trail byte equal to the path separator: the temporary file
  // must still be made in the file's own directory.
  for (const char* name : {"\x83\x65\x83\x58\x83\x67.wma", "\x83\x5C.wma"}) {
    const std::string path = Put(BuildTaggedAsf({{u"Title", Utf16z(u"t")}}), name);
    ASSERT_TRUE(WriteWmFields(path.c_str(), Fields("New", "", "", "", "", "", ""))) << name;
    EXPECT_STREQ(Read(path).title, "New") << name;
    EXPECT_EQ(FilesIn(dir_.path()), 1) << name;
    platform::DeleteFileAt(path);
  }
}

TEST_F(WmFieldsTest, EditorSavesOnFlushOnlyAndCloseDiscards) {
  const std::string original = BuildTaggedAsf({{u"Title", Utf16z(u"t")}});
  const std::string path = Put(original);
  const std::u16string wide = AnsiToWide(path);
  auto editor = CreateWmEditor();
  ASSERT_EQ(editor->Open(wide.c_str()), kWmOk);
  EXPECT_EQ(editor->Open(wide.c_str()), kWmInvalidRequest);
  ASSERT_TRUE(SetWmStringAttribute(*editor->HeaderInfo(), kWmTitle, "discarded"));
  EXPECT_EQ(editor->Close(), kWmOk);
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_EQ(editor->HeaderInfo(), nullptr);

  ASSERT_EQ(editor->Open(wide.c_str()), kWmOk);
  ASSERT_TRUE(SetWmStringAttribute(*editor->HeaderInfo(), kWmTitle, "kept"));
  EXPECT_EQ(editor->Flush(), kWmOk);
  EXPECT_EQ(editor->HeaderInfo(), nullptr);  // Flush closes the file
  EXPECT_EQ(editor->Close(), kWmOk);
  EXPECT_STREQ(Read(path).title, "kept");
}

TEST_F(WmFieldsTest, EmptyFieldsAreStoredAsEmptyStrings) {
  const std::string path = Put(BuildTaggedAsf({{u"WM/AlbumTitle", Utf16z(u"Album")}}));
  ASSERT_TRUE(WriteWmFields(path.c_str(), Fields("", "", "", "", "", "", "")));
  const std::string file = ReadBytes(path);
  EXPECT_EQ(StoredValue(file, u"WM/AlbumTitle"), Utf16z(u""));
  EXPECT_EQ(StoredValue(file, u"WM/Year"), Utf16z(u""));
  EXPECT_STREQ(Read(path).album, "");
}

TEST_F(WmFieldsTest, RewrittenFileKeepsItsDataAndAddsUp) {
  const std::string original = BuildTaggedAsf({{u"Title", Utf16z(u"x")}});
  const std::string path = Put(original);
  ASSERT_TRUE(WriteWmFields(path.c_str(), Fields(std::string(100, 't').c_str(), "a", "b", "2000", "c", "1", "Pop")));
  const std::string file = ReadBytes(path);
  const std::uint64_t oldHeader = HeaderSizeOf(original), newHeader = HeaderSizeOf(file);
  ASSERT_GT(newHeader, oldHeader);
  EXPECT_EQ(file.substr(newHeader), original.substr(oldHeader));  // the Data Object, untouched
  EXPECT_EQ(RecordedFileSize(file), file.size());
  // Writing the same fields again leaves a same-size header.
  ASSERT_TRUE(WriteWmFields(path.c_str(), Fields(std::string(100, 't').c_str(), "a", "b", "2000", "c", "1", "Pop")));
  EXPECT_EQ(ReadBytes(path), file);
}

TEST_F(WmFieldsTest, FilesThatAreNotReadableAsfFail) {
  WmFields f;
  std::memset(&f, 'x', sizeof f);
  EXPECT_FALSE(ReadWmFields(dir_.File("missing.wma").c_str(), f));
  EXPECT_STREQ(f.title, "");  // cleared even when the open fails
  EXPECT_FALSE(ReadWmFields(Put("RIFF....WAVEfmt ", "fake.wma").c_str(), f));
  const std::string good = BuildTaggedAsf({{u"Title", Utf16z(u"t")}});
  EXPECT_FALSE(ReadWmFields(Put(good.substr(0, HeaderSizeOf(good) - 1), "cut.wma").c_str(), f));
  const std::string notAsf = Put("not an asf file at all, just text", "text.wma");
  EXPECT_FALSE(WriteWmFields(notAsf.c_str(), Fields("t", "", "", "", "", "", "")));
  EXPECT_EQ(ReadBytes(notAsf), "not an asf file at all, just text");
  char title[kWmTextCapacity] = "stale", artist[kWmTextCapacity] = "stale";
  EXPECT_FALSE(ReadWmTitleAuthor(notAsf.c_str(), title, artist));
  EXPECT_STREQ(title, "");
  EXPECT_STREQ(artist, "");
  EXPECT_FALSE(ReadWmFields(std::string(300, 'p').c_str(), f));  // over-long path
}

TEST_F(WmFieldsTest, ReadOnlyFileIsRefusedAndUntouched) {
  const std::string original = BuildTaggedAsf({{u"Title", Utf16z(u"t")}});
  const std::string path = Put(original);
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  EXPECT_FALSE(WriteWmFields(path.c_str(), Fields("new", "", "", "", "", "", "")));
  EXPECT_EQ(ReadBytes(path), original);
  ASSERT_TRUE(platform::SetReadOnly(path, false));
}

// Every file step of a write, failed in turn, must leave the original file
// byte-identical and no temporary file behind.
TEST_F(WmFieldsTest, AnyFailingFileStepLeavesTheOriginalIntact) {
  const std::string original = BuildTaggedAsf({{u"Title", Utf16z(u"t")}, {u"WM/Genre", Utf16z(u"Pop")}});
  const WmFields fields = Fields("A new and longer title", "x", "y", "2020", "z", "9", "Rock");
  using platform::FileFaults;
  using platform::FileStep;

  // Count the calls of each step in a successful write.
  const std::string path = Put(original);
  FileFaults::Reset();
  ASSERT_TRUE(WriteWmFields(path.c_str(), fields));
  const std::string written = ReadBytes(path);
  int counts[static_cast<int>(FileStep::Count)];
  for (int s = 0; s < static_cast<int>(FileStep::Count); ++s) counts[s] = FileFaults::Calls(static_cast<FileStep>(s));

  int injected = 0;
  for (int s = 0; s < static_cast<int>(FileStep::Count); ++s) {
    for (int n = 1; n <= counts[s]; ++n) {
      ASSERT_TRUE(WriteBytes(path, original));
      FileFaults::Reset();
      FileFaults::FailAt(static_cast<FileStep>(s), n);
      const bool ok = WriteWmFields(path.c_str(), fields);
      FileFaults::Reset();
      ++injected;
      if (ok) {
        EXPECT_EQ(ReadBytes(path), written) << "step " << s << " call " << n;
      } else {
        EXPECT_EQ(ReadBytes(path), original) << "step " << s << " call " << n;
      }
      EXPECT_EQ(FilesIn(dir_.path()), 1) << "temporary file left, step " << s << " call " << n;
    }
  }
  EXPECT_GE(injected, 5);
}

}  // namespace
}  // namespace kestrun::tags
