#include "platform/file_io.h"

#include <gtest/gtest.h>

#include "platform/testing/temp_dir.h"

namespace kestrun::platform {
namespace {

using kestrun::testing::ReadBytes;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

class FileLayer : public ::testing::Test {
 protected:
  void TearDown() override { FileFaults::Reset(); }
  TempDir dir_;
};

TEST_F(FileLayer, WriteSeekReadAndTruncate) {
  const std::string path = dir_.File("a.bin");
  {
    File f;
    ASSERT_TRUE(f.Open(path, OpenMode::Create));
    ASSERT_TRUE(f.Write("hello world", 11));
    ASSERT_TRUE(f.Seek(5));
    ASSERT_TRUE(f.TruncateHere());
  }
  EXPECT_EQ(ReadBytes(path), "hello");
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::Read));
  std::uint64_t size = 0;
  ASSERT_TRUE(f.Size(size));
  EXPECT_EQ(size, 5u);
  char buf[8] = {};
  EXPECT_FALSE(f.ReadExact(buf, 6));  // short file
  ASSERT_TRUE(f.Seek(1));
  ASSERT_TRUE(f.ReadExact(buf, 4));
  EXPECT_EQ(std::string(buf, 4), "ello");
}

TEST_F(FileLayer, MoveRefusesExistingTargetButReplaceOverwrites) {
  const std::string a = dir_.File("a");
  const std::string b = dir_.File("b");
  ASSERT_TRUE(WriteBytes(a, "A"));
  ASSERT_TRUE(WriteBytes(b, "B"));
  EXPECT_FALSE(MoveFileTo(a, b));
  EXPECT_EQ(ReadBytes(b), "B");
  EXPECT_TRUE(ReplaceFileWith(a, b));
  EXPECT_EQ(ReadBytes(b), "A");
  EXPECT_FALSE(FileExists(a));
}

TEST_F(FileLayer, MissingMeansNoFileThereNotAnyFailure) {
#ifdef _WIN32
  const char* separator = "\\";
#else
  const char* separator = "/";
#endif
  const std::string file = dir_.File("here.wav");
  ASSERT_TRUE(WriteBytes(file, "RIFF"));
  EXPECT_FALSE(IsMissingFile(file));
  EXPECT_TRUE(IsMissingFile(dir_.File("gone.wav")));
  EXPECT_TRUE(IsMissingFile(dir_.File("no folder") + separator + "x.wav"));
  // A file used as a folder on the way.
  EXPECT_TRUE(IsMissingFile(file + separator + "x.wav"));
  // A folder is no file to play or measure.
  EXPECT_TRUE(IsMissingFile(dir_.path()));
}

TEST_F(FileLayer, TempFilesAreUniqueAndInTheDirectory) {
  std::string t1, t2;
  ASSERT_TRUE(MakeTempFile(dir_.path(), "kes", t1));
  ASSERT_TRUE(MakeTempFile(dir_.path(), "kes", t2));
  EXPECT_NE(t1, t2);
  EXPECT_EQ(t1.rfind(dir_.path(), 0), 0u);
  EXPECT_TRUE(FileExists(t1));
}

TEST_F(FileLayer, ReadOnlyAttributeRoundTrip) {
  const std::string path = dir_.File("ro");
  ASSERT_TRUE(WriteBytes(path, "x"));
  bool ro = true;
  ASSERT_TRUE(IsReadOnly(path, ro));
  EXPECT_FALSE(ro);
  ASSERT_TRUE(SetReadOnly(path, true));
  ASSERT_TRUE(IsReadOnly(path, ro));
  EXPECT_TRUE(ro);
  ASSERT_TRUE(SetReadOnly(path, false));
  ASSERT_TRUE(IsReadOnly(path, ro));
  EXPECT_FALSE(ro);
}

TEST_F(FileLayer, InjectedFaultHitsExactlyTheNthCall) {
  const std::string path = dir_.File("f");
  ASSERT_TRUE(WriteBytes(path, "0123456789"));
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::ReadWrite));
  FileFaults::FailAt(FileStep::Write, 2);
  EXPECT_TRUE(f.Write("a", 1));
  EXPECT_FALSE(f.Write("b", 1));
  EXPECT_TRUE(f.Write("c", 1));
  EXPECT_EQ(FileFaults::Calls(FileStep::Write), 3);
  FileFaults::FailAt(FileStep::Open, 1);
  File g;
  EXPECT_FALSE(g.Open(path, OpenMode::Read));
  EXPECT_TRUE(g.Open(path, OpenMode::Read));
}

TEST_F(FileLayer, ReadWholeFileHonoursTheLimit) {
  const std::string path = dir_.File("w");
  ASSERT_TRUE(WriteBytes(path, std::string(100, 'x')));
  std::string data;
  EXPECT_FALSE(ReadWholeFile(path, data, 99));
  ASSERT_TRUE(ReadWholeFile(path, data, 100));
  EXPECT_EQ(data.size(), 100u);
  EXPECT_FALSE(ReadWholeFile(dir_.File("missing"), data, 100));
}

}  // namespace
}  // namespace kestrun::platform
