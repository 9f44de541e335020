#include "equalizer/dsp/equalizer_dsp.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "equalizer/dsp/wavefront.h"

namespace kestrun::equalizer {

const std::array<float, kBandCount> BandCentreFrequencies = {
    24.8f,  39.4f,  62.5f,  99.2f,  157.5f, 250.0f,  396.9f,  630.0f,
    1000.0f, 1587.4f, 2519.8f, 4000.0f, 6349.6f, 10079.3f, 15999.9f};

namespace {

constexpr int kBytesPerSample16 = 2;
constexpr int kStereoBlockAlign16 = 4;
constexpr float kDecibelsPerStep = 0.625f;
constexpr float kAmplitudePerDecibel = 0.05f;

bool IsStereo16(int bytesPerSample, int blockAlign) {
  return bytesPerSample == kBytesPerSample16 && blockAlign == kStereoBlockAlign16;
}

}  // namespace

float BandGain(int bandValue) {
  const double exponent =
      static_cast<double>(bandValue - kBandValueFlat) * kDecibelsPerStep * kAmplitudePerDecibel;
  return static_cast<float>(std::pow(10.0, exponent));
}

// ---------------------------------------------------------------------------
// Choosing a path

bool IsDspPathSupported(DspPath path) {
  switch (path) {
    case DspPath::Plain:
      return true;
#if defined(__x86_64__) || defined(_M_X64)
    case DspPath::Sse2:
      return true;  // part of x86-64 itself
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

void SectionBanks::SetPath(DspPath path) {
  path_ = IsDspPathSupported(path) ? path : DspPath::Plain;
}

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
      lanes.g[lane] = s.g_;
      lanes.b1[lane] = s.b1_;
      lanes.b2[lane] = s.b2_;
      lanes.a1[lane] = s.a1_;
      lanes.a2[lane] = s.a2_;
      lanes.x1[lane] = s.x1_;
      lanes.x2[lane] = s.x2_;
      lanes.y1[lane] = s.y1_;
      lanes.y2[lane] = s.y2_;
    });
  }

  void Scatter(const detail::LaneSet& lanes) {
    // Every lane value is a float widened to double, so narrowing is exact.
    ForEachLane([&](int lane, BandFilter& s) {
      s.x1_ = static_cast<float>(lanes.x1[lane]);
      s.x2_ = static_cast<float>(lanes.x2[lane]);
      s.y1_ = static_cast<float>(lanes.y1[lane]);
      s.y2_ = static_cast<float>(lanes.y2[lane]);
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

void EqualizeVector(SectionBanks& banks, DspPath path, std::uint8_t* data, long frames) {
  detail::LaneSet lanes;
  SectionBatch batch(banks);
  batch.Gather(lanes);
  switch (path) {
    case DspPath::Avx512:
      detail::RunWavefrontAvx512(lanes, data, frames);
      break;
    case DspPath::Avx2:
      detail::RunWavefrontAvx2(lanes, data, frames);
      break;
    default:
      detail::RunWavefrontSse2(lanes, data, frames);
      break;
  }
  batch.Scatter(lanes);
}

}  // namespace

void EqualizeSample(SectionBanks& banks, std::uint8_t* data, long length, int bytesPerSample,
                    int blockAlign) {
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
    detail::WriteSample(data + at + 2,
                        static_cast<std::int16_t>(std::clamp(left - right, -32768, 32767)));
  }
}

}  // namespace kestrun::equalizer
