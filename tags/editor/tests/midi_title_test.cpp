#include "tags/editor/midi_title.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/temp_dir.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

// A file of `size` bytes of 0x01 filler with `event` bytes placed at `at`.
std::string FileWith(std::size_t size, std::size_t at, const std::string& event) {
  std::string bytes(size, '\x01');
  bytes.replace(at, event.size(), event);
  return bytes.substr(0, size);
}

void Put(std::string& bytes, std::size_t at, const std::string& event) { bytes.replace(at, event.size(), event); }

std::string Event(char type, const std::string& text, char length = -1) {
  const char len = length >= 0 ? length : static_cast<char>(text.size());
  return std::string("\xFF") + type + len + text;
}

struct Scanned {
  bool read;
  std::string title;
  std::string artist;
};

Scanned ReadFile(const std::string& bytes) {
  TempDir dir;
  const std::string path = dir.File("song.mid");
  EXPECT_TRUE(WriteBytes(path, bytes));
  Scanned result;
  result.read = ReadMidiTitleArtist(path, result.title, result.artist);
  return result;
}

TEST(MidiTitle, BothEventsGiveTitleAndArtist) {
  std::string bytes = FileWith(1500, 30, Event('\x03', std::string("Song\0", 5)));
  Put(bytes, 60, Event('\x02', std::string("Band\0", 5)));
  const Scanned got = ReadFile(bytes);
  EXPECT_TRUE(got.read);
  EXPECT_EQ(got.title, "Song");
  EXPECT_EQ(got.artist, "Band");
}

TEST(MidiTitle, FileOf999BytesGivesNothing) {
  const Scanned got = ReadFile(FileWith(999, 10, Event('\x03', std::string("Song\0", 5))));
  EXPECT_FALSE(got.read);
  EXPECT_EQ(got.title, "");
}

TEST(MidiTitle, EventsBeyondTheFirst1000BytesAreNotSeen) {
  std::string bytes = FileWith(2000, 1000, Event('\x03', std::string("Late\0", 5)));
  const Scanned got = ReadFile(bytes);
  EXPECT_TRUE(got.read);
  EXPECT_EQ(got.title, "");
}

TEST(MidiTitle, TextWithoutZeroBeforeTheWindowEndIsRefused) {
  // The name event at byte 990 with a 20-byte text: its start is inside the window
  // but no zero byte follows within it.
  const Scanned got = ReadFile(FileWith(1000, 990, Event('\x03', std::string(20, 'N'))));
  EXPECT_EQ(got.title, "");
  // The same with the window's last byte zero: taken, but cut at the window end
  // and at that zero.
  std::string bytes = FileWith(1000, 990, Event('\x03', std::string(20, 'N')));
  bytes[999] = '\0';
  EXPECT_EQ(ReadFile(bytes).title, std::string(6, 'N'));
}

TEST(MidiTitle, LengthAndStartAtTheWindowEdge) {
  // 0xFF 0x03 in the last two bytes: no length byte inside the window.
  std::string bytes(1000, '\0');
  bytes[998] = '\xFF';
  bytes[999] = '\x03';
  EXPECT_EQ(ReadFile(bytes).title, "");
  // Length byte is the last byte: the text would start past the window.
  bytes.assign(1000, '\0');
  bytes.replace(997, 3, "\xFF\x03\x05");
  EXPECT_EQ(ReadFile(bytes).title, "");
  // Scanning an exact heap buffer ending at the length byte reads nothing past it.
  std::string title, artist;
  const std::uint8_t tail[] = {0x00, 0xFF, 0x02, 0x09};
  ScanMidiMetaTexts(tail, sizeof tail, title, artist);
  EXPECT_EQ(artist, "");
}

TEST(MidiTitle, FirstOccurrenceDecidesAndLengthLimitsTheCopy) {
  // The copy stops at the length byte's count even though more text runs on to
  // the zero; a later event of the same type is not used.
  std::string bytes = FileWith(1000, 0, Event('\x03', "ABCDEFGH", 3));
  bytes[20] = '\0';
  Put(bytes, 40, Event('\x03', std::string("Other\0", 6)));
  EXPECT_EQ(ReadFile(bytes).title, "ABC");
  // A zero length gives an empty text, and the later event still does not count.
  bytes = FileWith(1000, 0, Event('\x03', "", 0));
  bytes[10] = '\0';
  Put(bytes, 40, Event('\x03', std::string("Other\0", 6)));
  EXPECT_EQ(ReadFile(bytes).title, "");
}

}  // namespace
}  // namespace kestrun::tags
