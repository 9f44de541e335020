// The AVX-512 path: eight lanes per vector, four vectors for all thirty sections.
// Built with -mavx512f and called only on CPUs that have it.
#include "equalizer/dsp/wavefront.h"

#if defined(__x86_64__) || defined(_M_X64)
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
  static Reg ShiftIn(Reg prev, Reg cur) {
    // The 16-lane concatenation cur:prev moved down by seven lanes.
    return _mm512_castsi512_pd(
        _mm512_alignr_epi64(_mm512_castpd_si512(cur), _mm512_castpd_si512(prev), 7));
  }
  static Reg Select(unsigned bits, Reg a, Reg b) {
    return _mm512_mask_blend_pd(static_cast<__mmask8>(bits), b, a);
  }
};

}  // namespace

void RunWavefrontAvx512(LaneSet& lanes, std::uint8_t* data, long frames) {
  RunWavefront<Avx512>(lanes, data, frames);
}

}  // namespace kestrun::equalizer::detail

#else

namespace kestrun::equalizer::detail {
void RunWavefrontAvx512(LaneSet&, std::uint8_t*, long) {}
}  // namespace kestrun::equalizer::detail

#endif
