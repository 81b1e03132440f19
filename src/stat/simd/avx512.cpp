// The kernels at AVX-512 width: 16 floats, 8 doubles per vector. This file alone is compiled
// with -mavx512f (the foundation only, which is all the kernels need). AVX-512F includes fused
// multiply-adds; the kernels never ask for one and -ffp-contract=off keeps the compiler from
// forming one (the disassembly check confirms it).
#include "simd.h"

#if defined(__x86_64__)
// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined register and
// warn about it at every use; the values are fully written before they are read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

namespace kw_simd {
namespace {
namespace avx512 {

struct V {
  static constexpr Width width = Width::avx512;
  static constexpr int nf = 16, nd = 8;
  static constexpr int product_rows = 6, product_vecs = 2;
  using F = __m512;
  using H = __m256;
  using D = __m512d;
  static F loadf(const float *p) { return _mm512_loadu_ps(p); }
  static void storef(float *p, F x) { _mm512_storeu_ps(p, x); }
  static F set1f(float x) { return _mm512_set1_ps(x); }
  static F zerof() { return _mm512_setzero_ps(); }
  static F addf(F a, F b) { return _mm512_add_ps(a, b); }
  static F subf(F a, F b) { return _mm512_sub_ps(a, b); }
  static F mulf(F a, F b) { return _mm512_mul_ps(a, b); }
  // |x[j]| where uses[j] == 0, else -1.
  static F candidates(const float *x, const int *uses) {
    const __mmask16 unused = _mm512_cmpeq_epi32_mask(_mm512_loadu_si512(uses), _mm512_setzero_si512());
    return _mm512_mask_blend_ps(unused, _mm512_set1_ps(-1.0f), _mm512_abs_ps(_mm512_loadu_ps(x)));
  }
  static F greater_of(F a, F b) { return _mm512_max_ps(a, b); }  // a > b ? a : b
  static F swap_pairs_f(F a) { return _mm512_permute_ps(a, 0xB1); }
  static F dup_even_f(F a) { return _mm512_moveldup_ps(a); }
  static F dup_odd_f(F a) { return _mm512_movehdup_ps(a); }
  static F sub_even_add_odd_f(F a, F b) {
    return _mm512_mask_blend_ps(0xAAAA, _mm512_sub_ps(a, b), _mm512_add_ps(a, b));
  }
  static H loadh(const float *p) { return _mm256_loadu_ps(p); }
  static void storeh(float *p, H x) { _mm256_storeu_ps(p, x); }
  static H addh(H a, H b) { return _mm256_add_ps(a, b); }
  static H subh(H a, H b) { return _mm256_sub_ps(a, b); }
  static H mulh(H a, H b) { return _mm256_mul_ps(a, b); }
  static H pairs_h(float re, float im) { return _mm256_setr_ps(re, im, re, im, re, im, re, im); }
  static H swap_pairs_h(H a) { return _mm256_permute_ps(a, 0xB1); }
  static H reverse_pairs_h(H a) {
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(a), 0x1B));
  }
  static H add_even_sub_odd_h(H a, H b) {
    return _mm256_blend_ps(_mm256_add_ps(a, b), _mm256_sub_ps(a, b), 0xAA);
  }
  static H sub_even_add_odd_h(H a, H b) {
    return _mm256_blend_ps(_mm256_sub_ps(a, b), _mm256_add_ps(a, b), 0xAA);
  }
  // Four vectors of four complex values each, the four values of four windows, transposed so
  // that vector j holds position j of every window (lane k window k); its own inverse.
  static void to_lanes4(H &a, H &b, H &c, H &d) {
    const __m256d r0 = _mm256_castps_pd(a), r1 = _mm256_castps_pd(b), r2 = _mm256_castps_pd(c),
                  r3 = _mm256_castps_pd(d);
    const __m256d t0 = _mm256_unpacklo_pd(r0, r1), t1 = _mm256_unpackhi_pd(r0, r1),
                  t2 = _mm256_unpacklo_pd(r2, r3), t3 = _mm256_unpackhi_pd(r2, r3);
    a = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x20));
    b = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x20));
    c = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x31));
    d = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x31));
  }
  static void from_lanes4(H &a, H &b, H &c, H &d) { to_lanes4(a, b, c, d); }
  static D widen(H x) { return _mm512_cvtps_pd(x); }
  static H narrow(D x) { return _mm512_cvtpd_ps(x); }
  static D loadd(const double *p) { return _mm512_loadu_pd(p); }
  static D muld(D a, D b) { return _mm512_mul_pd(a, b); }
  static D addd(D a, D b) { return _mm512_add_pd(a, b); }
  static D negate_odd(D a) {  // the sign bit of the odd lanes flipped, as a plain negation does
    const __m512d odd_signs = _mm512_set_pd(-0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0);
    return _mm512_castsi512_pd(
        _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(odd_signs)));
  }
  static D swap_pairs(D a) { return _mm512_permute_pd(a, 0x55); }
  static D sub_even_add_odd(D a, D b) {
    return _mm512_mask_blend_pd(0xAA, _mm512_sub_pd(a, b), _mm512_add_pd(a, b));
  }
};

#include "kernels.inc"

}  // namespace avx512
}  // namespace

const Kernels &avx512_kernels() { return avx512::table; }

}  // namespace kw_simd
#endif
