// A short tour of the numerical library: one small computation from each subsystem. Every
// line starts with the subsystem it comes from and ends with the value it should come close to.
#include <kelvarinwizard/stat.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

// One line of the tour: the subsystem in a column of its own, then the text.
void say(const char *subsystem, const char *format, ...) {
  std::printf("  %-20s", subsystem);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}

void arrays() {
  float *v = vector(1, 4);
  for (long i = 1; i <= 4; i++) v[i] = (float)(i * i);
  float **m = matrix(1, 2, 1, 3);
  say("arrays", "vector(1, 4) holds v[1]..v[4] = %g %g %g %g; matrix(1, 2, 1, 3) rows %td floats apart",
      v[1], v[2], v[3], v[4], m[2] - m[1]);
  free_matrix(m, 1, 2, 1, 3);
  free_vector(v, 1, 4);
}

void linear_algebra() {
  // A symmetric 3 x 3 matrix, addressed from 1.
  const float values[3][3] = {{4, 1, 0}, {1, 3, 1}, {0, 1, 2}};
  float **a = matrix(1, 3, 1, 3), **v = matrix(1, 3, 1, 3), **b = matrix(1, 3, 1, 1);
  float *w = vector(1, 3);
  for (int i = 1; i <= 3; i++) {
    for (int j = 1; j <= 3; j++) a[i][j] = values[i - 1][j - 1];
    b[i][1] = 1.0f;
  }
  svdcmp(a, 3, 3, w, v);
  say("linear algebra", "svdcmp of [[4 1 0] [1 3 1] [0 1 2]]: singular values %.5f %.5f %.5f   (3+sqrt 3, 3, 3-sqrt 3)",
      w[1], w[2], w[3]);
  for (int i = 1; i <= 3; i++)
    for (int j = 1; j <= 3; j++) a[i][j] = values[i - 1][j - 1];
  gaussj(a, 3, b, 1);
  say("linear algebra", "gaussj: A x = (1 1 1) gives x = (%.5f %.5f %.5f)   (2/9, 1/9, 4/9)", b[1][1],
      b[2][1], b[3][1]);
  free_vector(w, 1, 3);
  free_matrix(b, 1, 3, 1, 1);
  free_matrix(v, 1, 3, 1, 3);
  free_matrix(a, 1, 3, 1, 3);
}

void model_fitting() {
  // Five points on y = 1 + 2x, unweighted.
  float x[6], y[6], sig[6], a, b, siga, sigb, chi2, q;
  for (int i = 1; i <= 5; i++) {
    x[i] = (float)i;
    y[i] = 1.0f + 2.0f * (float)i;
    sig[i] = 1.0f;
  }
  fit(x, y, 5, sig, 0, &a, &b, &siga, &sigb, &chi2, &q);
  say("model fitting", "fit: straight line through 5 points of y = 1 + 2x: a = %.5f, b = %.5f   (1, 2)", a, b);
}

void special_functions() {
  say("special functions", "gammln(0.5) = %.10f   (ln sqrt(pi) = %.10f)", gammln(0.5),
      0.5 * std::log(M_PI));
  say("special functions", "gammq(3, 2) = %.6f   (e^-2 (1 + 2 + 2) = %.6f)", gammq(3.0f, 2.0f),
      5.0 * std::exp(-2.0));
  say("special functions", "betai(2, 3, 0.4) = %.6f   (0.5248)", betai(2.0f, 3.0f, 0.4f));
  say("special functions", "erfcc(1) = %.7f   (%.7f)", erfcc(1.0f), std::erfc(1.0));
}

void deviates_statistics_sorting() {
  const unsigned long n = 1000;
  float *a = vector(1, n);
  float *b = vector(1, n);
  long idum = -7;
  for (unsigned long i = 1; i <= n; i++) {
    a[i] = gasdev(&idum);
    b[i] = 0.3f + gasdev(&idum);
  }
  float ave, var, t, prob;
  avevar(a, n, &ave, &var);
  say("random deviates", "gasdev: %lu Gaussian deviates, mean %.3f, variance %.3f   (0, 1)", n, ave, var);
  ttest(a, n, b, n, &t, &prob);
  say("statistics", "ttest against %lu deviates shifted by 0.3: t = %.3f, t_to_p gives p = %.2g   (small)",
      n, t, t_to_p(t, 2 * n - 2));

  select(n / 2, n, a);  // partially reorders a
  sort(n, b);
  say("sorting", "select: median of the first sample %.4f   (near 0)", a[n / 2]);
  say("sorting", "sort: second sample from %.3f to %.3f, ascending", b[1], b[n]);
  free_vector(b, 1, n);
  free_vector(a, 1, n);
}

void fourier() {
  // Eight samples of cos(2 pi 2 t / 8) as complex values (real, imaginary) from index 1.
  const unsigned long nn = 8;
  float *data = vector(1, 2 * nn);
  for (unsigned long k = 0; k < nn; k++) {
    data[2 * k + 1] = static_cast<float>(std::cos(2.0 * M_PI * 2.0 * k / nn));
    data[2 * k + 2] = 0.0f;
  }
  four1(data, nn, 1);
  char magnitudes[64] = "";
  int used = 0;
  for (unsigned long k = 0; k < nn; k++)
    used += std::snprintf(magnitudes + used, sizeof magnitudes - used, " %.2f",
                          std::hypot(data[2 * k + 1], data[2 * k + 2]));
  say("Fourier transforms", "four1: |F| of a cosine with 2 cycles in 8 samples:%s   (4 at 2 and 6)",
      magnitudes);
  free_vector(data, 1, 2 * nn);
}

}  // namespace

int main() {
  std::printf("Tour of the numerical library, one line per computation: the subsystem, the routine,\n"
              "its result and, in parentheses, what it should come close to.\n");
  arrays();
  linear_algebra();
  model_fitting();
  special_functions();
  deviates_statistics_sorting();
  fourier();
  return 0;
}
