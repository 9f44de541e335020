#include "platform/shell_path_win.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/limits.h"
#include "platform/testing/temp_dir.h"
#include "platform/testing/wide_files_win.h"

namespace kestrun::platform {
namespace {

constexpr UINT kJapanese = 932;
constexpr UINT kWestern = 1252;

struct ConversionCase {
  const char* fault;
  UINT codePage;
  std::wstring wide;
  PathRefusal refusal;
  std::string ansi;  // when taken
};

// Each case names the fault it catches when it fails.
TEST(ConvertWideText, TakesOnlyTextThatConvertsBackWholeAndFits) {
  const ConversionCase cases[] = {
      {"ASCII is changed", kJapanese, L"C:\\music\\a b.mp3", PathRefusal::None, "C:\\music\\a b.mp3"},
      {"Japanese is not made Shift-JIS", kJapanese, L"C:\\\u8868\\\u97F3.wav", PathRefusal::None,
       "C:\\\x95\x5C\\\x89\xB9.wav"},
      {"Korean becomes '?'", kJapanese, L"C:\\\uD55C\uAD6D\uC5B4.wav", PathRefusal::Unrepresentable, ""},
      {"an accent is best-fitted to its letter", kJapanese, L"C:\\caf\u00E9.mp3", PathRefusal::Unrepresentable, ""},
      {"an emoji is taken", kJapanese, L"C:\\\U0001F3B5.mp3", PathRefusal::Unrepresentable, ""},
      {"a code page that has the accent refuses it", kWestern, L"C:\\caf\u00E9.mp3", PathRefusal::None,
       "C:\\caf\xE9.mp3"},
      {"an empty text is refused or made a path", kJapanese, L"", PathRefusal::None, ""},
  };
  for (const auto& c : cases) {
    const ShellPath result = ConvertWideText(c.wide, c.codePage, kPathMaxLength);
    EXPECT_EQ(result.refusal, c.refusal) << c.fault;
    EXPECT_EQ(result.path, c.ansi) << c.fault;
  }
}

TEST(ConvertWideText, LengthIsCountedInBytesOfTheCodePageNeverCut) {
  // 129 double-byte characters and one byte: 259 bytes, fits.
  const std::wstring fits = std::wstring(129, L'\u97F3') + L"a";
  const ShellPath taken = ConvertWideText(fits, kJapanese, kPathMaxLength);
  EXPECT_FALSE(taken.refused());
  EXPECT_EQ(taken.path.size(), kPathMaxLength);
  // 130 double-byte characters: 260 bytes though only 130 characters.
  const ShellPath refused = ConvertWideText(std::wstring(130, L'\u97F3'), kJapanese, kPathMaxLength);
  EXPECT_EQ(refused.refusal, PathRefusal::TooLong);
  EXPECT_TRUE(refused.path.empty());
  // The atom's smaller limit is honoured as given.
  EXPECT_EQ(ConvertWideText(std::wstring(256, L'a'), kJapanese, 255).refusal, PathRefusal::TooLong);
}

TEST(RefusalMessage, EachRefusalHasItsOwnMessage) {
  EXPECT_EQ(RefusalMessage(PathRefusal::None), nullptr);
  EXPECT_STREQ(RefusalMessage(PathRefusal::TooLong), kPathTooLong);
  EXPECT_STREQ(RefusalMessage(PathRefusal::Unrepresentable), kPathUnrepresentable);
  EXPECT_STRNE(kPathTooLong, kPathUnrepresentable);
}

// A path the code page cannot take is either played by a short form that names the
// same file or refused; never cut, never with "?".
void ExpectShortFormOrRefusal(const std::wstring& wide, PathRefusal expectedRefusal) {
  const ShellPath result = AnsiPathFromWide(wide);
  if (result.refused()) {
    EXPECT_EQ(result.refusal, expectedRefusal);
    EXPECT_TRUE(result.path.empty());
    return;
  }
  EXPECT_LE(result.path.size(), kPathMaxLength);
  EXPECT_EQ(result.path.find('?'), std::string::npos) << result.path;
  // The short form opens the very file.
  EXPECT_NE(GetFileAttributesA(result.path.c_str()), INVALID_FILE_ATTRIBUTES) << result.path;
  wchar_t full[MAX_PATH] = {};
  ASSERT_GT(GetLongPathNameW(testing::WidePath(result.path).c_str(), full, MAX_PATH), 0u);
  EXPECT_EQ(std::wstring(full), wide);
}

TEST(AnsiPathFromWide, RealFilesTooLongOrUnrepresentableUseTheShortFormOrAreRefused) {
  testing::TempDir dir;
  testing::WideFiles files(testing::WidePath(dir.path()));
  const std::wstring deep = files.File(testing::DeepJapaneseRelative());
  ASSERT_FALSE(deep.empty());
  ExpectShortFormOrRefusal(deep, PathRefusal::TooLong);
  const std::wstring korean = files.File(L"\uD55C\uAD6D\uC5B4.wav");
  ASSERT_FALSE(korean.empty());
  ExpectShortFormOrRefusal(korean, PathRefusal::Unrepresentable);
  // A path that fits is taken as it is, not by a short form.
  const std::wstring plain = files.File(L"\u8868.wav");
  const ShellPath taken = AnsiPathFromWide(plain);
  EXPECT_FALSE(taken.refused());
  EXPECT_EQ(testing::WidePath(taken.path), plain);
}

TEST(AnsiPathFromWide, MissingFileWithoutShortFormIsRefusedForItsReason) {
  EXPECT_EQ(AnsiPathFromWide(L"C:\\no\\such\\" + std::wstring(140, L'\u97F3') + L".wav").refusal, PathRefusal::TooLong);
  EXPECT_EQ(AnsiPathFromWide(L"C:\\no\\such\\\uD55C.wav").refusal, PathRefusal::Unrepresentable);
}

}  // namespace
}  // namespace kestrun::platform
