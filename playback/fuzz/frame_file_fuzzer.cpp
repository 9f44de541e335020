// Feeds arbitrary bytes to the frame file builder: the first 40 as the info header
// a grabber reported, the rest as its pixel buffer. A file built must hold exactly
// the header, the info header and the rows the info header describes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "playback/frame_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrun::playback;
  // Exactly sized heap copies, so a read one past either buffer is caught.
  const std::size_t headerBytes = size < kBitmapInfoHeaderSize ? size : kBitmapInfoHeaderSize;
  const std::vector<std::uint8_t> header(data, data + headerBytes);
  const std::vector<std::uint8_t> pixels(data + headerBytes, data + size);
  std::string file;
  if (!BuildFrameFile(header.data(), header.size(), pixels.data(), pixels.size(), file)) return 0;
  if (file.size() < kBitmapFileHeaderSize + kBitmapInfoHeaderSize ||
      file.size() > kBitmapFileHeaderSize + kBitmapInfoHeaderSize + pixels.size()) {
    __builtin_trap();
  }
  return 0;
}
