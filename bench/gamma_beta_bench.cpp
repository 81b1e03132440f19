// Throughput of ln Gamma, erfc and the incomplete beta function on 4096 fixed arguments, side
// by side with std::lgamma, std::erfc and, when present, the GSL incomplete beta. Every row
// evaluates the same arguments, so the rows read as ratios.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "stat.h"

#if defined(KW_HAVE_GSL)
#include <gsl/gsl_errno.h>
#include <gsl/gsl_sf_gamma.h>
#endif

namespace {

constexpr std::size_t kCount = 4096;

// Uniform on [lo, hi) from a fixed xorshift stream.
std::vector<float> arguments(float lo, float hi, std::uint64_t s) {
  std::vector<float> v(kCount);
  for (float &x : v) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    x = lo + (hi - lo) * (static_cast<float>(s >> 40) * 0x1.0p-24f);
  }
  return v;
}

const std::vector<float> &gamma_args() {
  static const std::vector<float> v = arguments(0.1f, 100.0f, 1);
  return v;
}
const std::vector<float> &erfc_args() {
  static const std::vector<float> v = arguments(-4.0f, 4.0f, 2);
  return v;
}
struct BetaArgs {
  std::vector<float> a, b, x;
};
const BetaArgs &beta_args() {
  static const BetaArgs v{arguments(0.5f, 20.0f, 3), arguments(0.5f, 20.0f, 4), arguments(0.0f, 1.0f, 5)};
  return v;
}

template <class F>
void per_item(benchmark::State &state, F f) {
  for (auto _ : state) {
    for (std::size_t i = 0; i < kCount; i++) benchmark::DoNotOptimize(f(i));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kCount));
}

void BM_gammln(benchmark::State &state) {
  const auto &v = gamma_args();
  per_item(state, [&](std::size_t i) { return gammln(static_cast<double>(v[i])); });
}
void BM_gammln_vs_std_lgamma(benchmark::State &state) {
  const auto &v = gamma_args();
  per_item(state, [&](std::size_t i) { return std::lgamma(static_cast<double>(v[i])); });
}
void BM_erfcc(benchmark::State &state) {
  const auto &v = erfc_args();
  per_item(state, [&](std::size_t i) { return erfcc(v[i]); });
}
void BM_erfcc_vs_std_erfc(benchmark::State &state) {
  const auto &v = erfc_args();
  per_item(state, [&](std::size_t i) { return std::erfc(v[i]); });
}
void BM_betai(benchmark::State &state) {
  const auto &v = beta_args();
  per_item(state, [&](std::size_t i) { return betai(v.a[i], v.b[i], v.x[i]); });
}
#if defined(KW_HAVE_GSL)
void BM_betai_vs_gsl_sf_beta_inc(benchmark::State &state) {
  const auto &v = beta_args();
  gsl_set_error_handler_off();
  per_item(state, [&](std::size_t i) { return gsl_sf_beta_inc(v.a[i], v.b[i], v.x[i]); });
}
#endif

}  // namespace

BENCHMARK(BM_gammln);
BENCHMARK(BM_gammln_vs_std_lgamma);
BENCHMARK(BM_erfcc);
BENCHMARK(BM_erfcc_vs_std_erfc);
BENCHMARK(BM_betai);
#if defined(KW_HAVE_GSL)
BENCHMARK(BM_betai_vs_gsl_sf_beta_inc);
#endif

BENCHMARK_MAIN();
