// Linear algebra: product kernels, SVD, Gauss-Jordan, Jacobi, SVD solve and inverse.
// References are computed in double in this file; tolerances are in units of FLT_EPSILON,
// scaled by the size of the problem and the magnitude of the data.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "kw_test.h"
#include "stat.h"
#include "stat_internal.h"

namespace {

using kwtest::eps;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// An owning offset-indexed float matrix.
class Mat {
 public:
  Mat(long rl, long rh, long cl, long ch) : rl_(rl), cl_(cl), m_(matrix(rl, rh, cl, ch)), n_((rh - rl + 1) * (ch - cl + 1)) {}
  Mat(const Mat &) = delete;
  Mat &operator=(const Mat &) = delete;
  ~Mat() { free_matrix(m_, rl_, 0, cl_, 0); }
  operator float **() const { return m_; }
  float *operator[](long i) const { return m_[i]; }
  float *data() const { return m_[rl_] + cl_; }
  void fill(float x) const {
    for (long i = 0; i < n_; i++) data()[i] = x;
  }
  std::uint64_t hash(std::uint64_t h = 1469598103934665603ull) const { return kwtest::hash_bits(data(), n_, h); }
  std::uint64_t value_hash(std::uint64_t h = 1469598103934665603ull) const;

 private:
  long rl_, cl_;
  float **m_;
  long n_;
};

// The bits of every value that is not a NaN, and where the NaNs are (kwtest::hash_bits): when
// both factors of a product are NaN, which one the result carries, and so its sign, follows the
// compiler's operand order, which changes with inlining alone.
std::uint64_t value_hash(const float *p, std::size_t n, std::uint64_t h = 1469598103934665603ull) {
  return kwtest::hash_bits(p, n, h);
}
std::uint64_t Mat::value_hash(std::uint64_t h) const { return ::value_hash(data(), n_, h); }

// n x n (or m x n) 1-based matrix of uniform values in [-1, 1).
void fill_random(const Mat &a, int m, int n, kwtest::Rng &rng, long base = 1) {
  for (long i = base; i < base + m; i++)
    for (long j = base; j < base + n; j++) a[i][j] = rng.uniform(-1.0f, 1.0f);
}

// max |(X Y)[i][j] - Z[i][j]| over 1-based blocks, products in double.
double max_product_error(float **X, float **Y, int m, int k, int n, const std::vector<double> &Z) {
  double err = 0;
  for (int i = 1; i <= m; i++)
    for (int j = 1; j <= n; j++) {
      double s = 0;
      for (int l = 1; l <= k; l++) s += (double)X[i][l] * Y[l][j];
      err = std::fmax(err, std::fabs(s - Z[(i - 1) * n + (j - 1)]));
    }
  return err;
}
std::vector<double> identity(int n) {
  std::vector<double> z(n * n, 0.0);
  for (int i = 0; i < n; i++) z[i * n + i] = 1.0;
  return z;
}
// Max |Q^T Q - I| over the columns of q (rows 1..m) listed in cols.
double orthonormality_error(float **q, int m, const std::vector<int> &cols) {
  double err = 0;
  for (int a : cols)
    for (int b : cols) {
      double s = 0;
      for (int i = 1; i <= m; i++) s += (double)q[i][a] * q[i][b];
      err = std::fmax(err, std::fabs(s - (a == b ? 1.0 : 0.0)));
    }
  return err;
}

// --- Product kernels ------------------------------------------------------------------------

TEST(Products, MatchDoubleReference) {
  kwtest::Rng rng(11);
  const int shapes[][3] = {{1, 1, 1}, {3, 5, 2}, {17, 9, 13}, {4, 40, 3}};
  for (const auto &s : shapes) {
    const int m = s[0], n = s[1], p = s[2];
    Mat A(0, m - 1, 0, n - 1), B(0, n - 1, 0, p - 1), R(0, m - 1, 0, p - 1), G(0, m - 1, 0, m - 1);
    fill_random(A, m, n, rng, 0);
    fill_random(B, n, p, rng, 0);
    std::vector<float> x(n), y(m);
    for (float &v : x) v = rng.uniform(-1.0f, 1.0f);
    matrix_matrix_mult(A, B, R, m, n, p);
    transposematrix_matrix_mult(A, G, m, n);
    matrix_vector_mult(A, x.data(), y.data(), m, n);
    // Sums of n products below 1 in magnitude: the error grows like sqrt(n) eps in practice;
    // n eps leaves room. The exact rounding is checked below and by the pinned bits.
    const double tol = n * eps;
    for (int i = 0; i < m; i++) {
      double sy = 0;
      for (int k = 0; k < n; k++) sy += (double)A[i][k] * x[k];
      EXPECT_LE(std::fabs(y[i] - sy), tol);
      for (int j = 0; j < p; j++) {
        double s = 0;
        for (int k = 0; k < n; k++) s += (double)A[i][k] * B[k][j];
        EXPECT_LE(std::fabs(R[i][j] - s), tol) << i << "," << j;
      }
      for (int j = 0; j < m; j++) {
        double s = 0;
        for (int k = 0; k < n; k++) s += (double)A[i][k] * A[j][k];
        EXPECT_LE(std::fabs(G[i][j] - s), tol);
      }
    }
    EXPECT_LE(std::fabs(vector_vector_mult(A[0], x.data(), n) - (double)y[0]), tol);
  }
}

// Each case's exact answer is the ascending single-precision sum of rounded products; a
// reordered, pairwise, double or fused evaluation gives a different value.
TEST(Products, AscendingSingleSumsOfRoundedProducts) {
  const float u = 1.0f + 0x1p-12f, v = -(1.0f + 0x1p-11f);
  struct Case {
    float a[3], b[3];
    int n;
    float want;
  } cases[] = {
      {{1.0f, 1e8f, -1e8f}, {1.0f, 1.0f, 1.0f}, 3, 0.0f},  // reversed order gives 1
      {{v, u, 0.0f}, {1.0f, u, 0.0f}, 2, 0.0f},            // fused or double gives 2^-24
      {{0.1f, 0.2f, 0.3f}, {1.0f, 1.0f, 1.0f}, 3, (0.1f + 0.2f) + 0.3f},
  };
  for (const Case &c : cases) {
    Mat A(0, 1, 0, 2), B(0, 2, 0, 0), R(0, 0, 0, 0), G(0, 1, 0, 1), F(0, 1, 0, 1);
    for (int k = 0; k < 3; k++) {
      A[0][k] = c.a[k];
      A[1][k] = c.b[k];
      B[k][0] = c.b[k];
    }
    float y[2];
    float a[3] = {c.a[0], c.a[1], c.a[2]}, b[3] = {c.b[0], c.b[1], c.b[2]};
    matrix_matrix_mult(A, B, R, 1, c.n, 1);
    transposematrix_matrix_mult(A, G, 2, c.n);
    fast_matrix_matrix_mult(A, nullptr, F, 2, 99, c.n, true, false);
    matrix_vector_mult(A, b, y, 1, c.n);
    EXPECT_EQ(kwtest::bits(vector_vector_mult(a, b, c.n)), kwtest::bits(c.want));
    EXPECT_EQ(kwtest::bits(R[0][0]), kwtest::bits(c.want));
    EXPECT_EQ(kwtest::bits(G[1][0]), kwtest::bits(c.want));
    EXPECT_EQ(kwtest::bits(G[0][1]), kwtest::bits(c.want));
    EXPECT_EQ(kwtest::bits(F[1][0]), kwtest::bits(c.want));
    EXPECT_EQ(kwtest::bits(y[0]), kwtest::bits(c.want));
  }
}

TEST(Products, WideProductsMatchThePlainLoopBitForBit) {
  // Rows wider than the kernel's column block, with and without a partial last block; the
  // plain loop (one accumulator per element, ascending k) is the exact answer. The column
  // after the last one must stay untouched.
  kwtest::Rng rng(59);
  const int shapes[][3] = {{3, 37, 300}, {1, 1, 513}, {2, 5, 256}, {2, 0, 260}};
  for (const auto &s : shapes) {
    const int m = s[0], n = s[1], p = s[2];
    Mat A(0, m - 1, 0, n), B(0, n, 0, p - 1), R(0, m - 1, 0, p);
    fill_random(A, m, n, rng, 0);
    fill_random(B, n, p, rng, 0);
    R.fill(-7.0f);
    matrix_matrix_mult(A, B, R, m, n, p);
    for (int i = 0; i < m; i++) {
      for (int j = 0; j < p; j++) {
        float sum = 0.0f;
        for (int k = 0; k < n; k++) sum += A[i][k] * B[k][j];
        ASSERT_EQ(kwtest::bits(R[i][j]), kwtest::bits(sum)) << m << "x" << n << "x" << p << " at " << i << "," << j;
      }
      EXPECT_EQ(R[i][p], -7.0f);
    }
  }
}

TEST(Products, TouchOnlyTheirBlocks) {
  // A and B are larger than the product reads; NaN outside the used block would show up.
  Mat A(0, 3, 0, 3), B(0, 3, 0, 3), R(0, 3, 0, 3);
  A.fill(kNaN);
  B.fill(kNaN);
  R.fill(-7.0f);
  for (int i = 0; i < 2; i++)
    for (int k = 0; k < 3; k++) A[i][k] = (float)(i + k);
  for (int k = 0; k < 3; k++)
    for (int j = 0; j < 2; j++) B[k][j] = (float)(k - j);
  matrix_matrix_mult(A, B, R, 2, 3, 2);
  const float want[2][2] = {{5, 2}, {8, 2}};
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) EXPECT_EQ(R[i][j], i < 2 && j < 2 ? want[i][j] : -7.0f);

  // fast_matrix_matrix_mult: only the first p columns enter, B and n and the flags do not.
  Mat G(0, 1, 0, 1), F(0, 1, 0, 1);
  transposematrix_matrix_mult(A, G, 2, 3);
  fast_matrix_matrix_mult(A, B, F, 2, -5, 3, false, true);
  EXPECT_EQ(G.hash(), F.hash());
  EXPECT_EQ(G[1][0], 1.0f * 0 + 2.0f * 1 + 3.0f * 2);

  float y[3] = {-7.0f, -7.0f, -7.0f};
  matrix_vector_mult(A, y, y, 0, 3);  // m = 0 writes nothing
  EXPECT_EQ(y[0], -7.0f);
  matrix_vector_mult(A, nullptr, y, 2, 0);  // n = 0 writes zeros
  EXPECT_EQ(y[0], 0.0f);
  EXPECT_EQ(y[1], 0.0f);
  EXPECT_EQ(y[2], -7.0f);
  EXPECT_EQ(vector_vector_mult(nullptr, nullptr, 0), 0.0f);
  EXPECT_EQ(vector_vector_mult(nullptr, nullptr, -3), 0.0f);
}

TEST(Products, CopyTransposeAndDiagonalScaling) {
  Mat Z(0, 1, 0, 1), O(0, 2, 0, 2), T(0, 2, 0, 1);
  Z[0][0] = 1, Z[0][1] = 2, Z[1][0] = 3, Z[1][1] = 4;
  struct {
    int mode;
    float want[3][3];
  } cases[] = {{2, {{-1, -1, -1}, {-1, 1, 2}, {-1, 3, 4}}},
               {0, {{1, 2, -1}, {3, 4, -1}, {-1, -1, -1}}},
               {7, {{-1, -1, -1}, {-1, -1, -1}, {-1, -1, -1}}}};
  for (const auto &c : cases) {
    O.fill(-1.0f);
    copy_matrix(Z, O, 2, 2, c.mode);
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 3; j++) EXPECT_EQ(O[i][j], c.want[i][j]) << "mode " << c.mode;
  }
  // Mode 3 undoes mode 2; mode 1 copies the 1-based block only.
  Mat Back(0, 1, 0, 1), One(0, 2, 0, 2);
  copy_matrix(Z, O, 2, 2, 2);
  copy_matrix(O, Back, 2, 2, 3);
  EXPECT_EQ(Back.hash(), Z.hash());
  One.fill(9.0f);
  copy_matrix(O, One, 2, 2, 1);
  EXPECT_EQ(One[0][1], 9.0f);
  EXPECT_EQ(One[2][1], 3.0f);

  O.fill(0.5f);
  for (int j = 0; j < 3; j++) O[1][j] = (float)j;
  matrix_transpose(O, T, 2, 3);
  for (int j = 0; j < 3; j++) {
    EXPECT_EQ(T[j][0], 0.5f);
    EXPECT_EQ(T[j][1], (float)j);
  }

  float d[2] = {2.0f, 3.0f};
  diagmatrix_matrix_mult(d, Z, 2, 2);
  EXPECT_EQ(Z[0][0], 2.0f);
  EXPECT_EQ(Z[0][1], 4.0f);
  EXPECT_EQ(Z[1][0], 9.0f);
  EXPECT_EQ(Z[1][1], 12.0f);
}

TEST(Products, PinnedBits) {
  kwtest::Rng rng(21);
  Mat A(0, 6, 0, 4), B(0, 4, 0, 5), R(0, 6, 0, 5), G(0, 6, 0, 6);
  fill_random(A, 7, 5, rng, 0);
  fill_random(B, 5, 6, rng, 0);
  float y[7];
  matrix_matrix_mult(A, B, R, 7, 5, 6);
  transposematrix_matrix_mult(A, G, 7, 5);
  matrix_vector_mult(A, B[0], y, 7, 5);
  EXPECT_EQ(R.hash(), 0xc722bf96eec5b4feull);
  EXPECT_EQ(G.hash(), 0x18b68146f65bd284ull);
  EXPECT_EQ(kwtest::hash_bits(y, 7), 0x0d48b84deda75af3ull);
}

// --- pythag and svdcmp ----------------------------------------------------------------------

TEST(Pythag, ExactAndWithoutOverflow) {
  const float cases[][3] = {{3, 4, 5}, {-4, 3, 5}, {0, 0, 0}, {0, -2, 2}, {-2, 0, 2}};
  for (const auto &c : cases) EXPECT_EQ(pythag(c[0], c[1]), c[2]);
  kwtest::Rng rng(3);
  for (int i = 0; i < 200; i++) {
    const float s = std::ldexp(1.0f, (i % 9) * 30 - 120);  // 2^-120 .. 2^120, no overflow
    const float a = s * rng.uniform(-1, 1), b = s * rng.uniform(-1, 1);
    EXPECT_TRUE(kwtest::close(pythag(a, b), std::hypot((double)a, (double)b), 2 * eps)) << a << " " << b;
  }
}

// Checks A = U diag(w) V^T, V orthogonal, the columns of U with w > 0 orthonormal, w >= 0.
void expect_valid_svd(const Mat &A, const Mat &U, const float *w, const Mat &V, int m, int n) {
  double norm = 0;
  for (int i = 1; i <= m; i++)
    for (int j = 1; j <= n; j++) norm += (double)A[i][j] * A[i][j];
  norm = std::sqrt(norm);
  const double tol = 16 * (m > n ? m : n) * eps;
  double wmax = 0;
  for (int k = 1; k <= n; k++) wmax = std::fmax(wmax, w[k]);
  std::vector<int> all, kept;
  for (int k = 1; k <= n; k++) {
    EXPECT_GE(w[k], 0.0f);
    all.push_back(k);
    if (w[k] > tol * wmax) kept.push_back(k);
  }
  double rec = 0;
  for (int i = 1; i <= m; i++)
    for (int j = 1; j <= n; j++) {
      double s = 0;
      for (int k = 1; k <= n; k++) s += (double)U[i][k] * w[k] * V[j][k];
      rec = std::fmax(rec, std::fabs(s - A[i][j]));
    }
  EXPECT_LE(rec, tol * norm);
  EXPECT_LE(orthonormality_error(V, n, all), tol);
  EXPECT_LE(orthonormality_error(U, m, kept), tol);
  EXPECT_FALSE(NoConvergenceInSVD);
}

TEST(Svd, DecomposesEveryShape) {
  kwtest::Rng rng(5);
  struct {
    int m, n, rank;
  } cases[] = {{6, 6, 6}, {9, 4, 4}, {3, 7, 3}, {7, 5, 2}, {1, 1, 1}, {1, 4, 1}, {5, 1, 1}, {20, 20, 20}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.m << " x " << c.n << " rank " << c.rank);
    Mat A(1, c.m, 1, c.n), U(1, c.m, 1, c.n), V(1, c.n, 1, c.n), L(1, c.m, 1, c.rank), Rt(1, c.rank, 1, c.n);
    if (c.rank < (c.m < c.n ? c.m : c.n)) {
      fill_random(L, c.m, c.rank, rng);
      fill_random(Rt, c.rank, c.n, rng);
      for (int i = 1; i <= c.m; i++)
        for (int j = 1; j <= c.n; j++) {
          double s = 0;
          for (int k = 1; k <= c.rank; k++) s += (double)L[i][k] * Rt[k][j];
          A[i][j] = (float)s;
        }
    } else {
      fill_random(A, c.m, c.n, rng);
    }
    std::vector<float> w(c.n + 1);
    copy_matrix(A, U, c.m, c.n, 1);
    svdcmp(U, c.m, c.n, w.data(), V);
    expect_valid_svd(A, U, w.data(), V, c.m, c.n);
  }
}

TEST(Svd, ExactCases) {
  // Diagonal with a negative entry: the sign goes into U; values come back unsorted.
  const float diag[][4] = {{3, -2, 3, 2}, {1, 3, 1, 3}};
  for (const auto &c : diag) {
    Mat A(1, 2, 1, 2), U(1, 2, 1, 2), V(1, 2, 1, 2);
    float w[3];
    A.fill(0.0f);
    A[1][1] = c[0], A[2][2] = c[1];
    copy_matrix(A, U, 2, 2, 1);
    svdcmp(U, 2, 2, w, V);
    EXPECT_EQ(w[1], c[2]);
    EXPECT_EQ(w[2], c[3]);
    for (int i = 1; i <= 2; i++)
      for (int j = 1; j <= 2; j++) EXPECT_EQ(U[i][1] * w[1] * V[j][1] + U[i][2] * w[2] * V[j][2], A[i][j]);
    EXPECT_FALSE(NoConvergenceInSVD);
  }
  // The zero matrix: w = 0, V = I, U ones on the leading diagonal.
  const int shapes[][2] = {{3, 3}, {4, 2}, {2, 4}};
  for (const auto &s : shapes) {
    const int m = s[0], n = s[1];
    Mat U(1, m, 1, n), V(1, n, 1, n);
    std::vector<float> w(n + 1, kNaN);
    U.fill(0.0f);
    svdcmp(U, m, n, w.data(), V);
    for (int j = 1; j <= n; j++) {
      EXPECT_EQ(w[j], 0.0f);
      for (int i = 1; i <= n; i++) EXPECT_EQ(V[i][j], i == j ? 1.0f : 0.0f);
      for (int i = 1; i <= m; i++) EXPECT_EQ(U[i][j], i == j ? 1.0f : 0.0f);
    }
    EXPECT_FALSE(NoConvergenceInSVD);
  }
}

TEST(Svd, SubnormalReflectionsLeaveFiniteFactors) {
  // Rank-deficient matrices whose reduction meets Householder steps of subnormal scale: a
  // superdiagonal element of 2^-131 (the 7 x 7, one entry off a constant matrix) and a
  // diagonal one of 2^-148 (the 8 x 9, one large entry among equal small ones). The
  // reciprocal of such a scale overflows single precision; the factors must stay finite and
  // valid all the same.
  struct Case {
    int m, n;
    float fill, corner;
    int ci, cj;
  };
  const Case cases[] = {{7, 7, 0x1.a1ap+4f, 0x1.b1ap+4f, 4, 3}, {8, 9, -0x1p-8f, 0x1.7fcp+2f, 1, 1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.m << " x " << c.n);
    Mat A(1, c.m, 1, c.n), U(1, c.m, 1, c.n), V(1, c.n, 1, c.n);
    A.fill(c.fill);
    A[c.ci][c.cj] = c.corner;
    std::vector<float> w(c.n + 1);
    copy_matrix(A, U, c.m, c.n, 1);
    svdcmp(U, c.m, c.n, w.data(), V);
    for (int j = 1; j <= c.n; j++) {
      EXPECT_TRUE(std::isfinite(w[j]));
      for (int i = 1; i <= c.m; i++) EXPECT_TRUE(std::isfinite(U[i][j])) << i << ", " << j;
      for (int i = 1; i <= c.n; i++) EXPECT_TRUE(std::isfinite(V[i][j])) << i << ", " << j;
    }
    expect_valid_svd(A, U, w.data(), V, c.m, c.n);
  }
}

TEST(Svd, ToleranceIsAbsolute) {
  // [[1, 1], [0, 1]] has singular values 1.618 and 0.618 at any scale; at 1e-8 the
  // superdiagonal is already below 1e-6, no sweep runs, and the bidiagonal's diagonal stands.
  const double golden = (1 + std::sqrt(5.0)) / 2;
  const struct {
    float scale;
    double w1, w2;
  } cases[] = {{1.0f, golden - 1, golden}, {1e-8f, 1e-8, 1e-8}};
  for (const auto &c : cases) {
    Mat U(1, 2, 1, 2), V(1, 2, 1, 2);
    float w[3];
    U[1][1] = U[1][2] = U[2][2] = c.scale;
    U[2][1] = 0.0f;
    svdcmp(U, 2, 2, w, V);
    EXPECT_TRUE(kwtest::close(w[1], c.w1, 4 * eps));
    EXPECT_TRUE(kwtest::close(w[2], c.w2, 4 * eps));
  }
}

TEST(Svd, NegligibleMeansBelowTheSingleConstant) {
  // [[1, e], [0, 1]] reduces exactly to the bidiagonal w = (-1, 1) with superdiagonal e. Below
  // 1e-6f in magnitude e is negligible: no sweep runs and w = (1, 1) exactly. At 1e-6f itself,
  // which lies below the double 1e-6, e is not negligible and the sweeps split the values
  // to about 1 -+ e/2.
  const float below = std::nextafter(1e-6f, 0.0f);
  const struct {
    float e;
    bool split;
  } cases[] = {{1e-6f, true}, {-1e-6f, true}, {below, false}, {-below, false}};
  for (const auto &c : cases) {
    Mat U(1, 2, 1, 2), V(1, 2, 1, 2);
    float w[3];
    U[1][1] = U[2][2] = 1.0f;
    U[1][2] = c.e;
    U[2][1] = 0.0f;
    svdcmp(U, 2, 2, w, V);
    if (c.split) {
      // Each value is within an ulp or two of 1 -+ e/2 (ulp 1.2e-7 above 1, 6e-8 below).
      EXPECT_TRUE(kwtest::close(std::fabs(w[1] - w[2]), std::fabs(c.e), 0.3)) << c.e;
    } else {
      EXPECT_EQ(w[1], 1.0f) << c.e;
      EXPECT_EQ(w[2], 1.0f) << c.e;
    }
  }
}

TEST(Svd, NonConvergenceIsFlaggedAndCleared) {
  // A NaN is never negligible, so no value converges; the call still completes.
  Mat U(1, 3, 1, 3), V(1, 3, 1, 3);
  float w[4];
  U.fill(1.0f);
  U[2][3] = kNaN;
  svdcmp(U, 3, 3, w, V);
  EXPECT_TRUE(NoConvergenceInSVD);
  U.fill(0.0f);
  U[1][1] = U[2][2] = U[3][3] = 2.0f;
  svdcmp(U, 3, 3, w, V);
  EXPECT_FALSE(NoConvergenceInSVD);
}

TEST(Svd, PinnedBits) {
  kwtest::Rng rng(8);
  const int shapes[][2] = {{6, 6}, {8, 3}, {3, 8}};
  const std::uint64_t want[] = {0x0565526cfe3249a9ull, 0x3144f9cf46a4289eull, 0x3acb238126d19bd3ull};
  for (int c = 0; c < 3; c++) {
    const int m = shapes[c][0], n = shapes[c][1];
    Mat U(1, m, 1, n), V(1, n, 1, n);
    std::vector<float> w(n);
    fill_random(U, m, n, rng);
    svdcmp(U, m, n, w.data() - 1, V);
    EXPECT_EQ(V.hash(U.hash(kwtest::hash_bits(w.data(), n))), want[c]) << m << " x " << n;
  }
}

// --- gaussj ---------------------------------------------------------------------------------

TEST(GaussJordan, InvertsAndSolves) {
  kwtest::Rng rng(13);
  for (int n : {1, 2, 5, 12, 30}) {
    const int m = 3;
    Mat A(1, n, 1, n), Ai(1, n, 1, n), B(1, n, 1, m), X(1, n, 1, m);
    fill_random(A, n, n, rng);
    for (int i = 1; i <= n; i++) A[i][i] += (float)(i % 2 ? n : -n);  // well conditioned
    fill_random(B, n, m, rng);
    copy_matrix(A, Ai, n, n, 1);
    copy_matrix(B, X, n, m, 1);
    gaussj(Ai, n, X, m);
    // Condition number about 3: residuals of a few eps times n.
    EXPECT_LE(max_product_error(A, Ai, n, n, n, identity(n)), 8 * n * eps) << n;
    std::vector<double> b(n * m);
    for (int i = 1; i <= n; i++)
      for (int j = 1; j <= m; j++) b[(i - 1) * m + j - 1] = B[i][j];
    EXPECT_LE(max_product_error(A, X, n, n, m, b), 8 * n * eps * n) << n;
  }
}

TEST(GaussJordan, ExactCases) {
  // Identity: a and b unchanged. Exchange matrix: itself, with the rows of b exchanged.
  // n = 1: the reciprocal, and b scaled by it.
  struct {
    int n;
    float a[4], inv[4];
  } cases[] = {{2, {1, 0, 0, 1}, {1, 0, 0, 1}}, {2, {0, 1, 1, 0}, {0, 1, 1, 0}}, {1, {4}, {0.25f}}};
  for (const auto &c : cases) {
    Mat A(1, c.n, 1, c.n), B(1, c.n, 1, 2);
    for (int k = 0; k < c.n * c.n; k++) A.data()[k] = c.a[k];
    for (int k = 0; k < 2 * c.n; k++) B.data()[k] = (float)(k + 1);
    gaussj(A, c.n, B, 2);
    for (int k = 0; k < c.n * c.n; k++) EXPECT_EQ(A.data()[k], c.inv[k]);
    const bool exchanged = c.a[0] == 0;
    for (int i = 1; i <= c.n; i++)
      for (int j = 1; j <= 2; j++) {
        const int src = exchanged ? 3 - i : i;
        EXPECT_EQ(B[i][j], c.n == 1 ? 0.25f * j : (float)((src - 1) * 2 + j));
      }
  }
  // m = 0: the inverse alone, b never dereferenced.
  Mat A(1, 2, 1, 2);
  A[1][1] = 2, A[1][2] = 0, A[2][1] = 0, A[2][2] = 8;
  gaussj(A, 2, nullptr, 0);
  EXPECT_EQ(A[1][1], 0.5f);
  EXPECT_EQ(A[2][2], 0.125f);
}

// Death-test bodies allocate inside the dying process, after its leak checker is off.
void gaussj_2x2(const float *c) {
  Mat A(1, 2, 1, 2), B(1, 2, 1, 1);
  for (int k = 0; k < 4; k++) A.data()[k] = c[k];
  B.fill(1.0f);
  gaussj(A, 2, B, 1);
}

TEST(GaussJordan, LastOfEqualMagnitudesIsThePivot) {
  // The first search meets magnitude 3 at (2, 1), (2, 3) and (3, 1) and must take (3, 1). That
  // order rounds x[1] of the solution (-7/3, 3, 2) one ulp below the nearest float; taking the
  // first of the equal candidates gives the nearest float instead.
  Mat A(1, 3, 1, 3), B(1, 3, 1, 1);
  const float t[9] = {0, -1, 2, 3, 1, 3, -3, 0, -2};
  for (int k = 0; k < 9; k++) A.data()[k] = t[k];
  B[1][1] = 1, B[2][1] = 2, B[3][1] = 3;
  gaussj(A, 3, B, 1);
  EXPECT_EQ(B[1][1], std::nextafter((float)(-7.0 / 3.0), -3.0f));
  EXPECT_EQ(B[2][1], 3.0f);
  EXPECT_EQ(B[3][1], 2.0f);
}

TEST(GaussJordanDeathTest, SingularMatrices) {
  const float cases[][4] = {
      {0, 0, 0, 0},
      {1, 2, 2, 4},
      {kNaN, kNaN, kNaN, kNaN},  // no candidate at all in the first search
      {1, kNaN, kNaN, kNaN},     // none left in the second
  };
  for (const auto &c : cases) KW_EXPECT_NRERROR(gaussj_2x2(c), "gaussj: Singular Matrix-2");
}

TEST(GaussJordan, PinnedBits) {
  // Integer entries with ties among the pivot candidates: the last of equal magnitudes wins,
  // and a different choice rounds differently.
  Mat A(1, 3, 1, 3), B(1, 3, 1, 1);
  const float t[9] = {3, 1, -3, 1, 3, 1, -2, 1, 3};
  for (int k = 0; k < 9; k++) A.data()[k] = t[k];
  B[1][1] = 1, B[2][1] = 2, B[3][1] = 3;
  gaussj(A, 3, B, 1);
  EXPECT_EQ(B.hash(A.hash()), 0x3af653a8c006b59dull);
  kwtest::Rng rng(14);
  Mat R(1, 9, 1, 9), S(1, 9, 1, 2);
  fill_random(R, 9, 9, rng);
  fill_random(S, 9, 2, rng);
  gaussj(R, 9, S, 2);
  EXPECT_EQ(S.hash(R.hash()), 0x04aed47b7e15f46eull);
}

// --- jacobi and eigsrt ----------------------------------------------------------------------

TEST(Jacobi, EigenpairsOfSymmetricMatrices) {
  kwtest::Rng rng(17);
  for (int n : {1, 2, 5, 10, 24}) {
    Mat A(1, n, 1, n), S(1, n, 1, n), V(1, n, 1, n);
    std::vector<float> d(n + 1);
    fill_random(S, n, n, rng);
    A.fill(kNaN);  // the lower triangle is never read or written
    for (int i = 1; i <= n; i++)
      for (int j = i; j <= n; j++) A[i][j] = S[j][i] = S[i][j];
    int nrot = -1;
    jacobi(A, n, d.data(), V, &nrot);
    std::vector<int> cols;
    for (int k = 1; k <= n; k++) cols.push_back(k);
    EXPECT_LE(orthonormality_error(V, n, cols), 4 * n * eps);
    double err = 0;
    for (int k = 1; k <= n; k++)
      for (int i = 1; i <= n; i++) {
        double s = 0;
        for (int j = 1; j <= n; j++) s += (double)S[i][j] * V[j][k];
        err = std::fmax(err, std::fabs(s - (double)d[k] * V[i][k]));
      }
    EXPECT_LE(err, 4 * n * eps) << n;
    for (int i = 1; i <= n; i++)
      for (int j = 1; j <= n; j++) {
        if (j > i) {
          EXPECT_EQ(A[i][j], 0.0f);
        } else if (j == i) {
          EXPECT_EQ(A[i][j], S[i][j]);
        } else {
          EXPECT_TRUE(std::isnan(A[i][j]));
        }
      }
    EXPECT_EQ(nrot == 0, n == 1);
  }
}

TEST(Jacobi, ExactCases) {
  // Diagonal: no rotation. [[2, 1], [1, 2]]: one rotation with cs = sn = 1/sqrt(2).
  Mat A(1, 2, 1, 2), V(1, 2, 1, 2);
  float d[3];
  int nrot = -1;
  A[1][1] = 5, A[1][2] = 0, A[2][2] = -1;
  jacobi(A, 2, d, V, &nrot);
  EXPECT_EQ(nrot, 0);
  EXPECT_EQ(d[1], 5.0f);
  EXPECT_EQ(d[2], -1.0f);
  EXPECT_EQ(V[1][1] + V[2][2] - V[1][2] - V[2][1], 2.0f);

  A[1][1] = 2, A[1][2] = 1, A[2][2] = 2;
  jacobi(A, 2, d, V, &nrot);
  const float r = (float)(1.0 / std::sqrt(2.0));
  EXPECT_EQ(nrot, 1);
  EXPECT_EQ(d[1], 1.0f);
  EXPECT_EQ(d[2], 3.0f);
  EXPECT_EQ(V[1][1], r);
  EXPECT_EQ(V[2][1], -r);
  EXPECT_EQ(V[1][2], r);
  EXPECT_EQ(V[2][2], r);
  eigsrt(d, V, 2);
  EXPECT_EQ(d[1], 3.0f);
  EXPECT_EQ(V[2][1], r);
  EXPECT_EQ(V[2][2], -r);
}

TEST(Jacobi, NegligibleElementsAreRotatedUntilSweepFive) {
  // A 5 x 5 random block that needs more than four sweeps, beside [[1, 1e-12], [., 2]]. The
  // tiny element stays below the threshold of sweeps 1 to 3 and meets a zero threshold in
  // sweep 4, where it is rotated and counted although it is negligible against both diagonal
  // elements: the skip test starts only in sweep 5. So it adds exactly one rotation.
  int counts[2];
  for (int c = 0; c < 2; c++) {
    kwtest::Rng rng(53);
    const int n = 7;
    Mat A(1, n, 1, n), V(1, n, 1, n);
    float d[n + 1];
    A.fill(0.0f);
    fill_random(A, 5, 5, rng);
    A[6][6] = 1.0f, A[7][7] = 2.0f;
    A[6][7] = c ? 1e-12f : 0.0f;
    jacobi(A, n, d, V, &counts[c]);
  }
  EXPECT_EQ(counts[1], counts[0] + 1);
}

void jacobi_with_nan() {
  Mat A(1, 2, 1, 2), V(1, 2, 1, 2);
  float d[3];
  int nrot;
  A[1][1] = 1, A[1][2] = kNaN, A[2][2] = 1;
  jacobi(A, 2, d, V, &nrot);
}

TEST(JacobiDeathTest, NaNNeverConverges) {
  KW_EXPECT_NRERROR(jacobi_with_nan(), "Too many iterations in routine jacobi");
}

TEST(Eigsrt, DescendingWithLastOfEqualValues) {
  // Column k of v starts as (k, k, k); `cols` is where each starting column ends up.
  struct {
    float d[3], want[3];
    int cols[3];
  } cases[] = {{{2, 2, 2}, {2, 2, 2}, {3, 1, 2}},  // ties move: 1<->3, then 2<->3
               {{3, 2, 1}, {3, 2, 1}, {1, 2, 3}},
               {{1, 2, 3}, {3, 2, 1}, {3, 2, 1}}};
  for (const auto &c : cases) {
    Mat V(1, 3, 1, 3);
    float d[4] = {0, c.d[0], c.d[1], c.d[2]};
    for (int i = 1; i <= 3; i++)
      for (int k = 1; k <= 3; k++) V[i][k] = (float)k;
    eigsrt(d, V, 3);
    for (int k = 1; k <= 3; k++) {
      EXPECT_EQ(d[k], c.want[k - 1]);
      EXPECT_EQ(V[2][k], (float)c.cols[k - 1]);
    }
  }
}

TEST(Jacobi, PinnedBits) {
  kwtest::Rng rng(19);
  const int n = 8;
  Mat A(1, n, 1, n), V(1, n, 1, n);
  float d[n + 1];
  int nrot;
  fill_random(A, n, n, rng);
  jacobi(A, n, d, V, &nrot);
  eigsrt(d, V, n);
  EXPECT_EQ(V.hash(kwtest::hash_bits(d + 1, n)), 0xd0daf2fa1c933eb8ull);
  EXPECT_EQ(nrot, 129);

  // a[1][2] equals the first sweep's threshold 0.2 sm / 9 as rounded from double, so it is
  // not rotated in that sweep; a threshold formed in single precision lies below it.
  Mat T(1, 3, 1, 3), W(1, 3, 1, 3);
  float e[4];
  T[1][1] = 1, T[2][2] = 2, T[3][3] = 3;
  T[1][2] = 0x1.f52a0cp-6f, T[1][3] = 0x1.3119dp-1f, T[2][3] = 0.75f;
  jacobi(T, 3, e, W, &nrot);
  EXPECT_EQ(W.hash(kwtest::hash_bits(e + 1, 3)), 0xb78178c7d3e9cfb7ull);
  EXPECT_EQ(nrot, 8);

  // Larger: later sweeps drop elements negligible against both diagonal elements.
  const int n2 = 20;
  Mat A2(1, n2, 1, n2), V2(1, n2, 1, n2);
  float d2[n2 + 1];
  fill_random(A2, n2, n2, rng);
  jacobi(A2, n2, d2, V2, &nrot);
  EXPECT_EQ(V2.hash(kwtest::hash_bits(d2 + 1, n2)), 0xf3c7bf835c1ae939ull);
  EXPECT_EQ(nrot, 957);
}

// --- svbksb, svdvar, getInverseMatrixUsingSVD -----------------------------------------------

TEST(SvdSolve, LeastSquaresAndDroppedComponents) {
  kwtest::Rng rng(23);
  const int m = 10, n = 4;
  Mat A(1, m, 1, n), U(1, m, 1, n), V(1, n, 1, n);
  float w[n + 1], b[m + 1], x[n + 1];
  fill_random(A, m, n, rng);
  for (int i = 1; i <= m; i++) b[i] = rng.uniform(-1, 1);
  copy_matrix(A, U, m, n, 1);
  svdcmp(U, m, n, w, V);
  svbksb(U, w, V, m, n, b, x);
  // The least-squares solution has a residual orthogonal to every column of A.
  for (int j = 1; j <= n; j++) {
    double s = 0;
    for (int i = 1; i <= m; i++) {
      double r = b[i];
      for (int k = 1; k <= n; k++) r -= (double)A[i][k] * x[k];
      s += r * A[i][j];
    }
    EXPECT_LE(std::fabs(s), 64 * m * eps) << j;
  }
  // A zero singular value drops its component; its column of u is not even read.
  w[2] = 0.0f;
  for (int i = 1; i <= m; i++) U[i][2] = kNaN;
  svbksb(U, w, V, m, n, b, x);
  for (int j = 1; j <= n; j++) {
    double want = 0;
    for (int k = 1; k <= n; k++) {
      if (k == 2) continue;
      double t = 0;
      for (int i = 1; i <= m; i++) t += (double)U[i][k] * b[i];
      want += V[j][k] * t / w[k];
    }
    EXPECT_TRUE(kwtest::close(x[j], want, 16 * eps, 1.0));
  }
}

TEST(SvdCovariance, InverseOfNormalMatrix) {
  Mat V(1, 2, 1, 2), C(1, 2, 1, 2);
  float w2[3] = {0, 1, 2};
  V[1][1] = V[2][2] = 1, V[1][2] = V[2][1] = 0;
  svdvar(V, 2, w2, C);
  EXPECT_EQ(C[1][1], 1.0f);
  EXPECT_EQ(C[2][2], 0.25f);
  EXPECT_EQ(C[1][2], 0.0f);

  // cvm (A^T A) = I for a full-rank design A.
  kwtest::Rng rng(29);
  const int m = 8, n = 3;
  Mat A(1, m, 1, n), U(1, m, 1, n), W(1, n, 1, n), Cv(1, n, 1, n), N(1, n, 1, n);
  float w[n + 1];
  fill_random(A, m, n, rng);
  copy_matrix(A, U, m, n, 1);
  svdcmp(U, m, n, w, W);
  svdvar(W, n, w, Cv);
  for (int i = 1; i <= n; i++)
    for (int j = 1; j <= n; j++) {
      double s = 0;
      for (int k = 1; k <= m; k++) s += (double)A[k][i] * A[k][j];
      N[i][j] = (float)s;
      EXPECT_EQ(Cv[i][j], Cv[j][i]);
    }
  EXPECT_LE(max_product_error(Cv, N, n, n, n, identity(n)), 64 * n * eps);
  EXPECT_EQ(Cv.hash(), 0xd35d554c15c620caull);
}

TEST(SvdInverse, SmallCasesAndBounds) {
  struct {
    int n;
    float a[4], want[4];
    float tol;  // 0 means exact
  } cases[] = {
      {1, {4}, {0.25f}, 0},
      {2, {1, 0, 0, 1}, {1, 0, 0, 1}, 0},
      {2, {1, 1, 1, 1}, {0.25f, 0.25f, 0.25f, 0.25f}, 4 * eps},  // second value ~0, dropped
      {2, {0, 0, 0, 0}, {0, 0, 0, 0}, 0},                        // zero matrix: zero, not NaN
      {1, {0}, {0}, 0},
  };
  for (const auto &c : cases) {
    const int n = c.n;
    Mat A(0, n - 1, 0, n - 1), X(-1, n, -1, n);  // X has a frame that must stay untouched
    for (int k = 0; k < n * n; k++) A.data()[k] = c.a[k];
    X.fill(-3.0f);
    const std::uint64_t before = A.hash();
    EXPECT_EQ(getInverseMatrixUsingSVD(A, X, n), 1);
    EXPECT_EQ(A.hash(), before);
    for (int i = -1; i <= n; i++)
      for (int j = -1; j <= n; j++) {
        if (i < 0 || j < 0 || i == n || j == n) {
          EXPECT_EQ(X[i][j], -3.0f);
        } else if (c.tol == 0) {
          EXPECT_EQ(X[i][j], c.want[i * n + j]) << i << "," << j;
        } else {
          EXPECT_TRUE(kwtest::close(X[i][j], c.want[i * n + j], c.tol));
        }
      }
  }
}

TEST(SvdInverse, ThresholdFormedInDoubleEqualIsInverted) {
  // For diag(wmax, w2) the decomposition is exact. The threshold wmax * 1e-6 rounded from
  // double is one ulp above the single-precision product for this wmax: a w2 equal to it is
  // inverted, the float just below it is dropped.
  const float wmax = 1.0f + 10 * FLT_EPSILON;
  const float thresh = (float)((double)wmax * 1e-6);
  const struct {
    float w2;
    bool kept;
  } cases[] = {{thresh, true}, {std::nextafter(thresh, 0.0f), false}};
  for (const auto &c : cases) {
    Mat A(0, 1, 0, 1), X(0, 1, 0, 1);
    A[0][0] = wmax, A[0][1] = 0, A[1][0] = 0, A[1][1] = c.w2;
    getInverseMatrixUsingSVD(A, X, 2);
    EXPECT_TRUE(kwtest::close(X[0][0], 1.0 / wmax, 2 * eps));
    if (c.kept)
      EXPECT_TRUE(kwtest::close(X[1][1], 1.0 / c.w2, 2 * eps));
    else
      EXPECT_EQ(X[1][1], 0.0f);
    EXPECT_EQ(X[0][1], 0.0f);
    EXPECT_EQ(X[1][0], 0.0f);
  }
}

TEST(SvdInverse, MoorePenroseConditions) {
  kwtest::Rng rng(31);
  for (int rank : {5, 3, 1}) {
    const int n = 5;
    Mat A(0, n - 1, 0, n - 1), X(0, n - 1, 0, n - 1), L(0, n - 1, 0, rank - 1), R(0, rank - 1, 0, n - 1);
    fill_random(L, n, rank, rng, 0);
    fill_random(R, rank, n, rng, 0);
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++) {
        double s = 0;
        for (int k = 0; k < rank; k++) s += (double)L[i][k] * R[k][j];
        A[i][j] = (float)s;
      }
    getInverseMatrixUsingSVD(A, X, n);
    auto prod = [&](float **P, float **Q) {
      std::vector<double> z(n * n, 0.0);
      for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
          for (int k = 0; k < n; k++) z[i * n + j] += (double)P[i][k] * Q[k][j];
      return z;
    };
    const std::vector<double> AX = prod(A, X), XA = prod(X, A);
    double e1 = 0, e2 = 0, e3 = 0, e4 = 0, xmax = 0;
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++) {
        double axa = 0, xax = 0;
        for (int k = 0; k < n; k++) {
          axa += AX[i * n + k] * A[k][j];
          xax += XA[i * n + k] * X[k][j];
        }
        e1 = std::fmax(e1, std::fabs(axa - A[i][j]));
        e2 = std::fmax(e2, std::fabs(xax - X[i][j]));
        e3 = std::fmax(e3, std::fabs(AX[i * n + j] - AX[j * n + i]));
        e4 = std::fmax(e4, std::fabs(XA[i * n + j] - XA[j * n + i]));
        xmax = std::fmax(xmax, std::fabs(X[i][j]));
      }
    // Random factors give moderate conditioning; the bounds scale with |X| where X enters.
    const double tol = 256 * n * eps;
    EXPECT_LE(e1, tol) << rank;
    EXPECT_LE(e2, tol * xmax * xmax) << rank;
    EXPECT_LE(e3, tol * xmax) << rank;
    EXPECT_LE(e4, tol * xmax) << rank;
  }
}

TEST(SvdInverse, PinnedBits) {
  kwtest::Rng rng(37);
  const int n = 7;
  Mat A(0, n - 1, 0, n - 1), X(0, n - 1, 0, n - 1);
  fill_random(A, n, n, rng, 0);
  getInverseMatrixUsingSVD(A, X, n);
  EXPECT_EQ(X.hash(), 0xe25f8d32dc8c0546ull);
}

// --- Bit pins over many shapes --------------------------------------------------------------
// Each table holds the hashes of the outputs as the plain loops produce them, for shapes on
// both sides of every block or batch size the loops may use (edge sizes 1 and 2, odd sizes,
// wide and tall), and for inputs with zeros, ties, infinities and NaN (see value_hash).

enum class Fill { kRandom, kIntegers, kZeroColumn, kRankTwo, kTiny, kInfinity, kNaN };

void fill_kind(const Mat &a, int m, int n, Fill kind, kwtest::Rng &rng, long base = 1) {
  for (long i = base; i < base + m; i++)
    for (long j = base; j < base + n; j++) {
      float x = rng.uniform(-1.0f, 1.0f);
      if (kind == Fill::kIntegers) x = (float)(int)(4.0f * x);  // many ties and zeros
      if (kind == Fill::kTiny) x *= 1e-8f;
      if (kind == Fill::kZeroColumn && j == base + n / 2) x = 0.0f;
      a[i][j] = x;
    }
  if (kind == Fill::kRankTwo) {
    for (long i = base; i < base + m; i++)
      for (long j = base + 2; j < base + n; j++) a[i][j] = a[i][base] * (float)(j - base) - a[i][base + 1];
  }
  if (kind == Fill::kInfinity) a[base + m / 2][base + n / 2] = std::numeric_limits<float>::infinity();
  if (kind == Fill::kNaN) a[base + m / 2][base + (n - 1) / 3] = kNaN;
}

// Reports every hash in a form that can be pasted into the table, if any differs.
void expect_pins(const char *what, const std::vector<std::uint64_t> &got, const std::vector<std::uint64_t> &want) {
  EXPECT_EQ(got, want) << what;
  if (got != want) {
    std::string text;
    char one[32];
    for (std::uint64_t h : got) {
      std::snprintf(one, sizeof one, "0x%016llxull, ", (unsigned long long)h);
      text += one;
    }
    ADD_FAILURE() << what << " got: " << text;
  }
}

struct Shape {
  int m, n;
  Fill kind;
};

TEST(Svd, PinnedBitsOverShapes) {
  const Shape shapes[] = {{1, 1, Fill::kRandom},    {1, 2, Fill::kRandom},     {2, 1, Fill::kRandom},
                          {2, 2, Fill::kRandom},    {3, 5, Fill::kRandom},     {5, 3, Fill::kRandom},
                          {17, 17, Fill::kRandom},  {37, 23, Fill::kRandom},   {23, 37, Fill::kRandom},
                          {70, 70, Fill::kRandom},  {300, 9, Fill::kRandom},   {9, 300, Fill::kRandom},
                          {262, 261, Fill::kRandom}, {12, 12, Fill::kIntegers}, {11, 7, Fill::kZeroColumn},
                          {13, 13, Fill::kRankTwo}, {9, 6, Fill::kTiny},       {6, 6, Fill::kInfinity},
                          {7, 5, Fill::kNaN},       {5, 7, Fill::kNaN}};
  std::vector<std::uint64_t> got;
  std::vector<int> flags;
  kwtest::Rng rng(61);
  for (const Shape &s : shapes) {
    Mat U(1, s.m, 1, s.n), V(1, s.n, 1, s.n);
    std::vector<float> w(s.n);
    fill_kind(U, s.m, s.n, s.kind, rng);
    svdcmp(U, s.m, s.n, w.data() - 1, V);
    got.push_back(V.value_hash(U.value_hash(value_hash(w.data(), s.n))));
    flags.push_back(NoConvergenceInSVD ? 1 : 0);
  }
  expect_pins("svdcmp", got,
              {0xce4d741e631d4fd7ull, 0x626058fc0910ecb7ull, 0xcc7bccb1657bc3e1ull,
               0x05a5357af6c4b0c8ull, 0x036ea38e654c8fe3ull, 0xcf3cd8c8dd0c6230ull,
               0xd7632f12db43c4c1ull, 0xf636bff39f604761ull, 0xe4ce68976f728666ull,
               0x4c947687a98508a5ull, 0x466fd373dbd359baull, 0x53bda138b6685dffull,
               0xf4c9d875f7b48182ull, 0xbc2f90c88d80cbc1ull, 0xd69168ca7659e9ceull,
               0xe199b8f2b5ea51adull, 0xf7767db498a932fdull, 0x9cc1bec5ae9953f3ull,
               0x681b43e42874b75aull, 0x09954bcab488670aull});
  EXPECT_EQ(flags, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
}

TEST(GaussJordan, PinnedBitsOverShapes) {
  const struct {
    int n, m;
    Fill kind;
  } shapes[] = {{1, 1, Fill::kRandom},   {2, 0, Fill::kRandom},    {2, 3, Fill::kRandom},
                {3, 1, Fill::kRandom},   {17, 2, Fill::kRandom},   {40, 5, Fill::kRandom},
                {65, 1, Fill::kRandom},  {9, 4, Fill::kIntegers},  {6, 2, Fill::kInfinity},
                {7, 2, Fill::kNaN}};
  std::vector<std::uint64_t> got;
  kwtest::Rng rng(67);
  for (const auto &s : shapes) {
    Mat A(1, s.n, 1, s.n), B(1, s.n, 1, s.m > 0 ? s.m : 1);
    // Special values go into the right-hand sides: in a they end every elimination as
    // singular. Integer entries give ties among the pivot candidates.
    fill_kind(A, s.n, s.n, s.kind == Fill::kIntegers ? s.kind : Fill::kRandom, rng);
    fill_kind(B, s.n, s.m > 0 ? s.m : 1, s.kind == Fill::kIntegers ? Fill::kRandom : s.kind, rng);
    gaussj(A, s.n, s.m > 0 ? (float **)B : nullptr, s.m);
    got.push_back(B.value_hash(A.value_hash()));
  }
  expect_pins("gaussj", got, {
               0x5ab3f6c71311d6dcull, 0xf931b2f9cab9dea7ull, 0x0253a4c6424dbe77ull,
               0xb5ca06b1d476c9d5ull, 0xff320c4f5936e333ull, 0x108ee5c4b7c1b809ull,
               0x1d461a7a856695f7ull, 0xc78184cb1bf03fe4ull, 0x8f5aac203e5d3c8dull,
               0x1da172571bc2d260ull});
}

TEST(Jacobi, PinnedBitsOverShapes) {
  const struct {
    int n;
    Fill kind;
  } shapes[] = {{1, Fill::kRandom},  {2, Fill::kRandom},  {3, Fill::kRandom},   {9, Fill::kRandom},
                {33, Fill::kRandom}, {70, Fill::kRandom}, {12, Fill::kIntegers}, {10, Fill::kTiny},
                {11, Fill::kRankTwo}};
  std::vector<std::uint64_t> got;
  std::vector<int> rotations;
  kwtest::Rng rng(71);
  for (const auto &s : shapes) {
    Mat A(1, s.n, 1, s.n), V(1, s.n, 1, s.n);
    std::vector<float> d(s.n);
    fill_kind(A, s.n, s.n, s.kind, rng);
    int nrot = -1;
    jacobi(A, s.n, d.data() - 1, V, &nrot);
    got.push_back(V.value_hash(A.value_hash(value_hash(d.data(), s.n))));
    rotations.push_back(nrot);
  }
  expect_pins("jacobi", got, {
               0xae263f87fb1f0b72ull, 0x8281d5f2b6a804b4ull, 0x2b4afa3b3c8a04bfull,
               0x2b74068b4c36cf74ull, 0x0df7486529732882ull, 0xe10bb19b673a5fb2ull,
               0xb2eec8d8058b4c58ull, 0x933992a6e0f74a45ull, 0xd9d9e840d2924656ull});
  EXPECT_EQ(rotations, (std::vector<int>{0, 1, 9, 154, 2951, 14669, 317, 212, 248}));
}

TEST(SvdSolve, PinnedBitsOverShapes) {
  const Shape shapes[] = {{1, 1, Fill::kRandom}, {2, 2, Fill::kRandom},  {5, 3, Fill::kRandom},
                          {300, 7, Fill::kRandom}, {8, 8, Fill::kRankTwo}, {6, 4, Fill::kNaN}};
  std::vector<std::uint64_t> got;
  kwtest::Rng rng(73);
  for (const Shape &s : shapes) {
    Mat U(1, s.m, 1, s.n), V(1, s.n, 1, s.n);
    std::vector<float> w(s.n), b(s.m), x(s.n);
    fill_kind(U, s.m, s.n, s.kind == Fill::kNaN ? Fill::kRandom : s.kind, rng);
    svdcmp(U, s.m, s.n, w.data() - 1, V);
    for (float &y : b) y = rng.uniform(-1.0f, 1.0f);
    if (s.kind == Fill::kNaN) b[1] = kNaN;
    // Zero the small values as a fitting caller does, so that dropped components occur.
    for (float &y : w)
      if (std::fabs(y) < 1e-5f) y = 0.0f;
    if (s.n > 2) w[1] = 0.0f;
    svbksb(U, w.data() - 1, V, s.m, s.n, b.data() - 1, x.data() - 1);
    got.push_back(value_hash(x.data(), s.n));
  }
  expect_pins("svbksb", got, {
               0x4d87033f0eee267full, 0xb78d71e268e79431ull, 0x62e396ef590cc8fbull,
               0xb6995d85366d0d8eull, 0x51a0088d702e9fa9ull, 0xdaba223927d9ee23ull});
}

TEST(SvdInverse, PinnedBitsOverShapes) {
  const struct {
    int n;
    Fill kind;
  } shapes[] = {{1, Fill::kRandom},  {2, Fill::kRandom},   {3, Fill::kRandom},   {9, Fill::kRandom},
                {33, Fill::kRandom}, {70, Fill::kRandom},  {10, Fill::kRankTwo}, {8, Fill::kIntegers},
                {5, Fill::kNaN}};
  std::vector<std::uint64_t> got;
  kwtest::Rng rng(79);
  for (const auto &s : shapes) {
    Mat A(0, s.n - 1, 0, s.n - 1), X(0, s.n - 1, 0, s.n - 1);
    fill_kind(A, s.n, s.n, s.kind, rng, 0);
    getInverseMatrixUsingSVD(A, X, s.n);
    got.push_back(X.value_hash());
  }
  expect_pins("getInverseMatrixUsingSVD", got, {
               0x9241ece5aa4c9452ull, 0x5b4d594eced3cb15ull, 0xcaa915e95a29bf96ull,
               0x8f1aed2e72586b46ull, 0x0778a478e95e1f6eull, 0x0d4b82666a3771b1ull,
               0xb60ffc74361135c3ull, 0x186e0ad9f84b3490ull, 0x30525d927c434e1aull});
}

// --- pins of the kernels called directly ---------------------------------------------------

// Values for the pins: ordinary ones with zeros, signed zeros, subnormals, huge values,
// infinities and NaNs among them.
float pin_value(kwtest::Rng &rng) {
  const std::uint64_t r = rng.next();
  switch (r % 16) {
    case 0: return 0.0f;
    case 1: return -0.0f;
    case 2: return kwtest::float_from_bits(std::uint32_t(r >> 40) & 0x807fffffu);  // subnormal
    case 3: return ((r >> 8) & 1) ? 3.0e38f : -1.0e-30f;
    case 4: return ((r >> 8) & 1) ? std::numeric_limits<float>::infinity() : kNaN;
    default: return rng.uniform(-10.0f, 10.0f);
  }
}

TEST(Products, PinnedBitsOfTheKernels) {
  kwtest::Rng rng(4711);
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  // pythag over every kind of pair.
  for (int i = 0; i < 4000; i++) {
    const float a = pin_value(rng), b = pin_value(rng), r = pythag(a, b);
    h = kwtest::hash_bits(&r, 1, h);
  }
  EXPECT_EQ(h, 7719811609730355062ull) << "pythag";
  // Dot products of every length to 64.
  h = kwtest::hash_bits<float>(nullptr, 0);
  for (int n = 0; n <= 64; n++) {
    std::vector<float> a(n + 1), b(n + 1);
    for (int i = 0; i < n; i++) a[i] = pin_value(rng), b[i] = rng.uniform(-1.0f, 1.0f);
    const float r = vector_vector_mult(a.data(), b.data(), n);
    h = kwtest::hash_bits(&r, 1, h);
  }
  EXPECT_EQ(h, 10627991745844681330ull) << "vector_vector_mult";
  // A * A^T, diag(d) * A, A^T and the four copy modes over several shapes.
  std::uint64_t hf = kwtest::hash_bits<float>(nullptr, 0), hd = hf, ht = hf, hc = hf;
  for (int m : {1, 2, 3, 7, 16, 33})
    for (int n : {1, 4, 9, 32}) {
      Mat A(0, m - 1, 0, n - 1), R(0, m - 1, 0, m - 1), T(0, n - 1, 0, m - 1);
      for (int i = 0; i < m * n; i++) A.data()[i] = (i % 7 == 3) ? pin_value(rng) : rng.uniform(-2.0f, 2.0f);
      fast_matrix_matrix_mult(A, nullptr, R, m, n, n, true, false);
      hf = R.hash(hf);
      matrix_transpose(A, T, m, n);
      ht = T.hash(ht);
      std::vector<float> d(m);
      for (float &x : d) x = pin_value(rng);
      diagmatrix_matrix_mult(d.data(), A, m, n);
      hd = A.hash(hd);
      // Modes 0..3: 0-based to 0-based, 1-based to 1-based, 0- to 1-based, 1- to 0-based.
      Mat src1(1, m, 1, n), dst0(0, m - 1, 0, n - 1), dst1(1, m, 1, n);
      for (int i = 0; i < m * n; i++) src1.data()[i] = rng.uniform(-3.0f, 3.0f);
      for (int mode = 0; mode < 4; mode++) {
        dst0.fill(-1.0f);
        dst1.fill(-1.0f);
        float **src = (mode == 0 || mode == 2) ? (float **)A : (float **)src1;
        float **dst = (mode == 0 || mode == 3) ? (float **)dst0 : (float **)dst1;
        copy_matrix(src, dst, m, n, mode);
        hc = dst1.hash(dst0.hash(hc));
      }
    }
  EXPECT_EQ(hf, 15127108454164740047ull) << "fast_matrix_matrix_mult";
  EXPECT_EQ(ht, 2768214553829109689ull) << "matrix_transpose";
  EXPECT_EQ(hd, 15582400790313599098ull) << "diagmatrix_matrix_mult";
  EXPECT_EQ(hc, 15394743033125562823ull) << "copy_matrix";
}

}  // namespace
