// The kernels at AVX2 width: 8 floats, 4 doubles per vector. This file alone is compiled with
// -mavx2 (and without -mfma: a separate multiply and add, never a fused one).
#include "simd.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace kw_simd {
namespace {
namespace avx2 {

struct V {
  static constexpr Width width = Width::avx2;
  static constexpr int nf = 8, nd = 4;
  static constexpr int product_rows = 6, product_vecs = 2;
  using F = __m256;
  using H = __m128;
  using D = __m256d;
  static F loadf(const float *p) { return _mm256_loadu_ps(p); }
  static void storef(float *p, F x) { _mm256_storeu_ps(p, x); }
  static F set1f(float x) { return _mm256_set1_ps(x); }
  static F zerof() { return _mm256_setzero_ps(); }
  static F addf(F a, F b) { return _mm256_add_ps(a, b); }
  static F subf(F a, F b) { return _mm256_sub_ps(a, b); }
  static F mulf(F a, F b) { return _mm256_mul_ps(a, b); }
  // |x[j]| where uses[j] == 0, else -1.
  static F candidates(const float *x, const int *uses) {
    const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(uses));
    const __m256 unused = _mm256_castsi256_ps(_mm256_cmpeq_epi32(u, _mm256_setzero_si256()));
    const __m256 mag = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_loadu_ps(x));
    return _mm256_blendv_ps(_mm256_set1_ps(-1.0f), mag, unused);
  }
  static F greater_of(F a, F b) { return _mm256_max_ps(a, b); }  // a > b ? a : b
  static F swap_pairs_f(F a) { return _mm256_permute_ps(a, 0xB1); }
  static F dup_even_f(F a) { return _mm256_moveldup_ps(a); }
  static F dup_odd_f(F a) { return _mm256_movehdup_ps(a); }
  static F sub_even_add_odd_f(F a, F b) {
    return _mm256_blend_ps(_mm256_sub_ps(a, b), _mm256_add_ps(a, b), 0xAA);
  }
  static H loadh(const float *p) { return _mm_loadu_ps(p); }
  static void storeh(float *p, H x) { _mm_storeu_ps(p, x); }
  static H addh(H a, H b) { return _mm_add_ps(a, b); }
  static H subh(H a, H b) { return _mm_sub_ps(a, b); }
  static H mulh(H a, H b) { return _mm_mul_ps(a, b); }
  static H pairs_h(float re, float im) { return _mm_setr_ps(re, im, re, im); }
  static H swap_pairs_h(H a) { return _mm_permute_ps(a, 0xB1); }
  static H reverse_pairs_h(H a) { return _mm_permute_ps(a, 0x4E); }
  static H add_even_sub_odd_h(H a, H b) { return _mm_blend_ps(_mm_add_ps(a, b), _mm_sub_ps(a, b), 0xA); }
  static H sub_even_add_odd_h(H a, H b) { return _mm_blend_ps(_mm_sub_ps(a, b), _mm_add_ps(a, b), 0xA); }
  // Four vectors of two complex values each, rows of two 4-value windows, turned so that
  // vector j holds position j of both windows (lane k window k), and back.
  static void to_lanes4(H &a, H &b, H &c, H &d) {
    const __m128d r0 = _mm_castps_pd(a), r1 = _mm_castps_pd(b), r2 = _mm_castps_pd(c),
                  r3 = _mm_castps_pd(d);
    a = _mm_castpd_ps(_mm_unpacklo_pd(r0, r2));
    b = _mm_castpd_ps(_mm_unpackhi_pd(r0, r2));
    c = _mm_castpd_ps(_mm_unpacklo_pd(r1, r3));
    d = _mm_castpd_ps(_mm_unpackhi_pd(r1, r3));
  }
  static void from_lanes4(H &a, H &b, H &c, H &d) {
    const __m128d p0 = _mm_castps_pd(a), p1 = _mm_castps_pd(b), p2 = _mm_castps_pd(c),
                  p3 = _mm_castps_pd(d);
    a = _mm_castpd_ps(_mm_unpacklo_pd(p0, p1));
    b = _mm_castpd_ps(_mm_unpacklo_pd(p2, p3));
    c = _mm_castpd_ps(_mm_unpackhi_pd(p0, p1));
    d = _mm_castpd_ps(_mm_unpackhi_pd(p2, p3));
  }
  static D widen(H x) { return _mm256_cvtps_pd(x); }
  static H narrow(D x) { return _mm256_cvtpd_ps(x); }
  static D loadd(const double *p) { return _mm256_loadu_pd(p); }
  static D muld(D a, D b) { return _mm256_mul_pd(a, b); }
  static D addd(D a, D b) { return _mm256_add_pd(a, b); }
  static D negate_odd(D a) { return _mm256_xor_pd(a, _mm256_setr_pd(0.0, -0.0, 0.0, -0.0)); }
  static D swap_pairs(D a) { return _mm256_permute_pd(a, 0x5); }
  static D sub_even_add_odd(D a, D b) {
    return _mm256_blend_pd(_mm256_sub_pd(a, b), _mm256_add_pd(a, b), 0xA);
  }
};

#include "kernels.inc"

}  // namespace avx2
}  // namespace

const Kernels &avx2_kernels() { return avx2::table; }

}  // namespace kw_simd
#endif
