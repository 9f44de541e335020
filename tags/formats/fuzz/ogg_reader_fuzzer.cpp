// Feeds arbitrary bytes to the Ogg reader.
#include <cstddef>
#include <cstdint>

#include "tags/formats/fuzz/container_fuzz.h"
#include "tags/formats/ogg_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kestrun::tags::FuzzContainerReader(kestrun::tags::ReadOgg, data, size);
}
