// The scratch folder every suite writes its files into: what it makes is where the
// test asked, and nothing of it is left afterwards, read-only files included.
#include "platform/testing/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kestrun::testing {
namespace {

TEST(TempDir, MakesFilesAndFoldersInsideAndLeavesNothingBehind) {
  std::string root;
  {
    TempDir dir;
    root = dir.path();
    const std::string folder = dir.Folder("sub");
    EXPECT_EQ(folder, dir.File("sub"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(dir.Folder("sub"), folder) << "an existing folder is no failure";
    const std::string file = dir.Write("sub/a.bin", std::string("\0\x01\xFF", 3));
    EXPECT_EQ(ReadBytes(file), std::string("\0\x01\xFF", 3));
    EXPECT_EQ(dir.Write("b.txt", "two"), dir.File("b.txt"));
    EXPECT_EQ(dir.Write("b.txt", "1"), dir.File("b.txt"));
    EXPECT_EQ(ReadBytes(dir.File("b.txt")), "1") << "a second write replaces the first";
    std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  }
  EXPECT_FALSE(std::filesystem::exists(root));
}

TEST(TempDir, RefusesToWriteWhereItCannot) {
  TempDir dir;
  EXPECT_THROW(dir.Write("missing-folder/x/y.bin", "z"), std::runtime_error);
  EXPECT_THROW(dir.Folder("missing-folder/deeper"), std::runtime_error);
}

}  // namespace
}  // namespace kestrun::testing
