#include "playback/iso_media_check.h"

#include <cstring>

namespace kestrun::playback {
namespace {

// A damaged file could chain empty-looking boxes; real files have a handful.
constexpr int kMaxTopLevelBoxes = 4096;

std::uint64_t BigEndian(const std::uint8_t* bytes, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

IsoMovie FindIsoMovie(std::uint64_t fileSize, const ReadAt& read) {
  std::uint8_t header[16];
  if (fileSize < 8 || !read(0, header, 8) || std::memcmp(header + 4, "ftyp", 4) != 0) return IsoMovie::NotIsoMedia;
  std::uint64_t offset = 0;
  for (int box = 0; box < kMaxTopLevelBoxes && fileSize - offset >= 8; ++box) {
    if (!read(offset, header, 8)) return IsoMovie::Missing;
    std::uint64_t size = BigEndian(header, 4);
    std::uint64_t headerSize = 8;
    if (size == 1) {
      // A 64-bit size follows the type.
      if (fileSize - offset < 16 || !read(offset + 8, header + 8, 8)) return IsoMovie::Missing;
      size = BigEndian(header + 8, 8);
      headerSize = 16;
    } else if (size == 0) {
      // The last box, running to the end of the file.
      size = fileSize - offset;
    }
    if (size < headerSize || size > fileSize - offset) return IsoMovie::Missing;
    if (std::memcmp(header + 4, "moov", 4) == 0) return IsoMovie::Whole;
    offset += size;
  }
  return IsoMovie::Missing;
}

}  // namespace kestrun::playback
