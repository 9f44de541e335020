// The AVX-512 path: eight lanes per vector, four vectors for all thirty sections.
// Built with -mavx512f and called only on CPUs that have it.
#include "equalizer/dsp/wavefront.h"

#if defined(KESTRUN_EQ_X86_VECTORS)
#include <immintrin.h>

#include "equalizer/dsp/wavefront_kernel.h"

namespace kestrun::equalizer::detail {
namespace {

struct Avx512 {
  using Reg = __m512d;
  static constexpr int kWidth = 8;
  static Reg Load(const double* p) { return _mm512_loadu_pd(p); }
  static void Store(double* p, Reg r) { _mm512_storeu_pd(p, r); }
  static Reg Set1(double d) { return _mm512_set1_pd(d); }
  static Reg Add(Reg a, Reg b) { return _mm512_add_pd(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm512_sub_pd(a, b); }
  static Reg Mul(Reg a, Reg b) { return _mm512_mul_pd(a, b); }
  static Reg RoundToFloat(Reg r) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(r)); }
  static Reg RoundToFloatFlushing(Reg r) {
    // Sign and magnitude through integer operations: AVX-512F has no and/or for doubles.
    const __m512i signBit = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull));
    const __m512i bits = _mm512_castpd_si512(r);
    const Reg magnitude = _mm512_castsi512_pd(_mm512_andnot_si512(signBit, bits));
    const __mmask8 tiny = _mm512_cmp_pd_mask(magnitude, _mm512_set1_pd(kFloatMinNormal), _CMP_LT_OQ);
    const Reg quantum = _mm512_set1_pd(kSubnormalRounder);
    const __m512i rounded = _mm512_castpd_si512(_mm512_sub_pd(_mm512_add_pd(magnitude, quantum), quantum));
    const Reg small = _mm512_castsi512_pd(_mm512_or_si512(rounded, _mm512_and_si512(signBit, bits)));
    return _mm512_mask_blend_pd(tiny, RoundToFloat(r), small);
  }
  static Reg ShiftIn(Reg prev, Reg cur) {
    // The 16-lane concatenation cur:prev moved down by seven lanes.
    return _mm512_castsi512_pd(_mm512_alignr_epi64(_mm512_castpd_si512(cur), _mm512_castpd_si512(prev), 7));
  }
  static Reg Select(unsigned bits, Reg a, Reg b) { return _mm512_mask_blend_pd(static_cast<__mmask8>(bits), b, a); }
};

}  // namespace

void RunWavefrontAvx512(LaneSet& lanes, std::uint8_t* data, long frames, bool silent) {
  RunWavefront<Avx512>(lanes, data, frames, silent);
}

}  // namespace kestrun::equalizer::detail

#else

namespace kestrun::equalizer::detail {
void RunWavefrontAvx512(LaneSet&, std::uint8_t*, long, bool) {}
}  // namespace kestrun::equalizer::detail

#endif
