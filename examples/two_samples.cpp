// Two samples compared: Student's t with its two-sided p-value, and the Spearman rank
// correlation of paired measurements. Arrays are offset-indexed: element 1 is the first value.
#include <cstdio>

#include <kelvarinwizard/stat.h>

int main() {
  // Signal change (percent) in a region of interest, two groups of sessions.
  const float before[] = {0.82f, 1.10f, 0.95f, 1.31f, 0.78f, 1.02f, 0.91f, 1.18f};
  const float after[] = {1.21f, 1.45f, 1.02f, 1.60f, 1.33f, 1.19f, 1.52f, 1.28f};
  const unsigned long n = sizeof before / sizeof before[0];

  float *x = vector(1, (long)n);
  float *y = vector(1, (long)n);
  for (unsigned long i = 1; i <= n; i++) {
    x[i] = before[i - 1];
    y[i] = after[i - 1];
  }

  float ave1, var1, ave2, var2;
  avevar(x, n, &ave1, &var1);
  avevar(y, n, &ave2, &var2);
  std::printf("sample 1: n = %lu, mean %.4f, variance %.4f\n", n, ave1, var1);
  std::printf("sample 2: n = %lu, mean %.4f, variance %.4f\n", n, ave2, var2);

  // ttest delivers only the statistic; its degrees of freedom are n1 + n2 - 2.
  float t, unused;
  ttest(x, n, y, n, &t, &unused);
  const unsigned long df = n + n - 2;
  const float p = t_to_p(t, df);
  std::printf("Student's t = %.4f with %lu degrees of freedom, two-sided p = %.5f\n", t, df, p);
  std::printf("critical |t| at p = 0.05: %.4f -> %s\n", p_to_t(0.05f, df),
              p < 0.05f ? "the means differ" : "no difference shown");

  // Spearman: do sessions that were high before stay high after?
  float d, zd, probd, rs, probrs;
  spear(x, y, n, &d, &zd, &probd, &rs, &probrs);
  std::printf("Spearman rs = %.4f (two-sided p = %.5f); rank differences D = %g, z = %.4f (p = %.5f)\n",
              rs, probrs, d, zd, probd);

  free_vector(y, 1, (long)n);
  free_vector(x, 1, (long)n);
  return 0;
}
