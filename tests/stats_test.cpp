// Sample tests, correlations, statistic/p-value conversions and running sums, checked against
// long-double references and closed-form distribution functions.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "kw_test.h"
#include "stat.h"

namespace {

using kwtest::close;
using kwtest::eps;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const double kPi = 3.14159265358979323846;

// Offset-indexed view of a std::vector: element 1 is v[0].
float *from1(std::vector<float> &v) { return v.data() - 1; }

struct Moments {
  long double mean, var;
};
Moments moments(const std::vector<float> &v) {
  long double m = 0;
  for (float f : v) m += f;
  m /= v.size();
  long double s = 0;
  for (float f : v) s += (f - m) * (f - m);
  return {m, s / (v.size() - 1)};
}

// Two-sided p of Student's t for one and two degrees of freedom, in closed form.
double t_two_sided(double t, int df) {
  t = std::fabs(t);
  return df == 1 ? 1.0 - 2.0 / kPi * std::atan(t) : 1.0 - t / std::sqrt(t * t + 2.0);
}

std::vector<float> random_sample(kwtest::Rng &rng, int n, float lo, float hi) {
  std::vector<float> v(n);
  for (float &f : v) f = rng.uniform(lo, hi);
  return v;
}

}  // namespace

TEST(Avevar, KnownSamples) {
  std::vector<float> a = {1, 2, 3, 4}, b = {2, 4, 6, 8, 10};
  float ave, var;
  avevar(from1(a), 4, &ave, &var);
  EXPECT_EQ(ave, 2.5f);
  EXPECT_EQ(var, 1.6666666f);
  avevar(from1(b), 5, &ave, &var);
  EXPECT_EQ(ave, 6.0f);
  EXPECT_EQ(var, 10.0f);
}

TEST(Avevar, MatchesLongDouble) {
  kwtest::Rng rng(7);
  for (int n : {2, 3, 10, 100, 1000}) {
    std::vector<float> v = random_sample(rng, n, -5.0f, 20.0f);
    float ave, var;
    avevar(from1(v), n, &ave, &var);
    const Moments m = moments(v);
    // Single-precision sums of n terms: the error grows with n (n eps bounds it).
    EXPECT_TRUE(close(ave, (double)m.mean, n * eps, 1.0)) << n;
    EXPECT_TRUE(close(var, (double)m.var, 4 * n * eps)) << n;
  }
}

TEST(Avevar, ConstantDataHasZeroVariance) {
  // 431 copies of 0.1f: the correction term exceeds the rounded sum of squares, which used to
  // give a variance of about -4e-21.
  std::vector<float> c(431, 0.1f);
  float ave, var;
  avevar(from1(c), c.size(), &ave, &var);
  EXPECT_EQ(var, 0.0f);
  EXPECT_FALSE(std::signbit(var));
  for (float value : {0.1f, 0.3f, 1.7f, -2.9f, 1e-3f, 123.456f}) {
    for (int n = 2; n <= 600; n += 7) {
      std::vector<float> d(n, value);
      avevar(from1(d), n, &ave, &var);
      EXPECT_GE(var, 0.0f) << value << " x " << n;
      EXPECT_LT(var, 1e-12f) << value << " x " << n;
    }
  }
}

TEST(Ttest, PooledAndUnequalVariances) {
  std::vector<float> a = {1, 2, 3, 4}, b = {2, 4, 6, 8, 10};
  float t = 0, prob = -7.0f;
  ttest(from1(a), 4, from1(b), 5, &t, &prob);
  EXPECT_EQ(t, -2.0578065f);
  EXPECT_EQ(prob, -7.0f);  // not written
  tutest(from1(a), 4, from1(b), 5, &t, &prob);
  EXPECT_EQ(t, -2.2514362f);
  EXPECT_EQ(prob, -7.0f);
}

TEST(Ttest, MatchesLongDouble) {
  kwtest::Rng rng(11);
  for (int k = 0; k < 6; k++) {
    const int n1 = 5 + 13 * k, n2 = 3 + 7 * k;
    std::vector<float> a = random_sample(rng, n1, 0.0f, 10.0f), b = random_sample(rng, n2, 1.0f, 12.0f);
    const Moments m1 = moments(a), m2 = moments(b);
    const long double sp = ((n1 - 1) * m1.var + (n2 - 1) * m2.var) / (n1 + n2 - 2);
    const double t_pooled = (double)((m1.mean - m2.mean) / std::sqrt(sp * (1.0L / n1 + 1.0L / n2)));
    const double t_welch = (double)((m1.mean - m2.mean) / std::sqrt(m1.var / n1 + m2.var / n2));
    float t, prob;
    ttest(from1(a), n1, from1(b), n2, &t, &prob);
    // Cancellation in the difference of means; 1e-5 is loose enough for these spreads.
    EXPECT_TRUE(close(t, t_pooled, 1e-5)) << k;
    tutest(from1(a), n1, from1(b), n2, &t, &prob);
    EXPECT_TRUE(close(t, t_welch, 1e-5)) << k;
  }
}

TEST(Ttest, ConstantSamplesGiveZero) {
  std::vector<float> a(431, 0.1f), b(17, 0.1f), c(5, 2.0f);
  for (auto *f : {&ttest, &tutest}) {
    float t = kNaN, prob;
    f(from1(a), a.size(), from1(b), b.size(), &t, &prob);
    EXPECT_EQ(t, 0.0f);
    t = kNaN;
    f(from1(c), c.size(), from1(a), a.size(), &t, &prob);
    EXPECT_EQ(t, 0.0f);
  }
  // One constant sample alone does not stop tutest.
  std::vector<float> d = {1, 2, 3, 4};
  float t, prob;
  tutest(from1(c), c.size(), from1(d), d.size(), &t, &prob);
  EXPECT_TRUE(close(t, (2.0 - 2.5) / std::sqrt((5.0 / 3.0) / 4.0), 4 * eps));
}

TEST(Pearson, MatchesLongDouble) {
  kwtest::Rng rng(3);
  for (int n : {3, 10, 50, 400}) {
    std::vector<float> x = random_sample(rng, n, 0.0f, 1.0f), y(n);
    for (int i = 0; i < n; i++) y[i] = 0.6f * x[i] + rng.uniform(0.0f, 0.5f);
    long double mx = 0, my = 0;
    for (int i = 0; i < n; i++) mx += x[i], my += y[i];
    mx /= n, my /= n;
    long double sxx = 0, syy = 0, sxy = 0;
    for (int i = 0; i < n; i++) {
      sxx += (x[i] - mx) * (x[i] - mx);
      syy += (y[i] - my) * (y[i] - my);
      sxy += (x[i] - mx) * (y[i] - my);
    }
    const double want = (double)(sxy / std::sqrt(sxx * syy));
    float r = 0, prob = -1, z = -2;
    pearsn(from1(x), from1(y), n, &r, &prob, &z);
    EXPECT_TRUE(close(r, want, 2 * n * eps)) << n;
    EXPECT_EQ(prob, -1.0f);
    EXPECT_EQ(z, -2.0f);
    pearsn_prob(from1(x), from1(y), n, &r, &prob, &z);
    EXPECT_TRUE(close(r, want, 2 * n * eps)) << n;
    EXPECT_EQ(z, -2.0f);
    EXPECT_EQ(kwtest::bits(prob), kwtest::bits(r_to_p(r, n))) << n;
  }
}

TEST(Pearson, SignificanceInClosedForm) {
  // With n = 3 and n = 4 pairs the significance is the t distribution with 1 and 2 degrees of
  // freedom, t = r sqrt(df / (1 - r^2)).
  std::vector<float> x3 = {1, 2, 3}, y3 = {1, 3, 2}, x4 = {1, 2, 3, 4}, y4 = {2, 1, 4, 3};
  struct Case {
    std::vector<float> *x, *y;
    int n;
  } cases[] = {{&x3, &y3, 3}, {&x4, &y4, 4}};
  for (const Case &c : cases) {
    float r, prob, z;
    pearsn_prob(from1(*c.x), from1(*c.y), c.n, &r, &prob, &z);
    const int df = c.n - 2;
    const double t = r * std::sqrt(df / (1.0 - (double)r * r));
    EXPECT_TRUE(close(prob, t_two_sided(t, df), 16 * eps)) << c.n;
  }
}

TEST(Pearson, ConstantSampleGivesZero) {
  std::vector<float> x = {1, 2, 3, 4, 5}, c(5, 3.0f);
  float r = kNaN, prob = kNaN, z;
  pearsn(from1(x), from1(c), 5, &r, &prob, &z);
  EXPECT_EQ(r, 0.0f);
  r = kNaN;
  pearsn_prob(from1(c), from1(x), 5, &r, &prob, &z);
  EXPECT_EQ(r, 0.0f);
  EXPECT_EQ(prob, 1.0f);
}

TEST(Pearson, NearlyPerfectCorrelationStaysInRange) {
  // x = 1..17, y = 3.1 x used to give r = 1.00000012 and a NaN significance.
  std::vector<float> x(17), y(17), yneg(17);
  for (int i = 0; i < 17; i++) {
    x[i] = (float)(i + 1);
    y[i] = 3.1f * x[i];
    yneg[i] = -3.1f * x[i];
  }
  float r, prob, z;
  pearsn_prob(from1(x), from1(y), 17, &r, &prob, &z);
  EXPECT_EQ(r, 1.0f);
  EXPECT_FALSE(std::isnan(prob));
  EXPECT_GE(prob, 0.0f);
  EXPECT_LT(prob, 1e-6f);
  pearsn_prob(from1(x), from1(yneg), 17, &r, &prob, &z);
  EXPECT_EQ(r, -1.0f);
  EXPECT_LT(prob, 1e-6f);
  // Sweep lines y = k x over many k and lengths: r never leaves [-1, 1], prob stays a number.
  for (int n = 3; n <= 40; n++) {
    for (float k : {0.1f, 0.7f, 3.1f, -2.3f, 17.9f}) {
      std::vector<float> xs(n), ys(n);
      for (int i = 0; i < n; i++) xs[i] = 0.1f * (float)(i + 1), ys[i] = k * xs[i] + 4.0f;
      pearsn(from1(xs), from1(ys), n, &r, &prob, &z);
      EXPECT_LE(std::fabs(r), 1.0f);
      pearsn_prob(from1(xs), from1(ys), n, &r, &prob, &z);
      EXPECT_LE(std::fabs(r), 1.0f);
      EXPECT_FALSE(std::isnan(prob)) << n << " " << k;
    }
  }
}

TEST(Crank, RanksAndTieSums) {
  struct Case {
    std::vector<float> in, ranks;
    float tiesum;
  };
  const Case cases[] = {
      {{1, 2, 2, 3}, {1, 2.5f, 2.5f, 4}, 6},
      {{5, 5, 5}, {2, 2, 2}, 24},
      {{7}, {1}, 0},
      {{1, 2, 3, 4}, {1, 2, 3, 4}, 0},
      {{1, 1, 2, 2, 2, 3}, {1.5f, 1.5f, 4, 4, 4, 6}, 6 + 24},
      {{0, 4, 4}, {1, 2.5f, 2.5f}, 6},
  };
  for (const Case &c : cases) {
    std::vector<float> w = c.in;
    float s = -1;
    crank(w.size(), from1(w), &s);
    EXPECT_EQ(w, c.ranks);
    EXPECT_EQ(s, c.tiesum);
  }
}

TEST(Conversions, ForwardValues) {
  EXPECT_EQ(F_to_p(-1.0f, 5, 10), 0.0f);
  EXPECT_EQ(F_to_p(0.0f, 5, 10), 1.0f);
  EXPECT_NEAR(F_to_p(1.0f, 5, 10), 0.46512, 5e-6);
  EXPECT_NEAR(F_to_p(3.33f, 5, 10), 0.04983, 5e-6);
  EXPECT_NEAR(t_to_p(2.228f, 10), 0.05001, 5e-6);
  EXPECT_EQ(t_to_p(-2.228f, 10), t_to_p(2.228f, 10));
  EXPECT_EQ(t_to_p(0.0f, 7), 1.0f);
  EXPECT_EQ(r_to_p(0.0f, 20), 1.0f);
  EXPECT_EQ(r_to_p(1.0f, 20), 0.0f);
  EXPECT_NEAR(r_to_p(0.5f, 20), 0.024770, 5e-7);
  EXPECT_EQ(r_to_p(-0.5f, 20), r_to_p(0.5f, 20));
  EXPECT_EQ(r_to_p(0.3f, 0), 1.0f);
  EXPECT_EQ(r_to_p(0.3f, 1), 1.0f);
  EXPECT_GE(r_to_p(-1.0f, 20), 0.0f);
  EXPECT_LT(r_to_p(-1.0f, 20), 1e-6f);
}

TEST(Conversions, ForwardMatchesClosedForms) {
  // t with 1 and 2 degrees of freedom; F with 2 numerator degrees of freedom, whose upper
  // tail is (d / (d + 2 f))^(d / 2).
  for (float t : {0.1f, 0.5f, 1.0f, 2.0f, 4.3f, 12.7f}) {
    EXPECT_TRUE(close(t_to_p(t, 1), t_two_sided(t, 1), 16 * eps)) << t;
    EXPECT_TRUE(close(t_to_p(t, 2), t_two_sided(t, 2), 16 * eps)) << t;
  }
  for (float f : {0.2f, 1.0f, 3.0f, 9.5f}) {
    for (unsigned long d : {3ul, 8ul, 30ul}) {
      const double want = std::pow(d / (d + 2.0 * f), d / 2.0);
      EXPECT_TRUE(close(F_to_p(f, 2, d), want, 32 * eps)) << f << " " << d;
    }
  }
  // r from n = 3 pairs: t = r sqrt(1 / (1 - r^2)) with one degree of freedom.
  for (float r : {0.1f, 0.5f, -0.8f, 0.99f}) {
    const double t = r / std::sqrt(1.0 - (double)r * r);
    EXPECT_TRUE(close(r_to_p(r, 3), t_two_sided(t, 1), 16 * eps)) << r;
  }
}

TEST(Conversions, InverseSearch) {
  EXPECT_NEAR(p_to_F(0.05f, 5, 10), 3.3257f, 1e-4);
  EXPECT_NEAR(p_to_t(0.05f, 10), 2.2281f, 1e-4);
  EXPECT_NEAR(p_to_r(0.05f, 20), 0.44377f, 1e-5);
  // Every evaluation has p <= q: 25 full upward steps.
  EXPECT_EQ(p_to_F(1e-9f, 5, 10), 60.0f);
  EXPECT_EQ(p_to_t(1e-30f, 10), 54.0f);
  // A target above every q: the first move halves the step, then 24 moves of half a step down.
  EXPECT_EQ(p_to_F(2.0f, 5, 10), 10.0f - 2.0f - 24 * 1.0f);
  EXPECT_EQ(p_to_t(2.0f, 10), 4.0f - 2.0f - 24 * 1.0f);
}

namespace {

// The 25-move search written out from its rule, over the library's forward routine; records
// every value it moves to.
template <class Forward>
float search_by_rule(float p, float v, float s, Forward forward, std::vector<float> *moves) {
  bool upward = true;
  for (int k = 0; k < 25; k++) {
    const bool down = p > forward(v);  // a NaN q moves up
    v = down ? v - s : v + s;
    if (down == upward) s = s / 2.0f;  // halved after a reversing move
    upward = !down;
    moves->push_back(v);
  }
  return v;
}

}  // namespace

TEST(Conversions, InverseFollowsTheMoveRule) {
  std::vector<float> moves;
  const float f = search_by_rule(0.05f, 10.0f, 2.0f, [](float v) { return F_to_p(v, 5, 10); }, &moves);
  EXPECT_EQ(std::vector<float>(moves.begin(), moves.begin() + 8),
            (std::vector<float>{8, 7, 6, 5, 4, 3, 4, 3.5f}));
  EXPECT_EQ(kwtest::bits(p_to_F(0.05f, 5, 10)), kwtest::bits(f));
  moves.clear();
  search_by_rule(0.05f, 4.0f, 2.0f, [](float v) { return t_to_p(v, 10); }, &moves);
  EXPECT_EQ(std::vector<float>(moves.begin(), moves.begin() + 8),
            (std::vector<float>{2, 3, 2.5f, 2.25f, 2, 2.25f, 2.125f, 2.1875f}));
  // Bit for bit over targets inside and outside (0, 1), where r_to_p turns NaN beyond |r| = 1.
  for (float p : {-0.5f, 0.0f, 1e-6f, 0.003f, 0.05f, 0.31f, 0.77f, 1.0f, 1.5f}) {
    for (unsigned long k : {1ul, 3ul, 9ul, 50ul}) {
      const float F = search_by_rule(p, 10.0f, 2.0f, [=](float v) { return F_to_p(v, k, 2 * k + 1); }, &moves);
      const float t = search_by_rule(p, 4.0f, 2.0f, [=](float v) { return t_to_p(v, k); }, &moves);
      const float r = search_by_rule(p, 0.4f, 0.2f, [=](float v) { return r_to_p(v, k + 2); }, &moves);
      EXPECT_EQ(kwtest::bits(p_to_F(p, k, 2 * k + 1)), kwtest::bits(F)) << p << " " << k;
      EXPECT_EQ(kwtest::bits(p_to_t(p, k)), kwtest::bits(t)) << p << " " << k;
      EXPECT_EQ(kwtest::bits(p_to_r(p, k + 2)), kwtest::bits(r)) << p << " " << k;
    }
  }
}

TEST(Conversions, InverseRoundTrips) {
  // After 25 moves the step has halved at every reversal; the crossing lies within a few
  // final steps, so the forward value at the result is close to the target.
  for (float p : {0.001f, 0.01f, 0.05f, 0.2f, 0.5f}) {
    for (unsigned long df : {5ul, 12ul, 40ul}) {
      EXPECT_TRUE(close(t_to_p(p_to_t(p, df), df), p, 1e-3)) << p << " " << df;
      EXPECT_TRUE(close(F_to_p(p_to_F(p, 4, df), 4, df), p, 1e-3)) << p << " " << df;
      EXPECT_TRUE(close(r_to_p(p_to_r(p, df + 2), df + 2), p, 1e-3)) << p << " " << df;
    }
  }
}

TEST(Conversions, PToZ) {
  EXPECT_EQ(p_to_z(0.0f), 0.0f);
  EXPECT_NEAR(p_to_z(0.05f), 0.45296f, 5e-6);
  EXPECT_NEAR(p_to_z(0.5f), 1.66511f, 5e-6);
  EXPECT_NEAR(p_to_z(0.95f), 3.46164f, 5e-6);
  EXPECT_NEAR(p_to_z(1.0f), 7.98558f, 5e-5);
  EXPECT_LT(p_to_z(1.5f), 0.0f);
  // The closed form sign(y) sqrt(-2 ln y^2) with y = 1 - p.
  for (float p : {0.01f, 0.3f, 0.7f, 0.999f}) {
    const double y = 1.0 - (double)p;
    EXPECT_TRUE(close(p_to_z(p), std::sqrt(-2.0 * std::log(y * y)), 64 * eps)) << p;
  }
}

TEST(RunningSums, DocumentedSequences) {
  float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0, icpt, slope, my, r;
  regr_inc(1, 2, count, sx, sy, ssx, ssy, spxy, &icpt, &slope, &my);
  EXPECT_EQ(slope, 0.0f);
  EXPECT_EQ(icpt, 2.0f);
  EXPECT_EQ(my, 2.0f);
  regr_inc(2, 4, count, sx, sy, ssx, ssy, spxy, &icpt, &slope, &my);
  EXPECT_EQ(ssx, 0.25f);
  EXPECT_EQ(ssy, 1.0f);
  EXPECT_EQ(spxy, 0.5f);
  EXPECT_EQ(slope, 2.0f);
  EXPECT_EQ(icpt, 0.0f);
  EXPECT_EQ(my, 3.0f);
  pearsn_inc(3, 6, count, sx, sy, ssx, ssy, spxy, &r);
  EXPECT_EQ(count, 3.0f);
  EXPECT_EQ(ssx, 1.25f);
  EXPECT_EQ(ssy, 5.0f);
  EXPECT_EQ(spxy, 2.5f);
  EXPECT_EQ(r, 1.0f);

  count = sx = sy = ssx = ssy = spxy = 0;
  pearsn_inc(0, 0, count, sx, sy, ssx, ssy, spxy, &r);
  EXPECT_EQ(r, 0.0f);
  pearsn_inc(1, 1, count, sx, sy, ssx, ssy, spxy, &r);
  regr_inc(2, 0, count, sx, sy, ssx, ssy, spxy, &icpt, &slope, &my);
  EXPECT_EQ(ssx, 1.25f);
  EXPECT_EQ(ssy, 0.36111110f);
  EXPECT_EQ(spxy, -0.083333343f);
  EXPECT_EQ(slope, -0.066666678f);
  EXPECT_EQ(icpt, 0.40000004f);
}

TEST(RunningSums, MatchDefinitionAndConstantX) {
  // Increment i is (x_i - m_i)(y_i - n_i) with the means after pair i, summed in long double.
  kwtest::Rng rng(5);
  float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0, r = 0;
  long double lx = 0, ly = 0, lxx = 0, lyy = 0, lxy = 0;
  for (int i = 1; i <= 300; i++) {
    const float x = rng.uniform(0, 10), y = 0.5f * x + rng.uniform(-1, 1);
    pearsn_inc(x, y, count, sx, sy, ssx, ssy, spxy, &r);
    lx += x, ly += y;
    const long double dx = x - lx / i, dy = y - ly / i;
    lxx += dx * dx, lyy += dy * dy, lxy += dx * dy;
  }
  // Single-precision running sums over 300 pairs.
  EXPECT_TRUE(close(ssx, (double)lxx, 1e-4));
  EXPECT_TRUE(close(spxy, (double)lxy, 1e-4));
  EXPECT_TRUE(close(r, (double)(lxy / std::sqrt(lxx * lyy)), 1e-4));

  count = sx = sy = ssx = ssy = spxy = 0;
  float icpt, slope, my;
  for (float y : {1.0f, 5.0f, -2.0f}) {
    regr_inc(4.0f, y, count, sx, sy, ssx, ssy, spxy, &icpt, &slope, &my);
    EXPECT_EQ(slope, 0.0f);
    EXPECT_EQ(icpt, my);
    pearsn_inc(4.0f, y, count, sx, sy, ssx, ssy, spxy, &r);
    EXPECT_EQ(r, 0.0f);
  }
}

TEST(RunningSums, CorrelationStaysInRange) {
  // (0.1, 4.1), (0.2, 4.2) used to give r just above 1.
  float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0, r;
  pearsn_inc(0.1f, 4.1f, count, sx, sy, ssx, ssy, spxy, &r);
  pearsn_inc(0.2f, 4.2f, count, sx, sy, ssx, ssy, spxy, &r);
  EXPECT_EQ(r, 1.0f);
  for (int n = 2; n <= 50; n++) {
    for (float k : {1.0f, 0.3f, -7.1f}) {
      count = sx = sy = ssx = ssy = spxy = 0;
      for (int i = 1; i <= n; i++) pearsn_inc(0.1f * i, k * 0.1f * i + 4.0f, count, sx, sy, ssx, ssy, spxy, &r);
      EXPECT_LE(std::fabs(r), 1.0f) << n << " " << k;
    }
  }
}

namespace {

// Largest distance between the two empirical distribution functions, by counting at every
// value of either sample; each fraction rounded as count / n in single precision.
float ks_by_counting(std::vector<float> a, std::vector<float> b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  float best = 0.0f;
  for (const std::vector<float> *s : {&a, &b}) {
    for (float v : *s) {
      const float f1 = (float)(std::upper_bound(a.begin(), a.end(), v) - a.begin()) / (float)a.size();
      const float f2 = (float)(std::upper_bound(b.begin(), b.end(), v) - b.begin()) / (float)b.size();
      best = std::max(best, std::fabs(f2 - f1));
    }
  }
  return best;
}

// Midranks of a sample (1-based ranks, ties share their mean rank), in long double.
std::vector<long double> midranks(const std::vector<float> &v) {
  std::vector<long double> r(v.size());
  for (std::size_t i = 0; i < v.size(); i++) {
    long double below = 0, equal = 0;
    for (float u : v) below += (u < v[i]), equal += (u == v[i]);
    r[i] = below + (equal + 1) / 2;
  }
  return r;
}

}  // namespace

TEST(Kstwo, KnownSamples) {
  struct Case {
    std::vector<float> a, b;
    float d;
  };
  const Case cases[] = {
      {{1, 2}, {3, 4}, 1.0f},
      {{4, 1, 3}, {3, 1, 4}, 0.0f},
      {{1, 1, 1}, {0, 1}, 0.5f},  // used to be 2/3, measured inside the run of ones
      {{2, 2}, {2}, 0.0f},
      {{5}, {5, 5, 5, 6}, 0.25f},
      {{0.5f}, {0.25f}, 1.0f},
  };
  for (const Case &c : cases) {
    std::vector<float> a = c.a, b = c.b;
    float d = -1, prob = -3;
    kstwo(from1(a), a.size(), from1(b), b.size(), &d, &prob);
    EXPECT_EQ(d, c.d);
    EXPECT_EQ(prob, -3.0f);
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    EXPECT_TRUE(std::is_sorted(b.begin(), b.end()));
    std::sort(a.begin(), a.end());
    std::vector<float> sorted_in = c.a;
    std::sort(sorted_in.begin(), sorted_in.end());
    EXPECT_EQ(a, sorted_in);
  }
}

TEST(Kstwo, MatchesCountingWithAndWithoutTies) {
  kwtest::Rng rng(41);
  for (int k = 0; k < 40; k++) {
    const int n1 = 1 + (k * 7) % 53, n2 = 1 + (k * 11) % 47;
    // Odd rounds draw from a handful of values (ties within and across samples), even
    // rounds from a continuum (no ties, the merge's original path).
    const float grid = (k % 2) ? 4.0f : 0.0f;
    std::vector<float> a = random_sample(rng, n1, 0, 5), b = random_sample(rng, n2, 0.5f, 6);
    if (grid > 0) {
      for (float &f : a) f = std::round(f * grid) / grid;
      for (float &f : b) f = std::round(f * grid) / grid;
    }
    const float want = ks_by_counting(a, b);
    float d, prob;
    kstwo(from1(a), n1, from1(b), n2, &d, &prob);
    EXPECT_EQ(kwtest::bits(d), kwtest::bits(want)) << "round " << k;
  }
}

TEST(Kstwo, NaNSampleTerminates) {
  const std::vector<float> base = {0.3f, 1.5f, 2.5f, 0.7f, 4.0f, 1.0f, 2.0f, 3.0f, 9.0f, 0.1f};
  for (std::size_t at = 0; at < base.size(); at++) {
    for (int which = 0; which < 2; which++) {
      std::vector<float> a = base, b = {1.1f, 2.2f, 0.4f};
      (which ? b[at % b.size()] : a[at]) = kNaN;
      float d = 0, prob;
      kstwo(from1(a), a.size(), from1(b), b.size(), &d, &prob);
      EXPECT_TRUE(std::isnan(d)) << at << " " << which;
    }
  }
}

TEST(Spear, DocumentedSample) {
  std::vector<float> a = {1, 2, 3, 4, 5}, b = {2, 1, 4, 3, 5};
  const std::vector<float> a0 = a, b0 = b;
  float d, zd, probd, rs, probrs = -1;
  spear(from1(a), from1(b), 5, &d, &zd, &probd, &rs, &probrs);
  EXPECT_EQ(d, 4.0f);
  EXPECT_NEAR(zd, -1.6f, 2 * eps);
  EXPECT_NEAR(probd, 0.10960f, 5e-6);
  EXPECT_NEAR(rs, 0.8f, 2 * eps);
  EXPECT_EQ(kwtest::bits(probrs), kwtest::bits(r_to_p(rs, 5)));  // used to be left unwritten
  EXPECT_EQ(a, a0);
  EXPECT_EQ(b, b0);
}

TEST(Spear, MatchesPearsonOfMidranks) {
  kwtest::Rng rng(17);
  for (int k = 0; k < 24; k++) {
    const int n = 5 + 6 * k;
    std::vector<float> a = random_sample(rng, n, 0, 10), b(n);
    for (int i = 0; i < n; i++) b[i] = a[i] + rng.uniform(-4, 4);
    if (k % 2) {  // ties in both samples
      for (float &f : a) f = std::round(f);
      for (float &f : b) f = std::round(f);
    }
    const std::vector<long double> ra = midranks(a), rb = midranks(b);
    long double dsum = 0, ma = 0, mb = 0;
    for (int i = 0; i < n; i++) dsum += (ra[i] - rb[i]) * (ra[i] - rb[i]), ma += ra[i], mb += rb[i];
    ma /= n, mb /= n;
    long double saa = 0, sbb = 0, sab = 0;
    for (int i = 0; i < n; i++)
      saa += (ra[i] - ma) * (ra[i] - ma), sbb += (rb[i] - mb) * (rb[i] - mb), sab += (ra[i] - ma) * (rb[i] - mb);
    const double want_rs = (double)(sab / std::sqrt(saa * sbb));
    float d, zd, probd, rs, probrs;
    spear(from1(a), from1(b), n, &d, &zd, &probd, &rs, &probrs);
    EXPECT_TRUE(close(d, (double)dsum, n * eps)) << k;
    // rs comes from d and the tie sums through n^3 - n: cancellation grows with n.
    EXPECT_TRUE(close(rs, want_rs, 64 * eps * n, 1.0)) << k;
    EXPECT_TRUE(close(probrs, r_to_p((float)want_rs, n), 1e-3, 1e-3)) << k;
    EXPECT_TRUE(probd >= 0.0f && probd <= 1.0f) << k;
  }
}

TEST(Spear, IdenticalSamplesStayInRange) {
  // The same tie pattern in both samples: rs is 1 up to rounding and its significance must
  // stay a number. These two used to give rs = 1.00000012 and a NaN significance.
  const std::vector<float> rounding_up[] = {{0, 1, 0, 0, 0, 0}, {1, 1, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1}};
  for (const std::vector<float> &v : rounding_up) {
    std::vector<float> a = v, b = v;
    float d, zd, probd, rs, probrs;
    spear(from1(a), from1(b), a.size(), &d, &zd, &probd, &rs, &probrs);
    EXPECT_EQ(rs, 1.0f);
    EXPECT_EQ(probrs, 0.0f);
  }
  for (int n = 3; n <= 60; n++) {
    std::vector<float> a(n);
    for (int i = 0; i < n; i++) a[i] = (float)((n - i) / 2 + (i % 3 == 0 ? 0.5f : 0.0f));
    std::vector<float> b = a;
    float d, zd, probd, rs, probrs;
    spear(from1(a), from1(b), n, &d, &zd, &probd, &rs, &probrs);
    EXPECT_EQ(d, 0.0f);
    EXPECT_LE(rs, 1.0f) << n;
    EXPECT_NEAR(rs, 1.0f, 4 * eps) << n;
    EXPECT_FALSE(std::isnan(probrs)) << n;
    EXPECT_TRUE(probrs >= 0.0f && probrs < 0.05f) << n << " " << probrs;
  }
}

TEST(Spear, EntirelyTiedSample) {
  std::vector<float> a = {3, 3, 3, 3}, b = {1, 4, 2, 8};
  float d = -1, zd = -5, probd = -6, rs = -7, probrs = -8;
  spear(from1(a), from1(b), 4, &d, &zd, &probd, &rs, &probrs);
  EXPECT_EQ(rs, 0.0f);
  EXPECT_EQ(probrs, 0.0f);
  EXPECT_EQ(zd, -5.0f);
  EXPECT_EQ(probd, -6.0f);
  EXPECT_EQ(d, 5.0f);  // midranks 2.5 against 1, 3, 2, 4
}

TEST(Conversions, LargeDegreesOfFreedom) {
  // The float x = df / (t^2 + df) keeps few digits of its complement at large df (and is 1
  // from df = 1e8 on), and the half degrees of freedom stop adding in single precision:
  // t_to_p(2, df) was 0.0473 at 3e6, 1.5e-5 at 3e7 and 1 from 1e8. References: the exact
  // incomplete beta function at the exact arguments.
  struct Case {
    double df, t_p, f_p, r_p;  // t_to_p(2, df), F_to_p(3, 4, df), r_to_p(0.001f, df)
  };
  const Case cases[] = {{3e6, 0.045500353881316851, 0.017351413962013239, 0.083264553410662791},
                        {3e7, 0.045500272894852976, 0.01735128010917975, 4.3204288571376848e-8},
                        {1e8, 0.045500266595906753, 0.017351269698418623, 1.5239267466113637e-23}};
  for (const Case &c : cases) {
    const unsigned long df = (unsigned long)c.df;
    EXPECT_TRUE(close(t_to_p(2.0f, df), c.t_p, 16 * eps)) << "df = " << df;
    EXPECT_TRUE(close(t_to_p(-2.0f, df), c.t_p, 16 * eps)) << "df = " << df;
    EXPECT_TRUE(close(F_to_p(3.0f, 4, df), c.f_p, 16 * eps)) << "df = " << df;
    EXPECT_TRUE(close(r_to_p(0.001f, df), c.r_p, 16 * eps)) << "n = " << df;
  }
  EXPECT_TRUE(close(t_to_p(2.0f, 1000000000ul), 0.045500264166313247, 16 * eps));
}

TEST(Conversions, NaNGivesNaN) {
  for (float v : {p_to_t(kNaN, 20), p_to_F(kNaN, 3, 20), p_to_r(kNaN, 20), t_to_p(kNaN, 20),
                  F_to_p(kNaN, 3, 20), r_to_p(kNaN, 20)})
    EXPECT_TRUE(std::isnan(v));
}

TEST(Pearson, ExtremeScales) {
  // Products of deviations overflow (1e10 * 1e10 twice) or underflow (1e-12): the sums were
  // lost and r came out as 0 with p = 1. Perfectly correlated data at any scale give r = 1.
  for (float scale : {1e10f, 1e19f, 1e30f, 1e-12f, 1e-20f, 1e-30f, 1e-40f}) {
    std::vector<float> x = {1 * scale, 2 * scale, 3 * scale, 5 * scale};
    std::vector<float> y = x, minus_y = {-x[0], -x[1], -x[2], -x[3]};
    float r, prob, z;
    pearsn(from1(x), from1(y), 4, &r, &prob, &z);
    EXPECT_EQ(r, 1.0f) << "scale " << scale;
    pearsn_prob(from1(x), from1(minus_y), 4, &r, &prob, &z);
    EXPECT_EQ(r, -1.0f) << "scale " << scale;
    EXPECT_LT(prob, 1e-6f) << "scale " << scale;
    // One sample large, the other small: the product of the two sums of squares overflows or
    // underflows while each is fine.
    std::vector<float> w = {1e-15f, 2e-15f, 4e-15f, 3e-15f};
    pearsn(from1(x), from1(w), 4, &r, &prob, &z);
    EXPECT_TRUE(close(r, 0.680336051416609, 8 * eps)) << "scale " << scale;
  }
}

TEST(Pearson, NaNOrInfinityGivesNaN) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {kNaN, inf, -inf}) {
    std::vector<float> x = {1, 2, bad, 4}, y = {2, 1, 4, 3};
    float r = 0, prob = 0, z;
    pearsn(from1(x), from1(y), 4, &r, &prob, &z);
    EXPECT_TRUE(std::isnan(r));
    pearsn_prob(from1(y), from1(x), 4, &r, &prob, &z);
    EXPECT_TRUE(std::isnan(r));
    EXPECT_TRUE(std::isnan(prob));
  }
}

TEST(Spear, NaNGivesNaN) {
  // Two identical samples holding a NaN gave rs = -0.2.
  std::vector<float> x = {1, 2, kNaN, 4, 5}, y = x;
  float d, zd, probd, rs, probrs;
  spear(from1(x), from1(y), 5, &d, &zd, &probd, &rs, &probrs);
  for (float v : {d, zd, probd, rs, probrs}) EXPECT_TRUE(std::isnan(v));
}

TEST(RunningSums, ExtremeScales) {
  // Perfectly correlated pairs at scales where a square of the deviations, or the product of
  // the two sums, leaves the single-precision range.
  for (float scale : {1e12f, 1e-12f, 1e-17f}) {
    float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0, r = 0;
    for (int i = 1; i <= 4; i++) pearsn_inc(i * scale, i * 1e3f, count, sx, sy, ssx, ssy, spxy, &r);
    EXPECT_TRUE(close(r, 1.0, 4 * eps)) << "scale " << scale;
  }
  // Subnormal data: every square is lost to zero. The slope is unknown, not 0.
  float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0, a, b, my, r;
  for (int i = 1; i <= 3; i++) regr_inc(i * 1e-40f, i * 1e-40f, count, sx, sy, ssx, ssy, spxy, &a, &b, &my);
  EXPECT_TRUE(std::isnan(b));
  pearsn_inc(4e-40f, 4e-40f, count, sx, sy, ssx, ssy, spxy, &r);
  EXPECT_TRUE(std::isnan(r));
  // Squares that overflow: NaN rather than 0 from spXY / inf.
  count = sx = sy = ssx = ssy = spxy = 0;
  for (int i = 1; i <= 3; i++) regr_inc(i * 1e25f, (float)i, count, sx, sy, ssx, ssy, spxy, &a, &b, &my);
  EXPECT_TRUE(std::isnan(b));
  // Constant x is still no spread: slope 0.
  count = sx = sy = ssx = ssy = spxy = 0;
  for (int i = 1; i <= 3; i++) regr_inc(2.0f, (float)i, count, sx, sy, ssx, ssy, spxy, &a, &b, &my);
  EXPECT_EQ(b, 0.0f);
}

TEST(Stats, PinnedBits) {
  kwtest::Rng rng(99);
  std::vector<float> out;
  for (int k = 0; k < 20; k++) {
    const int n = 4 + 9 * k;
    std::vector<float> a = random_sample(rng, n, -3.0f, 8.0f), b = random_sample(rng, n, -1.0f, 9.0f);
    float v[4], z;
    avevar(from1(a), n, &v[0], &v[1]);
    ttest(from1(a), n, from1(b), n - 1, &v[2], &z);
    tutest(from1(a), n - 2, from1(b), n, &v[3], &z);
    out.insert(out.end(), v, v + 4);
    pearsn(from1(a), from1(b), n, &v[0], &z, &z);
    pearsn_prob(from1(a), from1(b), n, &v[1], &v[2], &z);
    out.insert(out.end(), v, v + 3);
    std::sort(a.begin(), a.end());
    for (float &f : a) f = std::round(f);  // ties
    crank(n, from1(a), &v[0]);
    out.push_back(v[0]);
    out.insert(out.end(), a.begin(), a.end());
    const float p = rng.uniform(0.001f, 0.5f);
    out.push_back(F_to_p(rng.uniform(0, 6), n, 2 * n));
    out.push_back(t_to_p(rng.uniform(-4, 4), n));
    out.push_back(r_to_p(rng.uniform(-1, 1), n));
    out.push_back(p_to_F(p, 3, n));
    out.push_back(p_to_t(p, n));
    out.push_back(p_to_r(p, n));
    out.push_back(p_to_z(p));
  }
  float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0, v[4];
  for (int i = 0; i < 100; i++) {
    const float x = rng.uniform(0, 5);
    regr_inc(x, 2 * x + rng.uniform(0, 1), count, sx, sy, ssx, ssy, spxy, &v[0], &v[1], &v[2]);
    pearsn_inc(x, rng.uniform(0, 1), count, sx, sy, ssx, ssy, spxy, &v[3]);
    out.insert(out.end(), v, v + 4);
  }
  EXPECT_EQ(kwtest::hash_bits(out.data(), out.size()), 17818589873908061830ull);
}

TEST(Stats, PinnedRankAndDistanceBits) {
  kwtest::Rng rng(123);
  std::vector<float> out;
  for (int k = 0; k < 30; k++) {
    const int n = 3 + 5 * k;
    std::vector<float> a = random_sample(rng, n, 0, 9), b = random_sample(rng, n + k % 4, 1, 10);
    if (k % 3 == 0)
      for (float &f : b) f = std::round(f);
    float v[5] = {0, 0, 0, 0, 0}, prob;
    spear(from1(a), from1(b), n, &v[0], &v[1], &v[2], &v[3], &v[4]);
    out.insert(out.end(), v, v + 5);
    kstwo(from1(a), n, from1(b), b.size(), &v[0], &prob);
    out.push_back(v[0]);
  }
  EXPECT_EQ(kwtest::hash_bits(out.data(), out.size()), 17268050408560367530ull);
}
