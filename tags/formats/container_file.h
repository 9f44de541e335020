// The file types whose tags and lengths come from their container (FLAC, MP4 and
// Ogg), read from a path. The reader is chosen by the file's first bytes, not its
// extension: a FLAC file named .ogg is still read as FLAC, and a file of any other
// content gives nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tags/formats/byte_source.h"
#include "tags/formats/container_info.h"

namespace kestrun::tags {

// ".flac", ".m4a", ".m4b", ".mp4", ".aac", ".opus", ".ogg", ".oga" (any case): the
// extensions these readers are asked about.
bool IsContainerPath(std::string_view path);

// FLAC, MP4 or Ogg by the source's first bytes; nothing for anything else.
std::optional<ContainerInfo> ReadContainer(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi);

// The tags of the file at path, texts converted by toAnsi (DefaultTagConverter
// when null). False, with the fields empty, for an unreadable file or one without
// a comment block or item list.
bool ReadContainerTags(const std::string& path, TagFields& fields, AnsiFromUtf16 toAnsi = nullptr);

// The playing time of the file at path from its headers, in 100-nanosecond units.
std::optional<std::int64_t> ReadContainerDuration(const std::string& path);

}  // namespace kestrun::tags
