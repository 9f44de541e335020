#include "app/command_line.h"

#include <gtest/gtest.h>

namespace kestrun::app {
namespace {

TEST(CommandLinePath, EmptyAndQuotedAndSpaces) {
  EXPECT_EQ(ParseCommandLinePath("", 259).status, CommandLineStatus::Empty);
  EXPECT_EQ(ParseCommandLinePath("\"\"", 259).status, CommandLineStatus::Empty);
  const auto quoted = ParseCommandLinePath("\"C:\\My Music\\a b.mp3\"", 259);
  EXPECT_EQ(quoted.status, CommandLineStatus::Ok);
  EXPECT_EQ(quoted.path, "C:\\My Music\\a b.mp3");
  // Spaces without quotes: still one path.
  EXPECT_EQ(ParseCommandLinePath("C:\\My Music\\a b.mp3", 259).path, "C:\\My Music\\a b.mp3");
}

TEST(CommandLinePath, LongTextIsRefusedNotCut) {
  const std::string fits(259, 'a');
  EXPECT_EQ(ParseCommandLinePath(fits, 259).status, CommandLineStatus::Ok);
  const std::string tooLong(260, 'a');
  const auto refused = ParseCommandLinePath(tooLong, 259);
  EXPECT_EQ(refused.status, CommandLineStatus::TooLong);
  EXPECT_TRUE(refused.path.empty());
  // The limit applies after the quotes are removed.
  EXPECT_EQ(ParseCommandLinePath("\"" + std::string(255, 'b') + "\"", 255).status, CommandLineStatus::Ok);
  EXPECT_EQ(ParseCommandLinePath(std::string(256, 'b'), 255).status, CommandLineStatus::TooLong);
}

TEST(CommandLinePath, AssociationCommandArrivesWhole) {
  // What the program started by an association's command ("<program>" "%1") sees after
  // its own name: the quoted media path, perhaps with blanks around it.
  for (const char* raw : {"\"D:\\My Music\\a b.mp3\"", "\"D:\\My Music\\a b.mp3\" ", "\t \"D:\\My Music\\a b.mp3\""}) {
    const auto parsed = ParseCommandLinePath(raw, 259);
    EXPECT_EQ(parsed.status, CommandLineStatus::Ok) << raw;
    EXPECT_EQ(parsed.path, "D:\\My Music\\a b.mp3") << raw;
  }
  EXPECT_EQ(ParseCommandLinePath("   ", 259).status, CommandLineStatus::Empty);
}

// The wide command line holds the program name first; a wrong skip would play the
// program itself or lose the path's first word.
TEST(CommandLineArguments, ProgramNameQuotedOrNotIsSkipped) {
  EXPECT_EQ(CommandLineArguments(L"\"C:\\Program Files\\Kestrun.exe\" \"D:\\a b.mp3\""), L"\"D:\\a b.mp3\"");
  EXPECT_EQ(CommandLineArguments(L"Kestrun.exe   D:\\a b.mp3"), L"D:\\a b.mp3");
  EXPECT_EQ(CommandLineArguments(L"Kestrun.exe"), L"");
  EXPECT_EQ(CommandLineArguments(L"\"C:\\Kestrun.exe\""), L"");
  EXPECT_EQ(CommandLineArguments(L"\"C:\\unclosed quote"), L"");
  EXPECT_EQ(CommandLineArguments(L""), L"");
}

TEST(CommandLineArguments, PathTextLosesBlanksAndWholeQuotesOnly) {
  EXPECT_EQ(CommandLinePathText(L" \t\"D:\\\uD55C.wav\" "), L"D:\\\uD55C.wav");
  EXPECT_EQ(CommandLinePathText(L"D:\\My Music\\a.wav"), L"D:\\My Music\\a.wav");
  EXPECT_EQ(CommandLinePathText(L"\"\""), L"");
  EXPECT_EQ(CommandLinePathText(L"   "), L"");
  // Quotes that do not enclose the whole text stay.
  EXPECT_EQ(CommandLinePathText(L"\"a\" b"), L"\"a\" b");
}

}  // namespace
}  // namespace kestrun::app
