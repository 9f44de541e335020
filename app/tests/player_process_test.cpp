// The real Kestrun.exe, started and handed files from outside.
#include <gtest/gtest.h>

#include "app/tests/kestrun_process.h"
#include "platform/shell_path_win.h"
#include "platform/testing/temp_dir.h"
#include "platform/testing/wide_files_win.h"

namespace kestrun::testing {
namespace {

constexpr DWORD kPlayTimeoutMs = 30000;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

TEST(KestrunProcess, PlaysWavFromCommandLineShowingTitleAndDuration) {
  KestrunProcess player;
  ASSERT_TRUE(player.Start(Quoted(MediaPath("tone.wav"))));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return player.Caption() == "tone.wav"; }, kPlayTimeoutMs)) << player.Caption();
  EXPECT_EQ(player.TitleText(), "tone.wav");
  // The duration is known once the graph runs; the position moves on the timer.
  EXPECT_TRUE(WaitUntil([&] { return player.TimeText().find("/00:03") != std::string::npos; }, 5000))
      << player.TimeText();
  EXPECT_EQ(player.Close(), 0);
}

TEST(KestrunProcess, PlaysMp3) {
  KestrunProcess player;
  ASSERT_TRUE(player.Start(Quoted(MediaPath("tone.mp3"))));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return player.Caption() == "tone.mp3"; }, kPlayTimeoutMs)) << player.Caption();
  EXPECT_TRUE(WaitUntil([&] { return player.TimeText().find("/00:0") != std::string::npos; }, 5000))
      << player.TimeText();
  EXPECT_EQ(player.Close(), 0);
}

TEST(KestrunProcess, UnsupportedFileShowsItsTextAndKeepsRunning) {
  KestrunProcess player;
  ASSERT_TRUE(player.Start(Quoted(MediaPath("junk.xyz"))));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return player.TitleText() == "未対応のファイルです"; }, kPlayTimeoutMs))
      << player.TitleText();
  EXPECT_EQ(player.Close(), 0);
}

TEST(KestrunProcess, SecondInstanceHandsItsQuotedPathToTheRunningOne) {
  KestrunProcess first;
  ASSERT_TRUE(first.Start(""));
  ASSERT_TRUE(first.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return first.TitleText() == "Quenfold' Ambrel"; }, kPlayTimeoutMs));

  // An empty command line ends at once and changes nothing.
  KestrunProcess empty;
  ASSERT_TRUE(empty.Start(""));
  EXPECT_EQ(empty.WaitForExit(10000), 0);
  EXPECT_EQ(first.TitleText(), "Quenfold' Ambrel");

  KestrunProcess second;
  ASSERT_TRUE(second.Start(Quoted(MediaPath("tone.wav"))));
  EXPECT_EQ(second.WaitForExit(10000), 0);
  EXPECT_TRUE(WaitUntil([&] { return first.Caption() == "tone.wav"; }, kPlayTimeoutMs)) << first.Caption();
  EXPECT_EQ(first.TitleText(), "tone.wav");
  EXPECT_EQ(first.Close(), 0);
}

TEST(KestrunProcess, OverlongCommandLineIsRefusedWithAMessage) {
  // Longer than the 260-byte path buffer and with no short form (no such file).
  const std::string longPath = "C:\\" + std::string(300, 'a') + ".wav";
  KestrunProcess player;
  ASSERT_TRUE(player.Start(Quoted(longPath)));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return player.TitleText() == "パスが長すぎます"; }, kPlayTimeoutMs))
      << player.TitleText();
  EXPECT_EQ(player.Close(), 0);
}

// A wide command line (as the shell starts the player for a file) naming a file whose
// ANSI path would be cut or hold "?": the player plays the file itself by its short
// form, or says why it cannot; it never opens a cut or "?" path.
void ExpectPlaysOrRefuses(const std::wstring& file, const char* refusal) {
  KestrunProcess player;
  ASSERT_TRUE(player.StartWide(L"\"" + file + L"\""));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(
      WaitUntil([&] { return player.TitleText() == refusal || player.TimeText().find("/00:01") != std::string::npos; },
                kPlayTimeoutMs))
      << player.TitleText() << " / " << player.TimeText();
  if (player.TitleText() != refusal) {
    // Playing: the caption is the file's (short) name, never one with "?".
    EXPECT_EQ(player.Caption().find('?'), std::string::npos) << player.Caption();
  }
  EXPECT_EQ(player.Close(), 0);
}

TEST(KestrunProcess, WideCommandLineWithKoreanOrOverlongJapanesePathPlaysTheFileOrIsRefused) {
  TempDir dir;
  WideFiles files(WidePath(dir.path()));
  const std::string tone = ReadBytes(MediaPath("short.wav"));
  const std::wstring korean = files.File(L"\uD55C\uAD6D\uC5B4.wav", tone);
  ASSERT_FALSE(korean.empty());
  ExpectPlaysOrRefuses(korean, platform::kPathUnrepresentable);
  const std::wstring deep = files.File(DeepJapaneseRelative(), tone);
  ASSERT_FALSE(deep.empty());
  ExpectPlaysOrRefuses(deep, platform::kPathTooLong);
}

TEST(KestrunProcess, WideCommandLineRefusesAMissingKoreanPathWithItsMessage) {
  // No such file, so no short form: the refusal names the characters, not the length.
  KestrunProcess player;
  ASSERT_TRUE(player.StartWide(L"\"C:\\no such folder\\\uD55C\uAD6D\uC5B4.wav\""));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return player.TitleText() == platform::kPathUnrepresentable; }, kPlayTimeoutMs))
      << player.TitleText();
  EXPECT_EQ(player.Close(), 0);
}

}  // namespace
}  // namespace kestrun::testing
