// The skewed-wavefront loop shared by the vector paths; each path's file includes
// it with its own lane operations (Isa):
//   Reg, kWidth                      - a vector of kWidth doubles
//   Load(p), Store(p, r), Set1(d)
//   Add, Sub, Mul                    - plain IEEE double arithmetic, never fused
//   RoundToFloat(r)                  - round each lane to float and back, exactly
//   RoundToFloatFlushing(r)          - the same, computed without ever producing a
//                                      subnormal float (for flush-to-zero mode)
//   ShiftIn(prev, cur)               - {prev[kWidth-1], cur[0], ..., cur[kWidth-2]}
//   Select(bits, a, b)               - lane i from a when bit i is set, else from b
// Include only from a file built for the instruction set Isa uses.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

#include "equalizer/dsp/wavefront.h"

namespace kestrun::equalizer::detail {

// kQuiet runs with the processor's flush-to-zero mode on and rounds the lanes'
// outputs without producing subnormal floats (see RunWavefront).
template <class Isa, bool kQuiet>
class Wavefront {
 public:
  using Reg = typename Isa::Reg;
  static constexpr int kWidth = Isa::kWidth;
  static constexpr int kVectors = kLaneCount / kWidth;
  static constexpr int kPerChannel = kVectors / 2;
  static constexpr int kLastSection = kSectionsPerChannel - 1;

  explicit Wavefront(const LaneSet& lanes) {
    for (int i = 0; i < kVectors; ++i) {
      g_[i] = Isa::Load(lanes.g + i * kWidth);
      b1_[i] = Isa::Load(lanes.b1 + i * kWidth);
      b2_[i] = Isa::Load(lanes.b2 + i * kWidth);
      a1_[i] = Isa::Load(lanes.a1 + i * kWidth);
      a2_[i] = Isa::Load(lanes.a2 + i * kWidth);
      x1_[i] = Isa::Load(lanes.x1 + i * kWidth);
      x2_[i] = Isa::Load(lanes.x2 + i * kWidth);
      y1_[i] = Isa::Load(lanes.y1 + i * kWidth);
      y2_[i] = Isa::Load(lanes.y2 + i * kWidth);
    }
  }

  void SaveState(LaneSet& lanes) const {
    for (int i = 0; i < kVectors; ++i) {
      Isa::Store(lanes.x1 + i * kWidth, x1_[i]);
      Isa::Store(lanes.x2 + i * kWidth, x2_[i]);
      Isa::Store(lanes.y1 + i * kWidth, y1_[i]);
      Isa::Store(lanes.y2 + i * kWidth, y2_[i]);
    }
  }

  void Run(std::uint8_t* data, long frames) {
    // Steps 0..13 fill the pipeline and the last 14 steps drain it; only there do
    // some lanes sit idle (their state must not move).
    const long steps = frames + kLastSection;
    long t = 0;
    for (; t < steps && t < kLastSection; ++t) {
      Step<true>(data, frames, t);
    }
    for (; t < frames; ++t) {
      Step<false>(data, frames, t);
    }
    for (; t < steps; ++t) {
      Step<true>(data, frames, t);
    }
  }

 private:
  template <bool kPartial>
  inline __attribute__((always_inline)) void Step(std::uint8_t* data, long frames, long t) {
    double left = 0.0;
    double right = 0.0;
    if (!kPartial || t < frames) {
      left = ReadSample(data + 4 * t);
      right = ReadSample(data + 4 * t + 2);
    }
    Reg x0[kVectors];
    x0[0] = Isa::ShiftIn(Isa::Set1(left), y1_[0]);
    x0[kPerChannel] = Isa::ShiftIn(Isa::Set1(right), y1_[kPerChannel]);
    for (int i = 1; i < kPerChannel; ++i) {
      x0[i] = Isa::ShiftIn(y1_[i - 1], y1_[i]);
      x0[kPerChannel + i] = Isa::ShiftIn(y1_[kPerChannel + i - 1], y1_[kPerChannel + i]);
    }
    Reg y0[kVectors];
    for (int i = 0; i < kVectors; ++i) {
      // g * (x0 + b1 x1 + b2 x2) - (a1 y1 + a2 y2), in this order.
      const Reg zeros = Isa::Add(Isa::Add(x0[i], Isa::Mul(b1_[i], x1_[i])), Isa::Mul(b2_[i], x2_[i]));
      const Reg poles = Isa::Add(Isa::Mul(a1_[i], y1_[i]), Isa::Mul(a2_[i], y2_[i]));
      const Reg exact = Isa::Sub(Isa::Mul(g_[i], zeros), poles);
      if constexpr (kQuiet) {
        y0[i] = Isa::RoundToFloatFlushing(exact);
      } else {
        y0[i] = Isa::RoundToFloat(exact);
      }
    }
    if constexpr (kPartial) {
      // Section k works on frame t - k, so it is busy when 0 <= t - k < frames.
      unsigned active = 0;
      for (int k = 0; k < kLanesPerChannel; ++k) {
        if (k <= t && t - k < frames) {
          active |= 1u << k;
        }
      }
      for (int i = 0; i < kVectors; ++i) {
        const unsigned bits = (active >> ((i % kPerChannel) * kWidth)) & ((1u << kWidth) - 1);
        x2_[i] = Isa::Select(bits, x1_[i], x2_[i]);
        x1_[i] = Isa::Select(bits, x0[i], x1_[i]);
        y2_[i] = Isa::Select(bits, y1_[i], y2_[i]);
        y1_[i] = Isa::Select(bits, y0[i], y1_[i]);
      }
    } else {
      for (int i = 0; i < kVectors; ++i) {
        x2_[i] = x1_[i];
        x1_[i] = x0[i];
        y2_[i] = y1_[i];
        y1_[i] = y0[i];
      }
    }
    const long done = t - kLastSection;
    if (done >= 0) {
      alignas(64) double out[2][kWidth];
      Isa::Store(out[0], y1_[kLastSection / kWidth]);
      Isa::Store(out[1], y1_[kPerChannel + kLastSection / kWidth]);
      WriteSample(data + 4 * done, ToSample(out[0][kLastSection % kWidth]));
      WriteSample(data + 4 * done + 2, ToSample(out[1][kLastSection % kWidth]));
    }
  }

  Reg g_[kVectors], b1_[kVectors], b2_[kVectors], a1_[kVectors], a2_[kVectors];
  Reg x1_[kVectors], x2_[kVectors], y1_[kVectors], y2_[kVectors];
};

// After the input falls silent the sections' state decays into float subnormals
// and stays there (the rounded recursion settles on tiny values rather than zero).
// Producing a subnormal float costs a microcode assist on many CPUs, so a media
// sample of pure silence runs the quiet variant: with flush-to-zero on, the
// conversion yields 0 for those lanes without an assist, and the exact float value
// comes from rounding in double arithmetic instead. The doubles themselves never
// come near the double subnormal range, so flush-to-zero changes nothing else.
template <class Isa>
void RunWavefront(LaneSet& lanes, std::uint8_t* data, long frames, bool silent) {
  if (!silent) {
    Wavefront<Isa, false> wavefront(lanes);
    wavefront.Run(data, frames);
    wavefront.SaveState(lanes);
    return;
  }
  constexpr unsigned kFlushToZero = 0x8000;
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(saved | kFlushToZero);
  Wavefront<Isa, true> wavefront(lanes);
  wavefront.Run(data, frames);
  wavefront.SaveState(lanes);
  _mm_setcsr(saved);
}

}  // namespace kestrun::equalizer::detail
