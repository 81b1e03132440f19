// Sample tests, correlation, conversions and running sums.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "../stat.h"
#include "../stat_internal.h"
#include "cr_math.h"
#include "work_storage.h"

namespace {

float float_from_bits(std::uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

// Rounding can carry a correlation coefficient of a nearly perfect fit just past +-1, where
// its significance would take the root of a negative number. NaN passes through.
float clamp_unit(float r) {
  if (r > 1.0f) return 1.0f;
  if (r < -1.0f) return -1.0f;
  return r;
}

float clamp_probability(float p) {
  if (p < 0.0f) return 0.0f;
  if (p > 1.0f) return 1.0f;
  return p;
}

// Means of x[1..n] and y[1..n] and the three centred sums of squares and products.
void centred_sums(const float x[], const float y[], unsigned long n, float *sxx, float *syy, float *sxy) {
  float ax = 0.0f, ay = 0.0f;
  for (unsigned long j = 1; j <= n; j++) {
    ax = ax + x[j];
    ay = ay + y[j];
  }
  ax = ax / (float)n;
  ay = ay / (float)n;
  float xx = 0.0f, yy = 0.0f, xy = 0.0f;
  for (unsigned long j = 1; j <= n; j++) {
    const float xt = x[j] - ax;
    const float yt = y[j] - ay;
    xx = xx + xt * xt;
    yy = yy + yt * yt;
    xy = xy + xt * yt;
  }
  *sxx = xx;
  *syy = yy;
  *sxy = xy;
}

// Whether the single-precision sums can carry a correlation: finite, sums of squares at least
// 2^-102 (below that the squares summed were subnormal or lost to zero, so the data's spread,
// not their shape, decides the result) and a product of the two that is a normal number.
// Exactly constant data fail too and are answered in double as well, with the same r = 0.
bool float_sums_hold(float sxx, float syy, float sxy) {
  if (!(std::isfinite(sxx) && std::isfinite(syy) && std::isfinite(sxy))) return false;
  if (sxx < 0x1p-102f || syy < 0x1p-102f) return false;
  return std::isnormal(sxx * syy);
}

// Pearson's r of x[1..n], y[1..n] in double throughout, where no square of float data can
// overflow or underflow; 0 for a constant sample, NaN for data holding a NaN or infinity.
float pearson_r_double(const float x[], const float y[], unsigned long n) {
  double ax = 0.0, ay = 0.0;
  for (unsigned long j = 1; j <= n; j++) {
    if (!std::isfinite(x[j]) || !std::isfinite(y[j])) return std::numeric_limits<float>::quiet_NaN();
    ax += (double)x[j];
    ay += (double)y[j];
  }
  ax /= (double)n;
  ay /= (double)n;
  double xx = 0.0, yy = 0.0, xy = 0.0;
  for (unsigned long j = 1; j <= n; j++) {
    const double xt = (double)x[j] - ax, yt = (double)y[j] - ay;
    xx += xt * xt;
    yy += yt * yt;
    xy += xt * yt;
  }
  if (!(xx > 0.0 && yy > 0.0)) return 0.0f;
  return clamp_unit((float)(xy / std::sqrt(xx * yy)));
}

// betai(a, b, x) for an x = 1 - c that the caller rounded to single precision from its exact
// complement c. Near x = 1 the float keeps few digits of c (none at all from t_to_p's df of
// about 1.7e7 on). Where its complement is off from c by more than 2^-12, the result is also
// formed from c itself, in double, with the exact half degrees of freedom a_exact, b_exact,
// and replaces the single-precision one if the two differ by more than 2^-10 of it (t_to_p(2,
// 3e6) came out as 0.0473 instead of 0.0455, and as 1 from df = 1e8 on, where x rounds to 1).
float betai_from_complement(float a, float b, float x, double a_exact, double b_exact, double c) {
  const float p = betai(a, b, x);
  if (std::fabs((1.0 - (double)x) - c) > 0x1p-12 * c) {  // false for NaN
    const float exact = kw_beta_detail::ibeta(a_exact, b_exact, 1.0 - c, c);
    if (std::fabs((double)p - (double)exact) > 0x1p-10 * (double)exact) return exact;
  }
  return p;
}

// The fixed 25-move search shared by the three inverse conversions: move the statistic against
// the side the forward probability lies on, halving the step after each reversal.
template <class Forward>
float step_search(float p, float v, float s, Forward forward) {
  bool up = true;
  for (int k = 0; k < 25; k++) {
    const float q = forward(v);
    if (p > q) {
      v = v - s;
      if (up) s = s / 2.0f;
      up = false;
    } else {  // also when q is NaN
      v = v + s;
      if (!up) s = s / 2.0f;
      up = true;
    }
  }
  return v;
}

}  // namespace

void avevar(float data[], unsigned long n, float *ave, float *var) {
  float mean = 0.0f;
  for (unsigned long j = 1; j <= n; j++) mean = data[j] + mean;
  mean = mean / (float)n;
  float ep = 0.0f, v = 0.0f;
  for (unsigned long j = 1; j <= n; j++) {
    const float s = data[j] - mean;
    ep = ep + s;
    v = s * s + v;
  }
  v = (v - ep * ep / (float)n) / (float)(n - 1);
  // The correction ep^2/n can exceed the rounded sum of squares of nearly constant data by a
  // few spacings; a variance is never negative.
  if (v < 0.0f) v = 0.0f;
  *ave = mean;
  *var = v;
}

void ttest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t, float *prob) {
  (void)prob;
  float ave1, var1, ave2, var2;
  avevar(data1, n1, &ave1, &var1);
  avevar(data2, n2, &ave2, &var2);
  const float df = (float)(n1 + n2 - 2);
  const float svar = ((float)(n1 - 1) * var1 + var2 * (float)(n2 - 1)) / df;
  if (svar == 0.0f) {
    *t = 0.0f;
    return;
  }
  const double spread = (double)svar * (1.0 / (double)n1 + 1.0 / (double)n2);
  *t = (float)((double)(ave1 - ave2) / std::sqrt(spread));
}

void tutest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t, float *prob) {
  (void)prob;
  float ave1, var1, ave2, var2;
  avevar(data1, n1, &ave1, &var1);
  avevar(data2, n2, &ave2, &var2);
  if (var1 == 0.0f && var2 == 0.0f) {
    *t = 0.0f;
    return;
  }
  const float spread = var1 / (float)n1 + var2 / (float)n2;
  *t = (float)((double)(ave1 - ave2) / std::sqrt((double)spread));
}

void pearsn(float x[], float y[], unsigned long n, float *r, float *prob, float *z) {
  (void)prob;
  (void)z;
  float sxx, syy, sxy;
  centred_sums(x, y, n, &sxx, &syy, &sxy);
  if (!float_sums_hold(sxx, syy, sxy)) {
    *r = pearson_r_double(x, y, n);
    return;
  }
  const float den = (float)std::sqrt((double)(sxx * syy));
  *r = den > 0.0f ? clamp_unit(sxy / den) : 0.0f;
}

void pearsn_prob(float x[], float y[], unsigned long n, float *r, float *prob, float *z) {
  (void)z;
  float sxx, syy, sxy;
  centred_sums(x, y, n, &sxx, &syy, &sxy);
  float rr;
  if (float_sums_hold(sxx, syy, sxy)) {
    const double root = std::sqrt((double)(sxx * syy));
    rr = (float)root > 0.0f ? clamp_unit((float)((double)sxy / root)) : 0.0f;
  } else {
    rr = pearson_r_double(x, y, n);
  }
  *r = rr;
  const float df = (float)(n - 2);
  const double rd = (double)rr;
  const float tv = (float)(rd * std::sqrt((double)df / ((rd + 1.0 + 1e-20) * ((1.0 - rd) + 1e-20))));
  // The complement of df / (df + tv^2) is r^2.
  *prob = betai_from_complement(0.5f * df, 0.5f, df / (df + tv * tv), 0.5 * (double)(n - 2), 0.5, rd * rd);
}

void crank(unsigned long n, float w[], float *s) {
  float tiesum = 0.0f;
  unsigned long j = 1;
  while (j < n) {
    if (w[j + 1] != w[j]) {  // a NaN compares as different
      w[j] = (float)j;
      j = j + 1;
    } else {
      unsigned long jt = j + 1;
      while (jt <= n && w[jt] == w[j]) jt = jt + 1;
      const float rank = (float)(0.5 * (double)(j + jt - 1));
      for (unsigned long ji = j; ji <= jt - 1; ji++) w[ji] = rank;
      const float tl = (float)(jt - j);
      tiesum = (tl * tl * tl - tl) + tiesum;
      j = jt;
    }
  }
  if (j == n) w[n] = (float)n;
  *s = tiesum;
}

void kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2, float *d, float *prob) {
  (void)prob;
  sort(n1, data1);
  sort(n2, data2);
  // A NaN has no place in either distribution function (and would stop both indices in the
  // merge below): the distance is undefined.
  for (unsigned long j = 1; j <= n1; j++) {
    if (std::isnan(data1[j])) {
      *d = std::numeric_limits<float>::quiet_NaN();
      return;
    }
  }
  for (unsigned long j = 1; j <= n2; j++) {
    if (std::isnan(data2[j])) {
      *d = std::numeric_limits<float>::quiet_NaN();
      return;
    }
  }
  const float en1 = (float)n1, en2 = (float)n2;
  float fn1 = 0.0f, fn2 = 0.0f, dmax = 0.0f;
  unsigned long j1 = 1, j2 = 1;
  while (j1 <= n1 && j2 <= n2) {
    const float d1 = data1[j1], d2 = data2[j2];
    // Step over the whole run of a repeated value before measuring: the distribution
    // functions only jump once per distinct value. Without repeats this is one step, and
    // fn = (index of the last value taken) / n as before.
    if (d1 <= d2) {
      do j1++;
      while (j1 <= n1 && data1[j1] == d1);
      fn1 = (float)(j1 - 1) / en1;
    }
    if (d2 <= d1) {
      do j2++;
      while (j2 <= n2 && data2[j2] == d2);
      fn2 = (float)(j2 - 1) / en2;
    }
    const float dt = std::fabs(fn2 - fn1);
    if (dt > dmax) dmax = dt;
  }
  *d = dmax;
}

namespace {

// Ranks both samples (ties share their mean rank) and returns the sum of squared rank
// differences; *sf and *sg receive crank's tie terms. The work vectors live here only: with
// them alive around the statistics that follow, GCC kept this sum in memory.
float squared_rank_differences(const float data1[], const float data2[], unsigned long n, float *sf,
                               float *sg) {
  const kw_work::Vector<float> w1(1, (long)n);
  const kw_work::Vector<float> w2(1, (long)n);
  for (unsigned long j = 1; j <= n; j++) {
    w1[j] = data1[j];
    w2[j] = data2[j];
  }
  sort2(n, w1, w2);
  crank(n, w1, sf);
  sort2(n, w2, w1);
  crank(n, w2, sg);
  float dd = 0.0f;
  for (unsigned long j = 1; j <= n; j++) {
    const float diff = w1[j] - w2[j];
    dd = dd + diff * diff;
  }
  return dd;
}

}  // namespace

void spear(float data1[], float data2[], unsigned long n, float *d, float *zd, float *probd, float *rs,
           float *probrs) {
  for (unsigned long j = 1; j <= n; j++) {
    if (std::isnan(data1[j]) || std::isnan(data2[j])) {
      // A NaN has no rank: every statistic is undefined.
      *d = *zd = *probd = *rs = *probrs = std::numeric_limits<float>::quiet_NaN();
      return;
    }
  }
  float sf, sg;
  const float dd = squared_rank_differences(data1, data2, n, &sf, &sg);
  *d = dd;
  const float en = (float)n;
  const float en3n = en * en * en - en;
  const float ties = sf + sg;
  const float aved = (float)((double)en3n / 6.0 - (double)ties / 12.0);
  const float fac = (float)((1.0 - (double)(sf / en3n)) * (1.0 - (double)(sg / en3n)));
  const float enp1 = en + 1.0f;
  const float enp1sq = enp1 * enp1;  // formed and squared in single, then widened
  const double cube = ((double)en - 1.0) * (double)en * (double)en;
  const float vard = (float)((double)fac * (cube * (double)enp1sq / 36.0));
  if (vard == 0.0f || fac == 0.0f) {
    *rs = 0.0f;
    *probrs = 0.0f;
  } else {
    const float z = (float)((double)(dd - aved) / std::sqrt((double)vard));
    *zd = z;
    *probd = clamp_probability(erfcc((float)(std::fabs((double)z) / 1.4142136)));
    const float r = clamp_unit((float)((1.0 - (6.0 / (double)en3n) * ((double)dd + (double)ties / 12.0)) /
                                       std::sqrt((double)fac)));
    *rs = r;
    *probrs = r_to_p(r, n);
  }
}

float F_to_p(float F, unsigned long df1, unsigned long df2) {
  if (F < 0.0f) return 0.0f;
  const float f1 = (float)df1, f2 = (float)df2;
  const float x = f2 / (f1 * F + f2);
  const double g = (double)df1 * (double)F;
  return betai_from_complement(0.5f * f2, 0.5f * f1, x, 0.5 * (double)df2, 0.5 * (double)df1, g / (g + (double)df2));
}

float t_to_p(float t, unsigned long df) {
  const float f = (float)df;
  const float x = f / (t * t + f);
  const double t2 = (double)t * (double)t;
  return betai_from_complement(0.5f * f, 0.5f, x, 0.5 * (double)df, 0.5, t2 / (t2 + (double)df));
}

float r_to_p(float r, unsigned long n) {
  if (n < 2) return 1.0f;
  if (r == 0.0f) return 1.0f;
  if (r == 1.0f) return 0.0f;
  // The count enters arithmetic as a float, here as everywhere; the root widens that float.
  const float f = (float)(n - 2);
  const double rd = (double)r;
  const float tv = (float)(rd * std::sqrt((double)f / ((rd + 1.0 + 1e-20) * ((1.0 - rd) + 1e-20))));
  // The complement of f / (tv^2 + f) is r^2.
  return betai_from_complement(0.5f * f, 0.5f, f / (tv * tv + f), 0.5 * (double)(n - 2), 0.5, rd * rd);
}

float p_to_F(float p, unsigned long df1, unsigned long df2) {
  if (std::isnan(p)) return p;  // the search would climb to its upper end
  return step_search(p, 10.0f, 2.0f, [=](float v) { return F_to_p(v, df1, df2); });
}

float p_to_t(float p, unsigned long df) {
  if (std::isnan(p)) return p;  // the search would climb to its upper end
  return step_search(p, 4.0f, 2.0f, [=](float v) { return t_to_p(v, df); });
}

float p_to_r(float p, unsigned long n) {
  if (std::isnan(p)) return p;  // the search would climb to its upper end
  return step_search(p, float_from_bits(0x3ECCCCCDu), float_from_bits(0x3E4CCCCDu),
                     [=](float v) { return r_to_p(v, n); });
}

float p_to_z(float p) {
  if (p == 1.0f) p = float_from_bits(0x3F7FFFFEu);  // 1 - 2^-23, so that ln w stays finite
  const float y = 1.0f - p;
  const float w = y * y;
  const float f = (float)std::sqrt(-2.0 * kw_crmath::cr_log((double)w) / (double)w);
  return y * f;
}

namespace {

// The update both running routines share: deviations from the means after the new pair.
void fold_pair(float x, float y, float &count, float &sumX, float &sumY, float &ssX, float &ssY,
               float &spXY) {
  count = count + 1.0f;
  sumX = sumX + x;
  sumY = sumY + y;
  const float dx = x - sumX / count;
  const float dy = y - sumY / count;
  ssX = dx * dx + ssX;
  ssY = dy * dy + ssY;
  spXY = dx * dy + spXY;
}


// Whether the caller's running sum of squared deviations has lost the spread of the data: it
// overflowed, or it is below the normal range although this pair deviates from the mean (or it
// is subnormal), so squares fell below what a float holds. A sum of 0 with a pair at the mean
// is taken as data without spread, as before.
bool spread_lost(float ss, float deviation) {
  if (!(ss <= 3.40282347e38f)) return true;
  return ss < 0x1p-126f && (ss > 0.0f || deviation != 0.0f);
}

}  // namespace

void regr_inc(float x, float y, float &count, float &sumX, float &sumY, float &ssX, float &ssY,
              float &spXY, float *intercept, float *slope, float *meanY) {
  fold_pair(x, y, count, sumX, sumY, ssX, ssY, spXY);
  float b = ssX > 0.0f ? spXY / ssX : 0.0f;
  if (spread_lost(ssX, x - sumX / count)) b = std::numeric_limits<float>::quiet_NaN();
  const float my = sumY / count;
  *slope = b;
  *meanY = my;
  *intercept = my - (b * sumX) / count;
}

void pearsn_inc(float x, float y, float &count, float &sumX, float &sumY, float &ssX, float &ssY,
                float &spXY, float *r) {
  fold_pair(x, y, count, sumX, sumY, ssX, ssY, spXY);
  if (spread_lost(ssX, x - sumX / count) || spread_lost(ssY, y - sumY / count)) {
    *r = std::numeric_limits<float>::quiet_NaN();
    return;
  }
  const float prod = ssY * ssX;
  // Two positive sums whose single-precision product overflows or underflows: the root of
  // their product in double instead.
  const float den = std::isnormal(prod) || !(ssX > 0.0f && ssY > 0.0f)
                        ? (float)std::sqrt((double)prod)
                        : (float)std::sqrt((double)ssY * (double)ssX);
  *r = den > 0.0f ? clamp_unit(spXY / den) : 0.0f;
}
