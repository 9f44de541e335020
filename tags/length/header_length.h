// A media file's playing time read from its own header, without a filter graph:
// WAV (PCM) from its data size and byte rate; MP3 from the frame count of a Xing,
// Info or VBRI header, or, for a file at one bit rate, from its audio bytes and
// that rate. Files whose header does not settle the length give nothing, and the
// caller builds a graph as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrun::tags {

// 100-nanosecond units per second, the unit a filter graph reports durations in.
inline constexpr std::int64_t kHeaderUnitsPerSecond = 10'000'000;

// The length of a RIFF/WAVE file whose first `size` bytes are `head` (at least the
// chunks up to the data chunk's header) and whose whole size is fileSize. Only
// PCM data counts; a data chunk longer than the file is cut to what the file holds.
std::optional<std::int64_t> WavHeaderDuration(const std::uint8_t* head, std::size_t size, std::uint64_t fileSize);

// The size of the ID3v2 tag that `head` starts with (header, body and footer); 0
// when it starts with none.
std::uint64_t Id3v2TagSpan(const std::uint8_t* head, std::size_t size);

// The length of MPEG audio whose bytes start at `data` (just after any ID3v2 tag):
// the first frame must start there, or after at most a few kilobytes of zeros,
// and a second frame must follow it where its size says. audioBytes is how many
// bytes of audio the file holds from `data` on (a trailing ID3v1 tag left out).
std::optional<std::int64_t> Mp3HeaderDuration(const std::uint8_t* data, std::size_t size, std::uint64_t audioBytes);

// Reads the file at path (".wav" or ".mp3", by extension, any case) and returns its
// length as above; FLAC, MP4 and Ogg files (IsContainerPath) by
// ReadContainerDuration. Nothing for other files, unreadable files and headers that
// do not give the length exactly.
std::optional<std::int64_t> ReadHeaderDuration(const std::string& path);

}  // namespace kestrun::tags
