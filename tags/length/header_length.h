// A media file's playing time read from its own header, without a filter graph:
// WAV (PCM) from its data size and byte rate; MP3 from the frame count of a Xing,
// Info or VBRI header, or, for a file at one bit rate, from its audio bytes and
// that rate, or else by counting its frames. Files whose header does not settle
// the length give nothing, and the caller builds a graph as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tags/formats/byte_source.h"

namespace kestrun::tags {

// 100-nanosecond units per second, the unit a filter graph reports durations in.
inline constexpr std::int64_t kHeaderUnitsPerSecond = 10'000'000;

// The length of a RIFF/WAVE file whose first `size` bytes are `head` (at least the
// chunks up to the data chunk's header) and whose whole size is fileSize. Only
// PCM data counts (plain, or the extensible format with the PCM sub-format); a
// data chunk longer than the file is cut to what the file holds.
std::optional<std::int64_t> WavHeaderDuration(const std::uint8_t* head, std::size_t size, std::uint64_t fileSize);

// The size of the ID3v2 tag that `head` starts with (header, body and footer); 0
// when it starts with none.
std::uint64_t Id3v2TagSpan(const std::uint8_t* head, std::size_t size);

// Where the audio before the tags at the end of a file stops: an ID3v1 tag, APE
// tags (version 1, version 2 with or without their header) and Lyrics3 tags
// (version 1 before an ID3v1 tag, version 2) are not audio. Never before audioStart.
std::uint64_t AudioEndBeforeTags(ByteSource& source, std::uint64_t audioStart);

// The length of the MPEG audio in [audioStart, audioEnd) of source: the first
// frame must start at audioStart, or after at most a few kilobytes of zeros, and
// a second frame must follow it where its size says. A Xing/Info or VBRI frame
// count gives the length; without one the file counts as one bit rate only when
// frames found at its start, middle and end all have the first frame's rate, and
// otherwise its frames are counted. Nothing when a frame chain breaks.
std::optional<std::int64_t> Mp3Duration(ByteSource& source, std::uint64_t audioStart, std::uint64_t audioEnd);

// An MP3 file as a whole: the audio between a leading ID3v2 tag and the tags at
// the end.
std::optional<std::int64_t> Mp3FileDuration(ByteSource& source);

// Reads the file at path (".wav" or ".mp3", by extension, any case) and returns its
// length as above; FLAC, MP4 and Ogg files (IsContainerPath) by
// ReadContainerDuration. Nothing for other files, unreadable files and headers that
// do not give the length exactly.
std::optional<std::int64_t> ReadHeaderDuration(const std::string& path);

}  // namespace kestrun::tags
