#include "app/shell_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrun::app {
namespace {

TEST(ApplicationDirectory, CutOrFailedModulePathIsRefused) {
  const std::string path = "C:\\Program Files\\Kestrun\\Kestrun.exe";
  std::string buffer = path;
  buffer.resize(260, '\0');
  EXPECT_EQ(ApplicationDirectoryFromModulePath(buffer, path.size(), 260), "C:\\Program Files\\Kestrun");
  // The call fills the buffer and returns its size when the path did not fit.
  std::string cut(260, 'a');
  EXPECT_EQ(ApplicationDirectoryFromModulePath(cut, 260, 260), std::nullopt);
  EXPECT_EQ(ApplicationDirectoryFromModulePath(buffer, 0, 260), std::nullopt);
  // A directory whose name ends in a lead byte followed by 0x5C is not split there.
  const std::string japanese = "C:\\\x83\x5C\x83\x74\x83\x67\\Kestrun.exe";  // C:\ソフト\Kestrun.exe in 932
  EXPECT_EQ(ApplicationDirectoryFromModulePath(japanese, japanese.size(), 260), "C:\\\x83\x5C\x83\x74\x83\x67");
}

TEST(MarqueeText, DoubleByteCharactersMoveWhole) {
  const std::string text =
      "\x8B\xC8"
      "A";  // 曲A in 932
  const std::string once = RotateMarqueeText(text);
  EXPECT_EQ(once, "A\x8B\xC8");
  EXPECT_EQ(RotateMarqueeText(once), text);
  EXPECT_EQ(RotateMarqueeText("x"), "x");
}

}  // namespace
}  // namespace kestrun::app
