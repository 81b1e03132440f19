// Model fitting: linear least squares by SVD and Levenberg-Marquardt. References are formed
// in double in this file (normal equations, definitions of curvature and gradient, finite
// differences); tolerances are in units of FLT_EPSILON.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "kw_test.h"
#include "stat.h"

namespace {

using kwtest::eps;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// An owning 1-based float matrix.
class Mat {
 public:
  Mat(long rows, long cols) : m_(matrix(1, rows, 1, cols)), n_(rows * cols) {}
  Mat(const Mat &) = delete;
  Mat &operator=(const Mat &) = delete;
  ~Mat() { free_matrix(m_, 1, 0, 1, 0); }
  operator float **() const { return m_; }
  float *operator[](long i) const { return m_[i]; }
  void fill(float x) const {
    for (long i = 0; i < n_; i++) m_[1][1 + i] = x;
  }
  std::uint64_t hash(std::uint64_t h = 1469598103934665603ull) const { return kwtest::hash_bits(m_[1] + 1, n_, h); }

 private:
  float **m_;
  long n_;
};

// Solves the n x n system M z = r in double by elimination with partial pivoting.
std::vector<double> solve(std::vector<std::vector<double>> M, std::vector<double> r) {
  const int n = (int)r.size();
  for (int c = 0; c < n; c++) {
    int p = c;
    for (int i = c + 1; i < n; i++)
      if (std::fabs(M[i][c]) > std::fabs(M[p][c])) p = i;
    std::swap(M[c], M[p]);
    std::swap(r[c], r[p]);
    for (int i = c + 1; i < n; i++) {
      const double f = M[i][c] / M[c][c];
      for (int j = c; j < n; j++) M[i][j] -= f * M[c][j];
      r[i] -= f * r[c];
    }
  }
  std::vector<double> z(n);
  for (int i = n - 1; i >= 0; i--) {
    double s = r[i];
    for (int j = i + 1; j < n; j++) s -= M[i][j] * z[j];
    z[i] = s / M[i][i];
  }
  return z;
}

// Data for fits: x, y, sigma from 1.
struct Data {
  std::vector<float> x, y, sig;
  explicit Data(int n) : x(n + 1), y(n + 1), sig(n + 1, 1.0f) {}
  int n() const { return (int)x.size() - 1; }
};

// --- svdfit and fpoly -------------------------------------------------------------------------

TEST(Fpoly, PowersFromIndexOne) {
  float p[6] = {-1, -1, -1, -1, -1, -1};
  fpoly(2.0f, p, 4);
  EXPECT_EQ(p[1], 1.0f);
  EXPECT_EQ(p[2], 2.0f);
  EXPECT_EQ(p[3], 4.0f);
  EXPECT_EQ(p[4], 8.0f);
  EXPECT_EQ(p[5], -1.0f);
  for (int np : {1, 0}) {
    float q[3] = {-1, -1, -1};
    fpoly(3.0f, q, np);
    EXPECT_EQ(q[1], 1.0f);
    EXPECT_EQ(q[2], -1.0f);
  }
}

TEST(Svdfit, MatchesNormalEquations) {
  // Exact cubic (chisq 0) and a noisy one with unequal sigmas, against the weighted normal
  // equations solved in double; then svdvar against their inverse.
  kwtest::Rng rng(41);
  for (double noise : {0.0, 0.05}) {
    const int n = 25, ma = 4;
    const double c[ma] = {1.0, -2.0, 0.5, 0.25};
    Data d(n);
    for (int i = 1; i <= n; i++) {
      d.x[i] = -2.0f + 4.0f * (float)(i - 1) / (float)(n - 1);
      d.sig[i] = noise == 0 ? 1.0f : rng.uniform(0.5f, 2.0f);
      const double t = d.x[i];
      d.y[i] = (float)(c[0] + t * (c[1] + t * (c[2] + t * c[3])) + noise * rng.uniform(-1, 1));
    }
    Mat u(n, ma), v(ma, ma), cvm(ma, ma);
    float a[ma + 1], w[ma + 1], chisq = -1;
    svdfit(d.x.data(), d.y.data(), d.sig.data(), n, a, ma, u, v, w, &chisq, fpoly);
    std::vector<std::vector<double>> M(ma, std::vector<double>(ma, 0.0));
    std::vector<double> r(ma, 0.0);
    for (int i = 1; i <= n; i++) {
      const double s2 = 1.0 / ((double)d.sig[i] * d.sig[i]);
      for (int j = 0; j < ma; j++) {
        r[j] += std::pow((double)d.x[i], j) * d.y[i] * s2;
        for (int k = 0; k < ma; k++) M[j][k] += std::pow((double)d.x[i], j + k) * s2;
      }
    }
    const std::vector<double> z = solve(M, r);
    double chi = 0;
    for (int i = 1; i <= n; i++) {
      double s = 0;
      for (int j = 0; j < ma; j++) s += z[j] * std::pow((double)d.x[i], j);
      chi += std::pow((d.y[i] - s) / d.sig[i], 2);
    }
    // The design is well conditioned on [-2, 2]; coefficients to a few hundred eps.
    for (int j = 0; j < ma; j++) EXPECT_TRUE(kwtest::close(a[j + 1], z[j], 256 * eps, 1.0)) << j;
    // Exact data: both are rounding noise, below n (16 eps |y|)^2 = 2e-9.
    EXPECT_TRUE(kwtest::close(chisq, chi, 1e-3, 2e-6)) << noise;
    svdvar(v, ma, w, cvm);
    for (int j = 0; j < ma; j++) {
      std::vector<double> e(ma, 0.0);
      e[j] = 1.0;
      const std::vector<double> col = solve(M, e);
      for (int k = 0; k < ma; k++) EXPECT_TRUE(kwtest::close(cvm[k + 1][j + 1], col[k], 1e-4, 1e-2));
    }
  }
}

// Basis values for the edited-singular-value cases.
void basis_duplicate(float x, float p[], int np) {
  p[1] = 1.0f;
  p[2] = x;
  if (np > 2) p[3] = x;
}
void basis_zero(float, float p[], int np) {
  for (int j = 1; j <= np; j++) p[j] = 0.0f;
}
// At x = j a single non-zero value in column j: the design is diag(design_diagonal).
float design_diagonal[3];
void basis_diagonal(float x, float p[], int) {
  for (int j = 1; j <= 3; j++) p[j] = x == (float)j ? design_diagonal[j - 1] : 0.0f;
}

TEST(Svdfit, EditsNegligibleSingularValues) {
  Data d(6);
  for (int i = 1; i <= 6; i++) {
    d.x[i] = (float)i;
    d.y[i] = 0.5f * (float)(i * i) - 1.0f;
  }
  Mat u(6, 3), v(3, 3);
  float a[4], w[4], a2[3], w2[3], chisq, chisq2;
  // A duplicated basis function: one value edited to 0, same chi-square as without it.
  svdfit(d.x.data(), d.y.data(), d.sig.data(), 6, a, 3, u, v, w, &chisq, basis_duplicate);
  svdfit(d.x.data(), d.y.data(), d.sig.data(), 6, a2, 2, u, v, w2, &chisq2, basis_duplicate);
  EXPECT_EQ((w[1] == 0) + (w[2] == 0) + (w[3] == 0), 1);
  for (int j = 1; j <= 3; j++) EXPECT_TRUE(std::isfinite(a[j]));
  EXPECT_TRUE(kwtest::close(a[2] + a[3], a2[2], 16 * eps));
  EXPECT_TRUE(kwtest::close(chisq, chisq2, 64 * eps));
  // A basis that is zero everywhere: nothing to edit, coefficients 0.
  svdfit(d.x.data(), d.y.data(), d.sig.data(), 6, a, 3, u, v, w, &chisq, basis_zero);
  for (int j = 1; j <= 3; j++) {
    EXPECT_EQ(w[j], 0.0f);
    EXPECT_EQ(a[j], 0.0f);
  }
  // A diagonal design decomposes exactly. Threshold 1e-5 * 10 = 1e-4 in single precision:
  // 5e-5 is dropped, 1e-4 itself is kept. For the second wmax the product rounded from double
  // is one ulp above the single-precision one: a value equal to it stays, the float below goes.
  const float wmax = 1.0f + FLT_EPSILON;
  const float thresh = (float)(1.0e-5 * (double)wmax);
  const float designs[][3] = {{10.0f, 5e-5f, 1e-4f}, {wmax, std::nextafter(thresh, 0.0f), thresh}};
  for (const auto &g : designs) {
    for (int j = 0; j < 3; j++) design_diagonal[j] = g[j];
    svdfit(d.x.data(), d.y.data(), d.sig.data(), 3, a, 3, u, v, w, &chisq, basis_diagonal);
    EXPECT_EQ(w[1], g[0]);
    EXPECT_EQ(w[2], 0.0f);
    EXPECT_EQ(w[3], g[2]);
  }
}

std::vector<float> basis_calls;
void basis_recording(float x, float p[], int np) {
  basis_calls.push_back(x);
  fpoly(x, p, np);
}

TEST(Svdfit, CallsBasisTwicePerPointInOrder) {
  Data d(4);
  for (int i = 1; i <= 4; i++) d.x[i] = d.y[i] = (float)(5 - i);
  Mat u(4, 2), v(2, 2);
  float a[3], w[3], chisq;
  basis_calls.clear();
  svdfit(d.x.data(), d.y.data(), d.sig.data(), 4, a, 2, u, v, w, &chisq, basis_recording);
  EXPECT_EQ(basis_calls, (std::vector<float>{4, 3, 2, 1, 4, 3, 2, 1}));
}

TEST(Svdfit, PinnedBits) {
  kwtest::Rng rng(43);
  Data d(30);
  for (int i = 1; i <= 30; i++) {
    d.x[i] = rng.uniform(-1, 3);
    d.y[i] = rng.uniform(-5, 5);
    d.sig[i] = rng.uniform(0.5f, 1.5f);
  }
  Mat u(30, 5), v(5, 5);
  float a[6], w[6], chisq;
  svdfit(d.x.data(), d.y.data(), d.sig.data(), 30, a, 5, u, v, w, &chisq, fpoly);
  EXPECT_EQ(v.hash(u.hash(kwtest::hash_bits(a + 1, 5, kwtest::hash_bits(w + 1, 5)))), 0x5b356a530d6ee27eull);
  EXPECT_EQ(kwtest::bits(chisq), 0x440a2066u);
}

// --- fgauss, mrqcof, covsrt -----------------------------------------------------------------

TEST(Fgauss, ValuesDerivativesAndIncompleteGroups) {
  float p[4] = {0, 2, 0, 1}, dy[4], y;
  fgauss(0.0f, p, &y, dy, 3);
  EXPECT_EQ(y, 2.0f);
  EXPECT_EQ(dy[1], 1.0f);
  EXPECT_EQ(dy[2], 0.0f);
  EXPECT_EQ(dy[3], 0.0f);
  fgauss(1.0f, p, &y, dy, 3);
  EXPECT_TRUE(kwtest::close(y, 2 * std::exp(-1.0), eps));
  EXPECT_TRUE(kwtest::close(dy[2], 4 * std::exp(-1.0), 2 * eps));
  EXPECT_TRUE(kwtest::close(dy[3], 4 * std::exp(-1.0), 2 * eps));

  // Derivatives against central differences in double.
  const float q[7] = {0, 1.5f, -0.3f, 0.7f, -0.8f, 0.9f, 1.3f};
  float dq[7];
  const float x = 0.2f;
  fgauss(x, const_cast<float *>(q), &y, dq, 6);
  auto model = [x](const double *a) {
    double s = 0;
    for (int i = 0; i < 6; i += 3) s += a[i] * std::exp(-std::pow((x - a[i + 1]) / a[i + 2], 2));
    return s;
  };
  double a[6];
  for (int i = 0; i < 6; i++) a[i] = q[i + 1];
  EXPECT_TRUE(kwtest::close(y, model(a), 4 * eps));
  for (int i = 0; i < 6; i++) {
    double ap[6], am[6];
    for (int k = 0; k < 6; k++) ap[k] = am[k] = a[k];
    ap[i] += 1e-6, am[i] -= 1e-6;
    EXPECT_TRUE(kwtest::close(dq[i + 1], (model(ap) - model(am)) / 2e-6, 1e-5, 1.0)) << i;
  }

  // Trailing incomplete groups: exactly-sized vectors so that the sanitizer sees any access
  // past them; their derivatives are 0 and the value is that of the complete groups.
  float y3, d3[4];
  fgauss(x, const_cast<float *>(q), &y3, d3, 3);
  for (int na : {4, 5}) {
    float *pp = vector(1, na), *dd = vector(1, na);
    for (int i = 1; i <= na; i++) pp[i] = q[i], dd[i] = kNaN;
    float yy;
    fgauss(x, pp, &yy, dd, na);
    EXPECT_EQ(kwtest::bits(yy), kwtest::bits(y3));
    for (int i = 4; i <= na; i++) EXPECT_EQ(dd[i], 0.0f) << na;
    free_vector(dd, 1, na);
    free_vector(pp, 1, na);
  }
}

TEST(Mrqcof, MatchesDefinitions) {
  kwtest::Rng rng(47);
  const int n = 40, ma = 6;
  Data d(n);
  for (int i = 1; i <= n; i++) {
    d.x[i] = rng.uniform(-2, 2);
    d.y[i] = rng.uniform(0, 2);
    d.sig[i] = rng.uniform(0.5f, 1.0f);
  }
  float a[ma + 1] = {0, 1.2f, -0.5f, 0.8f, 0.6f, 0.9f, 0.5f}, beta[ma + 1], chisq;
  int ia[ma + 1] = {0, 1, 0, 1, 1, 1, 0};
  const int f[4] = {1, 3, 4, 5};  // fitted parameters in compressed order
  Mat alpha(4, 4);
  mrqcof(d.x.data(), d.y.data(), d.sig.data(), n, a, ia, ma, alpha, beta, &chisq, fgauss);
  double A[4][4] = {}, B[4] = {}, chi = 0;
  for (int i = 1; i <= n; i++) {
    float y, dy[ma + 1];
    fgauss(d.x[i], a, &y, dy, ma);
    const double s2 = 1.0 / ((double)d.sig[i] * d.sig[i]), r = (double)d.y[i] - y;
    chi += r * r * s2;
    for (int j = 0; j < 4; j++) {
      B[j] += r * dy[f[j]] * s2;
      for (int k = 0; k < 4; k++) A[j][k] += (double)dy[f[j]] * dy[f[k]] * s2;
    }
  }
  // Sums of n positive-weight terms in single precision: relative error below n eps of the
  // sum of magnitudes, which the weights bound by a small factor of the result.
  EXPECT_TRUE(kwtest::close(chisq, chi, n * eps));
  for (int j = 0; j < 4; j++) {
    EXPECT_TRUE(kwtest::close(beta[j + 1], B[j], 4 * n * eps, 1.0)) << j;
    for (int k = 0; k < 4; k++) {
      EXPECT_TRUE(kwtest::close(alpha[j + 1][k + 1], A[j][k], 4 * n * eps, 1.0));
      EXPECT_EQ(alpha[j + 1][k + 1], alpha[k + 1][j + 1]);
    }
  }
  EXPECT_EQ(alpha.hash(kwtest::hash_bits(beta + 1, 4, kwtest::hash_bits(&chisq, 1))), 0x5e2200ce69f80cdaull);
}

TEST(Covsrt, SpreadsCompressedBlock) {
  Mat c(3, 3);
  c.fill(kNaN);
  c[1][1] = 1, c[1][2] = 2, c[2][1] = 2, c[2][2] = 4;
  int ia[4] = {0, 1, 0, 1};
  covsrt(c, 3, ia, 2);
  const float want[3][3] = {{1, 0, 2}, {0, 0, 0}, {2, 0, 4}};
  for (int i = 1; i <= 3; i++)
    for (int j = 1; j <= 3; j++) EXPECT_EQ(c[i][j], want[i - 1][j - 1]) << i << "," << j;
  // Everything fitted: nothing moves.
  int all[4] = {0, 1, 1, 1};
  for (int i = 1; i <= 3; i++)
    for (int j = 1; j <= 3; j++) c[i][j] = (float)(3 * i + j);
  const std::uint64_t before = c.hash();
  covsrt(c, 3, all, 3);
  EXPECT_EQ(c.hash(), before);
}

// Every subset of held parameters for ma up to 7, over random symmetric blocks.
TEST(Covsrt, PinnedBits) {
  kwtest::Rng rng(8);
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (int ma = 1; ma <= 7; ma++)
    for (int subset = 0; subset < (1 << ma); subset++) {
      std::vector<int> ia(ma + 1, 0);
      int mfit = 0;
      for (int j = 1; j <= ma; j++) mfit += ia[j] = (subset >> (j - 1)) & 1;
      Mat c(ma, ma);
      for (int i = 1; i <= ma; i++)
        for (int j = 1; j <= i; j++) c[i][j] = c[j][i] = rng.uniform(-1.0f, 1.0f);
      covsrt(c, ma, ia.data(), mfit);
      h = c.hash(h);
    }
  EXPECT_EQ(h, 17788676666227455760ull);
}

// --- mrqmin ---------------------------------------------------------------------------------

// Noiseless sum of two Gaussians and a driver that runs the protocol.
struct GaussFit {
  static constexpr int ma = 6;
  Data d{50};
  float a[ma + 1];
  int ia[ma + 1] = {0, 1, 1, 1, 1, 1, 1};
  Mat covar{ma, ma}, alpha{ma, ma};
  float chisq = -1, lambda = -1;
  GaussFit() {
    const float truth[ma + 1] = {0, 2.0f, -1.0f, 0.8f, 1.0f, 1.5f, 0.6f};
    for (int i = 1; i <= d.n(); i++) {
      d.x[i] = -3.0f + 6.0f * (float)(i - 1) / (float)(d.n() - 1);
      float dy[ma + 1];
      fgauss(d.x[i], const_cast<float *>(truth), &d.y[i], dy, ma);
    }
    for (int j = 1; j <= ma; j++) a[j] = truth[j];
  }
  void step() { mrqmin(d.x.data(), d.y.data(), d.sig.data(), d.n(), a, ia, ma, covar, alpha, &chisq, fgauss, &lambda); }
  void finish() {
    lambda = 0.0f;
    step();
  }
};

int model_calls = 0;
void counting_gauss(float x, float a[], float *y, float dyda[], int na) {
  model_calls++;
  fgauss(x, a, y, dyda, na);
}

TEST(Marquardt, LambdaOnStartAcceptAndEqualReject) {
  // Starting at the exact solution: the trial's chi-square equals the start's, so it is
  // rejected and lambda goes 0.001 -> 10 * 0.001 in single precision.
  GaussFit exact;
  exact.step();
  EXPECT_EQ(exact.lambda, std::nextafter(0.01f, 1.0f));  // 1.0000000708e-2
  EXPECT_EQ(exact.a[2], -1.0f);
  exact.finish();
  // Starting off the solution: accepted, 0.1 * 0.001 formed in double and rounded.
  GaussFit off;
  off.a[2] = -0.9f;
  off.step();
  EXPECT_EQ(off.lambda, std::nextafter(1e-4f, 1.0f));  // 1.0000000475e-4
  EXPECT_NE(off.a[2], -0.9f);
  off.finish();
}

// y = a[1] x, so the start call's trial can be followed by hand.
void linear_model(float x, float a[], float *y, float dyda[], int) {
  *y = a[1] * x;
  dyda[1] = x;
}

TEST(Marquardt, FirstTrialSolvesTheAugmentedSystem) {
  // One parameter: alpha = sum x^2 = 3.4375 exactly, and the augmented alpha (1 + lambda) formed
  // in double rounds one ulp below the single-precision product; for these data that ulp
  // reaches the trial parameter. The trial is accepted.
  Data d(5);
  for (int i = 1; i <= 5; i++)
    d.x[i] = 0.25f * (float)i, d.y[i] = 1.5f * d.x[i] + 0.01f * (float)((i + 1) % 3) - 0.003f;
  float alpha = 0.0f, beta = 0.0f, chi0 = 0.0f;
  for (int i = 1; i <= 5; i++) {
    const float dy = d.y[i] - d.x[i];
    alpha += d.x[i] * d.x[i];
    beta += dy * d.x[i];
    chi0 += dy * dy;
  }
  const float augmented = (float)((double)alpha * (1.0 + (double)0.001f));
  const float want = 1.0f + beta * (1.0f / augmented);

  float a[2] = {0, 1}, chisq, lambda = -1;
  int ia[2] = {0, 1};
  Mat covar(1, 1), alph(1, 1);
  mrqmin(d.x.data(), d.y.data(), d.sig.data(), 5, a, ia, 1, covar, alph, &chisq, linear_model, &lambda);
  EXPECT_EQ(kwtest::bits(a[1]), kwtest::bits(want));
  EXPECT_LT(chisq, chi0);
  EXPECT_EQ(lambda, std::nextafter(1e-4f, 1.0f));
  lambda = 0;
  mrqmin(d.x.data(), d.y.data(), d.sig.data(), 5, a, ia, 1, covar, alph, &chisq, linear_model, &lambda);
  EXPECT_EQ(covar[1][1], 1.0f / alph[1][1]);
}

TEST(Marquardt, RecoversParametersAndCovariance) {
  const float truth[7] = {0, 2.0f, -1.0f, 0.8f, 1.0f, 1.5f, 0.6f};
  for (int held : {0, 3, 5}) {
    SCOPED_TRACE(held);
    GaussFit g;
    for (int j = 1; j <= 6; j++)
      if (j != held) g.a[j] = truth[j] * (j % 2 ? 1.1f : 0.9f);
    if (held) g.ia[held] = 0;
    g.step();
    if (held) g.a[held] = 99.0f;  // ignored: trials use the value copied at the start
    for (int it = 0; it < 200 && g.chisq > 1e-10f; it++) g.step();
    for (int j = 1; j <= 6; j++) EXPECT_TRUE(kwtest::close(g.a[j], truth[j], 1e-4)) << j;
    const int mfit = held ? 5 : 6;
    Mat alpha(mfit, mfit);
    for (int j = 1; j <= mfit; j++)
      for (int k = 1; k <= mfit; k++) alpha[j][k] = g.alpha[j][k];
    g.finish();
    // covar spread back is the inverse of the compressed alpha; held rows and columns 0.
    std::vector<int> f;
    for (int j = 1; j <= 6; j++)
      if (j != held) f.push_back(j);
    for (int j = 0; j < mfit; j++)
      for (int k = 0; k < mfit; k++) {
        double s = 0;
        for (int l = 0; l < mfit; l++) s += (double)alpha[j + 1][l + 1] * g.covar[f[l]][f[k]];
        EXPECT_TRUE(kwtest::close(s, j == k, 1e-3, 1.0));
      }
    for (int j = 1; held && j <= 6; j++) EXPECT_TRUE(g.covar[held][j] == 0 && g.covar[j][held] == 0);
  }
}

TEST(Marquardt, CallsOutsideTheProtocolChangeNothing) {
  GaussFit g;
  g.alpha.fill(0.0f);
  for (int j = 1; j <= 6; j++) g.alpha[j][j] = 1.0f;
  g.finish();  // whatever an earlier test left, no fit is active after this
  g.covar.fill(5.0f);
  g.alpha.fill(6.0f);
  const std::uint64_t before = g.alpha.hash(g.covar.hash(kwtest::hash_bits(g.a + 1, 6)));
  for (float lambda : {0.0f, 0.01f}) {
    model_calls = 0;
    g.lambda = lambda;
    g.chisq = -2.0f;
    mrqmin(g.d.x.data(), g.d.y.data(), g.d.sig.data(), g.d.n(), g.a, g.ia, 6, g.covar, g.alpha, &g.chisq,
           counting_gauss, &g.lambda);
    EXPECT_EQ(model_calls, 0);
    EXPECT_EQ(g.lambda, lambda);
    EXPECT_EQ(g.chisq, -2.0f);
    EXPECT_EQ(g.alpha.hash(g.covar.hash(kwtest::hash_bits(g.a + 1, 6))), before);
  }
  // A second start abandons the first fit (the sanitized build checks that nothing leaks)
  // and fits as if it were the only one.
  g.a[1] = 2.2f;
  g.lambda = -1;
  g.step();
  g.lambda = -1;
  g.step();
  for (int it = 0; it < 100 && g.chisq > 1e-10f; it++) g.step();
  EXPECT_TRUE(kwtest::close(g.a[1], 2.0, 1e-4));
  g.finish();
}

// Allocates inside the dying process, after its leak checker is off.
void fit_uninfluential_parameter() {
  // fgauss gives the trailing fourth parameter a zero derivative: a zero row in alpha.
  Data d(5);
  for (int i = 1; i <= 5; i++) d.x[i] = (float)i, d.y[i] = 1.0f;
  float a[5] = {0, 1, 3, 1, 7}, chisq, lambda = -1;
  int ia[5] = {0, 1, 1, 1, 1};
  Mat covar(4, 4), alpha(4, 4);
  mrqmin(d.x.data(), d.y.data(), d.sig.data(), 5, a, ia, 4, covar, alpha, &chisq, fgauss, &lambda);
}

TEST(MarquardtDeathTest, ParameterWithoutInfluenceIsSingular) {
  KW_EXPECT_NRERROR(fit_uninfluential_parameter(), "gaussj: Singular Matrix-2");
}

// Starts a fit of the first 6 parameters (all fitted but the sixth), then calls again with
// nparams parameters and the given fitflags, under the given lambda. Every array is large enough
// for 9 parameters, so only the state's own arrays could be overrun.
void call_outside_the_protocol(int ma, int last_flag, float lambda) {
  GaussFit g;
  Mat covar(9, 9), alpha(9, 9);
  float a[10] = {0, 2.0f, -1.0f, 0.8f, 1.0f, 1.5f, 0.6f, 0, 0, 0};
  int ia[10] = {0, 1, 1, 1, 1, 1, 0, 0, 0, 0};
  float chisq, lam = -1.0f;
  mrqmin(g.d.x.data(), g.d.y.data(), g.d.sig.data(), g.d.n(), a, ia, 6, covar, alpha, &chisq, fgauss, &lam);
  ia[6] = last_flag;
  lam = lambda;
  mrqmin(g.d.x.data(), g.d.y.data(), g.d.sig.data(), g.d.n(), a, ia, ma, covar, alpha, &chisq, fgauss, &lam);
}

TEST(MarquardtDeathTest, CallsThatDisagreeWithTheStartAreFatal) {
  // Another parameter count wrote past the state's arrays in the step; more fitted parameters
  // made covsrt read before its block at the finish.
  const char *count = "mrqmin: parameter count changed since the start of the fit";
  const char *fitted = "mrqmin: fitted-parameter count changed since the start of the fit";
  KW_EXPECT_NRERROR(call_outside_the_protocol(9, 0, 0.001f), count);
  KW_EXPECT_NRERROR(call_outside_the_protocol(3, 0, 0.0f), count);
  KW_EXPECT_NRERROR(call_outside_the_protocol(6, 1, 0.001f), fitted);
  KW_EXPECT_NRERROR(call_outside_the_protocol(6, 1, 0.0f), fitted);
}

TEST(Marquardt, PinnedBits) {
  GaussFit g;
  g.ia[4] = 0;
  g.a[1] = 2.3f, g.a[2] = -0.7f, g.a[6] = 0.5f;
  for (int it = 0; it < 4; it++) g.step();
  std::uint64_t h = kwtest::hash_bits(g.a + 1, 6);
  for (int j = 1; j <= 5; j++) h = kwtest::hash_bits(g.alpha[j] + 1, 5, h);  // the mfit block
  EXPECT_EQ(h, 0x38044607e6daf06aull);
  EXPECT_EQ(kwtest::bits(g.chisq), 0x2b15dbe0u);
  EXPECT_EQ(kwtest::bits(g.lambda), 0x33d6bf96u);
  g.finish();
  EXPECT_EQ(g.covar.hash(), 0xc0b1d7ea111a1741ull);
}

}  // namespace
