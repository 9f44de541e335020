// Random access to the bytes of a media file, for readers that must not take the
// whole file into memory: a FLAC or MP4 file is hundreds of megabytes of audio
// around a few kilobytes of headers, and an Ogg file's length is on its last page.
// The readers ask for exactly the ranges they need; each range is checked against
// the source's size before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace kestrun::tags {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Fills out with the bytes at offset; false (out unspecified) when the range
  // does not lie inside the source or the read fails.
  virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;

  // True when [offset, offset + length) lies inside the source (overflow-safe).
  bool Holds(std::uint64_t offset, std::uint64_t length) const { return offset <= Size() && length <= Size() - offset; }
  // n bytes at offset into bytes (resized); false when they are not all there.
  bool Read(std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& bytes);
  // Up to out.size() bytes at offset, cut at the end of the source; how many were
  // read (0 past the end or when the read fails).
  std::size_t ReadUpTo(std::uint64_t offset, std::span<std::uint8_t> out);
};

// Bytes already in memory (tests and fuzzers).
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// An open file. Small reads are served from one cached block, so walking a chain
// of headers costs a few system reads, not one per header.
class FileSource final : public ByteSource {
 public:
  // False when the file cannot be opened or sized.
  bool Open(const std::string& path);
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  static constexpr std::size_t kBlockBytes = 64 * 1024;
  platform::File file_;
  std::uint64_t size_ = 0;
  std::vector<std::uint8_t> block_;
  std::uint64_t blockStart_ = 0;
};

// Pieces of another source read as one run of bytes: a metadata block inside a
// file, or an Ogg packet spread over the bodies of several pages.
class ExtentSource final : public ByteSource {
 public:
  explicit ExtentSource(ByteSource& base) : base_(base) {}
  // Not copyable: ExtentSource(other) must mean "pieces of other", never a copy.
  ExtentSource(const ExtentSource&) = delete;
  ExtentSource& operator=(const ExtentSource&) = delete;
  // Appends base's bytes [offset, offset + length); false when they lie outside it.
  bool Append(std::uint64_t offset, std::uint64_t length);
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  struct Extent {
    std::uint64_t start;  // in the base source
    std::uint64_t length;
  };
  ByteSource& base_;
  std::vector<Extent> extents_;
  std::uint64_t size_ = 0;
};

}  // namespace kestrun::tags
