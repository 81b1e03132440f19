// The kernels at the baseline width on aarch64: Advanced SIMD (NEON), 4 floats and 2 doubles per
// vector, which every aarch64 processor runs. Each operation is one instruction that rounds
// once: a multiply and an add stay two (never vmla or vfma, which may become one fused fmla),
// and the conversions between float and double round to nearest. On aarch64 these
// instructions obey the same control register as scalar code, so subnormals are kept as
// there (32-bit Arm's NEON flushes them to zero, hence aarch64 only). The control register is
// never touched.
#include "simd.h"

#if defined(__aarch64__)
#include <arm_neon.h>

namespace kw_simd {
namespace {
namespace neon {

struct V {
  static constexpr Width width = Width::baseline;
  static constexpr int nf = 4, nd = 2;
  static constexpr int product_rows = 6, product_vecs = 2;
  using F = float32x4_t;
  using H = float32x2_t;
  using D = float64x2_t;
  static F loadf(const float *p) { return vld1q_f32(p); }
  static void storef(float *p, F x) { vst1q_f32(p, x); }
  static F set1f(float x) { return vdupq_n_f32(x); }
  static F zerof() { return vdupq_n_f32(0.0f); }
  static F addf(F a, F b) { return vaddq_f32(a, b); }
  static F subf(F a, F b) { return vsubq_f32(a, b); }
  static F mulf(F a, F b) { return vmulq_f32(a, b); }
  // |x[j]| where uses[j] == 0, else -1.
  static F candidates(const float *x, const int *uses) {
    const uint32x4_t unused = vceqzq_s32(vld1q_s32(uses));
    return vbslq_f32(unused, vabsq_f32(vld1q_f32(x)), vdupq_n_f32(-1.0f));
  }
  // a > b ? a : b. Not vmaxq_f32, which returns a NaN from either side.
  static F greater_of(F a, F b) { return vbslq_f32(vcgtq_f32(a, b), a, b); }
  static F swap_pairs_f(F a) { return vrev64q_f32(a); }
  static F dup_even_f(F a) { return vtrn1q_f32(a, a); }
  static F dup_odd_f(F a) { return vtrn2q_f32(a, a); }
  // (a0 - b0, a1 + b1, a2 - b2, a3 + b3): the even lanes of the difference beside the odd
  // lanes of the sum, brought to even positions by swapping pairs.
  static F sub_even_add_odd_f(F a, F b) {
    return vtrn1q_f32(vsubq_f32(a, b), vrev64q_f32(vaddq_f32(a, b)));
  }
  static H loadh(const float *p) { return vld1_f32(p); }
  static void storeh(float *p, H x) { vst1_f32(p, x); }
  static H addh(H a, H b) { return vadd_f32(a, b); }
  static H subh(H a, H b) { return vsub_f32(a, b); }
  // One complex value per vector: each vector is already one window's position.
  static void to_lanes4(H &, H &, H &, H &) {}
  static void from_lanes4(H &, H &, H &, H &) {}
  static D widen(H x) { return vcvt_f64_f32(x); }
  static H narrow(D x) { return vcvt_f32_f64(x); }
  static D loadd(const double *p) { return vld1q_f64(p); }
  static D muld(D a, D b) { return vmulq_f64(a, b); }
  static D addd(D a, D b) { return vaddq_f64(a, b); }
  static D swap_pairs(D a) { return vextq_f64(a, a, 1); }
};

#include "kernels.inc"

}  // namespace neon
}  // namespace

const Kernels &neon_kernels() { return neon::table; }

}  // namespace kw_simd
#endif
