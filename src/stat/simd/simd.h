// Vector widths of the hot kernels, chosen once when the library loads. Internal: nothing here
// is exported.
//
// Every width computes each element with exactly the operations of the plain code, in the same
// order: a vector lane is one element's own result; nothing is fused or reassociated, and the
// floating-point environment (no flush-to-zero, no denormals-are-zero) is never touched. The
// widths differ in speed only.
#ifndef KELVARINWIZARD_STAT_SIMD_SIMD_H
#define KELVARINWIZARD_STAT_SIMD_SIMD_H

namespace kw_simd {

enum class Width { baseline, avx2, avx512 };
constexpr int width_count = 3;

// "baseline", "avx2", "avx512": the values of KELVARINWIZARD_SIMD.
const char *width_name(Width w);

// A run of double twiddles w_c = (wr_c, wi_c), spread out for vectors of doubles: re[2c] and
// re[2c + 1] both hold wr_c; im[2c] holds -wi_c and im[2c + 1] holds wi_c (negation is exact).
struct TwiddleRun {
  const double *re;
  const double *im;
};

// The kernels of one width, grouped by family. Each has the plain code's exact semantics; the
// comments at the plain versions (linalg.cpp, fft.cpp) state them.
struct Kernels {
  Width width;

  // Products: R[i][j] = sum over k = 0..n-1 of A[i][k] * B[k][j], each element's own single
  // accumulator from 0 in ascending k, written once when complete.
  void (*matrix_product)(float **A, float **B, float **R, int m, int n, int p);

  // Element-wise updates of rows (linear algebra): y[j] = y[j] + x[j] * c, y[j] = y[j] + c * x[j]
  // and y[j] = y[j] - x[j] * c for j = 0..n-1; y and x are the same row or do not overlap.
  void (*add_scaled)(float *y, const float *x, float c, int n);
  void (*add_scaled_scalar_first)(float *y, const float *x, float c, int n);
  void (*subtract_scaled)(float *y, const float *x, float c, int n);
  // gaussj's pivot search in one row: the largest |x[j]| over j = 0..n-1 with uses[j] == 0, a
  // NaN never taken; -1 when there is no such j or every one holds NaN. All candidates are
  // zero or positive, so the largest does not depend on the order they are compared in.
  float (*candidate_max)(const float *x, const int *uses, int n);
  // Jacobi rotation of each pair (x[j], y[j]) of two distinct rows from its old values:
  // x - sn * (y + x * tau), y + sn * (x - y * tau).
  void (*jacobi_rotate_rows)(float *x, float *y, int n, float sn, float tau);

  // Transforms: four1's butterflies, in each of `blocks` blocks `step` floats apart, of `count`
  // consecutive complex values at the block's start against those `len` floats further on,
  // twiddle c of tw; products in double from the widened floats, rounded once; sums in single.
  void (*four1_runs)(float *top, unsigned long blocks, unsigned long step, unsigned long len,
                     unsigned long count, TwiddleRun tw);
  // four1's first three stages on `floats` floats (a multiple of 16) from top: butterflies of
  // neighbouring values with twiddle 0 of w1, then of values two apart with twiddles 0 and 1 of
  // w2 for the first and second of each four, then of values four apart with twiddle j of w3
  // for the j-th of each eight; four1_runs' arithmetic.
  void (*four1_first_stages)(float *top, unsigned long floats, TwiddleRun w1, TwiddleRun w2,
                             TwiddleRun w3);
  // The bit reversal of `points` complex values (a power of two, at least 32) from src, with
  // four1_first_stages on the way, into dst (not overlapping src): window w of dst (values
  // 8w..8w+7) receives the source values rev(8w + j) = rev3(j) * points / 8 + rev(w), where
  // rev(w) = rev8[w] >> shift reverses the window number's log2(points / 8) bits.
  void (*four1_reverse_first_stages)(const float *src, float *dst, unsigned long points,
                                     const unsigned char *rev8, unsigned shift, TwiddleRun w1,
                                     TwiddleRun w2, TwiddleRun w3);
  // The untangling of realft and rlft3 for `count` frequencies: the value at lo + 2c against its
  // mirror at hi - 2c, twiddle c of tw. The halves sr, si, ar, ai in single, each output summed
  // in double from the widened halves, left to right, and rounded once. The values from lo and
  // those down from hi + 1 do not overlap.
  void (*untangle_run)(float *lo, float *hi, unsigned long count, float k1, float k2,
                       TwiddleRun tw);
  // fourn's butterflies of `width` floats (a whole stride, one twiddle rounded to single) at
  // `top` against those `half` floats further on, all in single.
  void (*fourn_run)(float *top, unsigned long half, unsigned long width, float wr, float wi);
  // fourn's butterflies across `count` consecutive twiddles (a stride of one complex value):
  // complex value c at `top` against the one `half` floats further on, twiddle (tw[2c],
  // tw[2c + 1]) already single, all in single.
  void (*fourn_pairs)(float *top, unsigned long half, unsigned long count, const float *tw);
};

// Whether this processor (and its operating system) runs the width's instructions.
bool width_supported(Width w);

// The width a request selects: null or empty asks for the best supported width; a name asks
// for that width. An unknown name, or a width in `offered` that is false, is refused: the best
// supported width is used instead and *refusal says why (null otherwise).
Width choose_width(const char *request, const bool offered[width_count], const char **refusal);

// The kernels of the width chosen at load: KELVARINWIZARD_SIMD, read once, or the best width
// the processor offers.
const Kernels &kernels();

// The kernels of a given supported width, for tests that compare widths directly.
const Kernels &kernels_of(Width w);

}  // namespace kw_simd

#endif  // KELVARINWIZARD_STAT_SIMD_SIMD_H
