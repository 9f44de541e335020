// Internal to the equalizer pass: the thirty sections laid out as vector lanes.
//
// Lane k (0..14) is the left section of band k + 1 and lane 16 + k the right one;
// lanes 15 and 31 idle with zero coefficients. At step t lane k filters frame
// t - k, reading as its input what lane k - 1 produced at step t - 1, so a frame
// enters lane 0 at step t and leaves lane 14 fourteen steps later, fully equalized.
// Every lane repeats the arithmetic of BandFilter::Process in the same order, in
// doubles, rounding each output to float, so the result is bit for bit the same as
// filtering each section over the block in turn.
#pragma once

#include <cstdint>

// The vector paths exist on x86-64 and on 32-bit x86 built for SSE2 (the filter for
// 32-bit hosts); elsewhere only the plain path is built.
#if defined(__x86_64__) || defined(_M_X64) || (defined(__i386__) && defined(__SSE2__))
#define KESTRUN_EQ_X86_VECTORS 1
#endif

#if defined(KESTRUN_EQ_X86_VECTORS)
#include <emmintrin.h>
#endif

namespace kestrun::equalizer::detail {

inline constexpr int kLaneCount = 32;
inline constexpr int kLanesPerChannel = 16;
inline constexpr int kSectionsPerChannel = 15;

// Below the smallest normal float, floats are multiples of 2^-149. Adding and
// then subtracting 1.5 * 2^-97 rounds a double magnitude under 2^-126 to such a
// multiple, ties to even, exactly as a conversion to float does, without the
// processor ever seeing a subnormal.
inline constexpr double kFloatMinNormal = 0x1p-126;
inline constexpr double kSubnormalRounder = 0x1.8p-97;

struct alignas(64) LaneSet {
  double g[kLaneCount];
  double b1[kLaneCount];
  double b2[kLaneCount];
  double a1[kLaneCount];
  double a2[kLaneCount];
  double x1[kLaneCount];
  double x2[kLaneCount];
  double y1[kLaneCount];
  double y2[kLaneCount];
};

// Each runs `frames` (at least 2) interleaved 16-bit stereo frames through all
// lanes in place and leaves the lanes' state at the block's end. `silent` says
// that every sample is zero (it picks a variant that is fast on subnormal state;
// the output is the same). Call only the ones the CPU supports.
void RunWavefrontSse2(LaneSet& lanes, std::uint8_t* data, long frames, bool silent);
void RunWavefrontAvx2(LaneSet& lanes, std::uint8_t* data, long frames, bool silent);
void RunWavefrontAvx512(LaneSet& lanes, std::uint8_t* data, long frames, bool silent);

// The 16-bit value of an equalized float: truncated toward zero, and outside the
// 16-bit range 32767 for positive values and -32767 (not -32768) for negative ones.
// Clamping to +-32767 before truncating gives exactly that, without branches (loud
// material clips at random, which branches would mispredict); NaN, which finite
// input never produces, would come out as -32767.
inline std::int16_t ToSample(float value) {
#if defined(KESTRUN_EQ_X86_VECTORS)
  // The compilers turn the portable form into compare-and-branch code.
  __m128 held = _mm_max_ss(_mm_set_ss(value), _mm_set_ss(-32767.0f));
  held = _mm_min_ss(held, _mm_set_ss(32767.0f));
  return static_cast<std::int16_t>(_mm_cvttss_si32(held));
#else
  float held = value > -32767.0f ? value : -32767.0f;
  held = held < 32767.0f ? held : 32767.0f;
  return static_cast<std::int16_t>(static_cast<std::int32_t>(held));
#endif
}

// The same for a double that holds a float's value exactly (as the lanes do),
// without narrowing it first.
inline std::int16_t ToSample(double value) {
#if defined(KESTRUN_EQ_X86_VECTORS)
  __m128d held = _mm_max_sd(_mm_set_sd(value), _mm_set_sd(-32767.0));
  held = _mm_min_sd(held, _mm_set_sd(32767.0));
  return static_cast<std::int16_t>(_mm_cvttsd_si32(held));
#else
  return ToSample(static_cast<float>(value));
#endif
}

inline std::int16_t ReadSample(const std::uint8_t* at) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
}

inline void WriteSample(std::uint8_t* at, std::int16_t value) {
  const auto bits = static_cast<std::uint16_t>(value);
  at[0] = static_cast<std::uint8_t>(bits & 0xFF);
  at[1] = static_cast<std::uint8_t>(bits >> 8);
}

}  // namespace kestrun::equalizer::detail
