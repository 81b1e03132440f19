// The allocators on fuzzed index ranges (moderate sizes, any offsets): every element of the
// block is addressable, rows follow one another, and release gives everything back (the leak
// checker watches).
#include <cstdlib>

#include "fuzz_input.h"
#include "stat.h"

namespace {

long offset(kwfuzz::Input &in) { return (long)(std::int16_t)((in.byte() << 8) | in.byte()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  kwfuzz::Input in(data, size);
  const long lo = offset(in), len = 1 + in.byte() % 64;
  const long rl = offset(in), rows = 1 + in.byte() % 16, cl = offset(in), cols = 1 + in.byte() % 16;
  const long dl = offset(in), deps = 1 + in.byte() % 8;

  float *v = vector(lo, lo + len - 1);
  for (long i = lo; i < lo + len; i++) v[i] = (float)i;
  int *iv = ivector(lo, lo + len - 1);
  unsigned char *cv = cvector(lo, lo + len - 1);
  unsigned long *lv = lvector(lo, lo + len - 1);
  double *dv = dvector(lo, lo + len - 1);
  for (long i = lo; i < lo + len; i++) {
    iv[i] = (int)i;
    cv[i] = (unsigned char)i;
    lv[i] = (unsigned long)i;
    dv[i] = (double)i;
  }
  for (long i = lo; i < lo + len; i++) KWFUZZ_REQUIRE(v[i] == (float)i && iv[i] == (int)i && dv[i] == (double)i);

  float **m = matrix(rl, rl + rows - 1, cl, cl + cols - 1);
  double **dm = dmatrix(rl, rl + rows - 1, cl, cl + cols - 1);
  int **im = imatrix(rl, rl + rows - 1, cl, cl + cols - 1);
  for (long i = rl; i < rl + rows; i++) {
    if (i > rl) KWFUZZ_REQUIRE(m[i] == m[i - 1] + cols);
    for (long j = cl; j < cl + cols; j++) m[i][j] = (float)(i * 100 + j), dm[i][j] = 1.0, im[i][j] = 1;
  }
  float ***t = f3tensor(rl, rl + rows - 1, cl, cl + cols - 1, dl, dl + deps - 1);
  for (long i = rl; i < rl + rows; i++)
    for (long j = cl; j < cl + cols; j++)
      for (long k = dl; k < dl + deps; k++) t[i][j][k] = 1.0f;
  KWFUZZ_REQUIRE(&t[rl + rows - 1][cl + cols - 1][dl + deps - 1] - &t[rl][cl][dl] == rows * cols * deps - 1);

  free_f3tensor(t, rl, rl + rows - 1, cl, cl + cols - 1, dl, dl + deps - 1);
  free_imatrix(im, rl, rl + rows - 1, cl, cl + cols - 1);
  free_dmatrix(dm, rl, rl + rows - 1, cl, cl + cols - 1);
  free_matrix(m, rl, rl + rows - 1, cl, cl + cols - 1);
  free_dvector(dv, lo, lo + len - 1);
  free_lvector(lv, lo, lo + len - 1);
  free_cvector(cv, lo, lo + len - 1);
  free_ivector(iv, lo, lo + len - 1);
  free_vector(v, lo, lo + len - 1);
  return 0;
}
