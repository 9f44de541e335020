#include "tags/formats/byte_source.h"

#include <algorithm>
#include <cstring>

namespace kestrun::tags {

bool ByteSource::Read(std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& bytes) {
  if (!Holds(offset, n)) return false;
  bytes.resize(n);
  return ReadAt(offset, bytes);
}

std::size_t ByteSource::ReadUpTo(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset >= Size()) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), Size() - offset));
  return ReadAt(offset, out.first(n)) ? n : 0;
}

bool MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!Holds(offset, out.size())) return false;
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

bool FileSource::Open(const std::string& path) {
  block_.clear();
  return file_.Open(path, platform::OpenMode::Read) && file_.Size(size_);
}

bool FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!Holds(offset, out.size())) return false;
  if (out.empty()) return true;
  const bool cached = offset >= blockStart_ && offset - blockStart_ <= block_.size() &&
                      out.size() <= block_.size() - (offset - blockStart_);
  if (!cached) {
    if (out.size() > kBlockBytes) return file_.Seek(offset) && file_.ReadExact(out.data(), out.size());
    // One block from the requested offset on: header walks move forwards.
    block_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, size_ - offset)));
    blockStart_ = offset;
    if (!file_.Seek(offset) || !file_.ReadExact(block_.data(), block_.size())) {
      block_.clear();
      return false;
    }
  }
  std::memcpy(out.data(), block_.data() + (offset - blockStart_), out.size());
  return true;
}

bool ExtentSource::Append(std::uint64_t offset, std::uint64_t length) {
  if (!base_.Holds(offset, length)) return false;
  if (length == 0) return true;
  // Pieces that follow on from each other (the 255-byte lacing runs of one page)
  // are kept as one.
  if (!extents_.empty() && extents_.back().start + extents_.back().length == offset) {
    extents_.back().length += length;
  } else {
    extents_.push_back({offset, length});
  }
  size_ += length;
  return true;
}

bool ExtentSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!Holds(offset, out.size())) return false;
  std::size_t done = 0;
  for (const Extent& extent : extents_) {
    if (done == out.size()) break;
    if (offset >= extent.length) {
      offset -= extent.length;
      continue;
    }
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(extent.length - offset, out.size() - done));
    if (!base_.ReadAt(extent.start + offset, out.subspan(done, n))) return false;
    done += n;
    offset = 0;
  }
  return done == out.size();
}

}  // namespace kestrun::tags
