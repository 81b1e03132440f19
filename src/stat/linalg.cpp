// Linear algebra: products, SVD, Gauss-Jordan, Jacobi, SVD solve.
//
// Everything here is single precision unless a cast says otherwise. Each cast to double marks
// a step that is carried in double and each cast back to float the point where it is rounded;
// results depend on both to the bit, so the code spells them out instead of leaving them to
// promotion rules. Sums run in ascending index order with one single-precision accumulator.
#include <cmath>

#include "../stat.h"
#include "../stat_internal.h"
#include "work_storage.h"
#include "simd/simd.h"

// One flag per thread, so that decompositions in parallel threads do not share it.
thread_local bool NoConvergenceInSVD = false;

namespace {

// |x| < 1e-6 in the form that never calls a NaN negligible.
inline bool negligible(float x) { return x >= 0.0f ? x < 1.0e-6f : x > -1.0e-6f; }

// +|a| when b >= 0, -|a| otherwise.
inline float with_sign_of(float a, float b) { return b >= 0.0f ? std::fabs(a) : -std::fabs(a); }
inline double with_sign_of(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

// Square root of a single-precision value, taken in double and rounded back to single.
inline float root_via_double(float s) { return (float)std::sqrt((double)s); }

inline void swap_values(float &x, float &y) {
  const float t = x;
  x = y;
  y = t;
}

// y[j] = y[j] + x[j] * c (or + c * x[j] when kScalarFirst) for j = 0..n-1, each element on its
// own: one rounded product, then one rounded sum, exactly as the plain loop. The operands keep
// the plain loop's order, which decides the bits of a NaN when both factors are NaN. Blocks of
// eight have a fixed trip count, which lets the compiler use vector lanes; each lane is one
// element's own multiply and add. x is read a block ahead into a local copy, so y and x may
// be the same row but must not overlap otherwise.
// Rows at least this long go to the vector kernels of the width chosen at load; shorter ones
// stay inline, where a call would cost more than it saves. Both give the same bits.
constexpr int kVectorRow = 32;

template <bool kScalarFirst = false>
inline void add_scaled(float *y, const float *x, float c, int n) {
  if (n >= kVectorRow) {
    const kw_simd::Kernels &k = kw_simd::kernels();
    (kScalarFirst ? k.add_scaled_scalar_first : k.add_scaled)(y, x, c, n);
    return;
  }
  int j = 0;
  for (; j + 8 <= n; j += 8) {
    float xb[8];
    for (int t = 0; t < 8; t++) xb[t] = x[j + t];
    for (int t = 0; t < 8; t++) y[j + t] = y[j + t] + (kScalarFirst ? c * xb[t] : xb[t] * c);
  }
  for (; j < n; j++) y[j] = y[j] + (kScalarFirst ? c * x[j] : x[j] * c);
}

// Columns of a Householder step handled together: their sums live in a local buffer.
constexpr int kColumnBlock = 256;

// For the columns j = j0 .. j0 + width - 1 (width <= kColumnBlock) of rows r0..r1 of a:
// sums[j - j0] = sum over k = r0..r1 of a[k][c] * a[k][j], in ascending k from 0. Walking the
// rows instead of the columns leaves every sum its own accumulator and its own order.
inline void column_dots(float **a, int c, int r0, int r1, int j0, int width, float *sums) {
  for (int t = 0; t < width; t++) sums[t] = 0.0f;
  for (int k = r0; k <= r1; k++) {
    const float *row = a[k];
    add_scaled<true>(sums, row + j0, row[c], width);
  }
}

// a[k][j] += f[j - j0] * a[k][c] for k = r0..r1 and the columns of the block.
inline void column_updates(float **a, int c, int r0, int r1, int j0, int width, const float *f) {
  for (int k = r0; k <= r1; k++) {
    float *row = a[k];
    add_scaled(row + j0, f, row[c], width);
  }
}

// Plane rotations of the columns c, c + 1, ..., c + count of one matrix, as a QR sweep produces
// them: rotation t mixes columns c + t and c + t + 1 with (co[t], si[t]). The sweep's scalar
// recurrence never reads the matrix, so its rotations are recorded and applied later row by row:
// every element still meets the same rotations in the same order, each rotation computing
//   new left = left * co + right * si,  new right = right * co - left * si
// from the old pair. Four rows go together to give the processor independent chains.
constexpr int kRotationBatch = 64;

inline void rotate_rows(float **mat, int rows, int c, const float *co, const float *si, int count) {
  int r = 1;
  for (; r + 3 <= rows; r += 4) {
    float *p0 = mat[r], *p1 = mat[r + 1], *p2 = mat[r + 2], *p3 = mat[r + 3];
    float x0 = p0[c], x1 = p1[c], x2 = p2[c], x3 = p3[c];
    for (int t = 0; t < count; t++) {
      const int j = c + t;
      const float ct = co[t], st = si[t];
      const float z0 = p0[j + 1], z1 = p1[j + 1], z2 = p2[j + 1], z3 = p3[j + 1];
      p0[j] = x0 * ct + z0 * st;
      p1[j] = x1 * ct + z1 * st;
      p2[j] = x2 * ct + z2 * st;
      p3[j] = x3 * ct + z3 * st;
      x0 = z0 * ct - x0 * st;
      x1 = z1 * ct - x1 * st;
      x2 = z2 * ct - x2 * st;
      x3 = z3 * ct - x3 * st;
    }
    p0[c + count] = x0;
    p1[c + count] = x1;
    p2[c + count] = x2;
    p3[c + count] = x3;
  }
  for (; r <= rows; r++) {
    float *p = mat[r];
    float x = p[c];
    for (int t = 0; t < count; t++) {
      const int j = c + t;
      const float z = p[j + 1];
      p[j] = x * co[t] + z * si[t];
      x = z * co[t] - x * si[t];
    }
    p[c + count] = x;
  }
}

// A pending run of rotations of adjacent columns, applied when full and at the end of a sweep.
struct RotationRun {
  float **mat;
  int rows;
  int first = 0;  // left column of the first pending rotation
  int count = 0;
  float co[kRotationBatch], si[kRotationBatch];

  RotationRun(float **m, int r) : mat(m), rows(r) {}
  void add(int column, float c, float s) {
    if (count == kRotationBatch) flush();
    if (count == 0) first = column;
    co[count] = c;
    si[count] = s;
    count++;
  }
  void flush() {
    if (count > 0) rotate_rows(mat, rows, first, co, si, count);
    count = 0;
  }
};

// One Jacobi rotation of the pair (x, y), both new values from the old ones.
inline void jacobi_rotate(float &x, float &y, float sn, float tau) {
  const float ox = x, oy = y;
  x = ox - sn * (oy + ox * tau);
  y = oy + sn * (ox - oy * tau);
}

// Each pair (x[j], y[j]), j = 0..n-1, rotated on its own: two distinct rows rotated together.
// Blocks of eight with a fixed trip count let the compiler use vector lanes; each lane does
// one element's own operations in the same order.
inline void jacobi_rotate_rows(float *x, float *y, int n, float sn, float tau) {
  if (n >= kVectorRow) {
    kw_simd::kernels().jacobi_rotate_rows(x, y, n, sn, tau);
    return;
  }
  int j = 0;
  for (; j + 8 <= n; j += 8) {
    float xb[8], yb[8];
    for (int t = 0; t < 8; t++) {
      xb[t] = x[j + t];
      yb[t] = y[j + t];
    }
    for (int t = 0; t < 8; t++) jacobi_rotate(xb[t], yb[t], sn, tau);
    for (int t = 0; t < 8; t++) {
      x[j + t] = xb[t];
      y[j + t] = yb[t];
    }
  }
  for (; j < n; j++) jacobi_rotate(x[j], y[j], sn, tau);
}

// Jacobi rotations queued for later, applied row by row. While the sweep works on row p, no
// angle depends on the rows above p; so their rotations can wait and then run along the rows,
// every element meeting the same rotations in the same order.
constexpr int kJacobiBatch = 128;

struct JacobiQueue {
  int count = 0;
  int p[kJacobiBatch], q[kJacobiBatch];
  float sn[kJacobiBatch], tau[kJacobiBatch];

  bool full() const { return count == kJacobiBatch; }
  void add(int pp, int qq, float s, float t) {
    p[count] = pp;
    q[count] = qq;
    sn[count] = s;
    tau[count] = t;
    count++;
  }
  // Pairs (m[j][p], m[j][q]) of rows j = 1..rows in queue order, for rotations that all share
  // their p: m[j][p] stays in a register. Four rows go side by side for independent chains.
  void apply_same_p(float **m, int rows) {
    if (count == 0) return;
    const int pp = p[0];
    int j = 1;
    for (; j + 3 <= rows; j += 4) {
      float *r0 = m[j], *r1 = m[j + 1], *r2 = m[j + 2], *r3 = m[j + 3];
      float x0 = r0[pp], x1 = r1[pp], x2 = r2[pp], x3 = r3[pp];
      for (int r = 0; r < count; r++) {
        const int qq = q[r];
        float y0 = r0[qq], y1 = r1[qq], y2 = r2[qq], y3 = r3[qq];
        jacobi_rotate(x0, y0, sn[r], tau[r]);
        jacobi_rotate(x1, y1, sn[r], tau[r]);
        jacobi_rotate(x2, y2, sn[r], tau[r]);
        jacobi_rotate(x3, y3, sn[r], tau[r]);
        r0[qq] = y0;
        r1[qq] = y1;
        r2[qq] = y2;
        r3[qq] = y3;
      }
      r0[pp] = x0;
      r1[pp] = x1;
      r2[pp] = x2;
      r3[pp] = x3;
    }
    for (; j <= rows; j++) {
      float *row = m[j];
      float x = row[pp];
      for (int r = 0; r < count; r++) {
        float y = row[q[r]];
        jacobi_rotate(x, y, sn[r], tau[r]);
        row[q[r]] = y;
      }
      row[pp] = x;
    }
    count = 0;
  }
};

// y[j] = y[j] - x[j] * c for j = 0..n-1 on distinct rows, each element on its own, in blocks
// of eight with a fixed trip count (see add_scaled).
inline void subtract_scaled(float *y, const float *x, float c, int n) {
  if (n >= kVectorRow) {
    kw_simd::kernels().subtract_scaled(y, x, c, n);
    return;
  }
  int j = 0;
  for (; j + 8 <= n; j += 8) {
    float xb[8];
    for (int t = 0; t < 8; t++) xb[t] = x[j + t];
    for (int t = 0; t < 8; t++) y[j + t] = y[j + t] - xb[t] * c;
  }
  for (; j < n; j++) y[j] = y[j] - x[j] * c;
}

// Lower triangle of R = A * A^T over the first n columns of A, then mirrored.
void rows_gram(float **A, float **R, int m, int n) {
  for (int i = 0; i < m; i++) {
    for (int j = 0; j <= i; j++) {
      const float *pa = A[i];
      const float *pb = A[j];
      float sum = 0.0f;
      for (int k = 0; k < n; k++) sum += (*pa++) * (*pb++);
      R[i][j] = sum;
    }
  }
  for (int i = 0; i < m; i++)
    for (int j = 0; j < i; j++) R[j][i] = R[i][j];
}

// Applies the Householder reflection I - 2 u u^T / (u^T u), in double precision, to the
// columns j = l..n of x over the rows r0..r1, where u[k] = ux(k). svdcmp uses it when a
// reflection's vector was stored at a scale whose reciprocal leaves the single range (a
// subnormal singular value or superdiagonal element): there the single-precision form
// multiplies by infinity and fills the factor with NaN. The divisor comes from the stored
// vector itself, which has lost bits at that scale, so the reflection stays orthogonal.
template <class Element>
void reflect_in_double(float **x, int r0, int r1, int l, int n, Element ux) {
  double uu = 0.0;
  for (int k = r0; k <= r1; k++) uu += (double)ux(k) * (double)ux(k);
  const double c = -2.0 / uu;
  for (int j = l; j <= n; j++) {
    double s = 0.0;
    for (int k = r0; k <= r1; k++) s += (double)ux(k) * (double)x[k][j];
    const double f = s * c;
    for (int k = r0; k <= r1; k++) x[k][j] = (float)((double)x[k][j] + f * (double)ux(k));
  }
}

}  // namespace

// Products ------------------------------------------------------------------------------------

void matrix_matrix_mult(float **A, float **B, float **R, int m, int n, int p) {
  // Register blocks of R across its columns (see simd/kernels.inc): every element still has its
  // own accumulator that starts at 0 and adds the rounded products in ascending k, so every bit
  // is that of the plain j-outer loop.
  kw_simd::kernels().matrix_product(A, B, R, m, n, p);
}

void transposematrix_matrix_mult(float **A, float **R, int m, int n) { rows_gram(A, R, m, n); }

void matrix_vector_mult(float **A, float *x, float *y, int m, int n) {
  for (int i = 0; i < m; i++) {
    y[i] = 0.0f;
    for (int j = 0; j < n; j++) y[i] = x[j] * A[i][j] + y[i];
  }
}

float vector_vector_mult(float *a, float *b, int n) {
  float sum = 0.0f;
  for (int i = 0; i < n; i++) sum += a[i] * b[i];
  return sum;
}

void matrix_transpose(float **A, float **B, int m, int n) {
  for (int i = 0; i < m; i++)
    for (int j = 0; j < n; j++) B[j][i] = A[i][j];
}

void copy_matrix(float **src, float **dst, int m, int n, int mode) {
  switch (mode) {
    case 0:
      for (int i = 0; i < m; i++)
        for (int j = 0; j < n; j++) dst[i][j] = src[i][j];
      break;
    case 1:
      for (int i = 1; i <= m; i++)
        for (int j = 1; j <= n; j++) dst[i][j] = src[i][j];
      break;
    case 2:
      for (int i = 0; i < m; i++)
        for (int j = 0; j < n; j++) dst[i + 1][j + 1] = src[i][j];
      break;
    case 3:
      for (int i = 0; i < m; i++)
        for (int j = 0; j < n; j++) dst[i][j] = src[i + 1][j + 1];
      break;
    default:
      break;
  }
}

void diagmatrix_matrix_mult(float *d, float **A, int m, int n) {
  for (int i = 0; i < m; i++)
    for (int j = 0; j < n; j++) A[i][j] = d[i] * A[i][j];
}

void fast_matrix_matrix_mult(float **A, float ** /*B*/, float **R, int m, int /*n*/, int p,
                             bool /*first*/, bool /*second*/) {
  rows_gram(A, R, m, p);
}

// Singular value decomposition ------------------------------------------------------------------

float pythag(float a, float b) {
  const float absa = std::fabs(a);
  const float absb = std::fabs(b);
  if (absa > absb) {
    const float r = absb / absa;
    return absa * (float)std::sqrt(1.0 + (double)(r * r));
  }
  if (absb == 0.0f) return 0.0f;
  const float r = absa / absb;
  return absb * (float)std::sqrt(1.0 + (double)(r * r));
}

void svdcmp(float **a, int m, int n, float w[], float **v) {
  NoConvergenceInSVD = false;
  const kw_work::Vector<float> e(1, n);
  float g = 0.0f, scale = 0.0f, s = 0.0f;
  float f, h, co, si, x, y, z;
  int l = 0, nm = 0;

  // Householder reduction to upper bidiagonal form: w the diagonal, e the superdiagonal.
  for (int i = 1; i <= n; i++) {
    l = i + 1;
    e[i] = scale * g;
    g = s = scale = 0.0f;
    if (i <= m) {
      for (int k = i; k <= m; k++) scale += std::fabs(a[k][i]);
      if (scale != 0.0f) {
        for (int k = i; k <= m; k++) {
          a[k][i] = a[k][i] / scale;
          s += a[k][i] * a[k][i];
        }
        f = a[i][i];
        g = -with_sign_of(root_via_double(s), f);
        h = f * g - s;
        a[i][i] = f - g;
        // Column j's sum reads columns i and j only, and column j's update writes column j
        // only, so all the sums of a block can be formed first, walking the rows.
        for (int j0 = l; j0 <= n; j0 += kColumnBlock) {
          const int width = n - j0 + 1 < kColumnBlock ? n - j0 + 1 : kColumnBlock;
          float fs[kColumnBlock];
          column_dots(a, i, i, m, j0, width, fs);
          for (int t = 0; t < width; t++) fs[t] = fs[t] / h;
          column_updates(a, i, i, m, j0, width, fs);
        }
        for (int k = i; k <= m; k++) a[k][i] = a[k][i] * scale;
      }
    }
    w[i] = scale * g;
    g = s = scale = 0.0f;
    if (i <= m && i != n) {
      for (int k = l; k <= n; k++) scale += std::fabs(a[i][k]);
      if (scale != 0.0f) {
        for (int k = l; k <= n; k++) {
          a[i][k] = a[i][k] / scale;
          s += a[i][k] * a[i][k];
        }
        f = a[i][l];
        g = -with_sign_of(root_via_double(s), f);
        h = f * g - s;
        a[i][l] = f - g;
        for (int k = l; k <= n; k++) e[k] = a[i][k] / h;
        // Rows j read row i, which none of them writes, and only themselves: four rows form
        // their sums side by side, each in its own accumulator in ascending k.
        const float *ai = a[i];
        const int len = n - l + 1;
        int j = l;
        for (; j + 3 <= m; j += 4) {
          float *r0 = a[j], *r1 = a[j + 1], *r2 = a[j + 2], *r3 = a[j + 3];
          float s0 = 0.0f, s1 = 0.0f, s2 = 0.0f, s3 = 0.0f;
          for (int k = l; k <= n; k++) {
            const float aik = ai[k];
            s0 += r0[k] * aik;
            s1 += r1[k] * aik;
            s2 += r2[k] * aik;
            s3 += r3[k] * aik;
          }
          add_scaled<true>(r0 + l, e + l, s0, len);
          add_scaled<true>(r1 + l, e + l, s1, len);
          add_scaled<true>(r2 + l, e + l, s2, len);
          add_scaled<true>(r3 + l, e + l, s3, len);
        }
        for (; j <= m; j++) {
          float *rj = a[j];
          s = 0.0f;
          for (int k = l; k <= n; k++) s += rj[k] * ai[k];
          add_scaled<true>(rj + l, e + l, s, len);
        }
        for (int k = l; k <= n; k++) a[i][k] = a[i][k] * scale;
      }
    }
    // g and scale of the row step carry into e[i + 1] at the top of the next pass.
  }

  // Right-hand transformations into v. Rows of a beyond m are never reached: for i >= m + 1
  // the carried g is e[i + 1] = 0.
  for (int i = n; i >= 1; i--) {
    if (i < n) {
      if (g != 0.0f && std::isinf(1.0f / g)) {
        // |a[i][j] / a[i][l]| <= 1 = a[i][l] / a[i][l], so the quotients below overflow
        // exactly when 1 / g does. Column i of v is cleared below either way.
        const float *ai = a[i];
        reflect_in_double(v, l, n, l, n, [ai](int k) { return ai[k]; });
      } else if (g != 0.0f) {
        // Two divisions in this order, not one by the product: avoids underflow.
        for (int j = l; j <= n; j++) v[j][i] = (a[i][j] / a[i][l]) / g;
        // Column j of v is summed against row i of a and then updated from column i, which
        // is not among the columns l..n: a block's sums come first, walking the rows of v.
        for (int j0 = l; j0 <= n; j0 += kColumnBlock) {
          const int width = n - j0 + 1 < kColumnBlock ? n - j0 + 1 : kColumnBlock;
          float ss[kColumnBlock];
          for (int t = 0; t < width; t++) ss[t] = 0.0f;
          for (int k = l; k <= n; k++) add_scaled<true>(ss, v[k] + j0, a[i][k], width);
          for (int k = l; k <= n; k++) add_scaled(v[k] + j0, ss, v[k][i], width);
        }
      }
      for (int j = l; j <= n; j++) v[i][j] = v[j][i] = 0.0f;
    }
    v[i][i] = 1.0f;
    g = e[i];
    l = i;
  }

  // Left-hand transformations into a, which becomes U.
  for (int i = (m < n ? m : n); i >= 1; i--) {
    l = i + 1;
    g = w[i];
    for (int j = l; j <= n; j++) a[i][j] = 0.0f;
    if (g != 0.0f && !(std::fabs(1.0f / g) <= 0x1p127f)) {
      // Each factor below is at most sqrt(2) / |w[i]|, which a reciprocal above 2^127 may
      // take out of range. Column i becomes e_i reflected: e_i - 2 u u[i] / (u^T u).
      reflect_in_double(a, i, m, l, n, [a, i](int k) { return a[k][i]; });
      double uu = 0.0;
      for (int k = i; k <= m; k++) uu += (double)a[k][i] * (double)a[k][i];
      const double f = -2.0 * (double)a[i][i] / uu;
      for (int j = i; j <= m; j++) a[j][i] = (float)(f * (double)a[j][i]);
    } else if (g != 0.0f) {
      g = 1.0f / g;
      // As in the reduction: column j's sum (rows l..m) and update (rows i..m) touch columns
      // i and j only, and a[i][i] stays fixed, so a block's sums come first.
      for (int j0 = l; j0 <= n; j0 += kColumnBlock) {
        const int width = n - j0 + 1 < kColumnBlock ? n - j0 + 1 : kColumnBlock;
        float fs[kColumnBlock];
        column_dots(a, i, l, m, j0, width, fs);
        for (int t = 0; t < width; t++) fs[t] = (fs[t] / a[i][i]) * g;
        column_updates(a, i, i, m, j0, width, fs);
      }
      for (int j = i; j <= m; j++) a[j][i] = a[j][i] * g;
    } else {
      for (int j = i; j <= m; j++) a[j][i] = 0.0f;
    }
    a[i][i] = a[i][i] + 1.0f;
  }

  // Diagonalisation of the bidiagonal form by implicit-shift QR, one singular value at a time.
  for (int k = n; k >= 1; k--) {
    for (int its = 1; its <= 100; its++) {
      // Split test. e[1] is always 0, so the scan stops at l = 1 at the latest and w[0] is
      // never read.
      bool flag = true;
      for (l = k; l >= 1; l--) {
        nm = l - 1;
        if (negligible(e[l])) {
          flag = false;
          break;
        }
        if (negligible(w[nm])) break;
      }
      if (flag) {
        // w[nm] is negligible: cancel e[l] by rotations from the left.
        co = 0.0f;
        si = 1.0f;
        for (int i = l; i <= k; i++) {
          f = si * e[i];
          e[i] = co * e[i];
          if (negligible(f)) break;
          g = w[i];
          h = pythag(f, g);
          w[i] = h;
          h = 1.0f / h;
          co = g * h;
          si = -f * h;
          for (int j = 1; j <= m; j++) {
            y = a[j][nm];
            z = a[j][i];
            a[j][nm] = y * co + z * si;
            a[j][i] = z * co - y * si;
          }
        }
      }
      z = w[k];
      if (l == k) {
        if (z < 0.0f) {
          w[k] = -z;
          for (int j = 1; j <= n; j++) v[j][k] = -v[j][k];
        }
        break;
      }
      // The 100th sweep is still carried out; the value it leaves may be inaccurate.
      if (its == 100) NoConvergenceInSVD = true;

      // Shift from the bottom 2 x 2 minor.
      x = w[l];
      nm = k - 1;
      y = w[nm];
      g = e[nm];
      h = e[k];
      f = ((y - z) * (y + z) + (g - h) * (g + h)) / ((h + h) * y);
      g = pythag(f, 1.0f);
      {
        // Only (x - z)(x + z) is single precision; the rest is carried in double and the
        // quotient rounded once.
        const float xz = (x - z) * (x + z);
        const double gd = with_sign_of((double)g, (double)f);
        const double num = (double)xz + (double)h * ((double)y / ((double)f + gd) - (double)h);
        f = (float)(num / (double)x);
      }

      // One QR sweep, chasing the bulge down the bidiagonal. The rotations of v and of a are
      // queued and applied row by row (see RotationRun); both queues are empty at the end.
      co = si = 1.0f;
      RotationRun vrot(v, n), arot(a, m);
      for (int j = l; j <= nm; j++) {
        const int i = j + 1;
        g = e[i];
        y = w[i];
        h = si * g;
        g = co * g;
        z = pythag(f, h);
        e[j] = z;
        co = f / z;
        si = h / z;
        f = x * co + g * si;
        g = g * co - x * si;
        h = y * si;
        y = y * co;
        vrot.add(j, co, si);
        z = pythag(f, h);
        w[j] = z;
        if (z != 0.0f) {
          z = 1.0f / z;
          co = f * z;
          si = h * z;
        }
        f = co * g + si * y;
        x = co * y - si * g;
        arot.add(j, co, si);
      }
      vrot.flush();
      arot.flush();
      e[l] = 0.0f;
      e[k] = f;
      w[k] = x;
    }
  }
}

// Gauss-Jordan elimination ----------------------------------------------------------------------

void gaussj(float **a, int n, float **b, int m) {
  const kw_work::Vector<int> pivotcol(1, n);
  const kw_work::Vector<int> pivotrow(1, n);
  const kw_work::Vector<int> pivotuses(1, n);
  for (int j = 1; j <= n; j++) pivotuses[j] = 0;
  const kw_simd::Kernels &simd = kw_simd::kernels();

  for (int i = 1; i <= n; i++) {
    // Full pivot search over the unused rows and columns, row by row and left to right, where
    // a magnitude >= the largest so far takes over: the last of equal magnitudes wins, and a
    // NaN never does. That picks the last place in this order that holds the largest
    // magnitude, so each row's largest is found first and, when it is >= the largest so far,
    // its last place in the row. A column used more than once (which the choice of unused
    // columns rules out) is reported before any row is searched.
    for (int k = 1; k <= n; k++)
      if (pivotuses[k] > 1) nrerror("gaussj: Singular Matrix-1");
    float big = 0.0f;
    int r = 0, q = 0;
    for (int j = 1; j <= n; j++) {
      if (pivotuses[j] == 1) continue;
      const float *row = a[j];
      const float rowbig = simd.candidate_max(row + 1, pivotuses + 1, n);
      if (rowbig >= big) {  // false for a row without candidates (-1)
        int k = n;
        while (pivotuses[k] != 0 || !(std::fabs(row[k]) == rowbig)) k--;
        big = rowbig;
        r = j;
        q = k;
      }
    }
    // Every remaining candidate was a NaN: there is no pivot, and the matrix is as singular
    // as one whose pivot is zero. Stop before r and q are used as indices.
    if (r == 0) nrerror("gaussj: Singular Matrix-2");
    ++pivotuses[q];

    // Exchange elements, never row pointers: the first row pointer must stay where the
    // allocator put it.
    if (r != q) {
      for (int l = 1; l <= n; l++) swap_values(a[r][l], a[q][l]);
      for (int l = 1; l <= m; l++) swap_values(b[r][l], b[q][l]);
    }
    pivotrow[i] = r;
    pivotcol[i] = q;
    if (a[q][q] == 0.0f) nrerror("gaussj: Singular Matrix-2");

    // The diagonal is set to 1 before scaling so that it ends as the reciprocal: the
    // inverse builds up in place.
    const float pivinv = 1.0f / a[q][q];
    a[q][q] = 1.0f;
    for (int l = 1; l <= n; l++) a[q][l] = a[q][l] * pivinv;
    for (int l = 1; l <= m; l++) b[q][l] = b[q][l] * pivinv;

    for (int k = 1; k <= n; k++) {
      if (k == q) continue;
      const float f = a[k][q];
      a[k][q] = 0.0f;
      subtract_scaled(a[k] + 1, a[q] + 1, f, n);
      if (m > 0) subtract_scaled(b[k] + 1, b[q] + 1, f, m);
    }
  }

  // Undo the row exchanges as column exchanges of the inverse, last one first.
  for (int l = n; l >= 1; l--) {
    if (pivotrow[l] != pivotcol[l]) {
      for (int k = 1; k <= n; k++) swap_values(a[k][pivotrow[l]], a[k][pivotcol[l]]);
    }
  }
}

// Jacobi eigen-decomposition --------------------------------------------------------------------

void jacobi(float **a, int n, float d[], float **v, int *nrot) {
  for (int p = 1; p <= n; p++) {
    for (int q = 1; q <= n; q++) v[p][q] = 0.0f;
    v[p][p] = 1.0f;
  }
  const kw_work::Vector<float> start(1, n);  // diagonal at the start of the current sweep
  const kw_work::Vector<float> shift(1, n);  // what the current sweep has added to each diagonal element
  for (int p = 1; p <= n; p++) {
    start[p] = d[p] = a[p][p];
    shift[p] = 0.0f;
  }
  *nrot = 0;

  // The rotations of the rows above p wait in aq until the sweep leaves row p (every rotation
  // queued there shares that p). v is built transposed, so that a rotation of two of its
  // columns runs along two rows; every element sees the same operations at the mirrored place,
  // and the transposition at the end only moves values.
  JacobiQueue aq;
  for (int sweep = 1; sweep <= 50; sweep++) {
    float sm = 0.0f;
    for (int p = 1; p <= n - 1; p++)
      for (int q = p + 1; q <= n; q++) sm += std::fabs(a[p][q]);
    if (sm == 0.0f) {
      for (int p = 1; p <= n; p++)
        for (int q = p + 1; q <= n; q++) swap_values(v[p][q], v[q][p]);
      return;
    }
    const float thresh = sweep < 4 ? (float)(0.2 * (double)sm / (double)(n * n)) : 0.0f;

    for (int p = 1; p <= n - 1; p++) {
      for (int q = p + 1; q <= n; q++) {
        const float g = 100.0f * std::fabs(a[p][q]);
        const float dp = std::fabs(d[p]);
        const float dq = std::fabs(d[q]);
        if (sweep > 4 && dp + g == dp && dq + g == dq) {
          // Negligible against both diagonal elements: drop it without a rotation.
          a[p][q] = 0.0f;
        } else if (std::fabs(a[p][q]) > thresh) {
          float h = d[q] - d[p];
          float t;
          if (std::fabs(h) + g == std::fabs(h)) {
            t = a[p][q] / h;
          } else {
            const float theta = (float)(0.5 * (double)h / (double)a[p][q]);
            t = (float)(1.0 / ((double)std::fabs(theta) + std::sqrt(1.0 + (double)(theta * theta))));
            if (theta < 0.0f) t = -t;
          }
          const float cs = (float)(1.0 / std::sqrt((double)(1.0f + t * t)));
          const float sn = t * cs;
          const float tau = (float)((double)sn / (1.0 + (double)cs));
          h = t * a[p][q];
          shift[p] -= h;
          shift[q] += h;
          d[p] -= h;
          d[q] += h;
          a[p][q] = 0.0f;
          // Each pair rotates from its old values; only elements above the diagonal move.
          // Rows 1..p-1 are queued; rows p and q and column q between them decide the angles
          // still to come in this sweep and are rotated now. Columns p and q of v are rows p
          // and q of its transpose.
          if (aq.full()) aq.apply_same_p(a, p - 1);
          aq.add(p, q, sn, tau);
          float *ap = a[p];
          for (int j = p + 1; j <= q - 1; j++) jacobi_rotate(ap[j], a[j][q], sn, tau);
          if (q < n) jacobi_rotate_rows(ap + q + 1, a[q] + q + 1, n - q, sn, tau);
          jacobi_rotate_rows(v[p] + 1, v[q] + 1, n, sn, tau);
          ++*nrot;
        }
      }
      aq.apply_same_p(a, p - 1);
    }
    // Refresh the diagonal from the summed shifts, not from the running updates of d.
    for (int p = 1; p <= n; p++) {
      start[p] += shift[p];
      d[p] = start[p];
      shift[p] = 0.0f;
    }
  }
  nrerror("Too many iterations in routine jacobi");
}

void eigsrt(float d[], float **v, int n) {
  for (int i = 1; i < n; i++) {
    int k = i;
    float p = d[i];
    for (int j = i + 1; j <= n; j++) {
      if (d[j] >= p) {
        k = j;
        p = d[j];
      }
    }
    if (k != i) {
      d[k] = d[i];
      d[i] = p;
      for (int j = 1; j <= n; j++) swap_values(v[j][i], v[j][k]);
    }
  }
}

// SVD solve, covariance and inverse -----------------------------------------------------------

void svbksb(float **u, float w[], float **v, int m, int n, float b[], float x[]) {
  const kw_work::Vector<float> t(1, n);
  for (int j = 1; j <= n; j++) {
    float s = 0.0f;
    if (w[j] != 0.0f) {
      for (int i = 1; i <= m; i++) s += u[i][j] * b[i];
      s = s / w[j];
    }
    t[j] = s;
  }
  for (int j = 1; j <= n; j++) {
    float s = 0.0f;
    for (int k = 1; k <= n; k++) s += v[j][k] * t[k];
    x[j] = s;
  }
}

void svdvar(float **v, int ma, float w[], float **cvm) {
  const kw_work::Vector<float> t(1, ma);
  for (int i = 1; i <= ma; i++) {
    t[i] = 0.0f;
    if (w[i] != 0.0f) t[i] = 1.0f / (w[i] * w[i]);
  }
  for (int i = 1; i <= ma; i++) {
    for (int j = 1; j <= i; j++) {
      float sum = 0.0f;
      for (int k = 1; k <= ma; k++) sum += (v[i][k] * v[j][k]) * t[k];
      cvm[i][j] = cvm[j][i] = sum;
    }
  }
}

int getInverseMatrixUsingSVD(float **a, float **ainv, int n) {
  kw_work::Matrix U(1, n, 1, n);
  kw_work::Matrix V(1, n, 1, n);
  kw_work::Vector<float> w(1, n);
  kw_work::Matrix P(0, n - 1, 0, n - 1);
  kw_work::Matrix Q(0, n - 1, 0, n - 1);
  kw_work::Matrix B(0, n - 1, 0, n - 1);

  copy_matrix(a, U, n, n, 2);
  svdcmp(U, n, n, w, V);
  // An unconverged value may have been left negative; only its magnitude is used.
  if (NoConvergenceInSVD)
    for (int i = 1; i <= n; i++) w[i] = std::fabs(w[i]);

  float wmax = 0.0f;
  for (int i = 1; i <= n; i++)
    if (w[i] > wmax) wmax = w[i];
  const float thresh = (float)((double)wmax * 1e-6);
  // A value equal to the threshold is inverted. An exact zero is always dropped: for the zero
  // matrix the threshold is 0 as well, and inverting would fill the result with NaN.
  for (int i = 1; i <= n; i++) {
    if (thresh > w[i] || w[i] == 0.0f)
      w[i] = 0.0f;
    else
      w[i] = 1.0f / w[i];
  }

  // ainv = V * diag(1/w) * U^T, bridged to 0-based storage by the product kernels.
  copy_matrix(U, B, n, n, 3);
  matrix_transpose(B, P, n, n);
  diagmatrix_matrix_mult(&w[1], P, n, n);
  copy_matrix(V, B, n, n, 3);
  copy_matrix(B, Q, n, n, 0);
  matrix_matrix_mult(Q, P, ainv, n, n, n);

  // The products first, then the decomposition, w last.
  P.release();
  Q.release();
  B.release();
  V.release();
  U.release();
  w.release();
  return 1;
}
