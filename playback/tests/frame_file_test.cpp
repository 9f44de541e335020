// Frame files: the bitmap layout byte for byte, refusal of formats that are not
// 24-bit pixels, and numbering that never replaces an existing file.
#include "playback/frame_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/testing/temp_dir.h"

namespace kestrun::playback {
namespace {

std::vector<std::uint8_t> InfoHeader(std::int32_t width, std::int32_t height, std::uint16_t bits = 24,
                                     std::uint32_t compression = 0) {
  std::vector<std::uint8_t> header(kBitmapInfoHeaderSize, 0);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  put32(0, 40);
  put32(4, static_cast<std::uint32_t>(width));
  put32(8, static_cast<std::uint32_t>(height));
  header[12] = 1;
  header[14] = static_cast<std::uint8_t>(bits);
  header[15] = static_cast<std::uint8_t>(bits >> 8);
  put32(16, compression);
  put32(20, 0xDEADBEEF);  // image size as the grabber said; kept as it is
  return header;
}

std::uint32_t Read32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

TEST(FrameFileLayout, RowsArePaddedToFourBytes) {
  EXPECT_EQ(FrameRowBytes(320), 960u);
  EXPECT_EQ(FrameRowBytes(322), 968u);
  EXPECT_EQ(FrameRowBytes(1), 4u);
  EXPECT_EQ(FrameRowBytes(0), 0u);
  EXPECT_EQ(FrameRowBytes(-4), 0u);
  EXPECT_EQ(FrameRowBytes(kMaxFrameSide + 1), 0u);
}

TEST(FrameFileLayout, HeadersAndPixelsOfOddWidthFrame) {
  const auto header = InfoHeader(322, 3);
  std::vector<std::uint8_t> pixels(968 * 3 + 17);  // the grabber's buffer may be longer
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7);
  std::string file;
  ASSERT_TRUE(BuildFrameFile(header.data(), header.size(), pixels.data(), pixels.size(), file));
  ASSERT_EQ(file.size(), 14u + 40u + 968u * 3u);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(Read32(file, 2), file.size());
  EXPECT_EQ(Read32(file, 6), 0u);
  EXPECT_EQ(Read32(file, 10), 54u);
  EXPECT_EQ(0, std::memcmp(file.data() + 14, header.data(), 40));
  // Rows go out as delivered, the last one too, and nothing past them.
  EXPECT_EQ(0, std::memcmp(file.data() + 54, pixels.data(), 968 * 3));
}

TEST(FrameFileLayout, FullSizeFrameFileSize) {
  const auto header = InfoHeader(320, 240);
  std::vector<std::uint8_t> pixels(230400, 0x55);
  std::string file;
  ASSERT_TRUE(BuildFrameFile(header.data(), header.size(), pixels.data(), pixels.size(), file));
  EXPECT_EQ(file.size(), 14u + 40u + 230400u);
}

TEST(FrameFileLayout, TopDownFrameKeepsItsNegativeHeight) {
  const auto header = InfoHeader(4, -2);
  std::vector<std::uint8_t> pixels(24, 1);
  std::string file;
  ASSERT_TRUE(BuildFrameFile(header.data(), header.size(), pixels.data(), pixels.size(), file));
  EXPECT_EQ(file.size(), 54u + 24u);
  EXPECT_EQ(static_cast<std::int32_t>(Read32(file, 22)), -2);
}

TEST(FrameFileLayout, RefusesWhatIsNotComplete24BitPixels) {
  struct Case {
    const char* defect;
    std::vector<std::uint8_t> header;
    std::size_t pixelBytes;
  };
  const std::vector<Case> cases = {
      {"buffer one byte short", InfoHeader(322, 2), 968 * 2 - 1},
      {"32-bit pixels", InfoHeader(4, 4, 32), 4096},
      {"compressed pixels", InfoHeader(4, 4, 24, 3), 4096},
      {"zero width", InfoHeader(0, 4), 4096},
      {"zero height", InfoHeader(4, 0), 4096},
      {"height past the limit", InfoHeader(4, kMaxFrameSide + 1), 1u << 20},
      {"most negative height", InfoHeader(4, INT32_MIN), 1u << 20},
  };
  std::vector<std::uint8_t> pixels(1u << 20);
  for (const auto& c : cases) {
    std::string file = "untouched";
    EXPECT_FALSE(BuildFrameFile(c.header.data(), c.header.size(), pixels.data(), c.pixelBytes, file)) << c.defect;
    EXPECT_EQ(file, "untouched") << c.defect;
  }
  auto wrongSize = InfoHeader(4, 4);
  wrongSize[0] = 108;  // a larger header kind the layout does not carry
  std::string file;
  EXPECT_FALSE(BuildFrameFile(wrongSize.data(), wrongSize.size(), pixels.data(), 4096, file));
  EXPECT_FALSE(BuildFrameFile(wrongSize.data(), 39, pixels.data(), 4096, file));
}

TEST(FrameFileNames, TwoDigitsThenMore) {
  EXPECT_EQ(FrameFileName("C:\\Player", 0), "C:\\Player\\image00.bmp");
  EXPECT_EQ(FrameFileName("C:\\Player", 7), "C:\\Player\\image07.bmp");
  EXPECT_EQ(FrameFileName("C:\\Player", 99), "C:\\Player\\image99.bmp");
  EXPECT_EQ(FrameFileName("C:\\Player", 100), "C:\\Player\\image100.bmp");
}

class NumberedFrameFiles : public ::testing::Test {
 protected:
  void TearDown() override { platform::FileFaults::Reset(); }
  std::function<std::string(int)> Names() {
    return [this](int n) { return dir.File("image" + std::to_string(n) + ".bmp"); };
  }
  testing::TempDir dir;
};

TEST_F(NumberedFrameFiles, CounterAdvancesWithEachFile) {
  int counter = 0;
  std::string name;
  ASSERT_TRUE(WriteNumberedFrameFile(dir.path(), Names(), counter, "first", name));
  EXPECT_EQ(name, dir.File("image0.bmp"));
  ASSERT_TRUE(WriteNumberedFrameFile(dir.path(), Names(), counter, "second", name));
  EXPECT_EQ(name, dir.File("image1.bmp"));
  EXPECT_EQ(counter, 2);
  EXPECT_EQ(testing::ReadBytes(dir.File("image0.bmp")), "first");
  EXPECT_EQ(testing::ReadBytes(dir.File("image1.bmp")), "second");
}

TEST_F(NumberedFrameFiles, ExistingFilesAreSkippedNotReplaced) {
  ASSERT_TRUE(testing::WriteBytes(dir.File("image0.bmp"), "user's own"));
  ASSERT_TRUE(testing::WriteBytes(dir.File("image1.bmp"), "earlier run"));
  int counter = 0;
  std::string name;
  ASSERT_TRUE(WriteNumberedFrameFile(dir.path(), Names(), counter, "frame", name));
  EXPECT_EQ(name, dir.File("image2.bmp"));
  EXPECT_EQ(counter, 3);
  EXPECT_EQ(testing::ReadBytes(dir.File("image0.bmp")), "user's own");
  EXPECT_EQ(testing::ReadBytes(dir.File("image1.bmp")), "earlier run");
}

TEST_F(NumberedFrameFiles, NoFreeNumberBeforeTheLimitFails) {
  int counter = kFrameCounterLimit - 1;
  ASSERT_TRUE(testing::WriteBytes(dir.File("image" + std::to_string(counter) + ".bmp"), "taken"));
  std::string name = "none";
  EXPECT_FALSE(WriteNumberedFrameFile(dir.path(), Names(), counter, "frame", name));
  EXPECT_EQ(counter, kFrameCounterLimit - 1);
  EXPECT_EQ(name, "none");
  counter = kFrameCounterLimit;
  EXPECT_FALSE(WriteNumberedFrameFile(dir.path(), Names(), counter, "frame", name));
}

TEST_F(NumberedFrameFiles, FailedStepLeavesNoFileAndTheCounter) {
  for (platform::FileStep step :
       {platform::FileStep::TempName, platform::FileStep::Open, platform::FileStep::Write, platform::FileStep::Move}) {
    platform::FileFaults::Reset();
    platform::FileFaults::FailAt(step, 1);
    int counter = 5;
    std::string name;
    EXPECT_FALSE(WriteNumberedFrameFile(dir.path(), Names(), counter, "frame", name)) << static_cast<int>(step);
    EXPECT_EQ(counter, 5);
    EXPECT_FALSE(platform::FileExists(dir.File("image5.bmp")));
  }
  platform::FileFaults::Reset();
  // No temporary file was left behind by any of the failures.
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(dir.path())));
}

}  // namespace
}  // namespace kestrun::playback
