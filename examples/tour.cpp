// A short tour of the numerical library: one small computation from each subsystem, printed
// with the value it should come close to.
#include <kelvarinwizard/stat.h>

#include <cmath>
#include <cstdio>

namespace {

void special_functions() {
  std::printf("special functions\n");
  std::printf("  gammln(0.5)          = %.10f   (ln sqrt(pi) = %.10f)\n", gammln(0.5),
              0.5 * std::log(M_PI));
  std::printf("  gammq(3, 2)          = %.6f       (e^-2 (1 + 2 + 2) = %.6f)\n", gammq(3.0f, 2.0f),
              5.0 * std::exp(-2.0));
  std::printf("  betai(2, 3, 0.4)     = %.6f       (0.5248)\n", betai(2.0f, 3.0f, 0.4f));
  std::printf("  erfcc(1)             = %.7f      (%.7f)\n", erfcc(1.0f), std::erfc(1.0));
}

void statistics_and_deviates() {
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
  ttest(a, n, b, n, &t, &prob);
  std::printf("random deviates and statistics\n");
  std::printf("  %lu Gaussian deviates: mean %.3f, variance %.3f   (0, 1)\n", n, ave, var);
  std::printf("  t test against a sample shifted by 0.3: t = %.3f, p = %.2g\n", t,
              t_to_p(t, 2 * n - 2));

  select(n / 2, n, a);  // partially reorders a
  sort(n, b);
  std::printf("sorting and selection\n");
  std::printf("  median of the first sample %.4f; second sample from %.3f to %.3f\n", a[n / 2],
              b[1], b[n]);
  free_vector(b, 1, n);
  free_vector(a, 1, n);
}

void linear_algebra() {
  // A symmetric 3 x 3 matrix, addressed from 1.
  const float values[3][3] = {{4, 1, 0}, {1, 3, 1}, {0, 1, 2}};
  float **a = matrix(1, 3, 1, 3);
  float **v = matrix(1, 3, 1, 3);
  float **b = matrix(1, 3, 1, 1);
  float *w = vector(1, 3);
  for (int i = 1; i <= 3; i++) {
    for (int j = 1; j <= 3; j++) a[i][j] = values[i - 1][j - 1];
    b[i][1] = 1.0f;
  }
  svdcmp(a, 3, 3, w, v);
  std::printf("linear algebra\n");
  std::printf("  singular values of [[4 1 0] [1 3 1] [0 1 2]]: %.5f %.5f %.5f\n", w[1], w[2], w[3]);

  for (int i = 1; i <= 3; i++)
    for (int j = 1; j <= 3; j++) a[i][j] = values[i - 1][j - 1];
  gaussj(a, 3, b, 1);
  std::printf("  solution of A x = (1 1 1): x = (%.5f %.5f %.5f)   (2/9, 1/9, 4/9)\n", b[1][1],
              b[2][1], b[3][1]);
  free_vector(w, 1, 3);
  free_matrix(b, 1, 3, 1, 1);
  free_matrix(v, 1, 3, 1, 3);
  free_matrix(a, 1, 3, 1, 3);
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
  std::printf("Fourier transform\n  |F| of a cosine with 2 cycles in 8 samples:");
  for (unsigned long k = 0; k < nn; k++)
    std::printf(" %.2f", std::hypot(data[2 * k + 1], data[2 * k + 2]));
  std::printf("   (4 at 2 and 6)\n");
  free_vector(data, 1, 2 * nn);
}

}  // namespace

int main() {
  special_functions();
  statistics_and_deviates();
  linear_algebra();
  fourier();
  return 0;
}
