// Test entry point shared by every test executable.
#include <gtest/gtest.h>

#if KW_TEST_WIDTHS
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stat/simd/simd.h"
#endif

// Impossible sizes must reach the library's own failure path, so the sanitized build lets a
// failing malloc return null instead of stopping the process itself.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

int main(int argc, char **argv) {
#if KW_TEST_WIDTHS
  // A suite forced to a vector width this processor lacks would silently run at another one:
  // skip it instead, and say so.
  if (const char *request = std::getenv("KELVARINWIZARD_SIMD")) {
    for (int i = 0; i < kw_simd::width_count; i++) {
      const auto w = static_cast<kw_simd::Width>(i);
      if (std::strcmp(request, kw_simd::width_name(w)) == 0 && !kw_simd::width_supported(w)) {
        std::printf("skipped: this processor does not offer the %s width\n", request);
        return 77;  // counted as skipped by CTest
      }
    }
  }
#endif
  ::testing::InitGoogleTest(&argc, argv);
  // Re-executes the test binary for each death test: safe with the sanitizers' threads. Under
  // an emulator that cannot re-execute its target, GTEST_DEATH_TEST_STYLE=fast forks instead.
  if (std::getenv("GTEST_DEATH_TEST_STYLE") == nullptr) GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}
