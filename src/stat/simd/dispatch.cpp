// The one place that says which vector widths exist and which one runs.
//
//   width      where                  file          floats / doubles per vector
//   baseline   every x86-64 (SSE2)    baseline.cpp  4 / 2
//              every aarch64 (NEON)   neon.cpp      4 / 2
//              other processors       baseline.cpp  4 / 2 (plain lanes, no vector instructions)
//   avx2       x86-64 with AVX2       avx2.cpp      8 / 4
//   avx512     x86-64 with AVX-512F   avx512.cpp    16 / 8
//
// The width is chosen once, when the library loads: the widest the processor offers, or the
// one named by the environment variable KELVARINWIZARD_SIMD (baseline, avx2 or avx512), which
// is read that once. A request this processor cannot honour is refused with one line on the
// standard error stream, and the widest offered width runs instead. Every width gives the same
// bits; the switch exists to test and to measure each one.
#include "simd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kw_simd {

#if defined(__aarch64__)
const Kernels &neon_kernels();
#else
const Kernels &baseline_kernels();
#endif
#if defined(__x86_64__)
const Kernels &avx2_kernels();
const Kernels &avx512_kernels();
#endif

namespace {

constexpr const char *names[width_count] = {"baseline", "avx2", "avx512"};

bool offered_by_processor(Width w) {
#if defined(__x86_64__)
  __builtin_cpu_init();
  switch (w) {
    case Width::baseline:
      return true;
    case Width::avx2:
      return __builtin_cpu_supports("avx2");
    case Width::avx512:
      return __builtin_cpu_supports("avx512f");
  }
  return false;
#else
  return w == Width::baseline;
#endif
}

const Kernels &chosen() {
  bool offered[width_count];
  for (int i = 0; i < width_count; i++) offered[i] = offered_by_processor(static_cast<Width>(i));
  const char *request = std::getenv("KELVARINWIZARD_SIMD");
  const char *refusal = nullptr;
  const Width w = choose_width(request, offered, &refusal);
  if (refusal != nullptr)
    std::fprintf(stderr, "kelvarinwizard: KELVARINWIZARD_SIMD=%s refused (%s); using %s\n", request,
                 refusal, width_name(w));
  return kernels_of(w);
}

// Chooses at load time rather than at the first call.
[[maybe_unused]] const Kernels &chosen_at_load = kernels();

}  // namespace

const char *width_name(Width w) { return names[static_cast<int>(w)]; }

bool width_supported(Width w) { return offered_by_processor(w); }

Width choose_width(const char *request, const bool offered[width_count], const char **refusal) {
  *refusal = nullptr;
  Width best = Width::baseline;
  for (int i = 0; i < width_count; i++)
    if (offered[i]) best = static_cast<Width>(i);
  if (request == nullptr || request[0] == '\0') return best;
  for (int i = 0; i < width_count; i++) {
    if (std::strcmp(request, names[i]) == 0) {
      if (offered[i]) return static_cast<Width>(i);
      *refusal = "not offered by this processor";
      return best;
    }
  }
  *refusal = "not one of baseline, avx2, avx512";
  return best;
}

const Kernels &kernels_of(Width w) {
#if defined(__x86_64__)
  if (w == Width::avx512) return avx512_kernels();
  if (w == Width::avx2) return avx2_kernels();
#endif
  (void)w;
#if defined(__aarch64__)
  return neon_kernels();
#else
  return baseline_kernels();
#endif
}

const Kernels &kernels() {
  static const Kernels &k = chosen();
  return k;
}

}  // namespace kw_simd
