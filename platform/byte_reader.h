#pragma once
// A bounds-checked reader over a byte span, shared by every binary parser.
//
// Every read checks what remains before it touches a byte (`n > size - pos`, which
// cannot overflow); a read past the end sets a sticky failure flag and yields zeros or
// an empty span, so a parser can read a whole structure and test ok() once.
// Little- and big-endian integers, ID3's 28-bit syncsafe numbers and raw spans.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrun::platform {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  std::size_t size() const { return bytes_.size(); }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }
  // True when n more bytes can be read; does not touch the failure flag.
  bool CanRead(std::size_t n) const { return ok_ && n <= bytes_.size() - pos_; }

  std::uint64_t ReadLe(std::size_t width) {
    if (width > 8 || !Has(width)) return 0;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{bytes_[pos_ + i]} << (8 * i);
    pos_ += width;
    return v;
  }
  std::uint64_t ReadBe(std::size_t width) {
    if (width > 8 || !Has(width)) return 0;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v = (v << 8) | bytes_[pos_ + i];
    pos_ += width;
    return v;
  }
  std::uint8_t U8() { return static_cast<std::uint8_t>(ReadLe(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(ReadLe(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(ReadLe(4)); }
  std::uint64_t U64() { return ReadLe(8); }
  std::uint16_t U16Be() { return static_cast<std::uint16_t>(ReadBe(2)); }
  std::uint32_t U24Be() { return static_cast<std::uint32_t>(ReadBe(3)); }
  std::uint32_t U32Be() { return static_cast<std::uint32_t>(ReadBe(4)); }
  std::uint64_t U64Be() { return ReadBe(8); }
  // Four bytes of seven bits each, most significant first; a byte with its top bit
  // set is not syncsafe and fails the read.
  std::uint32_t Syncsafe32() {
    if (!Has(4)) return 0;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      if (bytes_[pos_ + i] & 0x80) {
        ok_ = false;
        return 0;
      }
      v = (v << 7) | bytes_[pos_ + i];
    }
    pos_ += 4;
    return v;
  }

  std::span<const std::uint8_t> Take(std::size_t n) {
    if (!Has(n)) return {};
    auto s = bytes_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  // Everything from the position to the end (never fails).
  std::span<const std::uint8_t> TakeRest() { return Take(remaining()); }
  bool Skip(std::size_t n) { return !Take(n).empty() || (n == 0 && ok_); }
  // Moves to an absolute position inside the span; past the end fails.
  bool Seek(std::size_t pos) {
    if (!ok_ || pos > bytes_.size()) {
      ok_ = false;
      return false;
    }
    pos_ = pos;
    return true;
  }
  // The bytes from the position on, without moving.
  std::span<const std::uint8_t> Peek(std::size_t n) const {
    return CanRead(n) ? bytes_.subspan(pos_, n) : std::span<const std::uint8_t>{};
  }

 private:
  bool Has(std::size_t n) {
    if (!ok_ || n > bytes_.size() - pos_) {
      ok_ = false;
      return false;
    }
    return true;
  }
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace kestrun::platform
