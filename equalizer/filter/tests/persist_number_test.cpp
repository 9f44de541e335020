// The text form of the equalizer's saved numbers: exactly twelve units per number,
// and a reader that refuses anything a damaged stream could hold.
#include <gtest/gtest.h>

#include <string>

#include "equalizer/filter/persist_number.h"

namespace kestrun::equalizer {
namespace {

std::u16string Formatted(std::int32_t value) {
  const auto units = FormatPersistedNumber(value);
  return std::u16string(units.begin(), units.end());
}

// Feeds the text and returns the reader's last step and the units it consumed.
PersistedNumberReader::Step Read(const std::u16string& text, std::int32_t* value, size_t* consumed = nullptr) {
  PersistedNumberReader reader;
  auto step = PersistedNumberReader::Step::More;
  size_t i = 0;
  while (i < text.size() && step == PersistedNumberReader::Step::More) {
    step = reader.Feed(text[i++]);
  }
  if (consumed != nullptr) {
    *consumed = i;
  }
  if (step == PersistedNumberReader::Step::Done) {
    *value = reader.value();
  }
  return step;
}

TEST(PersistedNumberFormat, ZeroPaddedToElevenThenBlank) {
  EXPECT_EQ(Formatted(0), u"00000000000 ");
  EXPECT_EQ(Formatted(14), u"00000000014 ");
  EXPECT_EQ(Formatted(48), u"00000000048 ");
  EXPECT_EQ(Formatted(-5), u"-0000000005 ");
  EXPECT_EQ(Formatted(2147483647), u"02147483647 ");
  EXPECT_EQ(Formatted(-2147483647 - 1), u"-2147483648 ");
}

TEST(PersistedNumberReader, ReadsBackEveryFormattedValueWhole) {
  for (std::int32_t value : {0, 1, 24, 48, -1, -24, 2147483647, -2147483647 - 1}) {
    std::int32_t read = 12345;
    size_t consumed = 0;
    ASSERT_EQ(Read(Formatted(value), &read, &consumed), PersistedNumberReader::Step::Done) << value;
    EXPECT_EQ(read, value);
    EXPECT_EQ(consumed, 12u) << "the blank ends the number";
  }
}

TEST(PersistedNumberReader, AcceptsEveryTerminator) {
  for (char16_t end : {u'\0', u'\t', u'\n', u'\r', u' '}) {
    std::int32_t read = 0;
    std::u16string text = u"17";
    text.push_back(end);
    ASSERT_EQ(Read(text, &read), PersistedNumberReader::Step::Done) << int(end);
    EXPECT_EQ(read, 17);
  }
}

TEST(PersistedNumberReader, RefusesMalformedNumbers) {
  const std::u16string cases[] = {
      u"12x",           // letter inside
      u"1-2 ",          // sign not first
      u"--1 ",          // two signs
      u" ",             // no digit
      u"- ",            // sign without digit
      u"+1 ",           // plus sign is not ours
      u"02147483648 ",  // one past the largest value
      u"-2147483649 ",  // one past the smallest value
      u"99999999999999999999 ",
      std::u16string(100, u'0') + u" ",  // endless leading zeros
      u"1\u0661 ",                       // a digit of another script
  };
  for (const auto& text : cases) {
    std::int32_t read = 0;
    EXPECT_EQ(Read(text, &read), PersistedNumberReader::Step::Malformed) << std::string(text.begin(), text.end());
  }
}

TEST(PersistedNumberReader, WantsMoreUntilTheNumberEnds) {
  std::int32_t read = 0;
  EXPECT_EQ(Read(u"0000000001", &read), PersistedNumberReader::Step::More);
}

}  // namespace
}  // namespace kestrun::equalizer
