// FLAC, MP4 and Ogg files reach their own readers through the header-length path
// that the length commands use.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/testing/temp_dir.h"
#include "tags/formats/tests/container_builders.h"
#include "tags/length/header_length.h"

namespace kestrun::tags {
namespace {

using namespace tags::testing;
using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;

TEST(HeaderLengthFile, FlacMp4AndOggFilesAreTimedByTheirStreamHeaders) {
  TempDir dir;
  const std::string flac = dir.File("a.flac");
  ASSERT_TRUE(WriteBytes(flac, FlacFile("", 9096)));
  EXPECT_EQ(ReadHeaderDuration(flac), 9096 * kHeaderUnitsPerSecond / 44100);
  const std::string m4b = dir.File("b.M4B");
  ASSERT_TRUE(WriteBytes(m4b, Mp4File(Mvhd(1000, 2500))));
  EXPECT_EQ(ReadHeaderDuration(m4b), kHeaderUnitsPerSecond * 5 / 2);
  // A file cut short, an empty one and other bytes under these names give nothing:
  // the graph measures them.
  ASSERT_TRUE(WriteBytes(flac, FlacFile("", 9096 + 1)));
  EXPECT_EQ(ReadHeaderDuration(flac), std::nullopt);
  ASSERT_TRUE(WriteBytes(m4b, ""));
  EXPECT_EQ(ReadHeaderDuration(m4b), std::nullopt);
  const std::string opus = dir.File("c.opus");
  ASSERT_TRUE(WriteBytes(opus, "RIFF\x24\0\0\0WAVE"));
  EXPECT_EQ(ReadHeaderDuration(opus), std::nullopt);
}

}  // namespace
}  // namespace kestrun::tags
