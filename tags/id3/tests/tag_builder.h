// Builders for tag bytes and test files shared by the ID3 tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/testing/temp_dir.h"

namespace kestrun::tags::testing {

inline std::string Syncsafe(std::uint32_t n) {
  return {static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F), static_cast<char>((n >> 7) & 0x7F),
          static_cast<char>(n & 0x7F)};
}

inline std::string Frame23(const std::string& id, const std::string& data, std::uint16_t flags = 0) {
  const auto n = static_cast<std::uint32_t>(data.size());
  std::string f = id;
  f += {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
  f += {static_cast<char>(flags >> 8), static_cast<char>(flags & 0xFF)};
  return f + data;
}

// An ID3v2.4 frame: the size is syncsafe.
inline std::string Frame24(const std::string& id, const std::string& data, std::uint16_t flags = 0) {
  return id + Syncsafe(static_cast<std::uint32_t>(data.size())) +
         std::string{static_cast<char>(flags >> 8), static_cast<char>(flags & 0xFF)} + data;
}

inline std::string Frame22(const std::string& id, const std::string& data) {
  const auto n = static_cast<std::uint32_t>(data.size());
  return id + std::string{static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)} + data;
}

// A text frame's data in the single-byte encoding.
inline std::string Text(const std::string& text) { return std::string(1, '\0') + text; }

inline std::string Tag(const std::string& frames, std::size_t padding = 0, int major = 3, int revision = 0,
                       int flags = 0) {
  const std::string body = frames + std::string(padding, '\0');
  return std::string("ID3") + static_cast<char>(major) + static_cast<char>(revision) + static_cast<char>(flags) +
         Syncsafe(static_cast<std::uint32_t>(body.size())) + body;
}

// Bytes that stand for the audio of a file: a frame sync word and a pattern
// that holds every byte value, so a shifted or damaged copy shows.
inline std::string Audio(std::size_t size = 3000) {
  std::string audio(size, '\0');
  for (std::size_t i = 0; i < size; ++i) audio[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  if (size >= 2) {
    audio[0] = '\xFF';
    audio[1] = '\xFB';
  }
  return audio;
}

inline std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// The syncsafe tag size of a file's ID3v2 header.
inline std::uint32_t TagSizeOf(const std::string& file) {
  std::uint32_t n = 0;
  for (int i = 6; i < 10; ++i) n = (n << 7) | (static_cast<unsigned char>(file[i]) & 0x7F);
  return n;
}

// A malformed fixture file from the test data folder.
inline std::string FixturePath(const std::string& name) {
  return kestrun::testing::SourceTreePath("tags/id3/tests/data/" + name);
}

}  // namespace kestrun::tags::testing
