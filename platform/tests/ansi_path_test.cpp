#include "platform/ansi_path.h"

#include <gtest/gtest.h>

namespace kestrun::platform {
namespace {

// "表" in Shift-JIS is 0x95 0x5C: its trail byte is the backslash.
const std::string kHyou = "\x95\x5C";
// "ソ" is 0x83 0x5C, another trail-byte backslash.
const std::string kSo = "\x83\x5C";

TEST(AnsiPathSplitting, TrailByteIsNeverASeparator) {
  const std::string path = "C:\\music\\" + kHyou + ".mp3";
  EXPECT_EQ(FileNameOffset(path), 9u);
  EXPECT_EQ(path.substr(ExtensionOffset(path)), ".mp3");
  EXPECT_EQ(DirectoryOf(path), "C:\\music");

  const std::string dir = "C:\\" + kSo + "\\a.wav";
  EXPECT_EQ(DirectoryOf(dir), "C:\\" + kSo);
  EXPECT_EQ(dir.substr(FileNameOffset(dir)), "a.wav");
}

TEST(AnsiPathSplitting, ExtensionOnlyInFileNamePart) {
  EXPECT_EQ(ExtensionOffset("C:\\a.dir\\file"), std::string("C:\\a.dir\\file").size());
  const std::string many = "x\\a.b.c";
  EXPECT_EQ(many.substr(ExtensionOffset(many)), ".c");
  EXPECT_EQ(DirectoryOf("file.mp3"), "");
  EXPECT_EQ(DirectoryOf("C:\\file.mp3"), "C:\\");
  EXPECT_EQ(DirectoryOf("/tmp/x/file"), "/tmp/x");
}

TEST(AnsiPathSplitting, Cp932LeadBytes) {
  EXPECT_TRUE(IsCp932LeadByte(0x81));
  EXPECT_TRUE(IsCp932LeadByte(0x9F));
  EXPECT_TRUE(IsCp932LeadByte(0xE0));
  EXPECT_TRUE(IsCp932LeadByte(0xFC));
  EXPECT_FALSE(IsCp932LeadByte(0x80));
  EXPECT_FALSE(IsCp932LeadByte(0xA0));  // half-width katakana are single bytes
  EXPECT_FALSE(IsCp932LeadByte(0xDF));
  EXPECT_FALSE(IsCp932LeadByte('\\'));
}

// One backslash between folder and name: a drive root already ends in one, a
// share's top folder does not (joined without one it would name another file), and
// a folder ending in a character whose trail byte is the backslash's needs one.
TEST(FolderJoin, ExactlyOneSeparatorBetweenFolderAndName) {
  EXPECT_EQ(JoinFolderName("C:\\", "a.mp3"), "C:\\a.mp3");
  EXPECT_EQ(JoinFolderName("C:\\music", "a.mp3"), "C:\\music\\a.mp3");
  EXPECT_EQ(JoinFolderName("\\\\server\\share", "Song.mp3"), "\\\\server\\share\\Song.mp3");
  EXPECT_EQ(JoinFolderName("\\\\server\\share\\", "Song.mp3"), "\\\\server\\share\\Song.mp3");
  EXPECT_EQ(JoinFolderName("\\\\server\\share", "*"), "\\\\server\\share\\*");
  EXPECT_EQ(JoinFolderName("C:\\" + kHyou, "a.mp3"), "C:\\" + kHyou + "\\a.mp3");
  EXPECT_EQ(JoinFolderName("C:\\" + kHyou + "\\", "a.mp3"), "C:\\" + kHyou + "\\a.mp3");

  EXPECT_EQ(JoinFolderName(L"D:\\", L"*"), L"D:\\*");
  EXPECT_EQ(JoinFolderName(L"\\\\server\\share", L"*"), L"\\\\server\\share\\*");
  EXPECT_EQ(JoinFolderName(L"\\\\server\\share", L"\u697D.mp3"), L"\\\\server\\share\\\u697D.mp3");
  EXPECT_EQ(JoinFolderName(L"C:\\music\\", L"a.mp3"), L"C:\\music\\a.mp3");
}

TEST(CommandLineText, QuotesRemovedOnlyWhenWholeTextIsQuoted) {
  EXPECT_EQ(UnquoteWhole("\"C:\\a b\\c.mp3\""), "C:\\a b\\c.mp3");
  EXPECT_EQ(UnquoteWhole("C:\\a b\\c.mp3"), "C:\\a b\\c.mp3");
  EXPECT_EQ(UnquoteWhole("\"a\" \"b\""), "a\" \"b");  // whole text quoted
  EXPECT_EQ(UnquoteWhole("\"a"), "\"a");
  EXPECT_EQ(UnquoteWhole("\""), "\"");
}

TEST(PastedText, CopiedPathsLoseQuotesLineEndsAndBlanks) {
  struct Case {
    const char* text;
    const char* path;
  };
  for (const Case& c : {
           Case{"\"C:\\a b\\c.mp3\"", "C:\\a b\\c.mp3"},  // Explorer's "Copy as path"
           Case{"\"C:\\a.mp3\"\r\n", "C:\\a.mp3"},        // copied with its line end
           Case{"C:\\a.mp3\n", "C:\\a.mp3"},
           Case{"\"C:\\a.mp3\"\r\n\"C:\\b.mp3\"\r\n", "C:\\a.mp3"},       // several files: the first
           Case{"\r\n  \r\n\t\"C:\\a.mp3\" \r\nC:\\b.mp3", "C:\\a.mp3"},  // blank lines before it
           Case{"  http://example.invalid/a.asx  ", "http://example.invalid/a.asx"},
           Case{"C:\\\x95\x5C\\\x83\x41.mp3\r\n", "C:\\\x95\x5C\\\x83\x41.mp3"},  // double-byte kept whole
           Case{"\"C:\\a.mp3", "\"C:\\a.mp3"},  // an unmatched quote stays: no such path
           Case{"\"\"", ""},
           Case{"\r\n \r\n", ""},
           Case{"", ""},
       }) {
    EXPECT_EQ(PathInText(std::string_view(c.text)), c.path) << c.text;
  }
  EXPECT_EQ(PathInText(std::wstring_view(L"\"C:\\\u8868.wav\"\r\n\"C:\\b.wav\"")), L"C:\\\u8868.wav");
  EXPECT_EQ(PathInText(std::wstring_view(L"\r\n")), L"");
}

TEST(CommandLineText, UrlsAndExtensions) {
  EXPECT_TRUE(LooksLikeUrl("http://example.invalid/a.asx"));
  EXPECT_TRUE(LooksLikeUrl("mms://host/x"));
  EXPECT_FALSE(LooksLikeUrl("C:\\a.mp3"));
  EXPECT_FALSE(LooksLikeUrl("://x"));
  EXPECT_TRUE(EqualsIgnoreCase(".WMA", ".wma"));
  EXPECT_FALSE(EqualsIgnoreCase(".wm", ".wma"));
}

}  // namespace
}  // namespace kestrun::platform
