// Inputs shared by the benchmarks: the same deterministic values in every run.
#ifndef KELVARINWIZARD_BENCH_VALUES_H
#define KELVARINWIZARD_BENCH_VALUES_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kwbench {

// n values in [-1, 1) from a 64-bit linear congruential sequence started at seed.
inline std::vector<float> random_values(std::size_t n, std::uint64_t seed) {
  std::vector<float> v(n);
  for (float &x : v) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    x = (float)((double)(seed >> 11) * 0x1.0p-52 - 1.0);
  }
  return v;
}

}  // namespace kwbench

#endif  // KELVARINWIZARD_BENCH_VALUES_H
