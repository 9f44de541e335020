// The baseline x86-64 path: two lanes per vector.
#include "equalizer/dsp/wavefront.h"

#if defined(KESTRUN_EQ_X86_VECTORS)
#include <emmintrin.h>

#include "equalizer/dsp/wavefront_kernel.h"

namespace kestrun::equalizer::detail {
namespace {

struct Sse2 {
  using Reg = __m128d;
  static constexpr int kWidth = 2;
  static Reg Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, Reg r) { _mm_storeu_pd(p, r); }
  static Reg Set1(double d) { return _mm_set1_pd(d); }
  static Reg Add(Reg a, Reg b) { return _mm_add_pd(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm_sub_pd(a, b); }
  static Reg Mul(Reg a, Reg b) { return _mm_mul_pd(a, b); }
  static Reg RoundToFloat(Reg r) { return _mm_cvtps_pd(_mm_cvtpd_ps(r)); }
  static Reg RoundToFloatFlushing(Reg r) {
    const Reg signBit = _mm_set1_pd(-0.0);
    const Reg magnitude = _mm_andnot_pd(signBit, r);
    const Reg tiny = _mm_cmplt_pd(magnitude, _mm_set1_pd(kFloatMinNormal));
    const Reg quantum = _mm_set1_pd(kSubnormalRounder);
    const Reg small = _mm_or_pd(_mm_sub_pd(_mm_add_pd(magnitude, quantum), quantum), _mm_and_pd(signBit, r));
    return _mm_or_pd(_mm_and_pd(tiny, small), _mm_andnot_pd(tiny, RoundToFloat(r)));
  }
  static Reg ShiftIn(Reg prev, Reg cur) { return _mm_shuffle_pd(prev, cur, 1); }
  static Reg Select(unsigned bits, Reg a, Reg b) {
    const Reg mask =
        _mm_castsi128_pd(_mm_set_epi64x(-static_cast<long long>((bits >> 1) & 1), -static_cast<long long>(bits & 1)));
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
  }
};

}  // namespace

void RunWavefrontSse2(LaneSet& lanes, std::uint8_t* data, long frames, bool silent) {
  RunWavefront<Sse2>(lanes, data, frames, silent);
}

}  // namespace kestrun::equalizer::detail

#else

namespace kestrun::equalizer::detail {
void RunWavefrontSse2(LaneSet&, std::uint8_t*, long, bool) {}
}  // namespace kestrun::equalizer::detail

#endif
