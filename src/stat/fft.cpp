// Fourier transforms: complex (four1), multidimensional complex (fourn), real sequence
// (realft) and real 2-D/3-D (rlft3). All four work in place on offset-indexed float arrays
// addressed from 1, complex values as interleaved (real, imaginary) pairs.
//
// Precision, which the results depend on to the bit:
// - angles, their sines and the twiddle recurrence w <- w + w*(alpha + i*beta) are double;
// - four1 and the untangling passes of realft and rlft3 form each twiddle product in double
//   from the widened floats and round once;
// - fourn rounds the twiddle to single first and does the whole butterfly in single.
// The two angle constants differ on purpose: 6.28318530717959 (a decimal slightly above the
// double nearest 2*pi) and, in realft, 3.141592653589793 (the double nearest pi).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "../stat.h"

namespace {

constexpr double two_pi_decimal = 6.28318530717959;
constexpr double pi_double = 3.141592653589793;

bool is_power_of_two(unsigned long n) { return n != 0 && (n & (n - 1)) == 0; }

// Bound on the number of complex values, so that the float count 2n and every index the loops
// form from it stay representable.
constexpr unsigned long max_complex_count = ~0ul >> 1;

void swap_pair(float data[], unsigned long a, unsigned long b) {
  std::swap(data[a], data[b]);
  std::swap(data[a + 1], data[b + 1]);
}

// w <- w * exp(i*theta) by the recurrence, with alpha = -2 sin^2(theta/2), beta = sin(theta);
// v is w's real part before the step.
void advance_twiddle(double &wr, double &wi, double alpha, double beta) {
  const double v = wr;
  wr = wr + (v * alpha - wi * beta);
  wi = wi + (wi * alpha + v * beta);
}

// The checks of fourn's lengths, shared with rlft3: every length a power of two and the float
// count 2T representable. Returns false instead of reporting, so each caller names itself.
bool valid_dims(const unsigned long dims[], int ndims) {
  unsigned long total = 1;
  for (int r = 1; r <= ndims; r++) {
    const unsigned long n = dims[r];
    if (!is_power_of_two(n) || n > max_complex_count / total) return false;
    total *= n;
  }
  return true;
}

}  // namespace

void four1(float data[], unsigned long nn, int isign) {
  // A length that is not a power of two sends the bit reversal and the butterflies past the
  // end of the array; refuse it before touching anything.
  if (!is_power_of_two(nn) || nn > max_complex_count)
    nrerror("four1: number of points is not a power of two");

  const unsigned long n = nn << 1;  // float count

  // Bit reversal; i and j count floats, so both are odd.
  unsigned long j = 1;
  for (unsigned long i = 1; i < n; i += 2) {
    if (j > i) swap_pair(data, j, i);
    unsigned long m = n >> 1;
    while (m >= 2 && j > m) {
      j -= m;
      m >>= 1;
    }
    j += m;
  }

  // Danielson-Lanczos stages; mmax floats = mmax complex points per transform being formed.
  unsigned long mmax = 2;
  while (n > mmax) {
    const unsigned long istep = mmax << 1;
    const double theta = (two_pi_decimal / static_cast<double>(mmax)) * static_cast<double>(isign);
    const double u = std::sin(theta / 2.0);
    const double alpha = -2.0 * u * u;
    const double beta = std::sin(theta);
    double wr = 1.0;
    double wi = 0.0;
    for (unsigned long m = 1; m < mmax; m += 2) {
      for (unsigned long i = m; i <= n; i += istep) {
        const unsigned long k = i + mmax;
        // Each product pair is summed in double from the widened floats, rounded once.
        const float tr = static_cast<float>(static_cast<double>(data[k]) * wr -
                                            static_cast<double>(data[k + 1]) * wi);
        const float ti = static_cast<float>(static_cast<double>(data[k + 1]) * wr +
                                            static_cast<double>(data[k]) * wi);
        data[k] = data[i] - tr;
        data[k + 1] = data[i + 1] - ti;
        data[i] = data[i] + tr;
        data[i + 1] = data[i + 1] + ti;
      }
      advance_twiddle(wr, wi, alpha, beta);
    }
    mmax = istep;
  }
}

void fourn(float data[], unsigned long nn[], int ndim, int isign) {
  // A zero length would divide by zero below, and any other length that is not a power of two
  // sends the bit reversal past the array.
  if (!valid_dims(nn, ndim)) nrerror("fourn: a dimension length is not a power of two");

  unsigned long ntot = 1;
  for (int r = 1; r <= ndim; r++) ntot *= nn[r];

  unsigned long nprev = 1;
  for (int r = ndim; r >= 1; r--) {
    const unsigned long n = nn[r];
    const unsigned long nrem = ntot / (n * nprev);
    const unsigned long ip1 = nprev << 1;  // float stride along this dimension
    const unsigned long ip2 = ip1 * n;     // float span of one run of it
    const unsigned long ip3 = ip2 * nrem;  // 2 * ntot

    // Bit reversal along dimension r, carried across every other dimension at once.
    unsigned long i2rev = 1;
    for (unsigned long i2 = 1; i2 <= ip2; i2 += ip1) {
      if (i2 < i2rev) {
        for (unsigned long i1 = i2; i1 <= i2 + ip1 - 2; i1 += 2) {
          for (unsigned long i3 = i1; i3 <= ip3; i3 += ip2) swap_pair(data, i3, i2rev + i3 - i2);
        }
      }
      unsigned long ibit = ip2 >> 1;
      while (ibit >= ip1 && i2rev > ibit) {
        i2rev -= ibit;
        ibit >>= 1;
      }
      i2rev += ibit;
    }

    // Danielson-Lanczos stages along dimension r.
    unsigned long ifp1 = ip1;
    while (ifp1 < ip2) {
      const unsigned long ifp2 = ifp1 << 1;
      const unsigned long points = ifp2 / ip1;
      const double theta = (static_cast<double>(isign) * two_pi_decimal) / static_cast<double>(points);
      const double u = std::sin(theta / 2.0);
      const double alpha = -2.0 * u * u;
      const double beta = std::sin(theta);
      double wr = 1.0;
      double wi = 0.0;
      for (unsigned long i3 = 1; i3 <= ifp1; i3 += ip1) {
        // Unlike four1, the twiddle is rounded to single here and the butterfly stays single.
        const float wrs = static_cast<float>(wr);
        const float wis = static_cast<float>(wi);
        for (unsigned long i1 = i3; i1 <= i3 + ip1 - 2; i1 += 2) {
          for (unsigned long i2 = i1; i2 <= ip3; i2 += ifp2) {
            const unsigned long k1 = i2;
            const unsigned long k2 = k1 + ifp1;
            const float tr = wrs * data[k2] - wis * data[k2 + 1];
            const float ti = wrs * data[k2 + 1] + wis * data[k2];
            data[k2] = data[k1] - tr;
            data[k2 + 1] = data[k1 + 1] - ti;
            data[k1] = data[k1] + tr;
            data[k1 + 1] = data[k1 + 1] + ti;
          }
        }
        advance_twiddle(wr, wi, alpha, beta);
      }
      ifp1 = ifp2;
    }
    nprev *= n;
  }
}

namespace {

// One untangling step shared by realft and rlft3: from the pair (d1, d2) at frequency q and its
// mirror (d3, d4), in single precision, then each output summed in double left to right from
// the widened values and rounded once.
void untangle(float &d1, float &d2, float &d3, float &d4, float c1, float c2, double wr, double wi) {
  const float h1r = c1 * (d1 + d3);
  const float h1i = c1 * (d2 - d4);
  const float h2r = -c2 * (d2 + d4);
  const float h2i = c2 * (d1 - d3);
  const double sr = static_cast<double>(h1r);
  const double si = static_cast<double>(h1i);
  const double ar = static_cast<double>(h2r);
  const double ai = static_cast<double>(h2i);
  d1 = static_cast<float>(sr + ar * wr - ai * wi);
  d2 = static_cast<float>(si + ai * wr + ar * wi);
  d3 = static_cast<float>(sr - ar * wr + ai * wi);
  d4 = static_cast<float>(-si + ai * wr + ar * wi);
}

}  // namespace

void realft(float data[], unsigned long n, int isign) {
  // Below 2 the final step reads and writes data[2], past a one-element array (or both past an
  // empty one); other lengths that are not powers of two overrun inside four1.
  if (n < 2 || !is_power_of_two(n)) nrerror("realft: length is not a power of two of at least 2");

  const unsigned long half = n >> 1;
  const float c1 = 0.5f;
  float c2;
  double theta = pi_double / static_cast<double>(half);
  if (isign == 1) {
    c2 = -0.5f;
    four1(data, half, 1);
  } else {
    c2 = 0.5f;
    theta = -theta;
  }
  const double u = std::sin(theta / 2.0);
  const double alpha = -2.0 * u * u;
  const double beta = std::sin(theta);
  double wr = 1.0 + alpha;  // exp(i*theta): the loop starts at frequency 1
  double wi = beta;
  const unsigned long np3 = n + 3;
  // The pair at frequency n/4 is its own mirror and already holds its final value.
  for (unsigned long i = 2; i <= (n >> 2); i++) {
    const unsigned long i1 = i + i - 1;
    const unsigned long i2 = i1 + 1;
    const unsigned long i3 = np3 - i2;
    const unsigned long i4 = i3 + 1;
    untangle(data[i1], data[i2], data[i3], data[i4], c1, c2, wr, wi);
    advance_twiddle(wr, wi, alpha, beta);
  }
  const float h1r = data[1];
  if (isign == 1) {
    data[1] = h1r + data[2];
    data[2] = h1r - data[2];
  } else {
    data[1] = c1 * (h1r + data[2]);
    data[2] = c1 * (h1r - data[2]);
    four1(data, half, -1);
  }
}

void rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2, unsigned long nn3,
           int isign) {
  unsigned long nn[4] = {0, nn1, nn2, nn3 >> 1};
  // len3 below 2 would hand fourn a zero length, and a zero len1 or len2 would make the
  // contiguity check below read row pointers that do not exist; refuse them first.
  if (nn3 < 2 || !valid_dims(nn, 3))
    nrerror("rlft3: lengths are not powers of two with len3 at least 2");

  // The element block must be one contiguous run of len1*len2*len3 floats. The distance is
  // taken on addresses, as the two elements need not belong to one block when it fails.
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(&data[1][1][1]);
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(&data[nn1][nn2][nn3]);
  if (last < first || (last - first) % sizeof(float) != 0 ||
      (last - first) / sizeof(float) + 1 != nn1 * nn2 * nn3)
    std::exit(1);  // deliberately silent

  const float c1 = 0.5f;
  const float c2 = static_cast<float>(-0.5 * static_cast<double>(isign));
  const double theta = (two_pi_decimal / static_cast<double>(nn3)) * static_cast<double>(isign);
  const double u = std::sin(theta / 2.0);
  const double alpha = -2.0 * u * u;
  const double beta = std::sin(theta);
  float *block = &data[1][1][1] - 1;  // addressed from 1

  if (isign == 1) {
    fourn(block, nn, 3, isign);
    for (unsigned long i1 = 1; i1 <= nn1; i1++) {
      for (unsigned long i2 = 1, j2 = 0; i2 <= nn2; i2++) {
        speq[i1][++j2] = data[i1][i2][1];
        speq[i1][++j2] = data[i1][i2][2];
      }
    }
  }

  for (unsigned long i1 = 1; i1 <= nn1; i1++) {
    const unsigned long j1 = (i1 != 1 ? nn1 - i1 + 2 : 1);
    double wr = 1.0;
    double wi = 0.0;
    for (unsigned long i3 = 1, ii3 = 1; i3 <= (nn3 >> 2) + 1; i3++, ii3 += 2) {
      for (unsigned long i2 = 1; i2 <= nn2; i2++) {
        if (i3 == 1) {
          // The q3 = 0 plane, paired with the Nyquist plane kept in speq; twiddle 1.
          const unsigned long j2 = (i2 != 1 ? ((nn2 - i2) << 1) + 3 : 1);
          const float h1r = c1 * (data[i1][i2][1] + speq[j1][j2]);
          const float h1i = c1 * (data[i1][i2][2] - speq[j1][j2 + 1]);
          const float h2i = c2 * (data[i1][i2][1] - speq[j1][j2]);
          const float h2r = -c2 * (data[i1][i2][2] + speq[j1][j2 + 1]);
          data[i1][i2][1] = h1r + h2r;
          data[i1][i2][2] = h1i + h2i;
          speq[j1][j2] = h1r - h2r;
          speq[j1][j2 + 1] = h2i - h1i;
        } else {
          const unsigned long j2 = (i2 != 1 ? nn2 - i2 + 2 : 1);
          const unsigned long j3 = nn3 + 3 - (i3 << 1);
          untangle(data[i1][i2][ii3], data[i1][i2][ii3 + 1], data[j1][j2][j3], data[j1][j2][j3 + 1],
                   c1, c2, wr, wi);
        }
      }
      advance_twiddle(wr, wi, alpha, beta);
    }
  }

  if (isign == -1) fourn(block, nn, 3, isign);
}
