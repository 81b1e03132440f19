// Offset-indexed arrays: a vector addressed from 1, a matrix addressed from 1, and a view that
// re-indexes part of the matrix without copying it.
#include <cstdio>

#include <kelvarinwizard/nrutil.h>

int main() {
  const long n = 5;
  float *x = vector(1, n);
  for (long i = 1; i <= n; i++) x[i] = static_cast<float>(i * i);
  std::printf("vector(1, %ld):", n);
  for (long i = 1; i <= n; i++) std::printf(" x[%ld]=%g", i, x[i]);
  std::printf("\n");

  float **a = matrix(1, 3, 1, 4);
  for (long i = 1; i <= 3; i++)
    for (long j = 1; j <= 4; j++) a[i][j] = static_cast<float>(10 * i + j);
  std::printf("matrix(1, 3, 1, 4), rows %td floats apart:\n", a[2] - a[1]);
  for (long i = 1; i <= 3; i++) {
    for (long j = 1; j <= 4; j++) std::printf(" %4g", a[i][j]);
    std::printf("\n");
  }

  // Rows 2..3, columns 3..4 of a, seen as a 2 x 2 matrix addressed from 1.
  float **b = submatrix(a, 2, 3, 3, 4, 1, 1);
  b[1][1] = -1.0f;
  std::printf("submatrix view: b[1][1] is a[2][3], now %g; b[2][2] is a[3][4] = %g\n", a[2][3], b[2][2]);

  free_submatrix(b, 1, 2, 1, 2);
  free_matrix(a, 1, 3, 1, 4);
  free_vector(x, 1, n);
  return 0;
}
