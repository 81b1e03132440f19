// The library's correctly rounded exp, log and sin side by side with the system's functions on
// the same 4096 arguments per row, so the rows read as ratios. Ranges: where the library calls
// them (transform angles, gamma-family exponents and logarithms) and wider ones.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "stat/cr_math.h"

namespace {

constexpr std::size_t kCount = 4096;

// Uniform on [lo, hi) from a fixed xorshift stream; with log_scale, uniform in the exponent.
std::vector<double> arguments(double lo, double hi, std::uint64_t s, bool log_scale = false) {
  std::vector<double> v(kCount);
  for (double &x : v) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    const double u = static_cast<double>(s >> 11) * 0x1.0p-53;
    x = log_scale ? std::exp2(std::log2(lo) + (std::log2(hi) - std::log2(lo)) * u) : lo + (hi - lo) * u;
  }
  return v;
}

// Both sides are called through a pointer, so neither is inlined into the loop.
void run(benchmark::State &state, double (*f)(double), const std::vector<double> &args) {
  for (auto _ : state) {
    double sum = 0;
    for (double x : args) sum += f(x);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(args.size()));
}

double system_exp(double x) { return std::exp(x); }
double system_log(double x) { return std::log(x); }
double system_sin(double x) { return std::sin(x); }

const std::vector<double> exp_args = arguments(-700, 700, 1);
const std::vector<double> exp_small_args = arguments(-20, 1, 2);
const std::vector<double> log_args = arguments(1e-300, 1e300, 3, true);
const std::vector<double> log_near_one_args = arguments(0.5, 2, 4);
const std::vector<double> sin_args = arguments(-6.3, 6.3, 5);
const std::vector<double> sin_large_args = arguments(1e3, 1e300, 6, true);

}  // namespace

BENCHMARK_CAPTURE(run, exp_ours, kw_crmath::cr_exp, exp_args);
BENCHMARK_CAPTURE(run, exp_system, system_exp, exp_args);
BENCHMARK_CAPTURE(run, exp_ours_m20_1, kw_crmath::cr_exp, exp_small_args);
BENCHMARK_CAPTURE(run, exp_system_m20_1, system_exp, exp_small_args);
BENCHMARK_CAPTURE(run, log_ours, kw_crmath::cr_log, log_args);
BENCHMARK_CAPTURE(run, log_system, system_log, log_args);
BENCHMARK_CAPTURE(run, log_ours_half_2, kw_crmath::cr_log, log_near_one_args);
BENCHMARK_CAPTURE(run, log_system_half_2, system_log, log_near_one_args);
BENCHMARK_CAPTURE(run, sin_ours_2pi, kw_crmath::cr_sin, sin_args);
BENCHMARK_CAPTURE(run, sin_system_2pi, system_sin, sin_args);
BENCHMARK_CAPTURE(run, sin_ours_large, kw_crmath::cr_sin, sin_large_args);
BENCHMARK_CAPTURE(run, sin_system_large, system_sin, sin_large_args);

BENCHMARK_MAIN();
