#include "platform/byte_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace kestrun::platform {
namespace {

TEST(ByteReaderTest, ReadsBothByteOrdersAndSyncsafeNumbers) {
  const std::array<std::uint8_t, 10> bytes{0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x02, 0x01, 0x7F, 0x7F};
  ByteReader r(bytes);
  EXPECT_EQ(r.U16(), 0x0201);
  EXPECT_EQ(r.U16Be(), 0x0304);
  EXPECT_EQ(r.Syncsafe32(), (2u << 7) | 1u);
  EXPECT_EQ(r.U16Be(), 0x7F7F);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteReaderTest, AReadPastTheEndFailsForGoodAndYieldsNothing) {
  const std::array<std::uint8_t, 3> bytes{1, 2, 3};
  ByteReader r(bytes);
  EXPECT_EQ(r.U32(), 0u);  // only three bytes: nothing consumed
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.position(), 0u);
  EXPECT_EQ(r.U8(), 0u);  // sticky: even a read that fits now fails
  EXPECT_TRUE(r.Take(1).empty());
}

TEST(ByteReaderTest, HugeLengthsDoNotWrapAround) {
  const std::array<std::uint8_t, 4> bytes{1, 2, 3, 4};
  ByteReader r(bytes);
  r.U8();
  EXPECT_FALSE(r.CanRead(SIZE_MAX));
  EXPECT_TRUE(r.Take(SIZE_MAX).empty());
  EXPECT_FALSE(r.ok());
}

TEST(ByteReaderTest, NonSyncsafeByteFailsTheRead) {
  const std::array<std::uint8_t, 4> bytes{0, 0, 0x80, 0};
  ByteReader r(bytes);
  EXPECT_EQ(r.Syncsafe32(), 0u);
  EXPECT_FALSE(r.ok());
}

TEST(ByteReaderTest, SeekAndPeekStayInsideTheSpan) {
  const std::array<std::uint8_t, 4> bytes{9, 8, 7, 6};
  ByteReader r(bytes);
  EXPECT_TRUE(r.Seek(2));
  EXPECT_EQ(r.Peek(2).size(), 2u);
  EXPECT_TRUE(r.Peek(3).empty());
  EXPECT_EQ(r.U8(), 7);
  EXPECT_EQ(r.TakeRest().size(), 1u);
  EXPECT_FALSE(r.Seek(5));
  EXPECT_FALSE(r.ok());
}

}  // namespace
}  // namespace kestrun::platform
