// Feeds arbitrary bytes to the ASX reader and checks the field limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "playlist/asx_file.h"

using namespace kestrun::playlist;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const AsxInfo info = ParseAsx(std::string_view(reinterpret_cast<const char*>(data), size));
  if (info.reference.size() >= kestrun::platform::kPathCapacity || info.title.size() >= kAsxTextSize ||
      info.author.size() >= kAsxTextSize) {
    std::abort();
  }
  return 0;
}
