// Each test answering the question it fits. Arrays are offset-indexed: element 1 is the first.
//  1. Two independent groups of sessions: do their means differ (Student's t with pooled
//     variance, Welch's t with unequal variances), do their distributions differ
//     (Kolmogorov-Smirnov)?
//  2. Paired measurements, two regions in the same sessions: do they rise and fall together
//     (Pearson's r, Spearman's rank correlation)?
// The test routines deliver statistics; the p-values are formed as the header shows.
#include <cmath>
#include <cstdio>

#include <kelvarinwizard/stat.h>

namespace {

// A 1-based copy of a C array (the routines address from 1; kstwo also sorts in place).
float *from_1(const float *values, unsigned long n) {
  float *v = vector(1, (long)n);
  for (unsigned long i = 1; i <= n; i++) v[i] = values[i - 1];
  return v;
}

const char *verdict(float p) { return p < 0.05f ? "yes, at the 5% level" : "not shown at the 5% level"; }

void independent_groups() {
  // Signal change (percent) in one region: eight sessions of one group, ten of another.
  const float group1[] = {0.82f, 1.10f, 0.95f, 1.31f, 0.78f, 1.02f, 0.91f, 1.18f};
  const float group2[] = {1.21f, 1.45f, 1.02f, 1.60f, 1.33f, 1.19f, 1.52f, 1.28f, 1.71f, 0.97f};
  const unsigned long n1 = sizeof group1 / sizeof group1[0], n2 = sizeof group2 / sizeof group2[0];
  float *x = from_1(group1, n1), *y = from_1(group2, n2);

  std::printf("Two independent groups of sessions, signal change in one region (percent)\n");
  float mean1, var1, mean2, var2;
  avevar(x, n1, &mean1, &var1);
  avevar(y, n2, &mean2, &var2);
  std::printf("  group 1: n = %lu, mean %.4f, variance %.4f\n", n1, mean1, var1);
  std::printf("  group 2: n = %lu, mean %.4f, variance %.4f\n", n2, mean2, var2);

  std::printf("Do the means differ?\n");
  float t, unused;
  ttest(x, n1, y, n2, &t, &unused);
  const unsigned long df = n1 + n2 - 2;
  const float p = t_to_p(t, df);
  std::printf("  Student's t (pooled variance) = %.4f, %lu degrees of freedom, two-sided p = %.5f: %s\n",
              t, df, p, verdict(p));
  std::printf("  (critical |t| for p = 0.05 at %lu degrees of freedom: %.4f)\n", df, p_to_t(0.05f, df));

  // Welch: the degrees of freedom are fractional, so p comes from betai directly.
  float tw;
  tutest(x, n1, y, n2, &tw, &unused);
  const float s1 = var1 / (float)n1, s2 = var2 / (float)n2;
  const float dfw = (s1 + s2) * (s1 + s2) / (s1 * s1 / (float)(n1 - 1) + s2 * s2 / (float)(n2 - 1));
  const float pw = betai(0.5f * dfw, 0.5f, dfw / (dfw + tw * tw));
  std::printf("  Welch's t (unequal variances) = %.4f, %.2f degrees of freedom, two-sided p = %.5f: %s\n",
              tw, dfw, pw, verdict(pw));

  std::printf("Do the distributions differ?\n");
  float d;
  kstwo(x, n1, y, n2, &d, &unused);
  const float en = std::sqrt((float)(n1 * n2) / (float)(n1 + n2));
  const float pd = probks((en + 0.12f + 0.11f / en) * d);
  std::printf("  Kolmogorov-Smirnov D = %.4f, p = %.5f (asymptotic, rough for samples this small): %s\n",
              d, pd, verdict(pd));

  free_vector(y, 1, (long)n2);
  free_vector(x, 1, (long)n1);
}

void paired_measurements() {
  // Signal change in two regions, measured together in the same ten sessions: pair i belongs
  // to session i.
  const float region1[] = {0.82f, 1.10f, 0.95f, 1.31f, 0.78f, 1.02f, 0.91f, 1.18f, 1.25f, 0.88f};
  const float region2[] = {0.61f, 0.97f, 0.70f, 1.12f, 0.66f, 0.74f, 0.80f, 0.93f, 1.20f, 0.59f};
  const unsigned long n = sizeof region1 / sizeof region1[0];
  float *x = from_1(region1, n), *y = from_1(region2, n);

  std::printf("\nPaired measurements: two regions in the same %lu sessions\n", n);
  std::printf("Do the regions rise and fall together?\n");
  float r, prob, unused;
  pearsn_prob(x, y, n, &r, &prob, &unused);
  std::printf("  Pearson's r = %.4f, two-sided p = %.5f: %s\n", r, prob, verdict(prob));

  // spear's own significance is that of the rank-difference sum D; the significance of rs
  // itself is r_to_p's t approximation.
  float dsum, zd, probd, rs, probrs = 0.0f;
  spear(x, y, n, &dsum, &zd, &probd, &rs, &probrs);
  const float prs = r_to_p(rs, n);
  std::printf("  Spearman's rs = %.4f, two-sided p = %.5f: %s\n", rs, prs, verdict(prs));
  std::printf("  (sum of squared rank differences D = %g, z = %.4f, p = %.5f)\n", dsum, zd, probd);

  free_vector(y, 1, (long)n);
  free_vector(x, 1, (long)n);
}

}  // namespace

int main() {
  independent_groups();
  paired_measurements();
  return 0;
}
