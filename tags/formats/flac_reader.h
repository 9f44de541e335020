// FLAC files: the length from STREAMINFO's sample count and rate, the tags from the
// VORBIS_COMMENT metadata block. An ID3v2 tag that some taggers put in front of
// "fLaC" is stepped over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "tags/formats/byte_source.h"
#include "tags/formats/container_info.h"

namespace kestrun::tags {

inline constexpr std::size_t kFlacStreamInfoBytes = 34;

struct FlacStreamInfo {
  std::uint32_t maxBlockSize = 0;
  std::uint32_t maxFrameBytes = 0;  // 0: not known
  std::uint32_t channels = 0;
  std::uint32_t bitsPerSample = 0;
  std::uint32_t sampleRate = 0;
  std::uint64_t totalSamples = 0;  // 0: not known
};

// The body of a STREAMINFO block; nothing when it is short or names no rate.
std::optional<FlacStreamInfo> ParseFlacStreamInfo(std::span<const std::uint8_t> body);

// The size of the ID3v2 tag the source starts with (0 without one).
std::uint64_t LeadingId3v2Bytes(ByteSource& source);

// True when the source holds "fLaC", after an ID3v2 tag if there is one.
bool LooksLikeFlac(ByteSource& source);

// Nothing when the source is no FLAC stream. The length needs a sample count in
// STREAMINFO and a last frame that ends at that count: a file cut short in its
// audio gives no length rather than the one its header promises.
std::optional<ContainerInfo> ReadFlac(ByteSource& source, ContainerParts parts, AnsiFromUtf16 toAnsi);

}  // namespace kestrun::tags
