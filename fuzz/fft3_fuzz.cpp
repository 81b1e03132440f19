// Multidimensional and real 3-D transforms on fuzzed shapes and data: forward then inverse
// returns the input times the number of points (half of it for rlft3).
#include <cmath>
#include <cstdlib>
#include <vector>

#include "fuzz_input.h"
#include "stat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  kwfuzz::Input in(data, size);
  const unsigned long n1 = 1ul << (in.byte() % 4), n2 = 1ul << (in.byte() % 5), n3 = 2ul << (in.byte() % 5);
  const unsigned long total = n1 * n2 * n3;

  // fourn on a complex array of n1 x n2 x (n3 / 2) values.
  unsigned long nn[4] = {0, n1, n2, n3 / 2};
  const int ndim = 1 + in.byte() % 3;
  unsigned long count = 1;
  for (int d = 1; d <= ndim; d++) count *= nn[d];
  float *c = vector(1, (long)(2 * count));
  std::vector<float> original(2 * count + 1);
  double mag = 0.0;
  for (unsigned long i = 1; i <= 2 * count; i++) mag = std::fmax(mag, std::fabs(c[i] = original[i] = in.moderate_float()));
  fourn(c, nn, ndim, 1);
  fourn(c, nn, ndim, -1);
  const double tol = 64.0 * 1.2e-7 * std::log2(2.0 * count) * (mag + 1e-30) * (double)count;
  for (unsigned long i = 1; i <= 2 * count; i++)
    KWFUZZ_REQUIRE(std::fabs(c[i] - (double)count * original[i]) <= tol);
  free_vector(c, 1, (long)(2 * count));

  float ***t = f3tensor(1, (long)n1, 1, (long)n2, 1, (long)n3);
  float **speq = matrix(1, (long)n1, 1, (long)(2 * n2));
  std::vector<float> real(total);
  mag = 0.0;
  for (unsigned long i = 0; i < total; i++) mag = std::fmax(mag, std::fabs(real[i] = in.moderate_float()));
  float *block = &t[1][1][1];
  for (unsigned long i = 0; i < total; i++) block[i] = real[i];
  rlft3(t, speq, n1, n2, n3, 1);
  rlft3(t, speq, n1, n2, n3, -1);
  const double half = 0.5 * (double)total;
  const double rtol = 64.0 * 1.2e-7 * std::log2(2.0 * total) * (mag + 1e-30) * half;
  for (unsigned long i = 0; i < total; i++) KWFUZZ_REQUIRE(std::fabs(block[i] - half * real[i]) <= rtol);
  free_matrix(speq, 1, (long)n1, 1, (long)(2 * n2));
  free_f3tensor(t, 1, (long)n1, 1, (long)n2, 1, (long)n3);
  return 0;
}
