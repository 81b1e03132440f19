// Sorting and selection on arbitrary floats: every routine stays inside 1..n and loses no
// value; without not-a-numbers the order is ascending and select agrees with the sorted array.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "stat.h"

namespace {

bool same_multiset(std::vector<float> a, std::vector<float> b) {
  auto less_bits = [](float x, float y) {
    std::uint32_t u, v;
    std::memcpy(&u, &x, 4);
    std::memcpy(&v, &y, 4);
    return u < v;
  };
  std::sort(a.begin(), a.end(), less_bits);
  std::sort(b.begin(), b.end(), less_bits);
  return std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  kwfuzz::Input in(data, size);
  const unsigned long k = in.byte();
  std::vector<float> values;
  bool has_nan = false;
  while (in.remaining() >= 4 && values.size() < 4096) {
    values.push_back(in.any_float());
    has_nan = has_nan || std::isnan(values.back());
  }
  const unsigned long n = values.size();
  if (n == 0) return 0;

  // Exactly sized blocks addressed from 1, so the sanitizer sees any step outside 1..n.
  float *keys = vector(1, static_cast<long>(n));
  float *companion = vector(1, static_cast<long>(n));
  std::memcpy(keys + 1, values.data(), n * sizeof(float));
  for (unsigned long i = 1; i <= n; i++) companion[i] = static_cast<float>(i);
  sort2(n, keys, companion);
  std::vector<float> sorted(keys + 1, keys + 1 + n);
  if (!same_multiset(sorted, values)) std::abort();
  for (unsigned long i = 1; i <= n; i++) {
    const unsigned long from = static_cast<unsigned long>(companion[i]);
    if (from < 1 || from > n || std::memcmp(&values[from - 1], &keys[i], 4) != 0) std::abort();
  }
  if (!has_nan && !std::is_sorted(sorted.begin(), sorted.end())) std::abort();

  std::memcpy(keys + 1, values.data(), n * sizeof(float));
  hpsort(n, keys);
  if (!same_multiset(std::vector<float>(keys + 1, keys + 1 + n), values)) std::abort();
  if (!has_nan && std::memcmp(keys + 1, sorted.data(), n * sizeof(float)) != 0 &&
      !std::equal(sorted.begin(), sorted.end(), keys + 1))
    std::abort();

  std::memcpy(keys + 1, values.data(), n * sizeof(float));
  const float kth = select(k, n, keys);  // k may lie outside 1..n
  if (!has_nan && k >= 1 && k <= n && kth != sorted[k - 1]) std::abort();

  // select_ushort on the low halves of the same bits, against std::nth_element.
  std::vector<unsigned short> shorts(n + 1);
  for (unsigned long i = 1; i <= n; i++) {
    std::uint32_t u;
    std::memcpy(&u, &values[i - 1], 4);
    shorts[i] = static_cast<unsigned short>(u);
  }
  std::vector<unsigned short> reference(shorts.begin() + 1, shorts.end());
  const int kth_short = select_ushort(k, n, shorts.data());
  if (k >= 1 && k <= n) {
    std::nth_element(reference.begin(), reference.begin() + (k - 1), reference.end());
    KWFUZZ_REQUIRE(kth_short == reference[k - 1] && shorts[k] == kth_short);
    for (unsigned long i = 1; i <= n; i++) KWFUZZ_REQUIRE(i < k ? shorts[i] <= kth_short : i > k ? shorts[i] >= kth_short : true);
  } else {
    KWFUZZ_REQUIRE(kth_short == -1);
  }

  free_vector(companion, 1, static_cast<long>(n));
  free_vector(keys, 1, static_cast<long>(n));
  return 0;
}
