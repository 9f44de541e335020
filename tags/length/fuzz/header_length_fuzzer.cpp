// Feeds arbitrary bytes to the WAV and MP3 header readers, with file sizes around
// the buffer's own size (shorter, equal, much longer), and to the MP3 reader as a
// whole file (tags at both ends, frames walked and counted), and checks that a
// length found is never negative.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tags/length/header_length.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrun::tags;
  // An exactly sized heap copy, so a read one past the end is caught.
  const std::vector<std::uint8_t> bytes(data, data + size);
  const std::uint64_t sizes[] = {size, size / 2, static_cast<std::uint64_t>(size) * 1000 + 7, UINT64_MAX / 2};
  for (const std::uint64_t fileSize : sizes) {
    if (const auto wav = WavHeaderDuration(bytes.data(), size, fileSize); wav && *wav < 0) std::abort();
  }
  MemorySource file(bytes);
  const std::uint64_t tag = Id3v2TagSpan(bytes.data(), size);
  const std::uint64_t end = AudioEndBeforeTags(file, tag);
  // The audio's end lies between its start and the file's end (or is its start).
  if (tag <= size ? end < tag || end > size : end != tag) std::abort();
  if (const auto mp3 = Mp3FileDuration(file); mp3 && *mp3 < 0) std::abort();
  // The audio taken as starting anywhere in the first bytes.
  for (std::uint64_t start = 0; start < 4 && start < size; ++start) {
    if (const auto mp3 = Mp3Duration(file, start, size); mp3 && *mp3 < 0) std::abort();
  }
  return 0;
}
