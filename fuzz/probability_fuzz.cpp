// Gamma and beta families, conversions, running sums and the random deviates on fuzzed
// arguments, non-finite ones included: probabilities lie in [0, 1], NaN in gives NaN out, the
// two incomplete gamma forms and the two beta symmetries agree, a converted statistic maps
// back to its probability, running correlations stay in [-1, 1], deviates stay in range.
#include <cmath>
#include <cstdlib>

#include "fuzz_input.h"
#include "stat.h"

namespace {

bool probability(float p) { return p >= 0.0f && p <= 1.0f; }
bool probability_or_nan(float p) { return std::isnan(p) || probability(p); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  kwfuzz::Input in(data, size);
  const float a = std::fabs(in.any_float()), b = std::fabs(in.any_float()), x = in.any_float();
  const bool nan_in = std::isnan(a) || std::isnan(b) || std::isnan(x);

  // Gamma family on its domain (a > 0, x >= 0) short of the iteration limits (a up to 1e9).
  if (a > 0.0f && a <= 1e9f && !(x < 0.0f)) {
    const float q = gammq(a, x);
    KWFUZZ_REQUIRE(std::isnan(a) || std::isnan(x) ? std::isnan(q) : probability(q));
    float p, c, gln;
    gser(&p, a, x, &gln);
    gcf(&c, a, x, &gln);
    KWFUZZ_REQUIRE(probability_or_nan(p) && probability_or_nan(c));
    // The single-precision runs carry ln Gamma(a) rounded to float, up to 2^-10 off before the
    // double path takes over: P + Q = 1 to that much.
    if (!std::isnan(a) && std::isfinite(x)) KWFUZZ_REQUIRE(std::fabs((double)p + c - 1.0) <= 2e-3);
  }
  KWFUZZ_REQUIRE(std::isnan(x) ? std::isnan(probks(x)) : probability(probks(x)));
  const float e = erfcc(x);
  KWFUZZ_REQUIRE(std::isnan(x) ? std::isnan(e) : e >= 0.0f && e <= 2.0f);

  // Incomplete beta for a, b in (0, 1e8]: I_x(a, b) + I_(1-x)(b, a) = 1.
  const float xb = std::fabs(std::fmod(x, 1.0f));
  if (a > 1e-3f && a <= 1e8f && b > 1e-3f && b <= 1e8f && !std::isnan(xb)) {
    const float i1 = betai(a, b, xb), i2 = betai(b, a, 1.0f - xb);
    KWFUZZ_REQUIRE(probability(i1) && probability(i2));
    if (1.0f - (1.0f - xb) == xb) KWFUZZ_REQUIRE(std::fabs((double)i1 + i2 - 1.0) <= 1e-4);
  }
  KWFUZZ_REQUIRE(!nan_in || std::isnan(betai(a, b, x)));

  // Conversions: probabilities in [0, 1], NaN for NaN, and p_to_t(t_to_p(t)) maps back.
  const unsigned long df = 1 + (in.byte() | (unsigned long)in.byte() << 8 | (unsigned long)in.byte() << 16);
  const float t = std::fmod(x, 50.0f), r = std::fmod(x, 1.0f);  // NaN for x = NaN or +-inf
  const float pt = t_to_p(t, df), pf = F_to_p(std::fabs(t), 3, df), pr = r_to_p(r, df + 2);
  KWFUZZ_REQUIRE(std::isnan(t) ? std::isnan(pt) && std::isnan(pf) && std::isnan(pr)
                               : probability(pt) && probability(pf) && probability(pr));
  const float back = p_to_t(pt, df);
  if (std::isnan(t)) KWFUZZ_REQUIRE(std::isnan(back) && std::isnan(p_to_F(t, 3, df)) && std::isnan(p_to_r(t, df)));
  // Within the reachable range (|t| up to 54) the search lands within its last step (2^-11
  // in t) of the crossing: the probability there is close to pt.
  if (!std::isnan(t) && pt > 1e-6f && pt < 0.999f)
    KWFUZZ_REQUIRE(std::fabs(t_to_p(back, df) - pt) <= 0.02f * pt + 1e-4f);

  // Running sums over fuzzed pairs: r in [-1, 1] or NaN, the count exact.
  float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0;
  for (int i = 0; i < 8 && in.remaining() >= 8; i++) {
    const float px = in.any_float(), py = in.any_float();
    float r, icpt, slope, my;
    pearsn_inc(px, py, count, sx, sy, ssx, ssy, spxy, &r);
    KWFUZZ_REQUIRE(std::isnan(r) || (r >= -1.0f && r <= 1.0f));
    regr_inc(px, py, count, sx, sy, ssx, ssy, spxy, &icpt, &slope, &my);
  }

  // Deviates: uniform in (0, 1), normal finite, from any seed (process-wide generator).
  long seed = -(long)(in.byte() | (unsigned long)in.byte() << 8);
  for (int i = 0; i < 4; i++) {
    const float u = ran1(&seed);
    KWFUZZ_REQUIRE(u > 0.0f && u < 1.0f);
    KWFUZZ_REQUIRE(std::isfinite(gasdev(&seed)));
  }
  return 0;
}
