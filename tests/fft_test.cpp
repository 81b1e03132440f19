// Fourier transforms, checked against a direct transform summed in double, against each other,
// by round trips and exact small cases; outputs pinned to the bit; lengths outside the contract.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "kw_test.h"
#include "stat.h"

namespace {

using cd = std::complex<double>;
using Dims = std::vector<unsigned long>;

unsigned long total(const Dims &dims) {
  unsigned long t = 1;
  for (unsigned long n : dims) t *= n;
  return t;
}

// X[q] = sum over m of x[m] * prod_r exp(sign * 2*pi*i * m_r*q_r / N_r), row-major, last index
// fastest, summed directly in double with roots taken from long double sines.
std::vector<cd> direct_dft(const std::vector<cd> &x, const Dims &dims, int sign) {
  const std::size_t d = dims.size(), t = total(dims);
  std::vector<std::vector<cd>> roots(d);
  for (std::size_t r = 0; r < d; r++)
    for (unsigned long k = 0; k < dims[r]; k++) {
      const long double a = sign * 2 * 3.14159265358979323846264338327950288L * k / dims[r];
      roots[r].push_back(cd(static_cast<double>(std::cos(a)), static_cast<double>(std::sin(a))));
    }
  std::vector<cd> out(t);
  std::vector<unsigned long> q(d, 0);
  for (std::size_t qo = 0; qo < t; qo++) {
    std::vector<unsigned long> m(d, 0), phase(d, 0);  // phase[r] = m_r*q_r mod N_r
    cd sum = 0;
    for (std::size_t mo = 0; mo < t; mo++) {
      cd w = 1;
      for (std::size_t r = 0; r < d; r++) w *= roots[r][phase[r]];
      sum += x[mo] * w;
      for (std::size_t r = d; r-- > 0;) {
        phase[r] = (phase[r] + q[r]) % dims[r];
        if (++m[r] < dims[r]) break;
        m[r] = phase[r] = 0;
      }
    }
    out[qo] = sum;
    for (std::size_t r = d; r-- > 0;)
      if (++q[r] < dims[r])
        break;
      else
        q[r] = 0;
  }
  return out;
}

// Interleaved floats (index 0 here is float 1 of the routines) to complex values and back.
std::vector<cd> to_complex(const std::vector<float> &f) {
  std::vector<cd> c(f.size() / 2);
  for (std::size_t m = 0; m < c.size(); m++) c[m] = cd(f[2 * m], f[2 * m + 1]);
  return c;
}

std::vector<cd> scaled(const std::vector<cd> &x, double factor) {
  std::vector<cd> y = x;
  for (cd &c : y) c *= factor;
  return y;
}

// A unit impulse at the first of t complex values, and the all-ones spectrum it transforms to.
std::vector<float> impulse(unsigned long t, bool transformed) {
  std::vector<float> v(2 * t, 0.0f);
  for (unsigned long q = 0; q < (transformed ? t : 1); q++) v[2 * q] = 1.0f;
  return v;
}

double relative_l2(const std::vector<cd> &got, const std::vector<cd> &want) {
  double num = 0, den = 0;
  for (std::size_t i = 0; i < want.size(); i++) {
    num += std::norm(got[i] - want[i]);
    den += std::norm(want[i]);
  }
  return std::sqrt(num / den);
}

// A transform's error grows like log N roundings of single precision.
double fft_tolerance(unsigned long t) { return kwtest::eps * std::fmax(1.0, std::log2(double(t))); }

std::vector<float> random_floats(std::size_t n, std::uint64_t seed) {
  kwtest::Rng rng(seed);
  std::vector<float> v(n);
  for (float &x : v) x = rng.uniform(-1.0f, 1.0f);
  return v;
}

float *one_based(std::vector<float> &v) { return v.data() - 1; }

// Inputs that reach the edges of single precision, filled from seed; kind selects the mix:
// 0: ordinary values with signed zeros and subnormals among them;
// 1: values near the top of the range, so that sums overflow and inf - inf turns into NaN;
// 2: ordinary values with one infinity;
// 3: ordinary values with one quiet NaN carrying a payload;
// 4: two NaNs of different sign and payload and infinities of both signs, so that results
//    depend on which NaN operand an operation passes on.
std::vector<float> special_floats(std::size_t n, std::uint64_t seed, int kind) {
  std::vector<float> v = random_floats(n, seed);
  kwtest::Rng rng(seed ^ 0xabcdefull);
  switch (kind) {
    case 0:
      for (std::size_t i = 0; i < n; i += 3) {
        const std::uint64_t r = rng.next();
        v[i] = (r & 1) ? -0.0f : kwtest::float_from_bits(std::uint32_t(r >> 40) & 0x807fffffu);
      }
      break;
    case 1:
      for (float &x : v) x *= 3.0e38f;
      break;
    case 2:
      v[rng.next() % n] = -INFINITY;
      break;
    case 3:
      v[rng.next() % n] = kwtest::float_from_bits(0x7fc01234u);
      break;
    default:
      v[rng.next() % n] = INFINITY;
      v[rng.next() % n] = -INFINITY;
      v[rng.next() % n] = kwtest::float_from_bits(0x7fc00abcu);
      v[rng.next() % n] = kwtest::float_from_bits(0xffe00005u);
      break;
  }
  return v;
}

// Hash of outputs from special_floats(kind): the bits of every value that is not a NaN and
// where the NaNs are (a NaN's sign and payload are not pinned, see kwtest::hash_bits).
std::uint64_t hash_special(int, const float *p, std::size_t n, std::uint64_t h) {
  return kwtest::hash_bits(p, n, h);
}


// The dying child checks at exit that the floats it handed over are unchanged; a change turns
// the expected exit status 1 into 2.
std::vector<std::pair<const float *, std::vector<float>>> guarded;
void guard_unchanged(const float *p, std::size_t n) {
  if (guarded.empty())
    std::atexit([] {
      for (const auto &g : guarded)
        if (!std::equal(g.second.begin(), g.second.end(), g.first)) std::_Exit(2);
    });
  guarded.emplace_back(p, std::vector<float>(p, p + n));
}

// A volume for rlft3, with its Nyquist matrix, filled from seed.
struct Volume {
  unsigned long n1, n2, n3;
  float ***data;
  float **speq;
  Volume(unsigned long a, unsigned long b, unsigned long c, std::uint64_t seed)
      : n1(a), n2(b), n3(c) {
    data = f3tensor(1, long(a), 1, long(b), 1, long(c));
    speq = matrix(1, long(a), 1, long(2 * b));
    std::vector<float> v = random_floats(a * b * c, seed);
    std::copy(v.begin(), v.end(), block());
  }
  ~Volume() {
    free_matrix(speq, 1, long(n1), 1, long(2 * n2));
    free_f3tensor(data, 1, long(n1), 1, long(n2), 1, long(n3));
  }
  float *block() const { return &data[1][1][1]; }
  std::vector<float> values() const { return std::vector<float>(block(), block() + n1 * n2 * n3); }
  // The forward output as X[q1][q2][q3], q3 = 0..n3/2, the last plane from speq.
  std::vector<cd> spectrum() const {
    std::vector<cd> x;
    for (unsigned long i1 = 1; i1 <= n1; i1++)
      for (unsigned long i2 = 1; i2 <= n2; i2++) {
        for (unsigned long q3 = 0; q3 < n3 / 2; q3++)
          x.push_back(cd(data[i1][i2][2 * q3 + 1], data[i1][i2][2 * q3 + 2]));
        x.push_back(cd(speq[i1][2 * i2 - 1], speq[i1][2 * i2]));
      }
    return x;
  }
};

// A full spectrum of shape n1 x n2 x n3 cut to q3 = 0..n3/2.
std::vector<cd> half_spectrum(const std::vector<cd> &full, unsigned long n3) {
  std::vector<cd> x;
  for (std::size_t o = 0; o < full.size(); o++)
    if (o % n3 <= n3 / 2) x.push_back(full[o]);
  return x;
}

// ---------------------------------------------------------------------------------------------

TEST(Four1, ExactSmallCases) {
  std::vector<float> one = {1.5f, -2.25f};
  four1(one_based(one), 1, 1);
  EXPECT_EQ(one, (std::vector<float>{1.5f, -2.25f}));
  for (int sign : {1, -1}) {
    std::vector<float> two = {3.0f, 1.0f, 5.0f, -2.0f};
    four1(one_based(two), 2, sign);
    EXPECT_EQ(two, (std::vector<float>{8.0f, -1.0f, -2.0f, 3.0f}));
    for (unsigned long n = 1; n <= 64; n *= 2) {
      std::vector<float> x = impulse(n, false);
      four1(one_based(x), n, sign);
      EXPECT_EQ(x, impulse(n, true)) << "n = " << n;
    }
  }
}

TEST(Four1, MatchesDirectTransformAndRoundTrips) {
  for (unsigned long n = 1; n <= 4096; n *= 2) {
    const std::vector<float> x = random_floats(2 * n, n);
    for (int sign : {1, -1}) {
      std::vector<float> y = x;
      four1(one_based(y), n, sign);
      EXPECT_LT(relative_l2(to_complex(y), direct_dft(to_complex(x), {n}, sign)), fft_tolerance(n))
          << "n = " << n << ", sign " << sign;
      four1(one_based(y), n, -sign);
      EXPECT_LT(relative_l2(to_complex(y), scaled(to_complex(x), n)), 2 * fft_tolerance(n)) << n;
    }
  }
}

// One hash chained over several lengths and both directions.
TEST(Four1, PinnedBits) {
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (unsigned long n = 1; n <= 4096; n *= 8)
    for (int sign : {1, -1}) {
      std::vector<float> x = random_floats(2 * n, 100 + n);
      four1(one_based(x), n, sign);
      h = kwtest::hash_bits(x.data(), x.size(), h);
    }
  EXPECT_EQ(h, 15336186654841227791ull);
}

// Every length up to 2^17, both directions (and a direction outside the contract), then the
// special-value mixes: pins the bits across every stage and table size the loops may use.
TEST(Four1, PinnedBitsAcrossLengthsAndSpecialValues) {
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (unsigned long n = 1; n <= (1ul << 17); n *= 2)
    for (int sign : {1, -1, 2}) {
      std::vector<float> x = random_floats(2 * n, 700 + n);
      four1(one_based(x), n, sign);
      h = kwtest::hash_bits(x.data(), x.size(), h);
    }
  EXPECT_EQ(h, 16349609063884646184ull);
  h = kwtest::hash_bits<float>(nullptr, 0);
  for (unsigned long n : {1ul, 2ul, 8ul, 64ul, 4096ul})
    for (int kind = 0; kind < 5; kind++)
      for (int sign : {1, -1}) {
        std::vector<float> x = special_floats(2 * n, 800 + n, kind);
        four1(one_based(x), n, sign);
        h = hash_special(kind, x.data(), x.size(), h);
      }
  EXPECT_EQ(h, 7230512211222012271ull);
}

TEST(Four1, RejectsLengthsOutsideContract) {
  for (unsigned long n : {0ul, 3ul, 6ul, 12ul, 1000ul, 1ul << 63}) {
    auto call = [n] {
      std::vector<float> x = random_floats(32, n);
      guard_unchanged(x.data(), x.size());
      four1(one_based(x), n, 1);
    };
    KW_EXPECT_NRERROR(call(), "four1: number of points is not a power of two") << "n = " << n;
  }
}

// ---------------------------------------------------------------------------------------------

TEST(Fourn, ExactCases) {
  const std::vector<float> x = random_floats(16, 7);
  for (int ndim : {0, -1}) {  // no dimensions: nothing changes
    std::vector<float> y = x;
    Dims dims = {0, 8};
    fourn(one_based(y), dims.data(), ndim, 1);
    EXPECT_EQ(y, x);
  }
  // Dimensions of length 1 are passed over: the same bits as the 1-D transform.
  std::vector<float> flat = x;
  Dims d8 = {0, 8};
  fourn(one_based(flat), d8.data(), 1, 1);
  for (Dims dims : {Dims{0, 1, 8}, Dims{0, 8, 1}, Dims{0, 1, 8, 1}}) {
    std::vector<float> y = x;
    fourn(one_based(y), dims.data(), int(dims.size() - 1), 1);
    EXPECT_EQ(y, flat);
  }
  for (Dims dims : {Dims{0, 4, 8}, Dims{0, 2, 2, 2}, Dims{0, 1, 1}}) {
    const unsigned long t = total(Dims(dims.begin() + 1, dims.end()));
    std::vector<float> x = impulse(t, false);
    fourn(one_based(x), dims.data(), int(dims.size() - 1), -1);
    EXPECT_EQ(x, impulse(t, true));
  }
}

TEST(Fourn, MatchesDirectTransformAndRoundTrips) {
  const Dims shapes[] = {{1},     {2},       {1024},    {1, 1},     {1, 8},    {8, 1},      {4, 8},
                         {16, 2}, {2, 4, 8}, {1, 4, 2}, {4, 1, 16}, {8, 8, 8}, {16, 16, 16}};
  for (const Dims &shape : shapes) {
    const unsigned long t = total(shape);
    Dims dims = {0};
    dims.insert(dims.end(), shape.begin(), shape.end());
    const std::vector<float> x = random_floats(2 * t, t + shape.size());
    for (int sign : {1, -1}) {
      std::vector<float> y = x;
      fourn(one_based(y), dims.data(), int(shape.size()), sign);
      EXPECT_LT(relative_l2(to_complex(y), direct_dft(to_complex(x), shape, sign)),
                fft_tolerance(t))
          << "shape of " << t << " values in " << shape.size() << " dimensions, sign " << sign;
      fourn(one_based(y), dims.data(), int(shape.size()), -sign);
      EXPECT_LT(relative_l2(to_complex(y), scaled(to_complex(x), t)), 2 * fft_tolerance(t));
    }
  }
}

TEST(Fourn, PinnedBits) {
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (Dims dims : {Dims{0, 64}, Dims{0, 4, 8}, Dims{0, 8, 2, 16}, Dims{0, 16, 16, 16}})
    for (int sign : {1, -1}) {
      const unsigned long t = total(Dims(dims.begin() + 1, dims.end()));
      std::vector<float> x = random_floats(2 * t, 200 + t);
      fourn(one_based(x), dims.data(), int(dims.size() - 1), sign);
      h = kwtest::hash_bits(x.data(), x.size(), h);
    }
  EXPECT_EQ(h, 10478948118780268803ull);
}

// Shapes with long and short runs in every position, lengths of 1 and 2 among them, a long
// single dimension, and the special-value mixes.
TEST(Fourn, PinnedBitsAcrossShapesAndSpecialValues) {
  const Dims shapes[] = {{1},       {2},          {4},          {1ul << 15}, {1, 1},
                         {2, 1},    {1, 2},       {2, 2},       {2, 512},    {512, 2},
                         {8, 4, 2}, {2, 8, 32},   {1, 64, 1},   {4, 2, 2, 4}, {32, 16, 8},
                         {64, 64, 32}, {2, 2, 2, 2, 2, 2}};
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (const Dims &shape : shapes) {
    const unsigned long t = total(shape);
    Dims dims = {0};
    dims.insert(dims.end(), shape.begin(), shape.end());
    for (int sign : {1, -1, 2}) {
      std::vector<float> x = random_floats(2 * t, 900 + t + shape.size());
      fourn(one_based(x), dims.data(), int(shape.size()), sign);
      h = kwtest::hash_bits(x.data(), x.size(), h);
    }
  }
  EXPECT_EQ(h, 17839390426519552480ull);
  h = kwtest::hash_bits<float>(nullptr, 0);
  for (Dims dims : {Dims{0, 2}, Dims{0, 64}, Dims{0, 4, 8}, Dims{0, 8, 2, 16}})
    for (int kind = 0; kind < 5; kind++)
      for (int sign : {1, -1}) {
        const unsigned long t = total(Dims(dims.begin() + 1, dims.end()));
        std::vector<float> x = special_floats(2 * t, 1000 + t, kind);
        fourn(one_based(x), dims.data(), int(dims.size() - 1), sign);
        h = hash_special(kind, x.data(), x.size(), h);
      }
  EXPECT_EQ(h, 10085916005934024531ull);
}

TEST(Fourn, RejectsLengthsOutsideContract) {
  const Dims cases[] = {{0, 0},     {0, 4, 0},    {0, 3},
                        {0, 8, 12}, {0, 2, 2, 6}, {0, 1ul << 32, 1ul << 31}};
  for (const Dims &c : cases) {
    auto call = [&c] {
      std::vector<float> x = random_floats(64, c.size());
      Dims dims = c;
      guard_unchanged(x.data(), x.size());
      fourn(one_based(x), dims.data(), int(dims.size() - 1), 1);
    };
    KW_EXPECT_NRERROR(call(), "fourn: a dimension length is not a power of two");
  }
}

// ---------------------------------------------------------------------------------------------

// realft's packed half spectrum as X_0 .. X_{n/2}.
std::vector<cd> unpack_real(const std::vector<float> &p) {
  const std::size_t n = p.size();
  std::vector<cd> x = {cd(p[0], 0)};
  for (std::size_t q = 1; q < n / 2; q++) x.push_back(cd(p[2 * q], p[2 * q + 1]));
  x.push_back(cd(p[1], 0));
  return x;
}

TEST(Realft, ExactSmallCases) {
  std::vector<float> two = {3.0f, 5.0f};
  realft(one_based(two), 2, 1);
  EXPECT_EQ(two, (std::vector<float>{8.0f, -2.0f}));
  realft(one_based(two), 2, -1);
  EXPECT_EQ(two, (std::vector<float>{3.0f, 5.0f}));
  // Constant, alternating and cos + sin inputs give one packed value and zeros elsewhere.
  for (unsigned long n = 4; n <= 64; n *= 2) {
    for (int shape = 0; shape < 3; shape++) {
      std::vector<float> x(n), want(n, 0.0f);
      for (unsigned long m = 0; m < n; m++)
        x[m] = shape == 0   ? 0.75f
               : shape == 1 ? (m % 2 ? -0.75f : 0.75f)
                            : float(std::cos(2 * M_PI * m / n) + std::sin(2 * M_PI * m / n));
      if (shape < 2)
        want[shape] = 0.75f * float(n);
      else
        want[2] = want[3] = float(n / 2);
      realft(one_based(x), n, 1);
      for (unsigned long i = 0; i < n; i++)
        EXPECT_TRUE(kwtest::close(x[i], want[i], 16 * kwtest::eps, n))
            << "n " << n << " shape " << shape;
    }
  }
}

TEST(Realft, MatchesDirectTransformFour1AndRoundTrips) {
  for (unsigned long n = 2; n <= 4096; n *= 2) {
    const std::vector<float> x = random_floats(n, 300 + n);
    std::vector<float> y = x, complexified(2 * n, 0.0f);
    realft(one_based(y), n, 1);
    std::vector<cd> xc(n);
    for (unsigned long m = 0; m < n; m++) xc[m] = x[m], complexified[2 * m] = x[m];
    std::vector<cd> want = direct_dft(xc, {n}, 1);
    want.resize(n / 2 + 1);
    EXPECT_LT(relative_l2(unpack_real(y), want), fft_tolerance(n)) << "n = " << n;
    four1(one_based(complexified), n, 1);
    std::vector<cd> via_four1 = to_complex(complexified);
    via_four1.resize(n / 2 + 1);
    EXPECT_LT(relative_l2(unpack_real(y), via_four1), 2 * fft_tolerance(n)) << "n = " << n;

    realft(one_based(y), n, -1);
    const std::vector<cd> back(y.begin(), y.end());
    EXPECT_LT(relative_l2(back, scaled(xc, n / 2)), 2 * fft_tolerance(n))
        << "round trip, n = " << n;
  }
}

TEST(Realft, PinnedBits) {
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (unsigned long n = 2; n <= 4096; n *= 4)
    for (int sign : {1, -1}) {
      std::vector<float> x = random_floats(n, 400 + n);
      realft(one_based(x), n, sign);
      h = kwtest::hash_bits(x.data(), x.size(), h);
    }
  EXPECT_EQ(h, 1848699608608253303ull);
}

TEST(Realft, PinnedBitsAcrossLengthsAndSpecialValues) {
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (unsigned long n = 2; n <= (1ul << 17); n *= 2)
    for (int sign : {1, -1, 0}) {
      std::vector<float> x = random_floats(n, 1100 + n);
      realft(one_based(x), n, sign);
      h = kwtest::hash_bits(x.data(), x.size(), h);
    }
  EXPECT_EQ(h, 2667814579163619480ull);
  h = kwtest::hash_bits<float>(nullptr, 0);
  for (unsigned long n : {2ul, 4ul, 8ul, 64ul, 4096ul})
    for (int kind = 0; kind < 5; kind++)
      for (int sign : {1, -1}) {
        std::vector<float> x = special_floats(n, 1200 + n, kind);
        realft(one_based(x), n, sign);
        h = hash_special(kind, x.data(), x.size(), h);
      }
  EXPECT_EQ(h, 2007512966856417501ull);
}

TEST(Realft, RejectsLengthsOutsideContract) {
  for (unsigned long n : {0ul, 1ul, 3ul, 6ul, 12ul}) {
    auto call = [n] {
      std::vector<float> x = random_floats(16, n);
      guard_unchanged(x.data(), x.size());
      realft(one_based(x), n, 1);
    };
    KW_EXPECT_NRERROR(call(), "realft: length is not a power of two of at least 2") << "n = " << n;
  }
}

// ---------------------------------------------------------------------------------------------

const unsigned long volume_shapes[][3] = {{1, 1, 2}, {1, 1, 16}, {1, 8, 2}, {1, 4, 8},  {2, 2, 4},
                                          {2, 4, 8}, {4, 4, 4},  {4, 8, 2}, {8, 2, 16}, {8, 8, 8}};

TEST(Rlft3, MatchesDirectTransformAndFourn) {
  for (const auto &s : volume_shapes) {
    Volume v(s[0], s[1], s[2], 500 + s[0] * 100 + s[1] * 10 + s[2]);
    const std::vector<float> x = v.values();
    std::vector<cd> xc(x.begin(), x.end());
    std::vector<float> complexified(2 * x.size(), 0.0f);
    for (std::size_t m = 0; m < x.size(); m++) complexified[2 * m] = x[m];
    Dims dims = {0, s[0], s[1], s[2]};
    fourn(one_based(complexified), dims.data(), 3, 1);

    rlft3(v.data, v.speq, s[0], s[1], s[2], 1);
    const unsigned long t = s[0] * s[1] * s[2];
    const std::vector<cd> got = v.spectrum();
    EXPECT_LT(relative_l2(got, half_spectrum(direct_dft(xc, {s[0], s[1], s[2]}, 1), s[2])),
              fft_tolerance(t))
        << s[0] << " x " << s[1] << " x " << s[2];
    EXPECT_LT(relative_l2(got, half_spectrum(to_complex(complexified), s[2])), 2 * fft_tolerance(t))
        << s[0] << " x " << s[1] << " x " << s[2];
  }
}

TEST(Rlft3, ConstantAndRoundTrip) {
  for (const auto &s : volume_shapes) {
    const unsigned long t = s[0] * s[1] * s[2];
    Volume v(s[0], s[1], s[2], t);
    std::fill(v.block(), v.block() + t, 0.5f);
    rlft3(v.data, v.speq, s[0], s[1], s[2], 1);
    std::vector<cd> want(t / s[2] * (s[2] / 2 + 1), 0.0);
    want[0] = 0.5 * double(t);
    // Every butterfly meets a zero partner or an equal one, so the result is exact.
    EXPECT_EQ(v.spectrum(), want) << s[0] << " x " << s[1] << " x " << s[2];

    Volume w(s[0], s[1], s[2], t + 1);
    const std::vector<float> x = w.values();
    rlft3(w.data, w.speq, s[0], s[1], s[2], 1);
    rlft3(w.data, w.speq, s[0], s[1], s[2], -1);
    const std::vector<cd> back(w.block(), w.block() + t), xc(x.begin(), x.end());
    EXPECT_LT(relative_l2(back, scaled(xc, t / 2.0)), 2 * fft_tolerance(t)) << s[0] << s[1] << s[2];
  }
}

// Forward output, Nyquist plane included, then the inverse of it, for every volume shape.
TEST(Rlft3, PinnedBits) {
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (const auto &s : volume_shapes) {
    Volume v(s[0], s[1], s[2], 600 + s[0] + s[1] + s[2]);
    rlft3(v.data, v.speq, s[0], s[1], s[2], 1);
    h = kwtest::hash_bits(v.block(), v.values().size(), h);
    h = kwtest::hash_bits(v.speq[1] + 1, 2 * s[0] * s[1], h);
    rlft3(v.data, v.speq, s[0], s[1], s[2], -1);
    h = kwtest::hash_bits(v.block(), v.values().size(), h);
  }
  EXPECT_EQ(h, 14519973385587724934ull);
}

// Forward with a Nyquist matrix full of leftovers (it must be ignored), the inverse of that, and
// an inverse of arbitrary data and Nyquist values; long and short rows, planes of 1 and 2, and
// a direction outside the contract, where only the untangling pass runs.
TEST(Rlft3, PinnedBitsAcrossShapesAndSpecialValues) {
  const unsigned long shapes[][3] = {{1, 1, 2},   {1, 1, 4},   {1, 2, 2},    {2, 1, 2},
                                     {1, 1, 1024}, {2, 2, 512}, {1, 64, 2},   {16, 1, 8},
                                     {4, 8, 16},  {2, 4, 8},   {16, 32, 64}, {32, 32, 32}};
  std::uint64_t h = kwtest::hash_bits<float>(nullptr, 0);
  for (const auto &s : shapes) {
    const unsigned long t = s[0] * s[1] * s[2];
    Volume v(s[0], s[1], s[2], 1300 + t + s[2]);
    std::vector<float> leftovers = random_floats(2 * s[0] * s[1], t);
    std::copy(leftovers.begin(), leftovers.end(), v.speq[1] + 1);
    rlft3(v.data, v.speq, s[0], s[1], s[2], 1);
    h = kwtest::hash_bits(v.block(), t, h);
    h = kwtest::hash_bits(v.speq[1] + 1, 2 * s[0] * s[1], h);
    rlft3(v.data, v.speq, s[0], s[1], s[2], -1);
    h = kwtest::hash_bits(v.block(), t, h);
    h = kwtest::hash_bits(v.speq[1] + 1, 2 * s[0] * s[1], h);
    for (int sign : {-1, 2}) {
      Volume w(s[0], s[1], s[2], 1400 + t + s[1]);
      std::copy(leftovers.begin(), leftovers.end(), w.speq[1] + 1);
      rlft3(w.data, w.speq, s[0], s[1], s[2], sign);
      h = kwtest::hash_bits(w.block(), t, h);
      h = kwtest::hash_bits(w.speq[1] + 1, 2 * s[0] * s[1], h);
    }
  }
  EXPECT_EQ(h, 3810222575307567535ull);
  h = kwtest::hash_bits<float>(nullptr, 0);
  for (const auto &s : {std::vector<unsigned long>{1, 1, 2}, {2, 4, 8}, {8, 8, 8}})
    for (int kind = 0; kind < 5; kind++) {
      const unsigned long t = s[0] * s[1] * s[2];
      Volume v(s[0], s[1], s[2], 1);
      std::vector<float> x = special_floats(t, 1500 + t, kind);
      std::copy(x.begin(), x.end(), v.block());
      rlft3(v.data, v.speq, s[0], s[1], s[2], 1);
      h = hash_special(kind, v.block(), t, h);
      h = hash_special(kind, v.speq[1] + 1, 2 * s[0] * s[1], h);
      rlft3(v.data, v.speq, s[0], s[1], s[2], -1);
      h = hash_special(kind, v.block(), t, h);
    }
  EXPECT_EQ(h, 4445018890644233922ull);
}

TEST(Rlft3, MismatchedTensorEndsSilently) {
  // A well-formed 2 x 4 x 8 tensor described with other sizes, and one whose second row lives
  // in a separate block: exit status 1, nothing on standard error or standard output.
  const struct {
    unsigned long n1, n2, n3;
    bool split;
  } cases[] = {{2, 2, 8, false}, {1, 4, 4, false}, {2, 4, 2, false}, {2, 4, 8, true}};
  for (const auto &c : cases) {
    auto call = [&c] {
      kwtest::ignore_leaks_from_here();
      std::fflush(stdout);
      dup2(2, 1);
      Volume v(2, 4, 8, 1);
      std::vector<float> far(32);
      if (c.split)
        for (int j = 1; j <= 4; j++) v.data[2][j] = far.data() + 8 * (j - 1) - 1;
      guard_unchanged(v.block(), 64);
      guard_unchanged(far.data(), 32);
      rlft3(v.data, v.speq, c.n1, c.n2, c.n3, 1);
    };
    EXPECT_EXIT(call(), ::testing::ExitedWithCode(1), "^$")
        << c.n1 << " x " << c.n2 << " x " << c.n3;
  }
}

TEST(Rlft3, RejectsLengthsOutsideContract) {
  // Odd len3 of 3, 5 or 9 halves to a power of two, but is no power of two itself.
  const unsigned long cases[][3] = {{2, 4, 0}, {2, 4, 1}, {0, 4, 8}, {2, 0, 8}, {3, 4, 8},
                                    {2, 4, 6}, {2, 4, 3}, {2, 4, 5}, {2, 4, 9}};
  for (const auto &c : cases) {
    auto call = [&c] {
      Volume v(2, 4, 8, 2);
      guard_unchanged(v.block(), 64);
      rlft3(v.data, v.speq, c[0], c[1], c[2], 1);
    };
    KW_EXPECT_NRERROR(call(), "rlft3: lengths are not powers of two with len3 at least 2");
  }
}

}  // namespace
