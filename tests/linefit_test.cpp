// Straight-line least squares, checked against the normal equations solved in long double.
#include <cmath>
#include <vector>

#include "kw_test.h"
#include "stat.h"

namespace {

using kwtest::close;
using kwtest::eps;

struct Fit {
  float a, b, siga, sigb, chi2, q;
};

Fit run_fit(std::vector<float> &x, std::vector<float> &y, std::vector<float> &sig, int mwt) {
  Fit f{};
  fit(x.data() - 1, y.data() - 1, (int)x.size(), sig.data() - 1, mwt, &f.a, &f.b, &f.siga, &f.sigb,
      &f.chi2, &f.q);
  return f;
}

// Weighted least squares by the normal equations, in long double: intercept, slope, their
// standard uncertainties and the chi-square.
struct Reference {
  long double a, b, siga, sigb, chi2;
};
Reference normal_equations(const std::vector<float> &x, const std::vector<float> &y,
                           const std::vector<float> &sig) {
  long double s = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < x.size(); i++) {
    const long double w = 1.0L / ((long double)sig[i] * sig[i]);
    s += w, sx += w * x[i], sy += w * y[i], sxx += w * x[i] * x[i], sxy += w * x[i] * y[i];
  }
  const long double det = s * sxx - sx * sx;
  Reference r;
  r.a = (sxx * sy - sx * sxy) / det;
  r.b = (s * sxy - sx * sy) / det;
  r.siga = std::sqrt(sxx / det);
  r.sigb = std::sqrt(s / det);
  r.chi2 = 0;
  for (std::size_t i = 0; i < x.size(); i++) {
    const long double e = (y[i] - r.a - r.b * x[i]) / sig[i];
    r.chi2 += e * e;
  }
  return r;
}

// Q(a, x) by the long-double series of P, for checking the goodness of fit.
long double q_reference(long double a, long double x) {
  long double ap = a, del = 1.0L / a, sum = del;
  while (del > sum * 1e-21L) {
    ap += 1.0L;
    del *= x / ap;
    sum += del;
  }
  return 1.0L - sum * std::exp(-x + a * std::log(x) - std::lgamma(a));
}

}  // namespace

TEST(LineFit, ExactLine) {
  std::vector<float> x = {1, 2, 3}, y = {3, 5, 7}, sig = {9, 9, 9};
  const Fit f = run_fit(x, y, sig, 0);
  EXPECT_EQ(f.a, 1.0f);
  EXPECT_EQ(f.b, 2.0f);
  EXPECT_EQ(f.chi2, 0.0f);
  EXPECT_EQ(f.q, 1.0f);
  EXPECT_EQ(f.siga, 0.0f);
  EXPECT_EQ(f.sigb, 0.0f);
}

TEST(LineFit, MatchesNormalEquations) {
  kwtest::Rng rng(8);
  for (int n : {3, 5, 20, 200}) {
    std::vector<float> x(n), y(n), sig(n), ones(n, 1.0f);
    for (int i = 0; i < n; i++) {
      x[i] = rng.uniform(-2, 10);
      sig[i] = rng.uniform(0.2f, 2.0f);
      y[i] = 1.5f - 0.7f * x[i] + sig[i] * rng.uniform(-1, 1);
    }
    // Single-precision sums of n terms around a centred abscissa: 8 n eps.
    const double tol = 8 * n * eps;
    const Reference w = normal_equations(x, y, sig);
    const Fit fw = run_fit(x, y, sig, 1);
    EXPECT_TRUE(close(fw.a, (double)w.a, tol, 1.0)) << n;
    EXPECT_TRUE(close(fw.b, (double)w.b, tol, 1.0)) << n;
    EXPECT_TRUE(close(fw.siga, (double)w.siga, tol)) << n;
    EXPECT_TRUE(close(fw.sigb, (double)w.sigb, tol)) << n;
    EXPECT_TRUE(close(fw.chi2, (double)w.chi2, tol, 1.0)) << n;
    EXPECT_TRUE(close(fw.q, (double)q_reference(0.5L * (n - 2), 0.5L * fw.chi2), 1e-4, 1e-6)) << n;

    // Unweighted: the same line with unit sigmas, uncertainties scaled by the scatter.
    const Reference u = normal_equations(x, y, ones);
    const Fit fu = run_fit(x, y, sig, 0);
    const long double scale = std::sqrt(u.chi2 / (n - 2));
    EXPECT_TRUE(close(fu.a, (double)u.a, tol, 1.0)) << n;
    EXPECT_TRUE(close(fu.b, (double)u.b, tol, 1.0)) << n;
    EXPECT_TRUE(close(fu.siga, (double)(u.siga * scale), tol)) << n;
    EXPECT_TRUE(close(fu.sigb, (double)(u.sigb * scale), tol)) << n;
    EXPECT_EQ(fu.q, 1.0f);
  }
}

TEST(LineFit, UnitSigmasMatchUnweighted) {
  std::vector<float> x = {0.5f, 1.0f, 2.0f, 3.5f, 4.0f}, y = {1.1f, 1.9f, 4.2f, 6.8f, 8.1f};
  std::vector<float> ones(5, 1.0f);
  const Fit w = run_fit(x, y, ones, 1);
  const Fit u = run_fit(x, y, ones, 0);
  EXPECT_EQ(w.a, u.a);
  EXPECT_EQ(w.b, u.b);
  EXPECT_EQ(w.chi2, u.chi2);
  // Unscaled uncertainties sqrt((1 + sx^2/(ss st2))/ss) and sqrt(1/st2), with ss = 5, sx = 11,
  // st2 = sum (x - 2.2)^2 = 9.3.
  EXPECT_TRUE(close(w.siga, std::sqrt((1.0 + 121.0 / (5.0 * 9.3)) / 5.0), 4 * eps));
  EXPECT_TRUE(close(w.sigb, std::sqrt(1.0 / 9.3), 4 * eps));
  EXPECT_EQ(kwtest::bits(w.q), kwtest::bits(gammq(1.5f, 0.5f * w.chi2)));
}

TEST(LineFit, ThreeWeightedPoints) {
  std::vector<float> x = {1, 2, 3}, y = {1, 3, 2}, sig = {0.5f, 1.0f, 2.0f};
  const Fit f = run_fit(x, y, sig, 1);
  EXPECT_EQ(kwtest::bits(f.q), kwtest::bits(gammq(0.5f, 0.5f * f.chi2)));
  EXPECT_GT(f.q, 0.0f);
  EXPECT_LT(f.q, 1.0f);
}

TEST(LineFit, ManyWeightedPoints) {
  // About 800 points put gammq at a = x = 400, where its series needs more than 100 terms;
  // that used to end the process.
  kwtest::Rng rng(800);
  for (int n : {800, 802, 5000}) {
    std::vector<float> x(n), y(n), sig(n, 0.1f);
    for (int i = 0; i < n; i++) {
      x[i] = (float)i / (float)n;
      float noise = rng.uniform(-0.1f, 0.1f);
      noise += rng.uniform(-0.1f, 0.1f);
      y[i] = 2.0f + 3.0f * x[i] + noise;
    }
    const Fit f = run_fit(x, y, sig, 1);
    EXPECT_TRUE(close(f.b, 3.0, 0.05)) << n;
    EXPECT_TRUE(close(f.q, (double)q_reference(0.5L * (n - 2), 0.5L * f.chi2), 1e-4, 1e-6)) << n;
  }
}

TEST(LineFit, DegenerateInputs) {
  // Unweighted with two points: the scale divides 0 by 0.
  std::vector<float> x = {1, 2}, y = {1, 3}, sig = {1, 1};
  const Fit f = run_fit(x, y, sig, 0);
  EXPECT_EQ(f.a, -1.0f);
  EXPECT_EQ(f.b, 2.0f);
  EXPECT_EQ(f.chi2, 0.0f);
  EXPECT_TRUE(std::isnan(f.siga));
  EXPECT_TRUE(std::isnan(f.sigb));
  // A zero sigma gives an infinite weight and non-finite results.
  std::vector<float> x3 = {1, 2, 3}, y3 = {1, 2, 4}, s3 = {1, 0, 1};
  const Fit g = run_fit(x3, y3, s3, 1);
  EXPECT_FALSE(std::isfinite(g.a) && std::isfinite(g.b));
  // Weighted with two points: gammq sees a = 0. With one point it sees a = -0.5 and a NaN
  // chi-square, and the invalid argument is reported before the NaN can pass.
  KW_EXPECT_NRERROR(run_fit(x, y, sig, 1), "Invalid arguments in routine gammq");
  std::vector<float> x1 = {1}, y1 = {2}, s1 = {1};
  KW_EXPECT_NRERROR(run_fit(x1, y1, s1, 1), "Invalid arguments in routine gammq");
}

TEST(LineFit, PinnedBits) {
  kwtest::Rng rng(4242);
  std::vector<float> out;
  for (int k = 0; k < 12; k++) {
    const int n = 3 + 11 * k;
    std::vector<float> x(n), y(n), sig(n);
    for (int i = 0; i < n; i++) {
      x[i] = rng.uniform(0, 5);
      y[i] = rng.uniform(-1, 1) + 0.3f * x[i];
      sig[i] = rng.uniform(0.1f, 1.0f);
    }
    for (int mwt : {0, 1}) {
      const Fit f = run_fit(x, y, sig, mwt);
      out.insert(out.end(), {f.a, f.b, f.siga, f.sigb, f.chi2, f.q});
    }
  }
  EXPECT_EQ(kwtest::hash_bits(out.data(), out.size()), 16448777622274720590ull);
}
