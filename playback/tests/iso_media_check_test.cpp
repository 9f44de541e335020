#include "playback/iso_media_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kestrun::playback {
namespace {

std::string Box(const char* type, const std::string& body) {
  const std::uint32_t size = static_cast<std::uint32_t>(8 + body.size());
  std::string box;
  for (int shift = 24; shift >= 0; shift -= 8) box += static_cast<char>((size >> shift) & 0xFF);
  return box + type + body;
}

IsoMovie Check(const std::string& file) {
  return FindIsoMovie(file.size(), [&](std::uint64_t offset, std::uint8_t* out, std::size_t count) {
    if (offset > file.size() || count > file.size() - offset) return false;
    std::memcpy(out, file.data() + offset, count);
    return true;
  });
}

const std::string kFtyp = Box("ftyp", "M4A \0\0\0\0M4A mp42");
const std::string kMoov = Box("moov", Box("mvhd", std::string(100, '\0')));
const std::string kMdat = Box("mdat", std::string(4000, 'x'));

TEST(IsoMediaCheck, MovieBoxBeforeOrAfterTheDataIsWhole) {
  EXPECT_EQ(Check(kFtyp + kMoov + kMdat), IsoMovie::Whole);
  EXPECT_EQ(Check(kFtyp + Box("free", "") + kMdat + kMoov), IsoMovie::Whole);
}

TEST(IsoMediaCheck, FilesCutBeforeOrInsideTheMovieBoxMissIt) {
  const std::string whole = kFtyp + kMdat + kMoov;
  EXPECT_EQ(Check(whole.substr(0, whole.size() / 2)), IsoMovie::Missing) << "cut inside the data";
  EXPECT_EQ(Check(whole.substr(0, whole.size() - 1)), IsoMovie::Missing) << "cut inside the movie box";
  EXPECT_EQ(Check(kFtyp + kMdat), IsoMovie::Missing);
  EXPECT_EQ(Check(kFtyp), IsoMovie::Missing);
}

TEST(IsoMediaCheck, DamagedSizesEndTheWalkWithoutAMovie) {
  std::string zeroSized = kFtyp + kMoov;
  std::memset(&zeroSized[kFtyp.size()], 0, 3);
  zeroSized[kFtyp.size() + 3] = 4;  // smaller than its own header
  EXPECT_EQ(Check(zeroSized), IsoMovie::Missing);
  // A 64-bit size that runs far past the end.
  std::string large = kFtyp + std::string("\0\0\0\1mdat\xFF\0\0\0\0\0\0\0", 16) + kMoov;
  EXPECT_EQ(Check(large), IsoMovie::Missing);
}

TEST(IsoMediaCheck, SizeZeroMeansTheLastBoxToTheEnd) {
  std::string last = kFtyp + kMoov;
  std::memset(&last[kFtyp.size()], 0, 4);
  EXPECT_EQ(Check(last), IsoMovie::Whole);
  std::string data = kFtyp + kMdat;
  std::memset(&data[kFtyp.size()], 0, 4);
  EXPECT_EQ(Check(data), IsoMovie::Missing);
}

TEST(IsoMediaCheck, OtherFormatsAreNotJudged) {
  EXPECT_EQ(Check("fLaC" + std::string(100, '\0')), IsoMovie::NotIsoMedia);
  EXPECT_EQ(Check(""), IsoMovie::NotIsoMedia);
  EXPECT_EQ(Check("\0\0\0\x10mo"), IsoMovie::NotIsoMedia);
  EXPECT_EQ(Check(kMoov), IsoMovie::NotIsoMedia) << "no ftyp first";
}

}  // namespace
}  // namespace kestrun::playback
