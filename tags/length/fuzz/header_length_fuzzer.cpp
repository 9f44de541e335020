// Feeds arbitrary bytes to the WAV and MP3 header readers, with file sizes around
// the buffer's own size (shorter, equal, much longer), and checks that a length
// found is never negative.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tags/length/header_length.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrun::tags;
  const std::uint64_t sizes[] = {size, size / 2, static_cast<std::uint64_t>(size) * 1000 + 7, UINT64_MAX / 2};
  for (const std::uint64_t fileSize : sizes) {
    if (const auto wav = WavHeaderDuration(data, size, fileSize); wav && *wav < 0) std::abort();
    const std::uint64_t tag = Id3v2TagSpan(data, size);
    const std::size_t skip = tag < size ? static_cast<std::size_t>(tag) : size;
    if (const auto mp3 = Mp3HeaderDuration(data + skip, size - skip, fileSize); mp3 && *mp3 < 0) std::abort();
  }
  return 0;
}
