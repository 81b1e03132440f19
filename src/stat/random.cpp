// Random deviates: a multiplicative congruential generator (16807 modulo 2^31 - 1) behind a
// 32-entry shuffle table, and standard normal deviates by the polar Box-Muller method.
#include "../stat.h"
#include "cr_math.h"

#include <climits>
#include <cmath>

#include "../stat_internal.h"

// Process-wide generator state, zero at load time. Not exported; the tests reach it through the
// internal header to start from the load-time state and to place values in the table.
namespace kw_random_state {
long iv[32];
long iy;
float gset;
int iset;
}  // namespace kw_random_state

namespace {

constexpr long IA = 16807;
constexpr long IM = 2147483647;  // 2^31 - 1
constexpr long IQ = 127773;      // IM / IA
constexpr long IR = 2836;        // IM % IA
constexpr int NTAB = 32;
constexpr long NDIV = 1 + (IM - 1) / NTAB;  // 2^26: maps 1..IM-1 onto table slots 0..31
constexpr double AM = 1.0 / 2147483647.0;   // 0x3E00000000200000
constexpr double RNMX = 0.99999988;         // 0x3FEFFFFFBF935359, the test
constexpr float RNMX_FLOAT = 0.99999988f;   // 0x3F7FFFFE, the value returned

static_assert(NDIV == 67108864, "table divisor");

// One step of 16807 * s modulo IM by Schrage's method; keeps the residue of s modulo IM for
// any 64-bit s, and yields 1..IM-1 for s in 1..IM-1.
inline long step(long s) {
  const long k = s / IQ;
  s = IA * (s - k * IQ) - IR * k;
  if (s < 0) s += IM;
  return s;
}

}  // namespace

float ran1(long *idum) {
  using namespace kw_random_state;
  // A positive value stored by the caller must be a generator value 1..IM-1: a larger one
  // would pass one step unreduced into the table and later index outside it. Its residue
  // continues the same sequence; a residue of 0 re-initialises like the zero seed.
  if (*idum >= IM) *idum %= IM;
  if (*idum <= 0 || !iy) {
    if (*idum == LONG_MIN) {
      // -LONG_MIN overflows. Its magnitude 2^63 has the residue 2 modulo IM, and the warm-up
      // keeps residues, so the table is the one that magnitude would give.
      *idum = (long)(9223372036854775808ul % (unsigned long)IM);
    } else if (-(*idum) < 1) {
      *idum = 1;
    } else {
      *idum = -(*idum);
    }
    // Eight warm-up values are discarded; they also bring any magnitude into 1..IM-1.
    for (int j = NTAB + 7; j >= 0; j--) {
      *idum = step(*idum);
      if (j < NTAB) iv[j] = *idum;
    }
    iy = iv[0];
  }
  *idum = step(*idum);
  const int j = (int)(iy / NDIV);
  iy = iv[j];
  iv[j] = *idum;
  const float temp = (float)(AM * (double)iy);
  if ((double)temp > RNMX) return RNMX_FLOAT;
  return temp;
}

float gasdev(long *idum) {
  using namespace kw_random_state;
  if (iset == 0) {
    float v1, v2, rsq;
    do {
      v1 = (float)(2.0 * (double)ran1(idum) - 1.0);
      v2 = (float)(2.0 * (double)ran1(idum) - 1.0);
      rsq = v1 * v1 + v2 * v2;  // single precision
    } while (rsq >= 1.0f || rsq == 0.0f);
    const float fac = (float)std::sqrt(-2.0 * kw_crmath::cr_log((double)rsq) / (double)rsq);
    gset = v1 * fac;
    iset = 1;
    return v2 * fac;
  }
  iset = 0;
  return gset;
}
