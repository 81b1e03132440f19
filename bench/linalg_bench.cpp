// Linear algebra against peer libraries in the same run: products against single-threaded
// OpenBLAS, the SVD against LAPACK and GSL, Gauss-Jordan against LAPACK's LU solve and
// inverse, Jacobi against GSL's Jacobi and LAPACK's symmetric eigensolver. Every timed
// iteration copies its input first (O(n^2), small next to the O(n^3) work), for ours and the
// peers alike, because every routine here overwrites its input.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_values.h"
#include "stat.h"

#if KW_HAVE_LAPACKE
#include <lapacke.h>
// Declared here rather than through OpenBLAS's cblas.h, whose enums clash with GSL's headers.
// The Fortran entry point, not cblas_sgemm: GSL's own CBLAS, linked before OpenBLAS, would
// otherwise satisfy the C name with its reference loops.
extern "C" void openblas_set_num_threads(int num_threads);
extern "C" void sgemm_(const char *transa, const char *transb, const int *m, const int *n, const int *k,
                       const float *alpha, const float *a, const int *lda, const float *b, const int *ldb,
                       const float *beta, float *c, const int *ldc);
#endif
#if KW_HAVE_GSL
#include <gsl/gsl_eigen.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#endif

namespace {

using kwbench::random_values;

// Row-major n x n values, symmetric, diagonally dominant: valid input for every routine.
std::vector<float> test_matrix(int n, bool symmetric) {
  std::vector<float> a = random_values((std::size_t)n * n, 7 + n);
  for (int i = 0; i < n; i++) {
    if (symmetric)
      for (int j = 0; j < i; j++) a[i * n + j] = a[j * n + i];
    a[i * n + i] += (float)n;
  }
  return a;
}

// An offset-indexed view of a flat row-major buffer, released with the object.
class View {
 public:
  View(float *data, int rows, int cols, long base) : base_(base), m_(convert_matrix(data, base, base + rows - 1, base, base + cols - 1)) {}
  ~View() { free_convert_matrix(m_, base_, 0, base_, 0); }
  operator float **() const { return m_; }

 private:
  long base_;
  float **m_;
};

void BM_matrix_matrix_mult(benchmark::State &state) {
  const int n = (int)state.range(0);
  std::vector<float> a = random_values((std::size_t)n * n, 1), b = random_values((std::size_t)n * n, 2), r(a.size());
  View A(a.data(), n, n, 0), B(b.data(), n, n, 0), R(r.data(), n, n, 0);
  for (auto _ : state) {
    matrix_matrix_mult(A, B, R, n, n, n);
    benchmark::DoNotOptimize(r.data());
  }
}
BENCHMARK(BM_matrix_matrix_mult)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_svdcmp(benchmark::State &state) {
  const int n = (int)state.range(0);
  const std::vector<float> a0 = test_matrix(n, false);
  std::vector<float> a(a0.size()), v(a0.size()), w(n);
  View A(a.data(), n, n, 1), V(v.data(), n, n, 1);
  for (auto _ : state) {
    a = a0;
    svdcmp(A, n, n, w.data() - 1, V);
    benchmark::DoNotOptimize(w.data());
  }
}
BENCHMARK(BM_svdcmp)->Arg(100)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond);

// Tall: m rows, n columns, the shape of a least-squares design matrix.
std::vector<float> tall_matrix(int m, int n) {
  std::vector<float> a = random_values((std::size_t)m * n, 11 + m);
  for (int i = 0; i < n; i++) a[i * n + i] += (float)n;
  return a;
}

void BM_svdcmp_tall(benchmark::State &state) {
  const int m = (int)state.range(0), n = (int)state.range(1);
  const std::vector<float> a0 = tall_matrix(m, n);
  std::vector<float> a(a0.size()), v((std::size_t)n * n), w(n);
  View A(a.data(), m, n, 1), V(v.data(), n, n, 1);
  for (auto _ : state) {
    a = a0;
    svdcmp(A, m, n, w.data() - 1, V);
    benchmark::DoNotOptimize(w.data());
  }
}
BENCHMARK(BM_svdcmp_tall)->Args({1000, 100})->Unit(benchmark::kMillisecond);

void BM_svbksb(benchmark::State &state) {
  const int m = (int)state.range(0), n = (int)state.range(1);
  std::vector<float> u = tall_matrix(m, n), v((std::size_t)n * n), w(n), b = random_values(m, 5), x(n);
  View U(u.data(), m, n, 1), V(v.data(), n, n, 1);
  svdcmp(U, m, n, w.data() - 1, V);
  for (auto _ : state) {
    svbksb(U, w.data() - 1, V, m, n, b.data() - 1, x.data() - 1);
    benchmark::DoNotOptimize(x.data());
  }
}
BENCHMARK(BM_svbksb)->Args({1000, 100})->Unit(benchmark::kMicrosecond);

void BM_getInverseMatrixUsingSVD(benchmark::State &state) {
  const int n = (int)state.range(0);
  std::vector<float> a = test_matrix(n, false), r(a.size());
  View A(a.data(), n, n, 0), R(r.data(), n, n, 0);
  for (auto _ : state) {
    getInverseMatrixUsingSVD(A, R, n);
    benchmark::DoNotOptimize(r.data());
  }
}
BENCHMARK(BM_getInverseMatrixUsingSVD)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_gaussj(benchmark::State &state) {
  const int n = (int)state.range(0);
  const std::vector<float> a0 = test_matrix(n, false), b0 = random_values(n, 3);
  std::vector<float> a(a0.size()), b(n);
  View A(a.data(), n, n, 1), B(b.data(), n, 1, 1);
  for (auto _ : state) {
    a = a0;
    b = b0;
    gaussj(A, n, B, 1);
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_gaussj)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_jacobi(benchmark::State &state) {
  const int n = (int)state.range(0);
  const std::vector<float> a0 = test_matrix(n, true);
  std::vector<float> a(a0.size()), v(a0.size()), d(n);
  View A(a.data(), n, n, 1), V(v.data(), n, n, 1);
  int nrot = 0;
  for (auto _ : state) {
    a = a0;
    jacobi(A, n, d.data() - 1, V, &nrot);
    benchmark::DoNotOptimize(d.data());
  }
}
BENCHMARK(BM_jacobi)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

#if KW_HAVE_LAPACKE
void BM_matrix_matrix_mult_vs_openblas_sgemm(benchmark::State &state) {
  openblas_set_num_threads(1);
  const int n = (int)state.range(0);
  std::vector<float> a = random_values((std::size_t)n * n, 1), b = random_values((std::size_t)n * n, 2), r(a.size());
  const float one = 1.0f, zero = 0.0f;
  for (auto _ : state) {
    // Column-major C^T = B^T A^T is the row-major C = A B.
    sgemm_("N", "N", &n, &n, &n, &one, b.data(), &n, a.data(), &n, &zero, r.data(), &n);
    benchmark::DoNotOptimize(r.data());
  }
}
BENCHMARK(BM_matrix_matrix_mult_vs_openblas_sgemm)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_svdcmp_vs_lapack_sgesvd(benchmark::State &state) {
  openblas_set_num_threads(1);
  const int n = (int)state.range(0);
  const std::vector<float> a0 = test_matrix(n, false);
  std::vector<float> a(a0.size()), u(a0.size()), vt(a0.size()), s(n), superb(n);
  for (auto _ : state) {
    a = a0;
    LAPACKE_sgesvd(LAPACK_ROW_MAJOR, 'O', 'A', n, n, a.data(), n, s.data(), u.data(), n, vt.data(), n, superb.data());
    benchmark::DoNotOptimize(s.data());
  }
}
BENCHMARK(BM_svdcmp_vs_lapack_sgesvd)->Arg(100)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_svdcmp_tall_vs_lapack_sgesvd(benchmark::State &state) {
  openblas_set_num_threads(1);
  const int m = (int)state.range(0), n = (int)state.range(1);
  const std::vector<float> a0 = tall_matrix(m, n);
  std::vector<float> a(a0.size()), vt((std::size_t)n * n), s(n), superb(n);
  for (auto _ : state) {
    a = a0;
    LAPACKE_sgesvd(LAPACK_ROW_MAJOR, 'O', 'A', m, n, a.data(), n, s.data(), nullptr, n, vt.data(), n, superb.data());
    benchmark::DoNotOptimize(s.data());
  }
}
BENCHMARK(BM_svdcmp_tall_vs_lapack_sgesvd)->Args({1000, 100})->Unit(benchmark::kMillisecond);

void BM_gaussj_vs_lapack_sgesv_sgetri(benchmark::State &state) {
  openblas_set_num_threads(1);
  const int n = (int)state.range(0);
  const std::vector<float> a0 = test_matrix(n, false), b0 = random_values(n, 3);
  std::vector<float> a(a0.size()), b(n);
  std::vector<lapack_int> ipiv(n);
  for (auto _ : state) {
    a = a0;
    b = b0;
    LAPACKE_sgesv(LAPACK_ROW_MAJOR, n, 1, a.data(), n, ipiv.data(), b.data(), 1);
    LAPACKE_sgetri(LAPACK_ROW_MAJOR, n, a.data(), n, ipiv.data());
    benchmark::DoNotOptimize(a.data());
  }
}
BENCHMARK(BM_gaussj_vs_lapack_sgesv_sgetri)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_jacobi_vs_lapack_ssyev(benchmark::State &state) {
  openblas_set_num_threads(1);
  const int n = (int)state.range(0);
  const std::vector<float> a0 = test_matrix(n, true);
  std::vector<float> a(a0.size()), d(n);
  for (auto _ : state) {
    a = a0;
    LAPACKE_ssyev(LAPACK_ROW_MAJOR, 'V', 'U', n, a.data(), n, d.data());
    benchmark::DoNotOptimize(d.data());
  }
}
BENCHMARK(BM_jacobi_vs_lapack_ssyev)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);
#endif

#if KW_HAVE_GSL
// GSL's decompositions are double precision only; the input is the same matrix widened.
gsl_matrix *gsl_copy(const std::vector<float> &a, int n) {
  gsl_matrix *m = gsl_matrix_alloc(n, n);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) gsl_matrix_set(m, i, j, a[i * n + j]);
  return m;
}

void BM_svdcmp_vs_gsl_SV_decomp(benchmark::State &state) {
  const int n = (int)state.range(0);
  gsl_matrix *a0 = gsl_copy(test_matrix(n, false), n), *a = gsl_matrix_alloc(n, n), *v = gsl_matrix_alloc(n, n);
  gsl_vector *s = gsl_vector_alloc(n), *work = gsl_vector_alloc(n);
  for (auto _ : state) {
    gsl_matrix_memcpy(a, a0);
    gsl_linalg_SV_decomp(a, v, s, work);
    benchmark::DoNotOptimize(s->data);
  }
  gsl_vector_free(work);
  gsl_vector_free(s);
  gsl_matrix_free(v);
  gsl_matrix_free(a);
  gsl_matrix_free(a0);
}
BENCHMARK(BM_svdcmp_vs_gsl_SV_decomp)->Arg(100)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_jacobi_vs_gsl_eigen_jacobi(benchmark::State &state) {
  const int n = (int)state.range(0);
  gsl_matrix *a0 = gsl_copy(test_matrix(n, true), n), *a = gsl_matrix_alloc(n, n), *v = gsl_matrix_alloc(n, n);
  gsl_vector *d = gsl_vector_alloc(n);
  unsigned int nrot = 0;
  for (auto _ : state) {
    gsl_matrix_memcpy(a, a0);
    gsl_eigen_jacobi(a, d, v, 50, &nrot);
    benchmark::DoNotOptimize(d->data);
  }
  gsl_vector_free(d);
  gsl_matrix_free(v);
  gsl_matrix_free(a);
  gsl_matrix_free(a0);
}
BENCHMARK(BM_jacobi_vs_gsl_eigen_jacobi)->Arg(100)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
