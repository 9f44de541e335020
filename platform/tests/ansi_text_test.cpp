#include "platform/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrun::platform {
namespace {

// "あ" in Shift-JIS.
const std::string kA = "\x82\xA0";
// Full-width "ｂ" is 0x82 0x82: its trail byte is also a lead byte.
const std::string kFullWidthB = "\x82\x82";

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

std::string Cut(const std::string& text, std::size_t max) {
  return std::string(CutAnsiText(text, max, IsCp932LeadByte));
}

TEST(CutAnsiTextSplitsNoCharacter, CutInsideACharacterDropsTheWholeCharacter) {
  // The 30-byte ID3v1 title: "A" and 16 double-byte characters are 33 bytes, and
  // byte 30 would be the lead byte of the 15th character.
  const std::string title = std::string("A") + Repeat(kA, 16);
  EXPECT_EQ(Cut(title, 30), std::string("A") + Repeat(kA, 14));
  EXPECT_EQ(Cut(title, 31), std::string("A") + Repeat(kA, 15));
  EXPECT_EQ(Cut(Repeat(kA, 3), 1), "");
}

TEST(CutAnsiTextSplitsNoCharacter, TrailBytesInTheLeadRangeAreNotTakenForLeadBytes) {
  // A look at the last kept byte alone would take the trail byte 0x82 for a
  // lead byte and drop it.
  const std::string twice = kFullWidthB + kFullWidthB + "A";
  EXPECT_EQ(Cut(twice, 2), kFullWidthB);
  EXPECT_EQ(Cut(twice, 3), kFullWidthB);
  EXPECT_EQ(Cut(twice, 4), kFullWidthB + kFullWidthB);
  EXPECT_EQ(Cut("x" + kFullWidthB + kFullWidthB, 4), "x" + kFullWidthB);
}

TEST(CutAnsiTextSplitsNoCharacter, ATextThatFitsIsLeftAsItIs) {
  // Cutting what was read back from a cut must give the same bytes (playlist
  // files are read, written and read again), whatever the text ends in.
  EXPECT_EQ(Cut("AB\x82", 10), "AB\x82");
  EXPECT_EQ(Cut("AB\x82", 3), "AB\x82");
  EXPECT_EQ(Cut("AB\x82", 2), "AB");
  EXPECT_EQ(Cut(kA + kA, 4), kA + kA);
}

TEST(LoneLeadByteAtTheEnd, IsFoundAndDroppedByWalkingFromTheStart) {
  const auto drop = [](const std::string& text) { return std::string(DropLoneLeadByte(text, IsCp932LeadByte)); };
  EXPECT_TRUE(EndsInLoneLeadByte("AB\x82", IsCp932LeadByte));
  EXPECT_EQ(drop("AB\x82"), "AB");
  EXPECT_EQ(drop(kA + "\x95"), kA);
  EXPECT_FALSE(EndsInLoneLeadByte("AB" + kA, IsCp932LeadByte));
  EXPECT_EQ(drop("AB" + kA), "AB" + kA);
  // The second 0x82 is the trail byte of the first: nothing to drop.
  EXPECT_FALSE(EndsInLoneLeadByte(kFullWidthB, IsCp932LeadByte));
  EXPECT_EQ(drop(kFullWidthB), kFullWidthB);
  EXPECT_TRUE(EndsInLoneLeadByte(kFullWidthB + "\x82", IsCp932LeadByte));
  EXPECT_EQ(drop(kFullWidthB + "\x82"), kFullWidthB);
  EXPECT_FALSE(EndsInLoneLeadByte("", IsCp932LeadByte));
  EXPECT_EQ(drop(""), "");
  EXPECT_EQ(drop("\xB1"), "\xB1") << "half-width katakana are single bytes";
}

TEST(CutAnsiTextSplitsNoCharacter, SingleByteTextsAreCutAtTheCount) {
  // Half-width katakana (0xA1..0xDF) are single bytes.
  EXPECT_EQ(Cut("\xB1\xB2\xB3", 2), "\xB1\xB2");
  EXPECT_EQ(Cut("abc", 3), "abc");
  EXPECT_EQ(Cut("abc", 0), "");
  EXPECT_EQ(Cut("", 5), "");
}

TEST(CutAnsiTextSplitsNoCharacter, SystemCodePageAgreesWithCodePage932) {
  // The player's texts are Shift-JIS on its users' systems and under the test
  // prefix; natively the code page 932 rule stands in for the system.
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(byte)), IsCp932LeadByte(static_cast<unsigned char>(byte)))
        << "byte " << byte;
  }
  const std::string text = std::string("A") + Repeat(kA, 16);
  EXPECT_EQ(std::string(CutAnsiText(text, 30)), std::string("A") + Repeat(kA, 14));
}

TEST(CopyToBufferTerminates, CutTextIsTerminatedAndSmallBuffersAreSafe) {
  char buffer[5];
  CopyToBuffer("ab" + kA + "c", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, ("ab" + kA).c_str());
  CopyToBuffer("abc" + kA, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "abc") << "the character would need the terminator's byte";
  char one[1] = {'x'};
  CopyToBuffer("abc", one, sizeof one);
  EXPECT_EQ(one[0], '\0');
  char untouched[2] = {'x', 'y'};
  CopyToBuffer("abc", untouched, 0);
  CopyToBuffer("abc", nullptr, 4);
  EXPECT_EQ(untouched[0], 'x');
}

}  // namespace
}  // namespace kestrun::platform
