// Runs the equalizer over a WAV file, the way the filter runs it over a stream:
// media samples of about 1,000 to 4,000 frames, in place, state carried between
// them. Formats other than 16-bit stereo are copied unchanged, as the filter
// passes them.
//
//   eq_run IN.wav OUT.wav [--voice] [BAND1 ... BAND15]
//
// Band values are 0..48 (24 = 0 dB); without them the bands alternate between
// +6.25 and -6.25 dB, band 1 up.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "equalizer/dsp/equalizer_dsp.h"

namespace eq = kestrun::equalizer;

namespace {

constexpr std::size_t kMaxHeaderBytes = 1 << 20;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

std::uint32_t Le(const std::uint8_t* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    value = (value << 8) | at[i];
  }
  return value;
}

// Reads the RIFF header up to the start of the data chunk's payload, keeping the
// bytes (they are copied to the output as they are).
bool ReadHeader(FILE* in, std::vector<std::uint8_t>& header, int& bytesPerSample, int& blockAlign,
                std::uint32_t& dataSize) {
  header.resize(12);
  if (std::fread(header.data(), 1, 12, in) != 12 || std::memcmp(header.data(), "RIFF", 4) != 0 ||
      std::memcmp(header.data() + 8, "WAVE", 4) != 0) {
    return false;
  }
  bool haveFormat = false;
  while (header.size() < kMaxHeaderBytes) {
    std::uint8_t chunk[8];
    if (std::fread(chunk, 1, 8, in) != 8) {
      return false;
    }
    header.insert(header.end(), chunk, chunk + 8);
    const std::uint32_t size = Le(chunk + 4, 4);
    if (std::memcmp(chunk, "data", 4) == 0) {
      dataSize = size;
      return haveFormat;
    }
    const std::uint32_t padded = size + (size & 1);
    if (padded > kMaxHeaderBytes - header.size()) {
      return false;
    }
    const std::size_t at = header.size();
    header.resize(at + padded);
    if (std::fread(header.data() + at, 1, padded, in) != padded) {
      return false;
    }
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
      blockAlign = static_cast<int>(Le(header.data() + at + 12, 2));
      bytesPerSample = static_cast<int>(Le(header.data() + at + 14, 2)) / 8;
      haveFormat = true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IN.wav OUT.wav [--voice] [BAND1 ... BAND15]\n", argv[0]);
    return 2;
  }
  bool voice = false;
  int bands[eq::kBandCount];
  for (int i = 0; i < eq::kBandCount; ++i) {
    bands[i] = i % 2 == 0 ? 34 : 14;
  }
  int given = 0;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--voice") == 0) {
      voice = true;
    } else if (given < eq::kBandCount) {
      bands[given++] = std::atoi(argv[i]);
    }
  }
  if (given != 0 && given != eq::kBandCount) {
    std::fprintf(stderr, "give all %d band values or none\n", eq::kBandCount);
    return 2;
  }

  File in(std::fopen(argv[1], "rb"));
  if (!in) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  std::vector<std::uint8_t> header;
  int bytesPerSample = 0;
  int blockAlign = 0;
  std::uint32_t dataSize = 0;
  if (!ReadHeader(in.get(), header, bytesPerSample, blockAlign, dataSize)) {
    std::fprintf(stderr, "%s: not a WAV file this tool can read\n", argv[1]);
    return 1;
  }
  File out(std::fopen(argv[2], "wb"));
  if (!out || std::fwrite(header.data(), 1, header.size(), out.get()) != header.size()) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }

  eq::SectionBanks banks;
  eq::RecomputeBands(banks, bands);
  std::vector<std::uint8_t> buffer(4000 * 4);
  std::uint32_t random = 12345;
  std::uint64_t left = dataSize;
  while (left > 0) {
    // A fixed pseudo-random sequence of 1,000..4,000-frame media samples.
    random = random * 1103515245u + 12345u;
    const std::size_t frames = 1000 + (random >> 8) % 3001;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(frames * 4, left));
    const std::size_t got = std::fread(buffer.data(), 1, want, in.get());
    if (got == 0) {
      break;  // a data chunk that claims more than the file holds
    }
    eq::EqualizeSample(banks, buffer.data(), static_cast<long>(got), bytesPerSample, blockAlign);
    if (voice) {
      eq::RemoveVoice(buffer.data(), static_cast<long>(got), bytesPerSample, blockAlign);
    }
    if (std::fwrite(buffer.data(), 1, got, out.get()) != got) {
      std::fprintf(stderr, "cannot write %s\n", argv[2]);
      return 1;
    }
    left -= got;
  }
  // Anything after the data chunk (trailing chunks) is copied as it is.
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
    if (std::fwrite(buffer.data(), 1, got, out.get()) != got) {
      std::fprintf(stderr, "cannot write %s\n", argv[2]);
      return 1;
    }
  }
  if (std::fclose(out.release()) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
