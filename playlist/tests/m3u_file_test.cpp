#include "playlist/m3u_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"
#include "playlist/memory_row_store.h"

namespace kestrun::playlist {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

constexpr char kWriteErrorText[] =
    "\x83v\x83\x8c\x83\x43\x83\x8a\x83X\x83g\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x92\x86\x82\xc9\x83G\x83\x89"
    "\x81[\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n\x8d\xa1\x8c\xe3\x82\xe0\x83G"
    "\x83\x89\x81[\x82\xaa\x8fo\x82\xe9\x82\xe6\x82\xa4\x82\xc5\x82\xb5\x82\xbd\x82\xe7\x83v\x83\x8c\x83\x43"
    "\x83\x8a\x83X\x83g(default.m3u)\x82\xf0\x8d\xed\x8f\x9c\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2"
    "\x81\x42";
constexpr char kReadErrorText[] = "\x83v\x83\x8c\x83\x43\x83\x8a\x83X\x83g\x93\xc7\x8d\x9e\x83G\x83\x89\x81[";

struct RecordedErrors final : PlaylistFileErrors {
  void ShowWriteError(const std::string& text, const std::string& caption) override {
    writes.push_back({text, caption});
  }
  void ShowReadError(const std::string& text) override { reads.push_back(text); }
  std::vector<std::pair<std::string, std::string>> writes;
  std::vector<std::string> reads;
};

void AddRow(MemoryRowStore& rows, const std::string& path, const std::string& title = "",
            const std::string& artist = "", const std::string& length = "") {
  const int row = appendRow(rows, path);
  rows.SetCell(row, Column::Title, title);
  rows.SetCell(row, Column::Artist, artist);
  rows.SetCell(row, Column::Length, length);
}

std::vector<PlaylistEntry> Entries(const RowStore& rows) {
  std::vector<PlaylistEntry> entries;
  for (int row = 0; row < rows.RowCount(); ++row) entries.push_back(ReadRow(rows, row));
  return entries;
}

std::vector<std::string> Paths(const RowStore& rows) {
  std::vector<std::string> paths;
  for (int row = 0; row < rows.RowCount(); ++row) paths.push_back(rows.Cell(row, Column::Path));
  return paths;
}

std::vector<PlaylistEntry> Parse(const std::string& text) { return ParsePlaylistText(text).entries; }

size_t FilesIn(const std::string& directory) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++count;
  return count;
}

class M3uFileTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::FileFaults::Reset(); }
  TempDir dir;
  RecordedErrors errors;
};

TEST(ExtendedLayout, IsByteExact) {
  MemoryRowStore rows;
  AddRow(rows, "C:\\m\\a.mp3", "Song", "Band", "03:25");
  AddRow(rows, "C:\\m\\b.wav");
  AddRow(rows, "http://h/c", "Long", "", "125:07");
  EXPECT_EQ(BuildExtendedM3u(rows),
            "#EXTM3U\r\n"
            "#EXTINF:205,Band - Song\r\nC:\\m\\a.mp3\r\n"
            "#EXTINF:000,\r\nC:\\m\\b.wav\r\n"
            "#EXTINF:7507,Long\r\nhttp://h/c");
}

TEST(ExtendedLayout, CellsAreCutAtTheirBufferSizes) {
  MemoryRowStore rows;
  AddRow(rows, std::string(300, 'p'), std::string(200, 't'), std::string(200, 'a'), "0001:00 and more");
  EXPECT_EQ(BuildExtendedM3u(rows), "#EXTM3U\r\n#EXTINF:60," + std::string(127, 'a') + " - " +
                                        std::string(127, 't') + "\r\n" + std::string(259, 'p'));
}

TEST(ExtendedLayout, SecondsFromLengthCell) {
  EXPECT_EQ(LengthToSeconds("03:25"), "205");
  EXPECT_EQ(LengthToSeconds("125:07"), "7507");
  EXPECT_EQ(LengthToSeconds(""), "000");
  EXPECT_EQ(LengthToSeconds("7"), "420");
  EXPECT_EQ(LengthToSeconds("x"), "0");
  EXPECT_EQ(LengthToSeconds("99999999999999:99"), "60000000000099");  // saturates, no overflow
}

TEST(PlainLayout, LeadLineThenEveryPath) {
  MemoryRowStore rows;
  AddRow(rows, "A", "title is not written");
  AddRow(rows, "B");
  EXPECT_EQ(BuildPlainM3u(rows), "A\r\nA\r\nB");
  MemoryRowStore empty;
  EXPECT_EQ(BuildPlainM3u(empty), "");
}

TEST_F(M3uFileTest, ExtendedRoundTripRestoresEveryCell) {
  MemoryRowStore rows;
  AddRow(rows, "C:\\m\\a.mp3", "Song", "Band", "03:25");
  AddRow(rows, "C:\\m\\b.wav", "Only Title", "", "");
  AddRow(rows, "C:\\m\\c.mp3", "Left - Right", "", "01:00");  // split on load: no way to tell
  AddRow(rows, "C:\\m\\d.mp3", "", "Artist", "125:07");
  const std::string path = dir.File("list.m3u");
  ASSERT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::Saved);

  MemoryRowStore loaded;
  ASSERT_TRUE(loadPlaylistFile(loaded, path, errors));
  const auto entries = Entries(loaded);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].path, "C:\\m\\a.mp3");
  EXPECT_EQ(entries[0].title, "Song");
  EXPECT_EQ(entries[0].artist, "Band");
  EXPECT_EQ(entries[0].length, "03:25");
  EXPECT_EQ(entries[1].title, "Only Title");
  EXPECT_EQ(entries[1].artist, "");
  EXPECT_EQ(entries[1].length, "00:00");
  EXPECT_EQ(entries[2].artist, "Left");
  EXPECT_EQ(entries[2].title, "Right");
  EXPECT_EQ(entries[3].path, "C:\\m\\d.mp3");
  EXPECT_EQ(entries[3].title, "");
  EXPECT_EQ(entries[3].artist, "Artist");
  EXPECT_EQ(entries[3].length, "125:07");
  EXPECT_TRUE(errors.writes.empty());
  EXPECT_TRUE(errors.reads.empty());
}

TEST_F(M3uFileTest, TenThousandJapaneseRowsRoundTripInBothFormats) {
  MemoryRowStore rows;
  // "曲" (0x8B 0x48) and "表" (0x95 0x5C, trail byte = backslash) in paths and titles.
  for (int i = 0; i < 10000; ++i) {
    const std::string n = std::to_string(i);
    AddRow(rows, "C:\\\x95\x5c\\\x8b\x48" + n + ".mp3", "\x8b\x48 " + n, i % 3 ? "\x95\x5c" : "",
           i % 5 ? FormatLength(i) : "");
  }
  const std::string extended = dir.File("ext.m3u");
  const std::string plain = dir.File("plain.m3u");
  ASSERT_EQ(saveExtendedM3u(rows, extended, errors), SaveResult::Saved);
  ASSERT_EQ(savePlainM3u(rows, plain, errors), SaveResult::Saved);

  MemoryRowStore fromExtended;
  ASSERT_TRUE(loadPlaylistFile(fromExtended, extended, errors));
  MemoryRowStore fromPlain;
  ASSERT_TRUE(loadPlaylistFile(fromPlain, plain, errors));
  ASSERT_EQ(fromExtended.RowCount(), 10000);
  EXPECT_EQ(Paths(fromPlain), Paths(rows));
  for (int row = 0; row < 10000; ++row) {
    const PlaylistEntry want = ReadRow(rows, row);
    const PlaylistEntry got = ReadRow(fromExtended, row);
    ASSERT_EQ(got.path, want.path) << row;
    ASSERT_EQ(got.title, want.title) << row;
    ASSERT_EQ(got.artist, want.artist) << row;
    ASSERT_EQ(got.length, want.length.empty() ? "00:00" : want.length) << row;
    ASSERT_EQ(got.key, row);
  }
}

TEST_F(M3uFileTest, LoadingAppendsToExistingRows) {
  const std::string path = dir.File("drop.m3u");
  ASSERT_TRUE(WriteBytes(path, "A\r\nA\r\nB"));
  MemoryRowStore rows;
  appendRow(rows, "existing");
  ASSERT_TRUE(loadPlaylistFile(rows, path, errors));
  EXPECT_EQ(Paths(rows), (std::vector<std::string>{"existing", "A", "B"}));
  EXPECT_EQ(rows.Key(2), 2);
}

TEST_F(M3uFileTest, MissingFileIsReportedNotCreated) {
  const std::string path = dir.File("missing.m3u");
  MemoryRowStore rows;
  EXPECT_FALSE(loadPlaylistFile(rows, path, errors));
  EXPECT_EQ(rows.RowCount(), 0);
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_EQ(errors.reads, std::vector<std::string>{kReadErrorText});
}

TEST(PlainReader, LinesAndLineBreaks) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> paths;
  } cases[] = {
      {"writer layout", "A\r\nA\r\nB", {"A", "B"}},
      {"no line feed is one path", "C:\\only one.mp3", {"C:\\only one.mp3"}},
      {"empty file", "", {}},
      {"only a lead line", "A\r\n", {}},
      {"final line break adds no empty row", "A\r\nA\r\nB\r\n", {"A", "B"}},
      {"bare line feeds keep whole paths", "A\nA\nBC\nDE", {"A", "BC", "DE"}},
      {"blank lines skipped", "A\r\n\r\nB\r\n  \r\nC", {"B", "C"}},
      {"zero byte ends the text", std::string("A\r\nB\r\nC\0D\r\nE", 11), {"B", "C"}},
      {"over-long path cut", "lead\n" + std::string(400, 'x'), {std::string(259, 'x')}},
  };
  for (const Case& c : cases) {
    const ParsedPlaylist parsed = ParsePlaylistText(c.text);
    EXPECT_FALSE(parsed.extended) << c.name;
    std::vector<std::string> paths;
    for (const auto& entry : parsed.entries) paths.push_back(entry.path);
    EXPECT_EQ(paths, c.paths) << c.name;
  }
}

TEST(ExtendedReader, InputOutsideTheWritersLayout) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> rows;  // path|title|artist|length
  } cases[] = {
      {"final line break", "#EXTM3U\r\n#EXTINF:5,T\r\nP\r\n", {"P|T||00:05"}},
      {"LF only", "#EXTM3U\n#EXTINF:65,A - T\nP1\n#EXTINF:1,U\nP2", {"P1|T|A|01:05", "P2|U||00:01"}},
      {"missing comma", "#EXTM3U\r\n#EXTINF:65\r\nP", {"P|||01:05"}},
      {"missing info line", "#EXTM3U\r\nP1\r\n#EXTINF:1,U\r\nP2", {"P1|||", "P2|U||00:01"}},
      {"blank lines", "#EXTM3U\r\n\r\n#EXTINF:1,U\r\n\r\nP\r\n\r\n", {"P|U||00:01"}},
      {"info without path", "#EXTM3U\r\n#EXTINF:1,Lost\r\n#EXTINF:2,Kept\r\nP\r\n#EXTINF:3,End",
       {"P|Kept||00:02"}},
      {"comment lines", "#EXTM3U\r\n#PLAYLIST:x\r\n#EXTINF:1,U\r\nP", {"P|U||00:01"}},
      {"header only", "#EXTM3U", {}},
      {"header then nothing", "#EXTM3U\r\n", {}},
      {"seconds not a number", "#EXTM3U\r\n#EXTINF:-5,T\r\nP", {"P|T||00:00"}},
      {"seconds field cut at 7", "#EXTM3U\r\n#EXTINF:123456789,T\r\nP", {"P|T||20576:07"}},
      {"comma inside name", "#EXTM3U\r\n#EXTINF:1,a, b\r\nP", {"P|a, b||00:01"}},
      {"artist separator twice", "#EXTM3U\r\n#EXTINF:1,A - B - C\r\nP", {"P|B - C|A|00:01"}},
  };
  for (const Case& c : cases) {
    const ParsedPlaylist parsed = ParsePlaylistText(c.text);
    EXPECT_TRUE(parsed.extended) << c.name;
    std::vector<std::string> rows;
    for (const auto& e : parsed.entries) rows.push_back(e.path + "|" + e.title + "|" + e.artist + "|" + e.length);
    EXPECT_EQ(rows, c.rows) << c.name;
  }
}

TEST(ExtendedReader, OverLongFieldsAreCutAtTheLimits) {
  const std::string name = std::string(600, 'a') + " - t";
  auto entries = Parse("#EXTM3U\r\n#EXTINF:1," + name + "\r\n" + std::string(300, 'p'));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].artist, "");  // the separator lies beyond the 511-byte name limit
  EXPECT_EQ(entries[0].title, std::string(127, 'a'));
  EXPECT_EQ(entries[0].path, std::string(259, 'p'));

  entries = Parse("#EXTM3U\r\n#EXTINF:1," + std::string(200, 'a') + " - " + std::string(200, 't') + "\r\nP");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].artist, std::string(127, 'a'));
  EXPECT_EQ(entries[0].title, std::string(127, 't'));
}

TEST(ExtendedReader, HeaderIsCaseSensitive) {
  EXPECT_FALSE(ParsePlaylistText("#extm3u\r\n#EXTINF:1,T\r\nP").extended);
}

TEST_F(M3uFileTest, EmptyListLeavesTheOldFileUntouched) {
  MemoryRowStore empty;
  const std::string path = dir.File("default.m3u");
  ASSERT_TRUE(WriteBytes(path, "old contents"));
  EXPECT_EQ(saveExtendedM3u(empty, path, errors), SaveResult::EmptyList);
  EXPECT_EQ(savePlainM3u(empty, path, errors), SaveResult::EmptyList);
  EXPECT_EQ(ReadBytes(path), "old contents");
  const std::string absent = dir.File("absent.m3u");
  EXPECT_EQ(saveExtendedM3u(empty, absent, errors), SaveResult::EmptyList);
  EXPECT_FALSE(platform::FileExists(absent));
  EXPECT_TRUE(errors.writes.empty());
}

TEST_F(M3uFileTest, FailedWriteKeepsTheOldFileAndShowsTheStage) {
  MemoryRowStore rows;
  AddRow(rows, "new");
  const std::string path = dir.File("default.m3u");
  ASSERT_TRUE(WriteBytes(path, "old contents"));

  platform::FileFaults::FailAt(platform::FileStep::Write, 1);
  EXPECT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::Failed);
  platform::FileFaults::FailAt(platform::FileStep::Write, 1);
  EXPECT_EQ(savePlainM3u(rows, path, errors), SaveResult::Failed);

  EXPECT_EQ(ReadBytes(path), "old contents");
  EXPECT_EQ(FilesIn(dir.path()), 1u);  // no temporary file left behind
  ASSERT_EQ(errors.writes.size(), 2u);
  EXPECT_EQ(errors.writes[0].first, kWriteErrorText);
  EXPECT_EQ(errors.writes[0].second, "end readtag");
  EXPECT_EQ(errors.writes[1].first, kWriteErrorText);
  EXPECT_EQ(errors.writes[1].second, "\x83G\x83\x89\x81[");
}

TEST_F(M3uFileTest, FileThatCannotBeOpenedIsSkippedSilently) {
  MemoryRowStore rows;
  AddRow(rows, "new");
  const std::string path = dir.File("default.m3u");
  ASSERT_TRUE(WriteBytes(path, "old contents"));

  platform::FileFaults::FailAt(platform::FileStep::TempName, 1);
  EXPECT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::NotOpened);
  platform::FileFaults::FailAt(platform::FileStep::Move, 1);
  EXPECT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::NotOpened);
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  EXPECT_EQ(savePlainM3u(rows, path, errors), SaveResult::NotOpened);
  ASSERT_TRUE(platform::SetReadOnly(path, false));

  EXPECT_EQ(ReadBytes(path), "old contents");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
  EXPECT_TRUE(errors.writes.empty());

  EXPECT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::Saved);
  EXPECT_EQ(ReadBytes(path), "#EXTM3U\r\n#EXTINF:000,\r\nnew");
}

// A list whose cells cannot be read past a given row (memory running out).
class FailingRows final : public RowStore {
 public:
  int RowCount() const override { return 3; }
  std::string Cell(int row, Column) const override {
    if (row == 2) throw std::bad_alloc();
    return "x";
  }
  void SetCell(int, Column, std::string_view) override {}
  int Key(int row) const override { return row; }
  bool IsSelected(int) const override { return false; }
  void SetSelected(int, bool) override {}
  int NextSelected(int) const override { return -1; }
  void DeleteRow(int) override {}
  void DeleteAllRows() override {}
  void SortByKeys(const KeyComparison&) override {}

 protected:
  void InsertRowWithKey(int, std::string_view, int) override {}
  void SetKey(int, int) override {}
};

TEST_F(M3uFileTest, ErrorWhileBuildingIsShownWithItsStage) {
  FailingRows rows;
  const std::string path = dir.File("default.m3u");
  ASSERT_TRUE(WriteBytes(path, "old contents"));
  EXPECT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::Failed);
  EXPECT_EQ(savePlainM3u(rows, path, errors), SaveResult::Failed);
  ASSERT_EQ(errors.writes.size(), 2u);
  EXPECT_EQ(errors.writes[0].second, "Start2");
  EXPECT_EQ(errors.writes[1].second, "\x83G\x83\x89\x81[");
  EXPECT_EQ(ReadBytes(path), "old contents");
}

}  // namespace
}  // namespace kestrun::playlist
