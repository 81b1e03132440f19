// Shared test support: exact-bit pinning, tolerance comparisons, deterministic inputs and
// death-test helpers for nrerror.
#ifndef KELVARINWIZARD_TESTS_KW_TEST_H
#define KELVARINWIZARD_TESTS_KW_TEST_H

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace kwtest {

// Tolerance ladder in units of the single-precision epsilon.
constexpr double eps = FLT_EPSILON;

// FNV-1a over the object representation of n values: pins outputs to the bit. What the library
// guarantees to be identical everywhere is every finite value, every infinity and which results
// are NaN; a NaN's sign and payload follow the processor's default NaN and the compiler's
// operand order, so every float or double NaN is hashed as the one quiet NaN.
template <class T>
std::uint64_t hash_bits(const T *p, std::size_t n, std::uint64_t h = 1469598103934665603ull) {
  for (std::size_t i = 0; i < n; i++) {
    T x = p[i];
    if constexpr (std::is_floating_point_v<T>) {
      if (x != x) x = std::numeric_limits<T>::quiet_NaN();
    }
    const unsigned char *b = reinterpret_cast<const unsigned char *>(&x);
    for (std::size_t k = 0; k < sizeof(T); k++) {
      h ^= b[k];
      h *= 1099511628211ull;
    }
  }
  return h;
}

inline std::uint32_t bits(float x) {
  std::uint32_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}
inline std::uint64_t bits(double x) {
  std::uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}
inline float float_from_bits(std::uint32_t u) {
  float x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}

// Deterministic input generator, independent of the library's own random deviates.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform on [lo, hi), rounded to single precision.
  float uniform(float lo = 0.0f, float hi = 1.0f) {
    const double u = static_cast<double>(next() >> 11) * 0x1.0p-53;
    return static_cast<float>(lo + (static_cast<double>(hi) - lo) * u);
  }

 private:
  std::uint64_t state_;
};

// |got - want| <= tol * max(|want|, floor), with NaN matching NaN and infinities matching
// exactly. Prints both values with full precision on failure.
inline ::testing::AssertionResult close(double got, double want, double tol, double floor = 0.0) {
  if (std::isnan(want) || std::isnan(got)) {
    if (std::isnan(want) && std::isnan(got)) return ::testing::AssertionSuccess();
  } else if (std::isinf(want) || std::isinf(got)) {
    if (got == want) return ::testing::AssertionSuccess();
  } else {
    const double scale = std::fmax(std::fabs(want), floor);
    if (std::fabs(got - want) <= tol * scale) return ::testing::AssertionSuccess();
  }
  char text[160];
  std::snprintf(text, sizeof text, "got %.17g, want %.17g (relative error %.3g, tolerance %.3g)", got,
                want, std::fabs(got - want) / std::fmax(std::fabs(want), floor), tol);
  return ::testing::AssertionFailure() << text;
}

// An extended regular expression that matches exactly the given text.
inline std::string exact_regex(const std::string &text) {
  std::string re = "^";
  for (char c : text) {
    if (std::strchr(".[]()*+?{}|^$\\", c)) re += '\\';
    re += c;
  }
  return re + "$";
}

// The exact standard-error bytes of nrerror(message).
inline std::string nrerror_text(const std::string &message) {
  return "Numerical library run-time error...\n" + message + "\n...now exiting to system...\n";
}

// Blocks obtained before a fatal error are not released (the process ends anyway); keep the
// leak checker of the sanitized build from reporting them in the dying child.
inline void ignore_leaks_from_here() {
#if defined(__SANITIZE_ADDRESS__)
  __lsan_disable();
#endif
}

}  // namespace kwtest

// The statement must end the process through nrerror with exactly this message.
#define KW_EXPECT_NRERROR(statement, message)                                         \
  EXPECT_EXIT(                                                                        \
      {                                                                               \
        kwtest::ignore_leaks_from_here();                                             \
        statement;                                                                    \
      },                                                                              \
      ::testing::ExitedWithCode(1), kwtest::exact_regex(kwtest::nrerror_text(message)))

#endif  // KELVARINWIZARD_TESTS_KW_TEST_H
