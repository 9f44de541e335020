// Captured video frames as bitmap files: the byte layout of a frame file and the
// numbered names they are written under in the program's directory.
//
// A frame file is a file header of 14 bytes, the 40-byte bitmap info header the
// frame grabber reported for its connection (kept unchanged, so the file says
// exactly what was grabbed), then the rows of 24-bit BGR pixels as the grabber
// delivered them: bottom-up for a positive height, each row padded to a multiple
// of 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kestrun::playback {

inline constexpr std::size_t kBitmapFileHeaderSize = 14;
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;
// Frames wider or taller than this are refused as damaged formats.
inline constexpr std::int32_t kMaxFrameSide = 16384;
// Frame files are numbered 00 to 99 and on with more digits up to this (excluded).
inline constexpr int kFrameCounterLimit = 10000;

// Bytes of one row of 24-bit pixels: width x 3 rounded up to a multiple of 4; 0
// for a width outside 1 .. kMaxFrameSide.
std::uint32_t FrameRowBytes(std::int32_t width);

// Builds the whole file from the grabber's 40-byte info header and its buffer.
// Fails (false, file untouched) unless the header describes uncompressed 24-bit
// pixels of a sane size and the buffer holds every row; extra buffer bytes are
// not written.
bool BuildFrameFile(const std::uint8_t* infoHeader, std::size_t infoHeaderSize, const std::uint8_t* pixels,
                    std::size_t pixelBytes, std::string& file);

// "<directory>\image<NN>.bmp" with the counter as at least two digits.
std::string FrameFileName(const std::string& directory, int counter);

// Writes contents under the first name, from counter on, that no file has yet:
// an earlier capture or any file of the user's is never replaced. The file
// appears complete or not at all (written to a temporary file first, then renamed
// to a name that must not exist). On success counter is one past the number used
// and writtenName the name; on failure both stay as they were.
// nameFor gives the name of a number; tempDirectory holds the temporary file.
bool WriteNumberedFrameFile(const std::string& tempDirectory, const std::function<std::string(int)>& nameFor,
                            int& counter, const std::string& contents, std::string& writtenName);

}  // namespace kestrun::playback
