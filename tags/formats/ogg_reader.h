// Ogg files (.ogg, .oga, .opus) holding Vorbis, Opus or FLAC: the length from the
// granule position of the stream's last page (Opus: less its pre-skip, at 48 kHz),
// the tags from the comment header, the stream's second packet.
#pragma once

#include <optional>

#include "tags/formats/byte_source.h"
#include "tags/formats/container_info.h"

namespace kestrun::tags {

// True when the source starts with an Ogg page.
bool LooksLikeOgg(ByteSource& source);

// Nothing when the first logical stream is none of the three codecs or its headers
// are cut. The last page is looked for in the file's last 128 KiB only (a page is
// at most 65,307 bytes), and only a page whose checksum matches counts, so a file
// cut inside its last page is timed to the last whole one.
std::optional<ContainerInfo> ReadOgg(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi);

}  // namespace kestrun::tags
