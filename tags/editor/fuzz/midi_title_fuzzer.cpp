// Feeds arbitrary bytes to the MIDI meta-event scan, as a window of any size and
// as the fixed window the file reader passes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tags/editor/midi_title.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string title;
  std::string artist;
  // An exactly sized heap copy, so a read one past the window is caught.
  std::vector<std::uint8_t> window(data, data + size);
  kestrun::tags::ScanMidiMetaTexts(window.data(), window.size(), title, artist);
  if (title.size() > 255 || artist.size() > 255) __builtin_trap();
  if (size >= kestrun::tags::kMidiScanSize) {
    std::vector<std::uint8_t> fixed(data, data + kestrun::tags::kMidiScanSize);
    kestrun::tags::ScanMidiMetaTexts(fixed.data(), fixed.size(), title, artist);
  }
  return 0;
}
