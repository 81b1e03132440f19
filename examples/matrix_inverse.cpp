// Inverts one matrix two ways: gaussj on a matrix addressed from 1, and
// getInverseMatrixUsingSVD on matrices addressed from 0, and shows A times each inverse.
// A singular matrix then shows what the SVD inverse does where gaussj would stop the process:
// it returns the pseudo-inverse.
#include <cmath>
#include <cstdio>

#include <kelvarinwizard/stat.h>

namespace {

// Prints an n x n matrix whose rows and columns start at index base, six decimals. An entry
// that rounds to zero prints as 0.000000 whatever its sign: a "-0.000000" says nothing but
// that a rounding error happened to be negative.
void print(const char *title, float **m, int n, int base) {
  std::printf("%s\n", title);
  for (int i = base; i < base + n; i++) {
    for (int j = base; j < base + n; j++)
      std::printf(" %10.6f", std::fabs(m[i][j]) < 5e-7f ? 0.0f : m[i][j]);
    std::printf("\n");
  }
}

// The largest |P - I| over the entries of an n x n product P addressed from 0.
float distance_from_identity(float **p, int n) {
  float largest = 0.0f;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      const float e = std::fabs(p[i][j] - (i == j ? 1.0f : 0.0f));
      if (e > largest) largest = e;
    }
  return largest;
}

}  // namespace

int main() {
  const int n = 3;
  const float values[n][n] = {{4, -2, 1}, {-2, 4, -2}, {1, -2, 4}};

  // gaussj works in place on 1-based matrices; b (one column) comes back as the solution.
  float **a1 = matrix(1, n, 1, n), **b = matrix(1, n, 1, 1), **inv1 = matrix(1, n, 1, n);
  for (int i = 1; i <= n; i++) {
    for (int j = 1; j <= n; j++) a1[i][j] = inv1[i][j] = values[i - 1][j - 1];
    b[i][1] = (float)i;
  }
  gaussj(inv1, n, b, 1);
  print("A", a1, n, 1);
  print("inverse by gaussj", inv1, n, 1);
  std::printf("solution of A x = (1, 2, 3): (%.6f, %.6f, %.6f)\n", b[1][1], b[2][1], b[3][1]);

  // The SVD inverse takes and gives 0-based matrices; copy_matrix mode 3 bridges from 1-based.
  float **a0 = matrix(0, n - 1, 0, n - 1), **inv0 = matrix(0, n - 1, 0, n - 1), **prod = matrix(0, n - 1, 0, n - 1);
  float **g0 = matrix(0, n - 1, 0, n - 1);
  copy_matrix(a1, a0, n, n, 3);
  getInverseMatrixUsingSVD(a0, inv0, n);
  print("inverse by getInverseMatrixUsingSVD", inv0, n, 0);

  copy_matrix(inv1, g0, n, n, 3);
  matrix_matrix_mult(a0, g0, prod, n, n, n);
  print("A times the gaussj inverse", prod, n, 0);
  std::printf("  largest |entry - identity|: %.2g\n", distance_from_identity(prod, n));
  matrix_matrix_mult(a0, inv0, prod, n, n, n);
  print("A times the SVD inverse", prod, n, 0);
  std::printf("  largest |entry - identity|: %.2g\n", distance_from_identity(prod, n));

  // Rank 1: gaussj would report "gaussj: Singular Matrix-2" and end the process; the SVD
  // inverse drops the zero singular values and gives the pseudo-inverse (all entries 1/9).
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) a0[i][j] = 1.0f;
  getInverseMatrixUsingSVD(a0, inv0, n);
  print("\npseudo-inverse of the all-ones matrix", inv0, n, 0);

  free_matrix(g0, 0, n - 1, 0, n - 1);
  free_matrix(prod, 0, n - 1, 0, n - 1);
  free_matrix(inv0, 0, n - 1, 0, n - 1);
  free_matrix(a0, 0, n - 1, 0, n - 1);
  free_matrix(inv1, 1, n, 1, n);
  free_matrix(b, 1, n, 1, 1);
  free_matrix(a1, 1, n, 1, n);
  return 0;
}
