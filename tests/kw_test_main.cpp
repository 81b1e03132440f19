// Test entry point shared by every test executable.
#include <gtest/gtest.h>

#include <cstdlib>

// Impossible sizes must reach the library's own failure path, so the sanitized build lets a
// failing malloc return null instead of stopping the process itself.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Re-executes the test binary for each death test: safe with the sanitizers' threads. Under
  // an emulator that cannot re-execute its target, GTEST_DEATH_TEST_STYLE=fast forks instead.
  if (std::getenv("GTEST_DEATH_TEST_STYLE") == nullptr) GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}
