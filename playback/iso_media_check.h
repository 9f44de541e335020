// Whether a file laid out as ISO base media (MPEG-4 audio and video, .m4a) holds a
// whole movie box, the index without which nothing in it can be decoded. A file cut
// off before its movie box is refused before a platform parser sees it: some wait
// for the missing box for ever instead of failing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kestrun::playback {

enum class IsoMovie {
  NotIsoMedia,  // no "ftyp" box first: some other format, not judged here
  Whole,        // a movie box lies entirely inside the file
  Missing,      // ISO media whose top-level boxes end, or break, before a whole movie box
};

// Reads count bytes at offset into out; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t count)>;

// Walks the top-level boxes of a file of fileSize bytes.
IsoMovie FindIsoMovie(std::uint64_t fileSize, const ReadAt& read);

}  // namespace kestrun::playback
