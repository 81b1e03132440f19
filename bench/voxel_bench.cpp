// The library's typical load: 20,000 voxel time series of 256 points each, every one
// transformed with realft and fitted with svdfit against 6 basis functions (a polynomial
// drift), beside FFTW's real-to-complex transform and LAPACK's least squares (sgels, sgelsd)
// doing the same per series. One iteration is the whole volume.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "stat.h"

#if defined(KW_HAVE_FFTW)
#include <fftw3.h>
#endif
#if KW_HAVE_LAPACKE
#include <lapacke.h>
extern "C" void openblas_set_num_threads(int num_threads);
#endif

namespace {

constexpr int kSeries = 20000;
constexpr int kPoints = 256;
constexpr int kBasis = 6;

// Deterministic series: a slow drift, a few oscillations and noise, one series after another.
std::vector<float> volume() {
  std::vector<float> v(std::size_t(kSeries) * kPoints);
  std::uint64_t s = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < kSeries; i++)
    for (int t = 0; t < kPoints; t++) {
      s ^= s << 13, s ^= s >> 7, s ^= s << 17;
      const double noise = static_cast<double>(s >> 11) * 0x1.0p-53 - 0.5;
      v[std::size_t(i) * kPoints + t] =
          static_cast<float>(100.0 + 0.01 * i * t / kPoints + ((t / 16 + i) % 2) + noise);
    }
  return v;
}

// Abscissae in [-1, 1], so that the polynomial basis stays well conditioned.
std::vector<float> abscissae() {
  std::vector<float> x(kPoints);
  for (int t = 0; t < kPoints; t++) x[t] = -1.0f + 2.0f * static_cast<float>(t) / (kPoints - 1);
  return x;
}

void BM_voxel_realft(benchmark::State &state) {
  const std::vector<float> v = volume();
  std::vector<float> work(kPoints);
  for (auto _ : state) {
    for (int i = 0; i < kSeries; i++) {
      std::copy_n(v.begin() + std::ptrdiff_t(i) * kPoints, kPoints, work.begin());
      realft(work.data() - 1, kPoints, 1);
      benchmark::DoNotOptimize(work.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kSeries);
}
BENCHMARK(BM_voxel_realft)->Unit(benchmark::kMillisecond);

void BM_voxel_svdfit(benchmark::State &state) {
  const std::vector<float> v = volume();
  const std::vector<float> x = abscissae();
  const std::vector<float> sigma(kPoints, 1.0f);
  float **u = matrix(1, kPoints, 1, kBasis);
  float **vv = matrix(1, kBasis, 1, kBasis);
  std::vector<float> w(kBasis), coef(kBasis);
  float chisq = 0.0f;
  for (auto _ : state) {
    for (int i = 0; i < kSeries; i++) {
      float *y = const_cast<float *>(v.data()) + std::ptrdiff_t(i) * kPoints;
      svdfit(const_cast<float *>(x.data()) - 1, y - 1, const_cast<float *>(sigma.data()) - 1, kPoints,
             coef.data() - 1, kBasis, u, vv, w.data() - 1, &chisq, fpoly);
      benchmark::DoNotOptimize(coef.data());
    }
  }
  free_matrix(vv, 1, kBasis, 1, kBasis);
  free_matrix(u, 1, kPoints, 1, kBasis);
  state.SetItemsProcessed(state.iterations() * kSeries);
}
BENCHMARK(BM_voxel_svdfit)->Unit(benchmark::kMillisecond);

#if defined(KW_HAVE_FFTW)
void BM_voxel_fftw_r2c(benchmark::State &state) {
  const std::vector<float> v = volume();
  float *in = fftwf_alloc_real(kPoints);
  fftwf_complex *out = fftwf_alloc_complex(kPoints / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(kPoints, in, out, FFTW_MEASURE);
  for (auto _ : state) {
    for (int i = 0; i < kSeries; i++) {
      std::copy_n(v.begin() + std::ptrdiff_t(i) * kPoints, kPoints, in);
      fftwf_execute(plan);
      benchmark::DoNotOptimize(out);
    }
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
  state.SetItemsProcessed(state.iterations() * kSeries);
}
BENCHMARK(BM_voxel_fftw_r2c)->Unit(benchmark::kMillisecond);
#endif

#if KW_HAVE_LAPACKE
// The same weighted design as svdfit's (sigma 1, the powers of x), built for every series,
// since LAPACK overwrites it; Driver chooses sgels (QR) or sgelsd (SVD, divide and conquer).
template <bool kSvd>
void BM_voxel_lapack(benchmark::State &state) {
  openblas_set_num_threads(1);
  const std::vector<float> v = volume();
  const std::vector<float> x = abscissae();
  std::vector<float> a(std::size_t(kPoints) * kBasis), b(kPoints), s(kBasis);
  lapack_int rank = 0;
  for (auto _ : state) {
    for (int i = 0; i < kSeries; i++) {
      for (int t = 0; t < kPoints; t++) {
        float p = 1.0f;
        for (int j = 0; j < kBasis; j++, p *= x[t]) a[std::size_t(t) * kBasis + j] = p;
      }
      std::copy_n(v.begin() + std::ptrdiff_t(i) * kPoints, kPoints, b.begin());
      if (kSvd)
        LAPACKE_sgelsd(LAPACK_ROW_MAJOR, kPoints, kBasis, 1, a.data(), kBasis, b.data(), 1, s.data(),
                       1.0e-5f, &rank);
      else
        LAPACKE_sgels(LAPACK_ROW_MAJOR, 'N', kPoints, kBasis, 1, a.data(), kBasis, b.data(), 1);
      benchmark::DoNotOptimize(b.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kSeries);
}
BENCHMARK_TEMPLATE(BM_voxel_lapack, false)->Name("BM_voxel_lapack_sgels")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_voxel_lapack, true)->Name("BM_voxel_lapack_sgelsd")->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
