// The sample tests and correlations on arbitrary floats, not-a-numbers and infinities
// included: each call terminates, stays inside its arrays and leaves correlations in [-1, 1]
// or not-a-number.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "fuzz_input.h"
#include "stat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  kwfuzz::Input in(data, size);
  const unsigned long n1 = 1 + in.byte() % 64;
  const unsigned long n2 = 1 + in.byte() % 64;
  const bool wild = in.byte() & 1;
  float *a = vector(1, static_cast<long>(n1));
  float *b = vector(1, static_cast<long>(n2));
  for (unsigned long i = 1; i <= n1; i++) a[i] = wild ? in.any_float() : in.moderate_float();
  for (unsigned long i = 1; i <= n2; i++) b[i] = wild ? in.any_float() : in.moderate_float();

  float t, prob, d;
  ttest(a, n1, b, n2, &t, &prob);
  tutest(a, n1, b, n2, &t, &prob);
  const unsigned long n = n1 < n2 ? n1 : n2;
  float r, z;
  pearsn_prob(a, b, n, &r, &prob, &z);
  if (!(std::isnan(r) || (r >= -1.0f && r <= 1.0f))) std::abort();
  float dd, zd, probd, rs, probrs;
  if (n >= 2) {
    spear(a, b, n, &dd, &zd, &probd, &rs, &probrs);
    if (!(std::isnan(rs) || (rs >= -1.0f && rs <= 1.0f))) std::abort();
  }
  kstwo(a, n1, b, n2, &d, &prob);  // sorts both samples in place
  if (!(std::isnan(d) || (d >= 0.0f && d <= 1.0f))) std::abort();

  free_vector(b, 1, static_cast<long>(n2));
  free_vector(a, 1, static_cast<long>(n1));
  return 0;
}
