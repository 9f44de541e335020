// Builders of small FLAC, MP4 and Ogg files for the reader tests: each takes the
// parts a test cares about and fills in the rest validly, so a test can break one
// thing at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrun::tags::testing {

inline std::string Be(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(i >= 8 ? 0 : (value >> (8 * i)) & 0xFF);
  return out;
}
inline std::string Le(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(i >= 8 ? 0 : (value >> (8 * i)) & 0xFF);
  return out;
}

// A Vorbis comment structure with the given "NAME=value" fields.
inline std::string VorbisComment(const std::vector<std::string>& fields, const std::string& vendor = "test") {
  std::string out = Le(vendor.size(), 4) + vendor + Le(fields.size(), 4);
  for (const std::string& field : fields) out += Le(field.size(), 4) + field;
  return out;
}

// ---- FLAC
inline std::string FlacBlock(int type, const std::string& body, bool last) {
  return std::string(1, static_cast<char>(type | (last ? 0x80 : 0))) + Be(body.size(), 3) + body;
}
inline std::string FlacStreamInfo(std::uint32_t rate, std::uint64_t samples, std::uint16_t blockSize = 4096) {
  const std::uint64_t packed =
      (std::uint64_t{rate} << 44) | (std::uint64_t{1} << 41) | (std::uint64_t{15} << 36) | samples;
  return Be(blockSize, 2) + Be(blockSize, 2) + Be(0, 3) + Be(0, 3) + Be(packed, 8) + std::string(16, '\x11');
}
inline std::uint8_t FlacCrc8(const std::string& bytes) {
  std::uint8_t crc = 0;
  for (char c : bytes) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}
// A fixed-block-size frame (number < 128) of `samples` samples (given by the
// 16-bit block size code), with filler standing for its audio.
inline std::string FlacFrame(int number, std::uint16_t samples) {
  std::string header = std::string("\xFF\xF8\x79\x18", 4) + static_cast<char>(number) + Be(samples - 1u, 2);
  std::string frame = header + static_cast<char>(FlacCrc8(header)) + std::string(40, '\x5A');
  std::uint16_t crc = 0;
  for (unsigned char c : frame) {
    crc ^= static_cast<std::uint16_t>(c << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
  }
  return frame + Be(crc, 2);
}
// Two frames of 4096 samples then one of lastFrame samples, at 44.1 kHz.
inline std::string FlacFile(const std::string& comment, std::uint64_t declaredSamples, std::uint16_t lastFrame = 904) {
  std::string out = "fLaC" + FlacBlock(0, FlacStreamInfo(44100, declaredSamples), comment.empty());
  if (!comment.empty()) out += FlacBlock(4, comment, true);
  return out + FlacFrame(0, 4096) + FlacFrame(1, 4096) + FlacFrame(2, lastFrame);
}

// ---- MP4
inline std::string Atom(const std::string& type, const std::string& body) {
  return Be(body.size() + 8, 4) + type + body;
}
inline std::string Mvhd(std::uint32_t timescale, std::uint64_t duration, bool version1 = false) {
  if (version1)
    return Atom("mvhd", std::string("\x01\0\0\0", 4) + Be(0, 16) + Be(timescale, 4) + Be(duration, 8) + Be(0, 80));
  return Atom("mvhd", Be(0, 4) + Be(0, 8) + Be(timescale, 4) + Be(duration, 4) + Be(0, 80));
}
inline std::string Mdhd(std::uint32_t timescale, std::uint64_t duration) {
  return Atom("mdhd", Be(0, 4) + Be(0, 8) + Be(timescale, 4) + Be(duration, 4) + Be(0, 4));
}
inline std::string Trak(const std::string& handler, const std::string& mdhd) {
  return Atom("trak", Atom("mdia", mdhd + Atom("hdlr", Be(0, 8) + handler + Be(0, 12))));
}
// An item with one data atom of the given type code.
inline std::string Item(const std::string& name, std::uint32_t type, const std::string& value) {
  return Atom(name, Atom("data", Be(type, 4) + Be(0, 4) + value));
}
inline std::string Ilst(const std::string& items, bool fullBoxMeta = true) {
  const std::string hdlr = Atom("hdlr", Be(0, 8) + "mdirappl" + Be(0, 9));
  return Atom("udta", Atom("meta", (fullBoxMeta ? Be(0, 4) : "") + hdlr + Atom("ilst", items)));
}
inline std::string Mp4File(const std::string& moovBody, const std::string& mdat = std::string(64, '\x22')) {
  return Atom("ftyp", "M4A " + Be(0, 4) + "M4A isom") + Atom("moov", moovBody) + Atom("mdat", mdat);
}

// ---- Ogg
inline std::uint32_t OggCrc(const std::string& page) {
  std::uint32_t crc = 0;
  for (unsigned char c : page) {
    crc ^= std::uint32_t{c} << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}
// One page whose body is `body`, laced as one packet that ends on this page
// unless `open` (then the body must be a multiple of 255 bytes).
inline std::string OggPage(std::uint32_t serial, std::uint64_t granule, int flags, const std::string& body,
                           bool open = false, std::uint32_t sequence = 0) {
  std::string lacing;
  std::size_t left = body.size();
  while (left >= 255) {
    lacing += '\xFF';
    left -= 255;
  }
  if (!open) lacing += static_cast<char>(left);
  std::string page = "OggS" + std::string(1, '\0') + static_cast<char>(flags) + Le(granule, 8) + Le(serial, 4) +
                     Le(sequence, 4) + Le(0, 4) + static_cast<char>(lacing.size()) + lacing + body;
  const std::string crc = Le(OggCrc(page), 4);
  page.replace(22, 4, crc);
  return page;
}
inline std::string VorbisIdPacket(std::uint32_t rate) {
  return std::string("\x01vorbis", 7) + Le(0, 4) + "\x02" + Le(rate, 4) + Le(0, 12) + "\xB8\x01";
}
inline std::string OpusHead(std::uint16_t preSkip) {
  return "OpusHead\x01\x02" + Le(preSkip, 2) + Le(48000, 4) + Le(0, 3);
}

}  // namespace kestrun::tags::testing
