// Fourier transforms against peer libraries in the same run: four1 and realft at 2^8, 2^10,
// 2^12, 2^16 and 2^20 points, fourn and rlft3 at 64^3 and 128^3. Every iteration first restores the input from a
// pristine copy (the same copy for every contender), so that repeated in-place transforms
// neither overflow nor wander into subnormals. Peer plans are made outside the timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "stat.h"

#if defined(KW_HAVE_GSL)
#include <gsl/gsl_errno.h>
#include <gsl/gsl_fft_complex_float.h>
#endif
#if defined(KW_HAVE_FFTW)
#include <fftw3.h>
#endif

namespace {

std::vector<float> inputs(std::size_t n) {
  std::vector<float> v(n);
  std::uint64_t s = 0x2545F4914F6CDD1Dull;
  for (float &x : v) {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    x = static_cast<float>(static_cast<double>(s >> 11) * 0x1.0p-53 - 0.5);
  }
  return v;
}

void sizes_1d(benchmark::internal::Benchmark *b) {
  b->Arg(1 << 8)->Arg(1 << 10)->Arg(1 << 12)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
}

void set_counters(benchmark::State &state, double points) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points));
}

// ---------------------------------------------------------------------------------------------
// Complex transform of n points.

void BM_four1(benchmark::State &state) {
  const unsigned long n = static_cast<unsigned long>(state.range(0));
  const std::vector<float> x = inputs(2 * n);
  std::vector<float> work(2 * n);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), work.begin());
    four1(work.data() - 1, n, 1);
    benchmark::DoNotOptimize(work.data());
  }
  set_counters(state, double(n));
}
BENCHMARK(BM_four1)->Apply(sizes_1d);

#if defined(KW_HAVE_GSL)
void BM_four1_vs_gsl_radix2(benchmark::State &state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const std::vector<float> x = inputs(2 * n);
  std::vector<float> work(2 * n);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), work.begin());
    if (gsl_fft_complex_float_radix2_forward(work.data(), 1, n) != GSL_SUCCESS)
      state.SkipWithError("gsl");
    benchmark::DoNotOptimize(work.data());
  }
  set_counters(state, double(n));
}
BENCHMARK(BM_four1_vs_gsl_radix2)->Apply(sizes_1d);
#endif

#if defined(KW_HAVE_FFTW)
// In place, with four1's sign (FFTW's backward direction is exp(+2*pi*i*m*q/n)).
template <unsigned Flags>
void BM_four1_vs_fftw(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> x = inputs(2 * std::size_t(n));
  fftwf_complex *work = fftwf_alloc_complex(std::size_t(n));
  fftwf_plan plan = fftwf_plan_dft_1d(n, work, work, FFTW_BACKWARD, Flags);
  float *w = reinterpret_cast<float *>(work);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), w);
    fftwf_execute(plan);
    benchmark::DoNotOptimize(w);
  }
  fftwf_destroy_plan(plan);
  fftwf_free(work);
  set_counters(state, double(n));
}
BENCHMARK_TEMPLATE(BM_four1_vs_fftw, FFTW_ESTIMATE)->Apply(sizes_1d);
BENCHMARK_TEMPLATE(BM_four1_vs_fftw, FFTW_MEASURE)->Apply(sizes_1d);
#endif

// ---------------------------------------------------------------------------------------------
// Real transform of n points.

void BM_realft(benchmark::State &state) {
  const unsigned long n = static_cast<unsigned long>(state.range(0));
  const std::vector<float> x = inputs(n);
  std::vector<float> work(n);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), work.begin());
    realft(work.data() - 1, n, 1);
    benchmark::DoNotOptimize(work.data());
  }
  set_counters(state, double(n));
}
BENCHMARK(BM_realft)->Apply(sizes_1d);

#if defined(KW_HAVE_FFTW)
template <unsigned Flags>
void BM_realft_vs_fftw(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> x = inputs(std::size_t(n));
  float *in = fftwf_alloc_real(std::size_t(n));
  fftwf_complex *out = fftwf_alloc_complex(std::size_t(n / 2 + 1));
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, Flags);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), in);
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
  set_counters(state, double(n));
}
BENCHMARK_TEMPLATE(BM_realft_vs_fftw, FFTW_ESTIMATE)->Apply(sizes_1d);
BENCHMARK_TEMPLATE(BM_realft_vs_fftw, FFTW_MEASURE)->Apply(sizes_1d);
#endif

// ---------------------------------------------------------------------------------------------
// Complex 3-D transform of an n x n x n volume.

void BM_fourn(benchmark::State &state) {
  const unsigned long n = static_cast<unsigned long>(state.range(0));
  const std::vector<float> x = inputs(2 * n * n * n);
  std::vector<float> work(x.size());
  unsigned long dims[4] = {0, n, n, n};
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), work.begin());
    fourn(work.data() - 1, dims, 3, 1);
    benchmark::DoNotOptimize(work.data());
  }
  set_counters(state, double(n) * double(n) * double(n));
}
BENCHMARK(BM_fourn)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

#if defined(KW_HAVE_FFTW)
template <unsigned Flags>
void BM_fourn_vs_fftw(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::size_t total = std::size_t(n) * std::size_t(n) * std::size_t(n);
  const std::vector<float> x = inputs(2 * total);
  fftwf_complex *work = fftwf_alloc_complex(total);
  fftwf_plan plan = fftwf_plan_dft_3d(n, n, n, work, work, FFTW_BACKWARD, Flags);
  float *w = reinterpret_cast<float *>(work);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), w);
    fftwf_execute(plan);
    benchmark::DoNotOptimize(w);
  }
  fftwf_destroy_plan(plan);
  fftwf_free(work);
  set_counters(state, double(total));
}
BENCHMARK_TEMPLATE(BM_fourn_vs_fftw, FFTW_ESTIMATE)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_fourn_vs_fftw, FFTW_MEASURE)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
#endif

// ---------------------------------------------------------------------------------------------
// Real 3-D transform of an n x n x n volume.

void BM_rlft3(benchmark::State &state) {
  const unsigned long n = static_cast<unsigned long>(state.range(0));
  const long m = static_cast<long>(n);
  const std::vector<float> x = inputs(n * n * n);
  float ***data = f3tensor(1, m, 1, m, 1, m);
  float **speq = matrix(1, m, 1, 2 * m);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), &data[1][1][1]);
    rlft3(data, speq, n, n, n, 1);
    benchmark::DoNotOptimize(&data[1][1][1]);
  }
  free_matrix(speq, 1, m, 1, 2 * m);
  free_f3tensor(data, 1, m, 1, m, 1, m);
  set_counters(state, double(n) * double(n) * double(n));
}
BENCHMARK(BM_rlft3)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

#if defined(KW_HAVE_FFTW)
template <unsigned Flags>
void BM_rlft3_vs_fftw(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::size_t total = std::size_t(n) * std::size_t(n) * std::size_t(n);
  const std::vector<float> x = inputs(total);
  float *in = fftwf_alloc_real(total);
  fftwf_complex *out =
      fftwf_alloc_complex(std::size_t(n) * std::size_t(n) * std::size_t(n / 2 + 1));
  fftwf_plan plan = fftwf_plan_dft_r2c_3d(n, n, n, in, out, Flags);
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), in);
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
  set_counters(state, double(total));
}
BENCHMARK_TEMPLATE(BM_rlft3_vs_fftw, FFTW_ESTIMATE)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_rlft3_vs_fftw, FFTW_MEASURE)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
