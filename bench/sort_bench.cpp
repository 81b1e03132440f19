// Sorting and selection on 10^6 random floats, side by side with std::sort, std::nth_element
// and, when present, the GSL sort and select. Every row sorts or selects a fresh copy of the
// same input; the copy is timed in every row alike, so the rows read as ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "stat.h"

#if defined(KW_HAVE_GSL)
#include <gsl/gsl_sort_float.h>
#include <gsl/gsl_statistics_float.h>
#endif

namespace {

constexpr std::size_t kCount = 1000000;

const std::vector<float> &input() {
  static const std::vector<float> data = [] {
    std::vector<float> v(kCount);
    std::uint64_t s = 88172645463325252ull;
    for (float &x : v) {
      s ^= s << 13;
      s ^= s >> 7;
      s ^= s << 17;
      x = static_cast<float>(s >> 40) * 0x1.0p-24f;
    }
    return v;
  }();
  return data;
}

template <class Work>
void run(benchmark::State &state, Work work) {
  std::vector<float> copy(kCount);
  for (auto _ : state) {
    std::copy(input().begin(), input().end(), copy.begin());
    work(copy.data());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kCount));
}

void BM_sort(benchmark::State &state) { run(state, [](float *v) { sort(kCount, v - 1); }); }
void BM_hpsort(benchmark::State &state) { run(state, [](float *v) { hpsort(kCount, v - 1); }); }
void BM_sort2(benchmark::State &state) {
  std::vector<float> companion(kCount);
  run(state, [&](float *v) { sort2(kCount, v - 1, companion.data() - 1); });
}
void BM_sort_vs_std_sort(benchmark::State &state) {
  run(state, [](float *v) { std::sort(v, v + kCount); });
}
void BM_select_median(benchmark::State &state) {
  run(state, [](float *v) { benchmark::DoNotOptimize(select(kCount / 2, kCount, v - 1)); });
}
void BM_select_median_vs_std_nth_element(benchmark::State &state) {
  run(state, [](float *v) { std::nth_element(v, v + kCount / 2 - 1, v + kCount); });
}

BENCHMARK(BM_sort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sort2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_hpsort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sort_vs_std_sort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_select_median)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_select_median_vs_std_nth_element)->Unit(benchmark::kMillisecond);

#if defined(KW_HAVE_GSL)
void BM_sort_vs_gsl_sort_float(benchmark::State &state) {
  run(state, [](float *v) { gsl_sort_float(v, 1, kCount); });
}
void BM_select_median_vs_gsl_stats_float_select(benchmark::State &state) {
  run(state, [](float *v) { benchmark::DoNotOptimize(gsl_stats_float_select(v, 1, kCount, kCount / 2 - 1)); });
}
BENCHMARK(BM_sort_vs_gsl_sort_float)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_select_median_vs_gsl_stats_float_select)->Unit(benchmark::kMillisecond);
#endif

// The copy alone, to subtract from every row.
void BM_copy_only(benchmark::State &state) { run(state, [](float *) {}); }
BENCHMARK(BM_copy_only)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
