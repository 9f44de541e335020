// The body every container reader's fuzzer shares: the reader on an exactly sized
// heap copy of the input (so a read one past the end is caught), for the length
// and the tags alike, and the promises its result must keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tags/formats/byte_source.h"
#include "tags/formats/container_info.h"

namespace kestrun::tags {

using ContainerReader = std::optional<ContainerInfo> (*)(ByteSource&, ContainerParts, AnsiFromUtf16);

inline int FuzzContainerReader(ContainerReader read, const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  MemorySource source(bytes);
  const auto info = read(source, ContainerParts::Both, Utf8FromUtf16);
  if (!info) return 0;
  if (info->duration && *info->duration < 0) __builtin_trap();
  const TagFields& f = info->fields;
  for (const std::string* text : {&f.title, &f.artist, &f.album, &f.year, &f.comment, &f.track, &f.genre}) {
    if (text->size() >= kTagTextMax) __builtin_trap();
  }
  return 0;
}

}  // namespace kestrun::tags
