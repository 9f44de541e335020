// MPEG-4 files (.mp4, .m4a, .m4b): the length from the movie header (mvhd) or, when
// that gives none, the sound track's media header (mdhd), both in their 32- and
// 64-bit versions; the tags from the iTunes-style item list moov/udta/meta/ilst.
// Atoms are walked by their headers: the media data and the sample tables are never
// read.
#pragma once

#include <optional>

#include "tags/formats/byte_source.h"
#include "tags/formats/container_info.h"

namespace kestrun::tags {

// True when the source starts with an "ftyp" atom.
bool LooksLikeMp4(ByteSource& source);

// Nothing when the source is no MP4 file or has no movie atom. A top-level atom
// that runs past the end of the file (a cut download) gives no length: the header
// promises more than the file holds. Fragmented files, whose movie header does
// not count the fragments, give no length either.
std::optional<ContainerInfo> ReadMp4(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi);

}  // namespace kestrun::tags
