#include "playlist/m3u_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"
#include "playlist/memory_row_store.h"

namespace kestrun::playlist {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

// "プレイリスト書き込み中にエラーが発生しました。\n今後も…(default.m3u)を削除してください。"
constexpr char kWriteErrorText[] =
    "\x83v\x83\x8c\x83\x43\x83\x8a\x83X\x83g\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x92\x86\x82\xc9\x83G\x83\x89"
    "\x81[\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n\x8d\xa1\x8c\xe3\x82\xe0\x83G"
    "\x83\x89\x81[\x82\xaa\x8fo\x82\xe9\x82\xe6\x82\xa4\x82\xc5\x82\xb5\x82\xbd\x82\xe7\x83v\x83\x8c\x83\x43"
    "\x83\x8a\x83X\x83g(default.m3u)\x82\xf0\x8d\xed\x8f\x9c\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2"
    "\x81\x42";
constexpr char kErrorCaption[] = "\x83G\x83\x89\x81[";  // "エラー"
constexpr char kReadErrorText[] = "\x83v\x83\x8c\x83\x43\x83\x8a\x83X\x83g\x93\xc7\x8d\x9e\x83G\x83\x89\x81[";

struct RecordedErrors final : PlaylistFileErrors {
  void ShowWriteError(const std::string& text, const std::string& caption) override {
    EXPECT_EQ(text, kWriteErrorText);
    captions.push_back(caption);
  }
  void ShowReadError(const std::string& text) override { reads.push_back(text); }
  std::vector<std::string> captions, reads;
};

void AddRow(RowStore& rows, const std::string& path, const std::string& title = "", const std::string& artist = "",
            const std::string& length = "") {
  const int row = appendRow(rows, path);
  rows.SetCell(row, Column::Title, title);
  rows.SetCell(row, Column::Artist, artist);
  rows.SetCell(row, Column::Length, length);
}

// Rows as "path|title|artist|length".
std::vector<std::string> Rows(const std::vector<PlaylistEntry>& entries) {
  std::vector<std::string> rows;
  for (const auto& e : entries) rows.push_back(e.path + "|" + e.title + "|" + e.artist + "|" + e.length);
  return rows;
}
std::vector<std::string> Rows(const RowStore& rows) {
  std::vector<PlaylistEntry> entries;
  for (int row = 0; row < rows.RowCount(); ++row) entries.push_back(ReadRow(rows, row));
  return Rows(entries);
}

class M3uFileTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::FileFaults::Reset(); }
  size_t FilesInDir() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
  }
  TempDir dir;
  RecordedErrors errors;
};

TEST(M3uLayout, ExtendedAndPlainAreByteExact) {
  MemoryRowStore rows;
  AddRow(rows, "C:\\m\\a.mp3", "Song", "Band", "03:25");
  AddRow(rows, "C:\\m\\b.wav");
  AddRow(rows, "http://h/c", "Long", "", "125:07");
  EXPECT_EQ(BuildExtendedM3u(rows),
            "#EXTM3U\r\n#EXTINF:205,Band - Song\r\nC:\\m\\a.mp3\r\n#EXTINF:000,\r\nC:\\m\\b.wav\r\n"
            "#EXTINF:7507,Long\r\nhttp://h/c");
  EXPECT_EQ(BuildPlainM3u(rows), "C:\\m\\a.mp3\r\nC:\\m\\a.mp3\r\nC:\\m\\b.wav\r\nhttp://h/c");

  MemoryRowStore longCells;  // cells are read back through 260/128/128/16-byte buffers
  AddRow(longCells, std::string(300, 'p'), std::string(200, 't'), std::string(200, 'a'), "0001:00 and more");
  EXPECT_EQ(BuildExtendedM3u(longCells), "#EXTM3U\r\n#EXTINF:60," + std::string(127, 'a') + " - " +
                                             std::string(127, 't') + "\r\n" + std::string(259, 'p'));
  EXPECT_EQ(LengthToSeconds("7"), "420");
  EXPECT_EQ(LengthToSeconds("99999999999999:99"), "60000000000099");  // saturates, no overflow
}

TEST_F(M3uFileTest, ExtendedRoundTripRestoresEveryCell) {
  MemoryRowStore rows;
  AddRow(rows, "C:\\m\\a.mp3", "Song", "Band", "03:25");
  AddRow(rows, "C:\\m\\b.wav", "Only Title", "", "");
  AddRow(rows, "C:\\m\\c.mp3", "Left - Right", "", "01:00");  // no artist: split on load
  AddRow(rows, "C:\\m\\d.mp3", "", "Artist", "125:07");
  const std::string path = dir.File("list.m3u");
  ASSERT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::Saved);
  MemoryRowStore loaded;
  appendRow(loaded, "already there");  // loading appends
  ASSERT_TRUE(loadPlaylistFile(loaded, path, errors));
  EXPECT_EQ(Rows(loaded), (std::vector<std::string>{"already there|||", "C:\\m\\a.mp3|Song|Band|03:25",
                                                    "C:\\m\\b.wav|Only Title||00:00", "C:\\m\\c.mp3|Right|Left|01:00",
                                                    "C:\\m\\d.mp3||Artist|125:07"}));
  EXPECT_TRUE(errors.captions.empty());
}

TEST_F(M3uFileTest, TenThousandJapaneseRowsRoundTripInBothFormats) {
  MemoryRowStore rows;
  // "曲" (0x8B 0x48) and "表" (0x95 0x5C, trail byte = backslash).
  for (int i = 0; i < 10000; ++i) {
    const std::string n = std::to_string(i);
    AddRow(rows, "C:\\\x95\x5c\\\x8b\x48" + n + ".mp3", "\x8b\x48 " + n, i % 3 ? "\x95\x5c" : "",
           i % 5 ? FormatLength(i) : "");
  }
  const std::string extended = dir.File("ext.m3u"), plain = dir.File("plain.m3u");
  ASSERT_EQ(saveExtendedM3u(rows, extended, errors), SaveResult::Saved);
  ASSERT_EQ(savePlainM3u(rows, plain, errors), SaveResult::Saved);
  MemoryRowStore fromExtended, fromPlain;
  ASSERT_TRUE(loadPlaylistFile(fromExtended, extended, errors));
  ASSERT_TRUE(loadPlaylistFile(fromPlain, plain, errors));
  ASSERT_EQ(fromExtended.RowCount(), 10000);
  ASSERT_EQ(fromPlain.RowCount(), 10000);
  for (int row = 0; row < 10000; ++row) {
    PlaylistEntry want = ReadRow(rows, row);
    if (want.length.empty()) want.length = "00:00";
    ASSERT_EQ(Rows({ReadRow(fromExtended, row)}), Rows({want}));
    ASSERT_EQ(fromPlain.Cell(row, Column::Path), want.path);
  }
}

TEST(PlainReader, LinesAndLineBreaks) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"A\r\nA\r\nB", {"A", "B"}},  // the lead line is skipped
      {"C:\\only one.mp3", {"C:\\only one.mp3"}},
      {"", {}},
      {"A\r\nA\r\nB\r\n", {"A", "B"}},      // no empty row from a final line break
      {"A\nA\nBC\nDE", {"A", "BC", "DE"}},  // bare line feeds keep whole paths
      {"A\r\n\r\nB\r\n  \r\nC", {"B", "C"}},
      {std::string("A\r\nB\r\nC\0D\r\nE", 12), {"B", "C"}},  // a zero byte ends the text
      {"lead\n" + std::string(400, 'x'), {std::string(259, 'x')}},
  };
  for (const auto& [text, paths] : cases) {
    const ParsedPlaylist parsed = ParsePlaylistText(text);
    EXPECT_FALSE(parsed.extended);
    std::vector<std::string> got;
    for (const auto& entry : parsed.entries) got.push_back(entry.path);
    EXPECT_EQ(got, paths) << text;
  }
}

TEST(ExtendedReader, InputOutsideTheWritersLayout) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"#EXTM3U\r\n#EXTINF:5,T\r\nP\r\n", {"P|T||00:05"}},  // final line break
      {"#EXTM3U\n#EXTINF:65,A - T\nP1\n#EXTINF:1,U\nP2", {"P1|T|A|01:05", "P2|U||00:01"}},
      {"#EXTM3U\r\n#EXTINF:65\r\nP", {"P|||01:05"}},                                  // no comma
      {"#EXTM3U\r\nP1\r\n#EXTINF:1,U\r\nP2", {"P1|||", "P2|U||00:01"}},               // no info line
      {"#EXTM3U\r\n\r\n#EXTINF:1,U\r\n\r\nP\r\n\r\n", {"P|U||00:01"}},                // blank lines
      {"#EXTM3U\r\n#EXTINF:1,X\r\n#EXTINF:2,K\r\nP\r\n#EXTINF:3,E", {"P|K||00:02"}},  // info without path
      {"#EXTM3U\r\n#PLAYLIST:x\r\n#EXTINF:1,U\r\nP", {"P|U||00:01"}},
      {"#EXTM3U", {}},
      {"#EXTM3U\r\n#EXTINF:-5,T\r\nP", {"P|T||00:00"}},
      {"#EXTM3U\r\n#EXTINF:123456789,T\r\nP", {"P|T||20576:07"}},  // seconds field cut at 7
      {"#EXTM3U\r\n#EXTINF:1,A - B - C\r\nP", {"P|B - C|A|00:01"}},
      {"#EXTM3U\r\n#EXTINF:1," + std::string(600, 'a') + " - t\r\n" + std::string(300, 'p'),
       {std::string(259, 'p') + "|" + std::string(127, 'a') + "||00:01"}},  // separator beyond 511 bytes
      {"#EXTM3U\r\n#EXTINF:1," + std::string(200, 'a') + " - " + std::string(200, 't') + "\r\nP",
       {"P|" + std::string(127, 't') + "|" + std::string(127, 'a') + "|00:01"}},
  };
  for (const auto& [text, rows] : cases) {
    const ParsedPlaylist parsed = ParsePlaylistText(text);
    EXPECT_TRUE(parsed.extended);
    EXPECT_EQ(Rows(parsed.entries), rows) << text;
  }
  EXPECT_FALSE(ParsePlaylistText("#extm3u\r\n#EXTINF:1,T\r\nP").extended);
}

// A path line whose first 259 bytes are blanks was kept as a row with a blank
// path; saved, that row became a blank line and the next load dropped it.
TEST(M3uReader, PathBlankWithinTheLimitGaveARowLostOnSave) {
  const std::string blanks(259, ' ');
  // The fuzzer's minimised input: a header and one path line of 259 blanks and "p#P".
  const std::string minimised = "#EXTM3U\r\n" + blanks + "p#P";
  const std::pair<std::string, std::vector<std::string>> extended[] = {
      {minimised, {}},
      {"#EXTM3U\r\n#EXTINF:1,U\r\n" + blanks + "X\r\nQ", {"Q|U||00:01"}},                // the info waits for a path
      {"#EXTM3U\r\n" + std::string(259, '\r') + "X\r\nQ", {"Q|||"}},                     // CRs cut off the field
      {"#EXTM3U\r\n" + std::string(258, '\t') + "\x82\xa0\r\nQ", {"Q|||"}},              // a split character cut off
      {"#EXTM3U\r\n" + std::string(258, ' ') + "pX", {std::string(258, ' ') + "p|||"}},  // not blank
  };
  for (const auto& [text, rows] : extended) {
    const ParsedPlaylist parsed = ParsePlaylistText(text);
    ASSERT_TRUE(parsed.extended);
    EXPECT_EQ(Rows(parsed.entries), rows) << text;
    MemoryRowStore store;
    std::vector<std::string> paths;
    for (const PlaylistEntry& entry : parsed.entries) {
      AddRow(store, entry.path, entry.title, entry.artist, entry.length);
      paths.push_back(entry.path);
    }
    std::vector<std::string> again;
    for (const PlaylistEntry& entry : ParsePlaylistText(BuildExtendedM3u(store)).entries) again.push_back(entry.path);
    EXPECT_EQ(again, paths) << text;  // every row read comes back from a save
  }
  const ParsedPlaylist plain = ParsePlaylistText("lead\r\n" + blanks + "p#P\r\nQ");
  ASSERT_FALSE(plain.extended);
  ASSERT_EQ(plain.entries.size(), 1u);
  EXPECT_EQ(plain.entries[0].path, "Q");
}

// Blank lines hold no row and must not be paid for: the readers used to reserve
// a row (about 136 bytes) per line feed, so 10 MB of blank lines asked for well
// over a gigabyte before the first row was read.
TEST_F(M3uFileTest, BlankLinesReserveNoRows) {
  const std::string blanks(5u << 20, '\n');
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"lead\nA" + blanks + "B" + blanks, {"A|||", "B|||"}},
      {"#EXTM3U\n" + blanks + "#EXTINF:5,T\nA" + blanks + "B", {"A|T||00:05", "B|||"}},
  };
  for (const auto& [text, rows] : cases) {
    const ParsedPlaylist parsed = ParsePlaylistText(text);
    EXPECT_EQ(Rows(parsed.entries), rows);
    EXPECT_LT(parsed.entries.capacity(), 1000u) << "rows reserved for blank lines";

    const std::string path = dir.File("blank.m3u");
    ASSERT_TRUE(WriteBytes(path, text));
    MemoryRowStore loaded;
    ASSERT_TRUE(loadPlaylistFile(loaded, path, errors));
    EXPECT_EQ(Rows(loaded), rows);
  }
  EXPECT_TRUE(errors.reads.empty());
}

TEST_F(M3uFileTest, MissingFileIsReportedAndNotCreated) {
  const std::string path = dir.File("missing.m3u");
  MemoryRowStore rows;
  EXPECT_FALSE(loadPlaylistFile(rows, path, errors));
  EXPECT_EQ(rows.RowCount(), 0);
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_EQ(errors.reads, std::vector<std::string>{kReadErrorText});
}

TEST_F(M3uFileTest, EmptyListLeavesTheOldFileUntouched) {
  MemoryRowStore empty;
  const std::string path = dir.File("default.m3u"), absent = dir.File("absent.m3u");
  ASSERT_TRUE(WriteBytes(path, "old contents"));
  EXPECT_EQ(saveExtendedM3u(empty, path, errors), SaveResult::EmptyList);
  EXPECT_EQ(savePlainM3u(empty, path, errors), SaveResult::EmptyList);
  EXPECT_EQ(saveExtendedM3u(empty, absent, errors), SaveResult::EmptyList);
  EXPECT_EQ(ReadBytes(path), "old contents");
  EXPECT_FALSE(platform::FileExists(absent));
}

TEST_F(M3uFileTest, EmptiedAutomaticPlaylistStaysEmptyAfterARestart) {
  // The user removed every row: the player's own playlist must not bring them back.
  const std::string path = dir.File("default.m3u");
  MemoryRowStore rows;
  appendRow(rows, "C:\\old\\one.mp3");
  ASSERT_EQ(saveAutomaticPlaylist(rows, path, errors), SaveResult::Saved);
  MemoryRowStore emptied;
  ASSERT_EQ(saveAutomaticPlaylist(emptied, path, errors), SaveResult::Saved);
  EXPECT_EQ(ReadBytes(path), "#EXTM3U");
  MemoryRowStore loaded;
  EXPECT_TRUE(loadPlaylistFile(loaded, path, errors));
  EXPECT_EQ(loaded.RowCount(), 0);
  EXPECT_TRUE(errors.reads.empty());

  // A failed write of the empty list keeps what was there, like any other save.
  ASSERT_TRUE(WriteBytes(path, "old contents"));
  platform::FileFaults::FailAt(platform::FileStep::Write, 1);
  EXPECT_EQ(saveAutomaticPlaylist(emptied, path, errors), SaveResult::Failed);
  EXPECT_EQ(ReadBytes(path), "old contents");
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
  EXPECT_EQ(FilesInDir(), 1u);  // no temporary file left behind
  EXPECT_EQ(errors.captions, (std::vector<std::string>{"end readtag", kErrorCaption}));
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
  EXPECT_EQ(FilesInDir(), 1u);
  EXPECT_TRUE(errors.captions.empty());
  EXPECT_EQ(saveExtendedM3u(rows, path, errors), SaveResult::Saved);
  EXPECT_EQ(ReadBytes(path), "#EXTM3U\r\n#EXTINF:000,\r\nnew");
}

// A list whose third row cannot be read (memory running out while building).
class FailingRows final : public RowStore {
 public:
  int RowCount() const override { return 3; }
  std::string Cell(int row, Column) const override { return row == 2 ? throw std::bad_alloc() : "x"; }
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
  EXPECT_EQ(errors.captions, (std::vector<std::string>{"Start2", kErrorCaption}));
  EXPECT_EQ(ReadBytes(path), "old contents");
}

}  // namespace
}  // namespace kestrun::playlist
