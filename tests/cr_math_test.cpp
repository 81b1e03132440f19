// The library's exp, log and sin against MPFR's correctly rounded results, bit for bit: special
// values and boundaries, arguments spread over each whole domain (uniform in exponent and in
// significand), the accurate paths alone, and (with KW_MATH_ARGS_DIR) every argument the test
// suite made the library pass. Built twice: quick counts for the suite, and 10^7 arguments
// per function (10^6 through the accurate paths alone) for the long verification.
#include <dirent.h>
#include <mpfr.h>

#include <algorithm>
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kw_test.h"
#include "stat/cr_math.h"

namespace {

#ifdef KW_CR_MATH_FULL
constexpr long kRandomArguments = 10000000;
constexpr long kAccurateArguments = 1000000;
#else
constexpr long kRandomArguments = 100000;
constexpr long kAccurateArguments = 10000;
#endif

enum Function { kExp, kLog, kSin };
const char *const kNames[] = {"exp", "log", "sin"};

// MPFR's result rounded to nearest, with double's exponent range and subnormals.
double reference(Function f, double x) {
  static const bool ranged = [] {
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    return true;
  }();
  (void)ranged;
  mpfr_t v;
  mpfr_init2(v, 53);
  mpfr_set_d(v, x, MPFR_RNDN);
  const int t = f == kExp ? mpfr_exp(v, v, MPFR_RNDN) : f == kLog ? mpfr_log(v, v, MPFR_RNDN) : mpfr_sin(v, v, MPFR_RNDN);
  mpfr_subnormalize(v, t, MPFR_RNDN);
  const double r = mpfr_get_d(v, MPFR_RNDN);
  mpfr_clear(v);
  return r;
}

double ours(Function f, double x) {
  return f == kExp ? kw_crmath::cr_exp(x) : f == kLog ? kw_crmath::cr_log(x) : kw_crmath::cr_sin(x);
}

double accurate(Function f, double x) {
  using namespace kw_crmath::detail;
  return f == kExp ? exp_accurate(x) : f == kLog ? log_accurate(x) : sin_accurate(x);
}

bool fast(Function f, double x, double &y) {
  using namespace kw_crmath::detail;
  return f == kExp ? exp_fast(x, y) : f == kLog ? log_fast(x, y) : sin_fast(x, y);
}

// Where the accurate path applies on its own (past each function's special cases).
bool accurate_domain(Function f, double x) {
  const double a = std::fabs(x);
  switch (f) {
    case kExp: return x > -745.2 && x < 709.79 && a >= 0x1p-54;
    case kLog: return x > 0 && a <= DBL_MAX;
    default: return a >= 0x1p-26 && a <= DBL_MAX;
  }
}

bool same(double a, double b) { return std::isnan(a) ? std::isnan(b) : kwtest::bits(a) == kwtest::bits(b); }

// Counts mismatches of `got` against MPFR over xs, printing the first few.
long mismatches(Function f, const std::vector<double> &xs, double (*got)(Function, double)) {
  long bad = 0;
  for (double x : xs) {
    const double want = reference(f, x), y = got(f, x);
    if (!same(y, want) && bad++ < 10)
      ADD_FAILURE() << kNames[f] << "(" << std::hexfloat << x << ") = " << y << ", correctly rounded " << want;
  }
  return bad;
}

// Random doubles for f: half with the exponent uniform over the range where f is not trivial
// and a uniform significand, a quarter uniform over all bit patterns, a quarter near the
// points where f is hardest to evaluate (0 for exp, 1 for log, multiples of pi/2 for sin).
std::vector<double> spread(Function f, long n, std::uint64_t seed) {
  kwtest::Rng rng(seed);
  std::vector<double> xs;
  xs.reserve(n);
  const int lo = f == kExp ? -60 : f == kLog ? -1074 : -30;
  const int hi = f == kExp ? 9 : 1023;
  while ((long)xs.size() < n) {
    const std::uint64_t u = rng.next(), v = rng.next();
    const double significand = 1.0 + (double)(u >> 12) * 0x1p-52;
    double x;
    switch (xs.size() % 4) {
      case 0:
      case 1:
        x = std::ldexp(significand, lo + (int)(v % (unsigned)(hi - lo + 1)));
        if (f != kLog && (v >> 63)) x = -x;
        break;
      case 2: {
        std::uint64_t b = u;
        if (f == kLog) b &= ~(1ull << 63);
        x = 0;
        std::memcpy(&x, &b, sizeof x);
        break;
      }
      default:
        if (f == kExp) {
          x = std::ldexp(significand, -(int)(v % 60)) * ((v >> 63) ? -1 : 1);
        } else if (f == kLog) {
          x = 1.0 + std::ldexp(significand, -(int)(v % 53) - 1) * ((v >> 63) ? -0.5 : 1);
        } else {
          x = std::nearbyint((double)(v >> 20) * 1e-3) * 1.5707963267948966 + std::ldexp(significand, -(int)(u % 40));
        }
    }
    if (std::isfinite(x)) xs.push_back(x);
  }
  return xs;
}

struct SpecialCase {
  Function f;
  double x, want;  // want is NaN where any NaN will do
};

TEST(CrMath, SpecialValues) {
  const double inf = INFINITY, nan = NAN;
  const SpecialCase cases[] = {
      {kExp, nan, nan},   {kExp, inf, inf},   {kExp, -inf, 0.0},   {kExp, 0.0, 1.0},  {kExp, -0.0, 1.0},
      {kExp, 1000, inf},  {kExp, -1000, 0.0}, {kExp, DBL_MAX, inf}, {kExp, -DBL_MAX, 0.0},
      {kLog, nan, nan},   {kLog, inf, inf},   {kLog, -inf, nan},   {kLog, 0.0, -inf}, {kLog, -0.0, -inf},
      {kLog, -1.0, nan},  {kLog, 1.0, 0.0},   {kLog, -0x1p-1074, nan},
      {kSin, nan, nan},   {kSin, inf, nan},   {kSin, -inf, nan},   {kSin, 0.0, 0.0},  {kSin, -0.0, -0.0},
      {kSin, 0x1p-1074, 0x1p-1074}, {kSin, -0x1p-1074, -0x1p-1074},
  };
  for (const SpecialCase &c : cases) {
    const double y = ours(c.f, c.x);
    EXPECT_TRUE(same(y, c.want)) << kNames[c.f] << "(" << c.x << ") = " << y;
  }
}

// Boundaries of every branch: overflow and underflow thresholds, the subnormal range, the
// edges of the fast paths, the reduction's switch-over points, doubles closest to multiples
// of pi/2 (the hardest for the reduction) and the extremes of the range.
TEST(CrMath, BoundariesAgreeWithMpfr) {
  std::vector<double> e = {709.782712893384, 0x1.62e42fefa39efp+9, 0x1.62e42fefa39fp+9, 709.79,
                           -745.1332191019411, -0x1.74910d52d3051p+9, -0x1.74910d52d3052p+9, -745.2,
                           -708.3964185322641, -708.4, -0x1.6232bdd7abcd2p+9, 0x1p-54, -0x1p-54,
                           0x1.0000000000001p-54, -0x1.0000000000001p-54, 0x1p-53, 1.0, -1.0,
                           0x1.62e42fefa39efp-8, 0x1.62e42fefa39efp-9, 700.5, -700.5};
  std::vector<double> l = {0x1p-1074, 0x1p-1073, 0x1.fffffffffffffp-1023, 0x1p-1022, DBL_MAX,
                           0x1.fffffffffffffp-1, 0x1.0000000000001p+0, 0x1.6a09e667f3bcdp+0,
                           0x1.6a09e667f3bcep+0, 0x1.6a09e667f3bccp-1, 2.0, 0.5, 10.0, 0x1.ff8p-1};
  std::vector<double> s = {0x1p-26, 0x1.fffffffffffffp-27, 0x1.921fb54442d18p-1, 0x1.921fb54442d19p-1,
                           0x1.921fb54442d18p+0, 0x1.921fb54442d18p+1, 0x1.921fb54442d18p+2,
                           0x1.2d97c7f3321d2p+1, 0x1p20, 0x1.fffffffffffffp+19, 1e22, 0x1.6ac5b262ca1ffp+849,
                           DBL_MAX, 0x1p1023, 6.28318530717959, -6.28318530717959, 3.141592653589793,
                           0x1.8p-1, 0x1.0p-7, 0x1.9p-1};
  EXPECT_EQ(mismatches(kExp, e, ours), 0);
  EXPECT_EQ(mismatches(kLog, l, ours), 0);
  EXPECT_EQ(mismatches(kSin, s, ours), 0);
  for (double x : s) {
    if (!accurate_domain(kSin, x)) continue;
    EXPECT_TRUE(same(accurate(kSin, x), reference(kSin, x))) << std::hexfloat << x;
  }
}

// Also counts the arguments the fast path leaves to the accurate one: a slow path taken often
// would still be right, only slow.
TEST(CrMath, SpreadArgumentsAgreeWithMpfr) {
  for (Function f : {kExp, kLog, kSin}) {
    const std::vector<double> xs = spread(f, kRandomArguments, 1000 + f);
    EXPECT_EQ(mismatches(f, xs, ours), 0) << kNames[f];
    // The quarter chosen near the hardest points holds the doubles next to 1 for log, whose
    // logarithm lies within 2^-99 of a midpoint: those only the accurate path can round.
    long undecided = 0, undecided_elsewhere = 0;
    for (std::size_t i = 0; i < xs.size(); i++) {
      double y;
      if (fast(f, xs[i], y)) continue;
      undecided++;
      if (i % 4 != 3) undecided_elsewhere++;
    }
    std::printf("%s: %ld of %zu arguments left to the accurate path, %ld outside the hardest quarter\n",
                kNames[f], undecided, xs.size(), undecided_elsewhere);
    EXPECT_LT(undecided_elsewhere, (long)xs.size() / 2000) << kNames[f];
    EXPECT_LT(undecided, (long)xs.size() / 200) << kNames[f];
  }
}

// The switch-over points of the fast paths: the reduction of sin by pi/1024 (doubles nearest
// to its multiples, where the exact reduction takes over, and 2^11, where it takes over
// entirely), the table intervals of log next to 1 and at the ends of the significand's range,
// and exp where the scaling leaves the normal range.
TEST(CrMath, FastPathSwitchOversAgreeWithMpfr) {
  std::vector<double> e = {708.0, 0x1.61fffffffffffp+9, -708.0, -707.7, -707.71, -0x1.61d2p+9,
                           0x1.62e42fefa39efp-10, -0x1.62e42fefa39efp-10, 0x1.62e42fefa39efp-11};
  std::vector<double> l = {0x1.6ap-1, 0x1.69fffffffffffp-1, 0x1.6ap+0, 0x1.69fffffffffffp+0,
                           1.0 - 0x1p-10, 0x1.ff7ffffffffffp-1, 1.0 + 0x1p-9, 0x1.007ffffffffffp+0,
                           0x1.0000000000001p+0, 0x1.fffffffffffffp-1, 0x1p-1022, 0x1.8p-1022,
                           0x1.6ap-1023, 0x1p-1050, 0x1.6ap+1023, 0x1.69fffffffffffp+1023};
  // sin near multiples of pi, where the result is small: through the fast reduction (r from
  // 2^-29 up) and the exact one (large arguments).
  std::vector<double> s = {0x1p11, 0x1.fffffffffffffp+10, 0x1.0000000000001p+11, -0x1p11,
                           0x1.a1154f55ace13p+29, 0x1.4354b6aed8cf9p+28, 0x1.f48d39867b545p+27,
                           0x1.478e91a329acp+24};
  for (int n = 1; n < 652; n += 3)
    for (double d : {0x1p-29, -0x1.7p-27, 0x1.3p-24, -0x1.9p-21}) s.push_back((double)n * 3.141592653589793 + d);
  for (long k : {1L, 2L, 511L, 512L, 513L, 1023L, 1024L, 1025L, 2047L, 2048L, 4096L, 355L, 651898L}) {
    const double t = (double)k * 0x1.921fb54442d18p-9;  // k pi/1024, as a double
    for (double x : {t, std::nextafter(t, 0.0), std::nextafter(t, 1e300), -t}) s.push_back(x);
  }
  EXPECT_EQ(mismatches(kExp, e, ours), 0);
  EXPECT_EQ(mismatches(kLog, l, ours), 0);
  EXPECT_EQ(mismatches(kSin, s, ours), 0);
}

// ln(1 - t) and ln(1 + t) for small floats t, as the gamma family forms them: the results lie
// close to midpoints, yet the fast path decides nearly all of them.
TEST(CrMath, LogNextToOneOfFloatSteps) {
  kwtest::Rng rng(31);
  std::vector<double> xs;
  for (int i = 0; i < 2000; i++) {
    const float t = (float)std::ldexp(1.0 + (double)(rng.next() >> 11) * 0x1p-53, -26 - i % 24);
    xs.push_back(1.0 - (double)t);
    xs.push_back(1.0 + (double)t);
  }
  EXPECT_EQ(mismatches(kLog, xs, ours), 0);
  long undecided = 0;
  for (double x : xs) {
    double y;
    if (!fast(kLog, x, y)) undecided++;
  }
  EXPECT_LT(undecided, (long)xs.size() / 100);
}

TEST(CrMath, AccuratePathsAloneAgreeWithMpfr) {
  for (Function f : {kExp, kLog, kSin}) {
    std::vector<double> xs;
    for (double x : spread(f, 2 * kAccurateArguments, 2000 + f))
      if (accurate_domain(f, x) && (long)xs.size() < kAccurateArguments) xs.push_back(x);
    EXPECT_EQ(mismatches(f, xs, accurate), 0) << kNames[f];
  }
}

// The fast paths decide nearly everywhere (a slow path taken often would still be right, only
// slow); their bound admits about one undecided argument in 2^13 in the normal range.
TEST(CrMath, FastPathsDecideNearlyAlways) {
  kwtest::Rng rng(77);
  for (Function f : {kExp, kLog, kSin}) {
    long undecided = 0;
    const long n = 100000;
    for (long i = 0; i < n; i++) {
      const double u = (double)(rng.next() >> 11) * 0x1p-53;
      const double x = f == kExp ? 1400 * u - 700 : f == kLog ? std::ldexp(0.5 + u, (int)(i % 200) - 100) : 20 * u - 10;
      double y;
      if (!fast(f, x, y)) undecided++;
    }
    EXPECT_LT(undecided, n / 1000) << kNames[f];
  }
}

// Every argument recorded from the test suite's own runs (KW_MATH_ARGS_DIR), if any. Only in the
// long verification, which runs after the suite has finished recording.
#ifdef KW_CR_MATH_FULL
TEST(CrMath, ArgumentsOfTheTestSuiteAgreeWithMpfr) {
  const char *dir = std::getenv("KW_MATH_ARGS_DIR");
  if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "KW_MATH_ARGS_DIR not set";
  std::vector<double> xs[3];
  if (DIR *d = opendir(dir)) {
    while (const dirent *entry = readdir(d)) {
      if (std::string(entry->d_name).rfind("args.", 0) != 0) continue;
      std::FILE *file = std::fopen((std::string(dir) + "/" + entry->d_name).c_str(), "r");
      if (!file) continue;
      int f;
      std::uint64_t u;
      while (std::fscanf(file, "%d %" SCNx64, &f, &u) == 2) {
        double x;
        std::memcpy(&x, &u, sizeof x);
        if (f >= 0 && f < 3) xs[f].push_back(x);
      }
      std::fclose(file);
    }
    closedir(d);
  }
  long total = 0;
  for (Function f : {kExp, kLog, kSin}) {
    std::sort(xs[f].begin(), xs[f].end(), [](double a, double b) { return kwtest::bits(a) < kwtest::bits(b); });
    xs[f].erase(std::unique(xs[f].begin(), xs[f].end(), same), xs[f].end());
    total += (long)xs[f].size();
    EXPECT_EQ(mismatches(f, xs[f], ours), 0) << kNames[f];
    std::printf("%s: %zu distinct arguments from the test suite\n", kNames[f], xs[f].size());
  }
  EXPECT_GT(total, 0) << "no recorded arguments in " << dir;
}
#endif

}  // namespace
