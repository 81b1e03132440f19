// The kernels at the baseline width: on x86-64 SSE2, 4 floats and 2 doubles per vector, which
// every x86-64 processor runs; on processors other than x86-64 and aarch64 plain arrays of
// lanes, one operation per lane. On aarch64 the baseline is neon.cpp and this file is empty.
#include "simd.h"

#if !defined(__aarch64__)

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace kw_simd {
namespace {
namespace baseline {

#if defined(__x86_64__)
struct V {
  static constexpr Width width = Width::baseline;
  static constexpr int nf = 4, nd = 2;
  static constexpr int product_rows = 6, product_vecs = 2;
  using F = __m128;
  using H = __m128;  // the low two floats
  using D = __m128d;
  static F loadf(const float *p) { return _mm_loadu_ps(p); }
  static void storef(float *p, F x) { _mm_storeu_ps(p, x); }
  static F set1f(float x) { return _mm_set1_ps(x); }
  static F zerof() { return _mm_setzero_ps(); }
  static F addf(F a, F b) { return _mm_add_ps(a, b); }
  static F subf(F a, F b) { return _mm_sub_ps(a, b); }
  static F mulf(F a, F b) { return _mm_mul_ps(a, b); }
  // |x[j]| where uses[j] == 0, else -1.
  static F candidates(const float *x, const int *uses) {
    const __m128 unused = _mm_castsi128_ps(
        _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(uses)), _mm_setzero_si128()));
    const __m128 mag = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_loadu_ps(x));
    return _mm_or_ps(_mm_and_ps(unused, mag), _mm_andnot_ps(unused, _mm_set1_ps(-1.0f)));
  }
  static F greater_of(F a, F b) { return _mm_max_ps(a, b); }  // a > b ? a : b
  static F swap_pairs_f(F a) { return _mm_shuffle_ps(a, a, 0xB1); }
  static F dup_even_f(F a) { return _mm_shuffle_ps(a, a, 0xA0); }
  static F dup_odd_f(F a) { return _mm_shuffle_ps(a, a, 0xF5); }
  static F sub_even_add_odd_f(F a, F b) {
    const __m128 odd = _mm_castsi128_ps(_mm_set_epi32(-1, 0, -1, 0));
    return _mm_or_ps(_mm_and_ps(odd, _mm_add_ps(a, b)), _mm_andnot_ps(odd, _mm_sub_ps(a, b)));
  }
  static H loadh(const float *p) {
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)));
  }
  static void storeh(float *p, H x) { _mm_storel_epi64(reinterpret_cast<__m128i *>(p), _mm_castps_si128(x)); }
  static H addh(H a, H b) { return _mm_add_ps(a, b); }
  static H subh(H a, H b) { return _mm_sub_ps(a, b); }
  // One complex value per vector: each vector is already one window's position.
  static void to_lanes4(H &, H &, H &, H &) {}
  static void from_lanes4(H &, H &, H &, H &) {}
  static D widen(H x) { return _mm_cvtps_pd(x); }
  static H narrow(D x) { return _mm_cvtpd_ps(x); }
  static D loadd(const double *p) { return _mm_loadu_pd(p); }
  static D muld(D a, D b) { return _mm_mul_pd(a, b); }
  static D addd(D a, D b) { return _mm_add_pd(a, b); }
  static D swap_pairs(D a) { return _mm_shuffle_pd(a, a, 1); }
};
#else
// Plain lanes: every operation a loop over the lanes, each lane rounding once as the scalar
// code does.
template <class T, int N>
struct Lanes {
  T v[N];
};
struct V {
  static constexpr Width width = Width::baseline;
  static constexpr int nf = 4, nd = 2;
  static constexpr int product_rows = 6, product_vecs = 2;
  using F = Lanes<float, 4>;
  using H = Lanes<float, 2>;
  using D = Lanes<double, 2>;
  static F loadf(const float *p) { F r; for (int i = 0; i < 4; i++) r.v[i] = p[i]; return r; }
  static void storef(float *p, F x) { for (int i = 0; i < 4; i++) p[i] = x.v[i]; }
  static F set1f(float x) { return F{{x, x, x, x}}; }
  static F zerof() { return F{{0.0f, 0.0f, 0.0f, 0.0f}}; }
  static F addf(F a, F b) { for (int i = 0; i < 4; i++) a.v[i] = a.v[i] + b.v[i]; return a; }
  static F subf(F a, F b) { for (int i = 0; i < 4; i++) a.v[i] = a.v[i] - b.v[i]; return a; }
  static F mulf(F a, F b) { for (int i = 0; i < 4; i++) a.v[i] = a.v[i] * b.v[i]; return a; }
  static F candidates(const float *x, const int *uses) {
    F r;
    for (int i = 0; i < 4; i++) r.v[i] = uses[i] == 0 ? __builtin_fabsf(x[i]) : -1.0f;
    return r;
  }
  static F greater_of(F a, F b) { for (int i = 0; i < 4; i++) a.v[i] = a.v[i] > b.v[i] ? a.v[i] : b.v[i]; return a; }
  static F swap_pairs_f(F a) { return F{{a.v[1], a.v[0], a.v[3], a.v[2]}}; }
  static F dup_even_f(F a) { return F{{a.v[0], a.v[0], a.v[2], a.v[2]}}; }
  static F dup_odd_f(F a) { return F{{a.v[1], a.v[1], a.v[3], a.v[3]}}; }
  static F sub_even_add_odd_f(F a, F b) {
    return F{{a.v[0] - b.v[0], a.v[1] + b.v[1], a.v[2] - b.v[2], a.v[3] + b.v[3]}};
  }
  static H loadh(const float *p) { return H{{p[0], p[1]}}; }
  static void storeh(float *p, H x) { p[0] = x.v[0]; p[1] = x.v[1]; }
  static H addh(H a, H b) { return H{{a.v[0] + b.v[0], a.v[1] + b.v[1]}}; }
  static H subh(H a, H b) { return H{{a.v[0] - b.v[0], a.v[1] - b.v[1]}}; }
  // One complex value per vector: each vector is already one window's position.
  static void to_lanes4(H &, H &, H &, H &) {}
  static void from_lanes4(H &, H &, H &, H &) {}
  static D widen(H x) { return D{{(double)x.v[0], (double)x.v[1]}}; }
  static H narrow(D x) { return H{{(float)x.v[0], (float)x.v[1]}}; }
  static D loadd(const double *p) { return D{{p[0], p[1]}}; }
  static D muld(D a, D b) { return D{{a.v[0] * b.v[0], a.v[1] * b.v[1]}}; }
  static D addd(D a, D b) { return D{{a.v[0] + b.v[0], a.v[1] + b.v[1]}}; }
  static D swap_pairs(D a) { return D{{a.v[1], a.v[0]}}; }
};
#endif

#include "kernels.inc"

}  // namespace baseline
}  // namespace

const Kernels &baseline_kernels() { return baseline::table; }

}  // namespace kw_simd
#endif
