// Feeds arbitrary bytes to the MP4 reader, for the length and the tags alike.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tags/formats/mp4_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exactly sized heap copy, so a read one past the end is caught.
  const std::vector<std::uint8_t> bytes(data, data + size);
  kestrun::tags::MemorySource source(bytes);
  const auto info = kestrun::tags::ReadMp4(source, kestrun::tags::ContainerParts::Both, kestrun::tags::Utf8FromUtf16);
  if (!info) return 0;
  if (info->duration && *info->duration < 0) __builtin_trap();
  const auto& f = info->fields;
  for (const std::string* text : {&f.title, &f.artist, &f.album, &f.year, &f.comment, &f.track, &f.genre}) {
    if (text->size() >= kestrun::tags::kTagTextMax) __builtin_trap();
  }
  return 0;
}
