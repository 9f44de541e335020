// Code lines carry a failing HRESULT as its 32 bits in eight upper-case hex digits,
// also where long is 64 bits wide and the code arrives sign-extended.
#include "platform/debug_line.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kestrun::platform {
namespace {

TEST(CodeLine, WritesTheCodeAsEightHexDigits) {
  EXPECT_EQ(CodeLine("Graph build failed", 0x80040265u), "Graph build failed: 0x80040265\n");
  EXPECT_EQ(CodeLine("x", 0x1u), "x: 0x00000001\n");  // zero-padded
  EXPECT_EQ(CodeLine("x", 0u), "x: 0x00000000\n");
  // A signed 32-bit code (as HRESULT is) widened through long keeps its 32 bits.
  const long signedCode = static_cast<std::int32_t>(0x80070002u);
  EXPECT_EQ(CodeLine("x", static_cast<std::uint32_t>(signedCode)), "x: 0x80070002\n");
}

}  // namespace
}  // namespace kestrun::platform
