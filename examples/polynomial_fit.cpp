// Polynomial fits by svdfit:
//  1. a cubic with the polynomial basis fpoly, its chi-square against its degrees of freedom,
//     the singular values after editing and the coefficients' standard errors from svdvar;
//  2. the same fit with a duplicated basis function, where one singular value is edited to 0;
//  3. a quadratic on x from 100 to 300, where raw powers of x make columns of very different
//     size: fitted as is, and with each column scaled by a power of two.
#include <cmath>
#include <cstdio>

#include <kelvarinwizard/stat.h>

namespace {

// 1, x, x, x^2, x^3: the second and third functions are the same, so the design is degenerate.
void duplicated_basis(float x, float p[], int np) {
  p[1] = 1.0f;
  p[2] = x;
  p[3] = x;
  for (int j = 4; j <= np; j++) p[j] = p[j - 1] * x;
}

// 1, x, x^2 with column j scaled by 2^(-8 (j - 1)), so that for x from 100 to 300 every column
// lies between 0.15 and 1.4. A power of two scales exactly, and the coefficient of x^(j-1) is
// the fitted one times the same factor.
const int scale_exponent = 8;
void scaled_powers(float x, float p[], int np) {
  fpoly(x, p, np);
  for (int j = 2; j <= np; j++) p[j] = std::ldexp(p[j], -scale_exponent * (j - 1));
}

void print_singular_values(const float *w, int ma) {
  std::printf("  singular values after editing:");
  for (int j = 1; j <= ma; j++) std::printf(" %.6g", w[j]);
  std::printf("\n");
}

// The exact least-squares quadratic through (x, y) with equal weights, from the normal
// equations in long double: a reference for the single-precision fits.
void reference_quadratic(const float *x, const float *y, int n, long double c[3]) {
  long double m[3][4] = {};
  for (int i = 1; i <= n; i++) {
    const long double p[3] = {1.0L, x[i], (long double)x[i] * x[i]};
    for (int r = 0; r < 3; r++) {
      for (int k = 0; k < 3; k++) m[r][k] += p[r] * p[k];
      m[r][3] += p[r] * y[i];
    }
  }
  for (int col = 0; col < 3; col++)
    for (int r = col + 1; r < 3; r++) {
      const long double f = m[r][col] / m[col][col];
      for (int k = col; k < 4; k++) m[r][k] -= f * m[col][k];
    }
  for (int r = 2; r >= 0; r--) {
    long double t = m[r][3];
    for (int k = r + 1; k < 3; k++) t -= m[r][k] * c[k];
    c[r] = t / m[r][r];
  }
}

// Correct significant digits of value against reference (7 or more: all of single precision).
double digits(double value, long double reference) {
  const double error = std::fabs((double)((value - reference) / reference));
  if (error >= 1.0) return 0.0;
  return error > 1e-7 ? -std::log10(error) : 7.0;
}

void cubic() {
  const int ndata = 21, ma = 4;
  float *x = vector(1, ndata), *y = vector(1, ndata), *sig = vector(1, ndata);
  for (int i = 1; i <= ndata; i++) {
    x[i] = -2.0f + 0.2f * (float)(i - 1);
    y[i] = 1.0f - 2.0f * x[i] + 0.5f * x[i] * x[i] + 0.25f * x[i] * x[i] * x[i] +
           0.05f * (float)std::sin(7.0 * i);
    sig[i] = 0.1f;
  }
  std::printf("Data: %d points at x = -2.0, -1.8, ..., 2.0; y = 1 - 2x + 0.5x^2 + 0.25x^3 plus a\n"
              "fixed wobble 0.05 sin(7i) at point i standing in for noise; sigma 0.1 for every point.\n\n",
              ndata);

  float *a = vector(1, ma), *w = vector(1, ma), chisq = 0.0f;
  float **u = matrix(1, ndata, 1, ma), **v = matrix(1, ma, 1, ma), **cvm = matrix(1, ma, 1, ma);
  svdfit(x, y, sig, ndata, a, ma, u, v, w, &chisq, fpoly);
  svdvar(v, ma, w, cvm);
  std::printf("cubic, basis 1, x, x^2, x^3: chi-square %.4f for %d degrees of freedom\n", chisq,
              ndata - ma);
  print_singular_values(w, ma);
  std::printf("  (in the decomposition's order, not sorted; any below 1e-5 of the largest become 0)\n");
  const float truth[ma + 1] = {0.0f, 1.0f, -2.0f, 0.5f, 0.25f};
  for (int j = 1; j <= ma; j++)
    std::printf("  a[%d] = %9.5f +- %.5f   (generated with %g)\n", j, a[j], std::sqrt(cvm[j][j]),
                truth[j]);

  // The duplicated basis: one singular value falls below 1e-5 of the largest and is set to 0,
  // and the two copies of x share its coefficient.
  const int mb = ma + 1;
  float *c = vector(1, mb), *wd = vector(1, mb);
  float **ud = matrix(1, ndata, 1, mb), **vd = matrix(1, mb, 1, mb);
  svdfit(x, y, sig, ndata, c, mb, ud, vd, wd, &chisq, duplicated_basis);
  std::printf("\nbasis 1, x, x, x^2, x^3: chi-square %.4f (the same fit)\n", chisq);
  print_singular_values(wd, mb);
  std::printf("  c = (%.5f, %.5f, %.5f, %.5f, %.5f); c[2] + c[3] = %.5f\n", c[1], c[2], c[3],
              c[4], c[5], c[2] + c[3]);

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
}

void scaling() {
  const int ndata = 21, ma = 3;
  float *x = vector(1, ndata), *y = vector(1, ndata), *sig = vector(1, ndata);
  for (int i = 1; i <= ndata; i++) {
    x[i] = 100.0f + 10.0f * (float)(i - 1);
    y[i] = (float)(2.0 + 0.5 * x[i] + 0.003 * x[i] * x[i] + 0.5 * std::sin(7.0 * i));
    sig[i] = 1.0f;
  }
  long double reference[3];
  reference_quadratic(x, y, ndata, reference);
  std::printf("\nData: %d points at x = 100, 110, ..., 300; y = 2 + 0.5x + 0.003x^2 plus a fixed\n"
              "wobble 0.5 sin(7i); sigma 1. The columns 1, x, x^2 range from 1 to 90000, and the\n"
              "single-precision SVD with its relative cut-off cannot keep them all.\n",
              ndata);
  std::printf("  exact least squares (long double): %.7Lg %.7Lg %.7Lg\n", reference[0],
              reference[1], reference[2]);

  float *a = vector(1, ma), *w = vector(1, ma), chisq = 0.0f;
  float **u = matrix(1, ndata, 1, ma), **v = matrix(1, ma, 1, ma);
  for (int scaled = 0; scaled <= 1; scaled++) {
    svdfit(x, y, sig, ndata, a, ma, u, v, w, &chisq, scaled ? scaled_powers : fpoly);
    std::printf(scaled ? "  columns scaled by 1, 2^-8, 2^-16:\n" : "  raw powers (fpoly):\n");
    print_singular_values(w, ma);
    std::printf("  coefficients");
    for (int j = 1; j <= ma; j++) {
      const float coefficient = scaled ? std::ldexp(a[j], -scale_exponent * (j - 1)) : a[j];
      std::printf("  %.7g (%.1f digits)", coefficient, digits(coefficient, reference[j - 1]));
    }
    std::printf("\n");
  }
  std::printf("  Keep basis columns of comparable size: centre and scale x, or scale each function.\n");

  free_matrix(v, 1, ma, 1, ma);
  free_matrix(u, 1, ndata, 1, ma);
  free_vector(w, 1, ma);
  free_vector(a, 1, ma);
  free_vector(sig, 1, ndata);
  free_vector(y, 1, ndata);
  free_vector(x, 1, ndata);
}

}  // namespace

int main() {
  cubic();
  scaling();
  return 0;
}
