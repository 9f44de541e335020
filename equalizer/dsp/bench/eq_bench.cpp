// Speed of the equalizer pass on every code path this CPU supports, over
// deterministic 44.1 kHz 16-bit stereo (a sweep, noise and silent stretches) in
// media samples of about 1,000 to 4,000 frames, with the fifteen bands alternating
// between +6.25 and -6.25 dB. Checks that every path's output is identical to the
// plain path's and prints the real-time factor (seconds of audio per CPU second)
// of the processing alone.
//
//   eq_bench [--minutes N] [--paths plain,sse2,avx2,avx512] [--write-wav FILE]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "equalizer/dsp/equalizer_dsp.h"
#include "equalizer/dsp/tests/dsp_test_signals.h"

namespace eq = kestrun::equalizer;
namespace signals = kestrun::equalizer::testing;

namespace {

constexpr int kUp = 34;    // +6.25 dB
constexpr int kDown = 14;  // -6.25 dB

double CpuSeconds() {
#if defined(CLOCK_PROCESS_CPUTIME_ID)
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
#else
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

bool WriteWav(const char* path, const signals::Pcm& pcm) {
  std::vector<std::uint8_t> header;
  const auto dataSize = static_cast<std::uint32_t>(pcm.size());
  header.insert(header.end(), {'R', 'I', 'F', 'F'});
  PutLe(header, 36 + dataSize, 4);
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(header, 16, 4);
  PutLe(header, 1, 2);          // PCM
  PutLe(header, 2, 2);          // channels
  PutLe(header, 44100, 4);      // frames per second
  PutLe(header, 44100 * 4, 4);  // bytes per second
  PutLe(header, 4, 2);          // block alignment
  PutLe(header, 16, 2);         // bits per sample
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  PutLe(header, dataSize, 4);
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    return false;
  }
  const bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                  std::fwrite(pcm.data(), 1, pcm.size(), file) == pcm.size();
  return std::fclose(file) == 0 && ok;
}

struct Run {
  double cpuSeconds = 0;
  signals::Pcm output;
};

Run Equalize(eq::DspPath path, const signals::Pcm& input, const std::vector<std::size_t>& sizes, const int* bands) {
  eq::SectionBanks banks;
  banks.SetPath(path);
  eq::RecomputeBands(banks, bands);
  Run run;
  run.output = input;
  const double start = CpuSeconds();
  std::size_t at = 0;
  for (std::size_t size : sizes) {
    eq::EqualizeSample(banks, run.output.data() + at * 4, static_cast<long>(size * 4), 2, 4);
    at += size;
  }
  run.cpuSeconds = CpuSeconds() - start;
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  double minutes = 10;
  std::string pathList = "plain,sse2,avx2,avx512";
  const char* wavPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
      minutes = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--paths") == 0 && i + 1 < argc) {
      pathList = argv[++i];
    } else if (std::strcmp(argv[i], "--write-wav") == 0 && i + 1 < argc) {
      wavPath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--minutes N] [--paths plain,sse2,avx2,avx512] [--write-wav FILE]\n", argv[0]);
      return 2;
    }
  }
  const auto frames = static_cast<std::size_t>(minutes * 60 * 44100);
  const double audioSeconds = static_cast<double>(frames) / 44100.0;
  const signals::Pcm input = signals::MixedPcm(frames, 1);
  const std::vector<std::size_t> sizes = signals::MediaSampleSizes(frames, 2);
  if (wavPath != nullptr && !WriteWav(wavPath, input)) {
    std::fprintf(stderr, "cannot write %s\n", wavPath);
    return 1;
  }
  int bands[eq::kBandCount];
  for (int i = 0; i < eq::kBandCount; ++i) {
    bands[i] = i % 2 == 0 ? kUp : kDown;
  }
  std::printf("audio: %.0f s of 44.1 kHz 16-bit stereo in %zu media samples; widest path here: %s\n", audioSeconds,
              sizes.size(), eq::DspPathName(eq::WidestDspPath()));

  const Run reference = Equalize(eq::DspPath::Plain, input, sizes, bands);
  const std::uint64_t referenceHash = signals::Fingerprint(reference.output.data(), reference.output.size());
  bool allSame = true;
  for (eq::DspPath path : {eq::DspPath::Plain, eq::DspPath::Sse2, eq::DspPath::Avx2, eq::DspPath::Avx512}) {
    if (pathList.find(eq::DspPathName(path)) == std::string::npos) {
      continue;
    }
    if (!eq::IsDspPathSupported(path)) {
      std::printf("%-7s not supported by this CPU\n", eq::DspPathName(path));
      continue;
    }
    const Run run = path == eq::DspPath::Plain ? reference : Equalize(path, input, sizes, bands);
    const bool same = run.output == reference.output;
    allSame = allSame && same;
    std::printf("%-7s %8.3f s CPU  %7.0fx real time  output %s\n", eq::DspPathName(path), run.cpuSeconds,
                audioSeconds / run.cpuSeconds, same ? "identical to plain" : "DIFFERS FROM PLAIN");
  }
  std::printf("output fingerprint %016llx\n", static_cast<unsigned long long>(referenceHash));

  // Silence after loud material: the sections' state decays into float subnormals.
  // Speed there must match the speed on ordinary material.
  const std::size_t quietFrames = 60 * 44100;
  signals::Pcm quiet = signals::NoisePcm(quietFrames, 5);
  std::memset(quiet.data() + 4410 * 4, 0, quiet.size() - 4410 * 4);
  const std::vector<std::size_t> quietSizes = signals::MediaSampleSizes(quietFrames, 3);
  const eq::DspPath widest = eq::WidestDspPath();
  const Run loudRun = Equalize(widest, signals::NoisePcm(quietFrames, 6), quietSizes, bands);
  const Run quietRun = Equalize(widest, quiet, quietSizes, bands);
  std::printf("%s on 60 s of noise: %.0fx real time; on 0.1 s of noise then silence: %.0fx real time\n",
              eq::DspPathName(widest), 60.0 / loudRun.cpuSeconds, 60.0 / quietRun.cpuSeconds);
  return allSame ? 0 : 1;
}
