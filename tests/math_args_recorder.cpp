// Linked into every numerical test: with KW_MATH_ARGS_DIR set, records every distinct argument
// the library passes to its exp, log and sin, and writes them at exit to one file per process
// in that directory ("function hex-bits" lines), for the verification against MPFR.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include <unistd.h>

#include "stat/cr_math.h"

namespace {

std::set<std::pair<int, std::uint64_t>> *seen = nullptr;
std::string path;

void record(int function, double x) {
  std::uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  seen->insert({function, u});
}

void write_out() {
  if (std::FILE *f = std::fopen(path.c_str(), "w")) {
    for (const auto &[function, u] : *seen) std::fprintf(f, "%d %016" PRIx64 "\n", function, u);
    std::fclose(f);
  }
}

[[maybe_unused]] const bool installed = [] {
  const char *dir = std::getenv("KW_MATH_ARGS_DIR");
  if (dir == nullptr || *dir == '\0') return false;
  seen = new std::set<std::pair<int, std::uint64_t>>;
  path = std::string(dir) + "/args." + std::to_string(getpid());
  kw_crmath::detail::observer = record;
  std::atexit(write_out);
  return true;
}();

}  // namespace
