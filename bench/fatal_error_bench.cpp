// What throw_on_fatal_error costs on the normal path: small calls, where a fixed cost per call
// would show most, each timed without a guard and with one alive around the loop, in the same
// run. Inputs are copied in each iteration for both alike.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_values.h"
#include "stat.h"

namespace {

using kwbench::random_values;

// Rows of a flat row-major buffer addressed from 1.
std::vector<float *> rows_of(std::vector<float> &data, int rows, int cols) {
  std::vector<float *> r(rows);
  for (int i = 0; i < rows; i++) r[i] = data.data() + i * cols - 1;
  return r;
}

template <class Call>
void timed(benchmark::State &state, Call call) {
  if (state.range(0)) {
    const kelvarinwizard::throw_on_fatal_error guard;
    for (auto _ : state) call();
  } else {
    for (auto _ : state) call();
  }
}

void BM_gaussj_4(benchmark::State &state) {
  const int n = 4;
  std::vector<float> a0 = random_values(n * n, 3), a(a0.size()), b(n, 1.0f);
  for (int i = 0; i < n; i++) a0[i * n + i] += (float)n;
  std::vector<float *> A = rows_of(a, n, n), B = rows_of(b, n, 1);
  timed(state, [&] {
    a = a0;
    gaussj(A.data() - 1, n, B.data() - 1, 1);
    benchmark::DoNotOptimize(a.data());
  });
}
BENCHMARK(BM_gaussj_4)->ArgName("guard")->Arg(0)->Arg(1);

void BM_svbksb_8(benchmark::State &state) {
  const int n = 8;
  std::vector<float> u = random_values(n * n, 5), v = random_values(n * n, 6), w(n, 1.0f);
  std::vector<float> b = random_values(n, 7), x(n);
  std::vector<float *> U = rows_of(u, n, n), V = rows_of(v, n, n);
  timed(state, [&] {
    svbksb(U.data() - 1, w.data() - 1, V.data() - 1, n, n, b.data() - 1, x.data() - 1);
    benchmark::DoNotOptimize(x.data());
  });
}
BENCHMARK(BM_svbksb_8)->ArgName("guard")->Arg(0)->Arg(1);

void BM_sort_16(benchmark::State &state) {
  const std::vector<float> v0 = random_values(16, 9);
  std::vector<float> v(v0.size());
  timed(state, [&] {
    v = v0;
    sort(v.size(), v.data() - 1);
    benchmark::DoNotOptimize(v.data());
  });
}
BENCHMARK(BM_sort_16)->ArgName("guard")->Arg(0)->Arg(1);

void BM_spear_64(benchmark::State &state) {
  const std::vector<float> x = random_values(64, 10), y = random_values(64, 11);
  std::vector<float> xc(x), yc(y);
  timed(state, [&] {
    float d, zd, probd, rs, probrs;
    spear(xc.data() - 1, yc.data() - 1, 64, &d, &zd, &probd, &rs, &probrs);
    benchmark::DoNotOptimize(rs);
  });
}
BENCHMARK(BM_spear_64)->ArgName("guard")->Arg(0)->Arg(1);

// A whole voxel fit: one Gaussian on 60 samples, start, ten steps, finish.
void BM_mrqmin_voxel(benchmark::State &state) {
  const int n = 60, ma = 3;
  std::vector<float> t(n), y(n), sig(n, 0.1f), noise = random_values(n, 12), dyda(ma + 1);
  float truth[ma + 1] = {0, 2.0f, 30.0f, 4.0f};
  for (int i = 0; i < n; i++) {
    t[i] = (float)(i + 1);
    fgauss(t[i], truth, &y[i], dyda.data(), ma);
    y[i] += 0.1f * noise[i];
  }
  std::vector<float> covar(ma * ma), alpha(ma * ma);
  std::vector<float *> C = rows_of(covar, ma, ma), A = rows_of(alpha, ma, ma);
  int ia[ma + 1] = {0, 1, 1, 1};
  timed(state, [&] {
    float a[ma + 1] = {0, 1.5f, 28.0f, 5.0f}, chisq, alamda = -1.0f;
    for (int s = 0; s < 12; s++) {
      if (s == 11) alamda = 0.0f;
      mrqmin(t.data() - 1, y.data() - 1, sig.data() - 1, n, a, ia, ma, C.data() - 1, A.data() - 1, &chisq,
             fgauss, &alamda);
    }
    benchmark::DoNotOptimize(a);
  });
}
BENCHMARK(BM_mrqmin_voxel)->ArgName("guard")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
