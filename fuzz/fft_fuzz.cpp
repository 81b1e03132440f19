// The transforms on arbitrary lengths and data: a length outside the contract ends the process
// through nrerror (libFuzzer reports that as a crash, so only valid lengths are generated here);
// for valid lengths, forward then inverse returns the input scaled by the length.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "fuzz_input.h"
#include "stat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  kwfuzz::Input in(data, size);
  const unsigned long nn = 1ul << (in.byte() % 11);  // 1 .. 1024 complex values
  const bool real = in.byte() & 1;
  const unsigned long nfloats = real ? (nn < 2 ? 2 : nn) : 2 * nn;
  float *x = vector(1, static_cast<long>(nfloats));
  std::vector<float> original(nfloats + 1);
  double magnitude = 0.0;
  for (unsigned long i = 1; i <= nfloats; i++) {
    x[i] = original[i] = in.moderate_float();
    magnitude = std::fmax(magnitude, std::fabs(original[i]));
  }
  double scale;
  if (real) {
    realft(x, nfloats, 1);
    realft(x, nfloats, -1);
    scale = 0.5 * static_cast<double>(nfloats);
  } else {
    four1(x, nn, 1);
    four1(x, nn, -1);
    scale = static_cast<double>(nn);
  }
  // Round-trip error of a few epsilon times log2(N) relative to the largest value.
  const double tolerance = 64.0 * 1.2e-7 * std::log2(2.0 * nfloats) * (magnitude + 1e-30) * scale;
  for (unsigned long i = 1; i <= nfloats; i++) {
    if (std::fabs(x[i] - scale * original[i]) > tolerance) std::abort();
  }
  free_vector(x, 1, static_cast<long>(nfloats));
  return 0;
}
