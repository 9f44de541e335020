// The player handles every text in the system's ANSI code page; the Windows tests
// only mean something when that is Shift-JIS, as on the users' systems.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

TEST(TestEnvironment, AnsiCodePageIsShiftJis) {
  EXPECT_EQ(GetACP(), 932u);
  // A Shift-JIS lead byte is recognised by the system.
  EXPECT_TRUE(IsDBCSLeadByte(0x95));
  wchar_t wide[4] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x95\x5C", 2, wide, 4), 1);
  EXPECT_EQ(wide[0], 0x8868);  // 表
}
#else
TEST(TestEnvironment, NativeBuildIsLittleEndian) {
  const unsigned int one = 1;
  EXPECT_EQ(*reinterpret_cast<const unsigned char*>(&one), 1u);
}
#endif
