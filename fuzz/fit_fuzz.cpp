// Fitting on fuzzed data: the straight line through exact points is found, svdfit reproduces a
// polynomial of its own degree, and sequences of mrqmin calls (starts, steps, restarts, steps
// without a fit, finishes) on a quadratic model never leave their arrays and end with a fit
// whose chi-square is not above the start's.
#include <cmath>
#include <cstdlib>

#include "fuzz_input.h"
#include "stat.h"

namespace {

void quadratic(float x, float a[], float *y, float dyda[], int na) {
  *y = 0.0f;
  float power = 1.0f;
  for (int j = 1; j <= na; j++) {
    *y += a[j] * power;
    dyda[j] = power;
    power *= x;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  kwfuzz::Input in(data, size);
  const int n = 3 + in.byte() % 30;
  float *x = vector(1, n), *y = vector(1, n), *sig = vector(1, n);
  const float c0 = in.moderate_float(), c1 = in.moderate_float(), c2 = in.moderate_float();
  for (int i = 1; i <= n; i++) {
    x[i] = (float)i - 0.5f * (float)n;  // distinct, exact
    y[i] = c0 + c1 * x[i];
    sig[i] = 0.5f + (float)(in.byte() % 8);
  }
  float a, b, siga, sigb, chi2, q;
  fit(x, y, n, sig, 1, &a, &b, &siga, &sigb, &chi2, &q);
  KWFUZZ_REQUIRE(std::fabs(b - c1) <= 1e-3f * (std::fabs(c1) + std::fabs(c0) + 1.0f));
  KWFUZZ_REQUIRE(q >= 0.0f && q <= 1.0f);
  fit(x, y, n, sig, 0, &a, &b, &siga, &sigb, &chi2, &q);
  KWFUZZ_REQUIRE(q == 1.0f);

  for (int i = 1; i <= n; i++) y[i] = c0 + c1 * x[i] + c2 * x[i] * x[i];
  float coef[4], **u = matrix(1, n, 1, 3), **v = matrix(1, 3, 1, 3), w[4];
  svdfit(x, y, sig, n, coef, 3, u, v, w, &chi2, fpoly);
  const float scale = std::fabs(c0) + std::fabs(c1) * n + std::fabs(c2) * n * n + 1.0f;
  for (int i = 1; i <= n; i++) {
    const float fitted = coef[1] + coef[2] * x[i] + coef[3] * x[i] * x[i];
    KWFUZZ_REQUIRE(std::fabs(fitted - y[i]) <= 1e-3f * scale);
  }
  free_matrix(v, 1, 3, 1, 3);
  free_matrix(u, 1, n, 1, 3);

  // Levenberg-Marquardt call sequences. A fitted coefficient always has a non-zero derivative
  // (the powers of distinct x are independent), so no step is singular.
  float p[4] = {0, 0, 0, 0};
  int ia[4] = {0, 1, 1, 1};
  float **covar = matrix(1, 3, 1, 3), **alpha = matrix(1, 3, 1, 3), chisq = 0.0f, lambda = 0.0f, start = -1.0f;
  bool active = false;
  while (in.remaining() > 0) {
    const std::uint8_t op = in.byte() % 6;
    if (op == 0 || !active) {  // start, with a fresh choice of held coefficients
      for (int j = 1; j <= 3; j++) {
        p[j] = in.moderate_float();
        ia[j] = (in.byte() & 1) || j == 1;
      }
      lambda = -1.0f;
      mrqmin(x, y, sig, n, p, ia, 3, covar, alpha, &chisq, quadratic, &lambda);
      start = chisq;
      active = true;
    } else if (op == 5) {  // finish
      lambda = 0.0f;
      mrqmin(x, y, sig, n, p, ia, 3, covar, alpha, &chisq, quadratic, &lambda);
      for (int j = 1; j <= 3; j++) KWFUZZ_REQUIRE(ia[j] || (covar[j][j] == 0.0f));
      KWFUZZ_REQUIRE(!(chisq > start));
      active = false;
      // Steps and finishes without a fit change nothing.
      const float before = p[1];
      mrqmin(x, y, sig, n, p, ia, 3, covar, alpha, &chisq, quadratic, &lambda);
      KWFUZZ_REQUIRE(p[1] == before || (std::isnan(p[1]) && std::isnan(before)));
    } else {
      if (lambda > 1e30f) lambda = 1e30f;  // keep the damping finite
      mrqmin(x, y, sig, n, p, ia, 3, covar, alpha, &chisq, quadratic, &lambda);
      KWFUZZ_REQUIRE(!(chisq > start));
    }
  }
  if (active) {
    lambda = 0.0f;
    mrqmin(x, y, sig, n, p, ia, 3, covar, alpha, &chisq, quadratic, &lambda);
  }
  free_matrix(alpha, 1, 3, 1, 3);
  free_matrix(covar, 1, 3, 1, 3);
  free_vector(sig, 1, n);
  free_vector(y, 1, n);
  free_vector(x, 1, n);
  return 0;
}
