// The Vorbis comment structure that FLAC files, Ogg Vorbis, Ogg Opus and Ogg FLAC
// carry their tags in: a vendor string, then a count of "NAME=value" fields, every
// length a 32-bit little-endian number.
#pragma once

#include "tags/formats/byte_source.h"
#include "tags/formats/container_info.h"

namespace kestrun::tags {

// Fills fields from the comment structure that source holds from its first byte:
// TITLE, ARTIST, ALBUM, DATE (its year), COMMENT (or DESCRIPTION), TRACKNUMBER,
// GENRE; names match in any case and the first field of a name counts. Fields
// past the end of the source are not read; a length running past it ends the
// walk. Only the start of a long field is read (a picture is skipped, not
// loaded). False when not even the vendor string and count are there.
bool ReadVorbisComment(ByteSource& source, TagFields& fields, AnsiFromUtf16 toAnsi);

}  // namespace kestrun::tags
