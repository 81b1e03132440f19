// Fits a cubic to noisy samples with svdfit and the polynomial basis fpoly, then shows the
// singular values after editing and the coefficients' standard errors from svdvar. A second
// fit with a duplicated basis function shows a singular value edited to 0.
#include <cmath>
#include <cstdio>

#include <kelvarinwizard/stat.h>

namespace {

// 1, x, x, x^2, x^3: the second and third functions are the same, so the design is
// degenerate.
void duplicated_basis(float x, float p[], int np) {
  p[1] = 1.0f;
  p[2] = x;
  p[3] = x;
  for (int j = 4; j <= np; j++) p[j] = p[j - 1] * x;
}

void print_singular_values(const char *title, const float *w, int ma) {
  std::printf("%s:", title);
  for (int j = 1; j <= ma; j++) std::printf(" %.6g", w[j]);
  std::printf("\n");
}

}  // namespace

int main() {
  const int ndata = 21, ma = 4;
  float *x = vector(1, ndata), *y = vector(1, ndata), *sig = vector(1, ndata);
  // y = 1 - 2x + 0.5x^2 + 0.25x^3 plus a small deterministic wobble, sigma 0.1.
  for (int i = 1; i <= ndata; i++) {
    x[i] = -2.0f + 0.2f * (float)(i - 1);
    y[i] = 1.0f - 2.0f * x[i] + 0.5f * x[i] * x[i] + 0.25f * x[i] * x[i] * x[i] + 0.05f * (float)std::sin(7.0 * i);
    sig[i] = 0.1f;
  }

  float *a = vector(1, ma), *w = vector(1, ma), chisq = 0.0f;
  float **u = matrix(1, ndata, 1, ma), **v = matrix(1, ma, 1, ma), **cvm = matrix(1, ma, 1, ma);
  svdfit(x, y, sig, ndata, a, ma, u, v, w, &chisq, fpoly);
  svdvar(v, ma, w, cvm);

  std::printf("cubic fit to %d points, chi-square %.4f\n", ndata, chisq);
  print_singular_values("singular values after editing", w, ma);
  const float truth[ma + 1] = {0.0f, 1.0f, -2.0f, 0.5f, 0.25f};
  for (int j = 1; j <= ma; j++)
    std::printf("  a[%d] = %9.5f +- %.5f   (generated with %g)\n", j, a[j], std::sqrt(cvm[j][j]), truth[j]);

  // The duplicated basis: one singular value falls below 1e-5 of the largest and is set to 0,
  // and the two copies of x share its coefficient.
  const int mb = ma + 1;
  float *c = vector(1, mb), *wd = vector(1, mb);
  float **ud = matrix(1, ndata, 1, mb), **vd = matrix(1, mb, 1, mb);
  svdfit(x, y, sig, ndata, c, mb, ud, vd, wd, &chisq, duplicated_basis);
  std::printf("\nbasis 1, x, x, x^2, x^3: chi-square %.4f\n", chisq);
  print_singular_values("singular values after editing", wd, mb);
  std::printf("  c = (%.5f, %.5f, %.5f, %.5f, %.5f); c[2] + c[3] = %.5f\n", c[1], c[2], c[3], c[4], c[5],
              c[2] + c[3]);
  free_matrix(vd, 1, mb, 1, mb);
  free_matrix(ud, 1, ndata, 1, mb);
  free_vector(wd, 1, mb);
  free_vector(c, 1, mb);

  free_matrix(cvm, 1, ma, 1, ma);
  free_matrix(v, 1, ma, 1, ma);
  free_matrix(u, 1, ndata, 1, ma);
  free_vector(w, 1, ma);
  free_vector(a, 1, ma);
  free_vector(sig, 1, ndata);
  free_vector(y, 1, ndata);
  free_vector(x, 1, ndata);
  return 0;
}
