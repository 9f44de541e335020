// The AVX2 path: four lanes per vector. Built with -mavx2 and called only on CPUs
// that have it.
#include "equalizer/dsp/wavefront.h"

#if defined(KESTRUN_EQ_X86_VECTORS)
#include <immintrin.h>

#include "equalizer/dsp/wavefront_kernel.h"

namespace kestrun::equalizer::detail {
namespace {

struct Avx2 {
  using Reg = __m256d;
  static constexpr int kWidth = 4;
  static Reg Load(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, Reg r) { _mm256_storeu_pd(p, r); }
  static Reg Set1(double d) { return _mm256_set1_pd(d); }
  static Reg Add(Reg a, Reg b) { return _mm256_add_pd(a, b); }
  static Reg Sub(Reg a, Reg b) { return _mm256_sub_pd(a, b); }
  static Reg Mul(Reg a, Reg b) { return _mm256_mul_pd(a, b); }
  static Reg RoundToFloat(Reg r) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(r)); }
  static Reg RoundToFloatFlushing(Reg r) {
    const Reg signBit = _mm256_set1_pd(-0.0);
    const Reg magnitude = _mm256_andnot_pd(signBit, r);
    const Reg tiny = _mm256_cmp_pd(magnitude, _mm256_set1_pd(kFloatMinNormal), _CMP_LT_OQ);
    const Reg quantum = _mm256_set1_pd(kSubnormalRounder);
    const Reg small =
        _mm256_or_pd(_mm256_sub_pd(_mm256_add_pd(magnitude, quantum), quantum), _mm256_and_pd(signBit, r));
    return _mm256_blendv_pd(RoundToFloat(r), small, tiny);
  }
  static Reg ShiftIn(Reg prev, Reg cur) {
    // {prev2, prev3, cur0, cur1}, then pick {prev3, cur0, cur1, cur2}.
    const Reg middle = _mm256_permute2f128_pd(prev, cur, 0x21);
    return _mm256_shuffle_pd(middle, cur, 0x5);
  }
  static Reg Select(unsigned bits, Reg a, Reg b) {
    const Reg mask = _mm256_castsi256_pd(
        _mm256_set_epi64x(-static_cast<long long>((bits >> 3) & 1), -static_cast<long long>((bits >> 2) & 1),
                          -static_cast<long long>((bits >> 1) & 1), -static_cast<long long>(bits & 1)));
    return _mm256_blendv_pd(b, a, mask);
  }
};

}  // namespace

void RunWavefrontAvx2(LaneSet& lanes, std::uint8_t* data, long frames, bool silent) {
  RunWavefront<Avx2>(lanes, data, frames, silent);
}

}  // namespace kestrun::equalizer::detail

#else

namespace kestrun::equalizer::detail {
void RunWavefrontAvx2(LaneSet&, std::uint8_t*, long, bool) {}
}  // namespace kestrun::equalizer::detail

#endif
