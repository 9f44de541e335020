#include "equalizer/dsp/equalizer_dsp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "equalizer/dsp/wavefront.h"

namespace kestrun::equalizer {

const std::array<float, kBandCount> BandCentreFrequencies = {24.8f,   39.4f,   62.5f,   99.2f,    157.5f,
                                                             250.0f,  396.9f,  630.0f,  1000.0f,  1587.4f,
                                                             2519.8f, 4000.0f, 6349.6f, 10079.3f, 15999.9f};

namespace {

constexpr int kBytesPerSample16 = 2;
constexpr int kStereoBlockAlign16 = 4;
constexpr float kDecibelsPerStep = 0.625f;
constexpr float kAmplitudePerDecibel = 0.05f;

bool IsStereo16(int bytesPerSample, int blockAlign) {
  return bytesPerSample == kBytesPerSample16 && blockAlign == kStereoBlockAlign16;
}

// Float/double conversions of the sections' state that never hand a subnormal
// float to the processor (a microcode assist on many CPUs): the state of a stream
// that has gone silent sits in the subnormal range. Both are exact.
double Widen(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if ((bits & 0x7F800000u) != 0) {
    return value;
  }
  const double magnitude = static_cast<double>(bits & 0x007FFFFFu) * 0x1p-149;
  return (bits & 0x80000000u) != 0 ? -magnitude : magnitude;
}

float Narrow(double value) {  // value holds a float's value exactly
  if (!(std::fabs(value) < detail::kFloatMinNormal)) {
    return static_cast<float>(value);
  }
  std::uint32_t bits = static_cast<std::uint32_t>(std::fabs(value) * 0x1p149);
  if (std::signbit(value)) {
    bits |= 0x80000000u;
  }
  float narrowed;
  std::memcpy(&narrowed, &bits, sizeof narrowed);
  return narrowed;
}

bool AllZero(const std::uint8_t* data, std::size_t size) {
  std::uint64_t any = 0;
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + at, sizeof word);
    any |= word;
  }
  for (; at < size; ++at) {
    any |= data[at];
  }
  return any == 0;
}

}  // namespace

float BandGain(int bandValue) {
  const double exponent = static_cast<double>(bandValue - kBandValueFlat) * kDecibelsPerStep * kAmplitudePerDecibel;
  return static_cast<float>(std::pow(10.0, exponent));
}

// ---------------------------------------------------------------------------
// Choosing a path

bool IsDspPathSupported(DspPath path) {
  switch (path) {
    case DspPath::Plain:
      return true;
#if defined(KESTRUN_EQ_X86_VECTORS)
    case DspPath::Sse2:
      return true;  // part of x86-64 itself; the 32-bit filter is built for SSE2
    case DspPath::Avx2:
      __builtin_cpu_init();
      // The check covers the operating system saving the AVX registers too.
      return __builtin_cpu_supports("avx2");
    case DspPath::Avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f");
#endif
    default:
      return false;
  }
}

DspPath WidestDspPath() {
  for (DspPath path : {DspPath::Avx512, DspPath::Avx2, DspPath::Sse2}) {
    if (IsDspPathSupported(path)) {
      return path;
    }
  }
  return DspPath::Plain;
}

const char* DspPathName(DspPath path) {
  switch (path) {
    case DspPath::Plain:
      return "plain";
    case DspPath::Sse2:
      return "sse2";
    case DspPath::Avx2:
      return "avx2";
    case DspPath::Avx512:
      return "avx512";
  }
  return "?";
}

SectionBanks::SectionBanks() : path_(WidestDspPath()) {}

void SectionBanks::SetPath(DspPath path) { path_ = IsDspPathSupported(path) ? path : DspPath::Plain; }

// ---------------------------------------------------------------------------
// Configuration

void RecomputeBands(SectionBanks& banks, const int* bandValues) {
  for (int band = 0; band < kBandCount; ++band) {
    // Out-of-range values would give infinite or zero gains, and the NaNs they
    // produce would stay in the sections' state for good.
    const int value = std::clamp(bandValues[band], kBandValueMin, kBandValueMax);
    const float gain = BandGain(value);
    banks.left[band].Configure(kSamplingPeriod, BandCentreFrequencies[band], kBandQuality, gain);
    banks.right[band].Configure(kSamplingPeriod, BandCentreFrequencies[band], kBandQuality, gain);
  }
}

// ---------------------------------------------------------------------------
// The equalizer pass

// Holds all thirty section locks (left bank, then right bank, always in that
// order) while the vector paths run every section at once.
class SectionBatch {
 public:
  explicit SectionBatch(SectionBanks& banks) : banks_(banks) {
    for (auto* bank : {&banks_.left, &banks_.right}) {
      for (BandFilter& section : *bank) {
        section.lock_.lock();
      }
    }
  }
  ~SectionBatch() {
    for (auto* bank : {&banks_.right, &banks_.left}) {
      for (auto it = bank->rbegin(); it != bank->rend(); ++it) {
        it->lock_.unlock();
      }
    }
  }
  SectionBatch(const SectionBatch&) = delete;
  SectionBatch& operator=(const SectionBatch&) = delete;

  void Gather(detail::LaneSet& lanes) const {
    lanes = detail::LaneSet{};  // idle lanes: zero coefficients and state
    ForEachLane([&](int lane, const BandFilter& s) {
      lanes.g[lane] = Widen(s.g_);
      lanes.b1[lane] = Widen(s.b1_);
      lanes.b2[lane] = Widen(s.b2_);
      lanes.a1[lane] = Widen(s.a1_);
      lanes.a2[lane] = Widen(s.a2_);
      lanes.x1[lane] = Widen(s.x1_);
      lanes.x2[lane] = Widen(s.x2_);
      lanes.y1[lane] = Widen(s.y1_);
      lanes.y2[lane] = Widen(s.y2_);
    });
  }

  void Scatter(const detail::LaneSet& lanes) {
    // Every lane value is a float's value held in a double, so narrowing is exact.
    ForEachLane([&](int lane, BandFilter& s) {
      s.x1_ = Narrow(lanes.x1[lane]);
      s.x2_ = Narrow(lanes.x2[lane]);
      s.y1_ = Narrow(lanes.y1[lane]);
      s.y2_ = Narrow(lanes.y2[lane]);
    });
  }

 private:
  template <class Fn>
  void ForEachLane(Fn fn) const {
    for (int k = 0; k < kBandCount; ++k) {
      fn(k, banks_.left[k]);
      fn(detail::kLanesPerChannel + k, banks_.right[k]);
    }
  }

  SectionBanks& banks_;
};

namespace {

// The recursion's output for one lane, rounded to float without ever producing a
// subnormal float (see Widen).
double RoundedStep(const detail::LaneSet& s, int lane, double x0) {
  const double exact = s.g[lane] * (x0 + s.b1[lane] * s.x1[lane] + s.b2[lane] * s.x2[lane]) -
                       (s.a1[lane] * s.y1[lane] + s.a2[lane] * s.y2[lane]);
  if (std::fabs(exact) >= detail::kFloatMinNormal) {
    return static_cast<float>(exact);
  }
  const double magnitude = (std::fabs(exact) + detail::kSubnormalRounder) - detail::kSubnormalRounder;
  return std::copysign(magnitude, exact);
}

// One frame of silence through both chains of sections, in the plain order.
// Returns false when the frame's output would not be zero.
bool SilentFrame(detail::LaneSet& s) {
  for (int channel = 0; channel < 2; ++channel) {
    double input = 0.0;
    for (int k = 0; k < detail::kSectionsPerChannel; ++k) {
      const int lane = channel * detail::kLanesPerChannel + k;
      const double output = RoundedStep(s, lane, input);
      s.x2[lane] = s.x1[lane];
      s.x1[lane] = input;
      s.y2[lane] = s.y1[lane];
      s.y1[lane] = output;
      input = output;
    }
    if (detail::ToSample(input) != 0) {
      return false;
    }
  }
  return true;
}

bool SameState(const detail::LaneSet& a, const detail::LaneSet& b) {
  return std::memcmp(a.x1, b.x1, sizeof a.x1) == 0 && std::memcmp(a.x2, b.x2, sizeof a.x2) == 0 &&
         std::memcmp(a.y1, b.y1, sizeof a.y1) == 0 && std::memcmp(a.y2, b.y2, sizeof a.y2) == 0;
}

// A few seconds into silence the rounded recursion stops decaying and settles on
// tiny values that repeat with a short period (mostly 1, sometimes 2). When the
// sections have reached such a cycle, a silent media sample needs no filtering:
// its output stays zero and the state after `frames` frames is the state that
// many steps along the cycle. Returns false (nothing changed) otherwise.
bool SkipSilenceAtRest(detail::LaneSet& lanes, long frames) {
  constexpr int kLongestCycle = 4;
  detail::LaneSet steps[kLongestCycle + 1];
  steps[0] = lanes;
  for (int period = 1; period <= kLongestCycle; ++period) {
    steps[period] = steps[period - 1];
    if (!SilentFrame(steps[period])) {
      return false;
    }
    if (SameState(steps[period], lanes)) {
      lanes = steps[frames % period];
      return true;
    }
  }
  return false;
}

void EqualizeVector(SectionBanks& banks, DspPath path, std::uint8_t* data, long frames) {
  const bool silent = AllZero(data, static_cast<std::size_t>(frames) * 4);
  detail::LaneSet lanes;
  SectionBatch batch(banks);
  batch.Gather(lanes);
  if (silent && SkipSilenceAtRest(lanes, frames)) {
    batch.Scatter(lanes);
    return;
  }
  switch (path) {
    case DspPath::Avx512:
      detail::RunWavefrontAvx512(lanes, data, frames, silent);
      break;
    case DspPath::Avx2:
      detail::RunWavefrontAvx2(lanes, data, frames, silent);
      break;
    default:
      detail::RunWavefrontSse2(lanes, data, frames, silent);
      break;
  }
  batch.Scatter(lanes);
}

}  // namespace

void EqualizeSample(SectionBanks& banks, std::uint8_t* data, long length, int bytesPerSample, int blockAlign) {
  if (data == nullptr || !IsStereo16(bytesPerSample, blockAlign) || length <= 0) {
    return;
  }
  const long frames = length / blockAlign;
  // The section recursion needs two frames to leave a defined state behind.
  if (frames < 2) {
    return;
  }
  if (banks.path_ != DspPath::Plain) {
    EqualizeVector(banks, banks.path_, data, frames);
    return;
  }

  // Ping-pong between two arrays per channel: band 1 reads the input, the
  // fifteenth leaves the result in the second array.
  try {
    for (auto* scratch : {&banks.left1_, &banks.left2_, &banks.right1_, &banks.right2_}) {
      scratch->assign(static_cast<std::size_t>(frames), 0.0f);
    }
  } catch (const std::bad_alloc&) {
    return;  // runs on a streaming thread: pass the audio through unchanged
  }
  float* left1 = banks.left1_.data();
  float* left2 = banks.left2_.data();
  float* right1 = banks.right1_.data();
  float* right2 = banks.right2_.data();
  for (long i = 0; i < frames; ++i) {
    left1[i] = detail::ReadSample(data + 4 * i);
    right1[i] = detail::ReadSample(data + 4 * i + 2);
  }
  const int count = static_cast<int>(std::min<long>(frames, 0x7FFFFFFF));
  for (int k = 0; k < kBandCount; ++k) {
    if (k % 2 == 0) {
      banks.left[k].Process(left1, left2, count);
      banks.right[k].Process(right1, right2, count);
    } else {
      banks.left[k].Process(left2, left1, count);
      banks.right[k].Process(right2, right1, count);
    }
  }
  for (long i = 0; i < count; ++i) {
    detail::WriteSample(data + 4 * i, detail::ToSample(left2[i]));
    detail::WriteSample(data + 4 * i + 2, detail::ToSample(right2[i]));
  }
}

// ---------------------------------------------------------------------------
// Voice removal

void RemoveVoice(std::uint8_t* data, long length, int bytesPerSample, int blockAlign) {
  if (data == nullptr || !IsStereo16(bytesPerSample, blockAlign) || length <= 0) {
    return;
  }
  // Whole frames only: a trailing partial frame is not touched (its right sample
  // would lie past the end of the data).
  for (long at = 0; at + kStereoBlockAlign16 <= length; at += kStereoBlockAlign16) {
    const std::int32_t left = detail::ReadSample(data + at);
    const std::int32_t right = detail::ReadSample(data + at + 2);
    detail::WriteSample(data + at, static_cast<std::int16_t>(std::clamp(right - left, -32768, 32767)));
    detail::WriteSample(data + at + 2, static_cast<std::int16_t>(std::clamp(left - right, -32768, 32767)));
  }
}

}  // namespace kestrun::equalizer
