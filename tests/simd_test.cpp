// The vector widths: how one is chosen, and every kernel of every width this processor offers
// against the plain loops it replaces, bit for bit, over lengths that leave every kind of tail
// and over values that include zeros of both signs, subnormals, infinities and NaN.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "kw_test.h"
#include "stat/simd/simd.h"

namespace {

using kw_simd::Width;

TEST(Simd, ChoosesWidth) {
  const bool all[3] = {true, true, true};
  const bool no512[3] = {true, true, false};
  const bool plain[3] = {true, false, false};
  struct Case {
    const char *request;
    const bool *offered;
    Width want;
    bool refused;
  } cases[] = {
      {nullptr, all, Width::avx512, false},    {"", no512, Width::avx2, false},
      {nullptr, plain, Width::baseline, false}, {"baseline", all, Width::baseline, false},
      {"avx2", all, Width::avx2, false},        {"avx512", all, Width::avx512, false},
      {"avx512", no512, Width::avx2, true},     {"avx2", plain, Width::baseline, true},
      {"AVX2", all, Width::avx512, true},       {"avx", no512, Width::avx2, true},
  };
  for (const Case &c : cases) {
    const char *refusal = "unset";
    EXPECT_EQ(kw_simd::choose_width(c.request, c.offered, &refusal), c.want) << c.request;
    EXPECT_EQ(refusal != nullptr, c.refused) << c.request;
  }
}

// The width chosen at load is the requested one when the processor offers it, and stays.
TEST(Simd, ChoosesOnce) {
  const kw_simd::Kernels &k = kw_simd::kernels();
  EXPECT_EQ(&k, &kw_simd::kernels());
  EXPECT_TRUE(kw_simd::width_supported(k.width));
  const char *request = std::getenv("KELVARINWIZARD_SIMD");
  for (int i = 0; request != nullptr && i < kw_simd::width_count; i++) {
    if (std::strcmp(request, kw_simd::width_name(static_cast<Width>(i))) == 0) {
      EXPECT_STREQ(kw_simd::width_name(k.width), request);
    }
  }
}

// Values for the kernels: mostly ordinary, with every special kind mixed in.
std::vector<float> values(std::size_t n, std::uint64_t seed) {
  static const float specials[] = {0.0f, -0.0f, 1e-40f, -3e-39f, std::numeric_limits<float>::infinity(),
                                   -std::numeric_limits<float>::infinity(), 3e38f,
                                   std::numeric_limits<float>::quiet_NaN()};
  kwtest::Rng rng(seed);
  std::vector<float> v(n);
  for (float &x : v) {
    const std::uint64_t r = rng.next();
    x = r % 13 == 0 ? specials[(r >> 8) % 8] : rng.uniform(-2.0f, 2.0f);
  }
  return v;
}

// Bits equal, any NaN matching any NaN (the payload of a NaN may differ between widths).
void expect_same(const std::vector<float> &got, const std::vector<float> &want, const char *what,
                 Width w) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); i++) {
    if (std::isnan(got[i]) && std::isnan(want[i])) continue;
    ASSERT_EQ(kwtest::bits(got[i]), kwtest::bits(want[i]))
        << what << " at " << kw_simd::width_name(w) << ", element " << i << ": " << got[i] << " vs "
        << want[i];
  }
}

// Interleaved (wr, wi) twiddles spread out as the kernels take them.
struct Spread {
  std::vector<double> re, im;
  Spread(const double *w, std::size_t count) : re(2 * count), im(2 * count) {
    for (std::size_t c = 0; c < count; c++) {
      re[2 * c] = re[2 * c + 1] = w[2 * c];
      im[2 * c] = -w[2 * c + 1];
      im[2 * c + 1] = w[2 * c + 1];
    }
  }
  kw_simd::TwiddleRun run() const { return {re.data(), im.data()}; }
};

std::vector<Width> offered_widths() {
  std::vector<Width> ws;
  for (int i = 0; i < kw_simd::width_count; i++)
    if (kw_simd::width_supported(static_cast<Width>(i))) ws.push_back(static_cast<Width>(i));
  return ws;
}

TEST(Simd, RowUpdatesMatchPlainLoops) {
  for (Width w : offered_widths()) {
    const kw_simd::Kernels &k = kw_simd::kernels_of(w);
    for (int n : {0, 1, 3, 4, 7, 8, 15, 16, 17, 31, 33, 64, 100}) {
      const std::vector<float> x = values(n, 1 + n), y0 = values(n, 100 + n);
      const float c = 0.7071f, tau = 0.1716f;
      std::vector<float> got = y0, want = y0;
      k.add_scaled(got.data(), x.data(), c, n);
      for (int j = 0; j < n; j++) want[j] = want[j] + x[j] * c;
      expect_same(got, want, "add_scaled", w);
      got = want = y0;
      k.add_scaled_scalar_first(got.data(), x.data(), c, n);
      for (int j = 0; j < n; j++) want[j] = want[j] + c * x[j];
      expect_same(got, want, "add_scaled_scalar_first", w);
      got = want = y0;
      k.subtract_scaled(got.data(), x.data(), c, n);
      for (int j = 0; j < n; j++) want[j] = want[j] - x[j] * c;
      expect_same(got, want, "subtract_scaled", w);
      got = want = y0;
      std::vector<float> gx = x, wx = x;
      k.jacobi_rotate_rows(gx.data(), got.data(), n, c, tau);
      for (int j = 0; j < n; j++) {
        const float ox = wx[j], oy = want[j];
        wx[j] = ox - c * (oy + ox * tau);
        want[j] = oy + c * (ox - oy * tau);
      }
      expect_same(gx, wx, "jacobi_rotate_rows x", w);
      expect_same(got, want, "jacobi_rotate_rows y", w);
    }
  }
}

TEST(Simd, ProductMatchesPlainLoop) {
  struct Shape {
    int m, n, p;
  } shapes[] = {{1, 1, 1}, {2, 3, 2}, {4, 0, 3}, {5, 7, 9}, {9, 17, 33}, {7, 300, 37}, {13, 129, 70}};
  for (Width w : offered_widths()) {
    for (const Shape &s : shapes) {
      std::vector<float> a = values(std::size_t(s.m) * s.n + 1, 7), b = values(std::size_t(s.n) * s.p + 1, 8);
      std::vector<float *> ar(s.m), br(s.n + 1), gr(s.m), wr(s.m);
      std::vector<float> got(std::size_t(s.m) * s.p, 42.0f), want = got;
      for (int i = 0; i < s.m; i++) {
        ar[i] = a.data() + std::size_t(i) * s.n;
        gr[i] = got.data() + std::size_t(i) * s.p;
        wr[i] = want.data() + std::size_t(i) * s.p;
      }
      for (int k = 0; k < s.n; k++) br[k] = b.data() + std::size_t(k) * s.p;
      kw_simd::kernels_of(w).matrix_product(ar.data(), br.data(), gr.data(), s.m, s.n, s.p);
      for (int i = 0; i < s.m; i++)
        for (int j = 0; j < s.p; j++) {
          float sum = 0.0f;
          for (int k = 0; k < s.n; k++) sum += ar[i][k] * br[k][j];
          wr[i][j] = sum;
        }
      expect_same(got, want, "matrix_product", w);
    }
  }
}

// gaussj's pivot search in a row: the largest candidate magnitude, NaN never, -1 for none.
TEST(Simd, PivotSearchMatchesPlainLoop) {
  for (Width w : offered_widths()) {
    const kw_simd::Kernels &k = kw_simd::kernels_of(w);
    for (int n : {0, 1, 3, 4, 7, 8, 15, 16, 17, 31, 33, 64, 100}) {
      for (int used_every : {1, 2, 3, 1000}) {
        std::vector<float> x = values(n, 5 + n);
        std::vector<int> uses(n);
        for (int j = 0; j < n; j++) uses[j] = j % used_every == 0 && used_every < 1000 ? 1 : 0;
        float want = -1.0f;
        for (int j = 0; j < n; j++) {
          const float c = uses[j] == 0 ? std::fabs(x[j]) : -1.0f;
          want = c > want ? c : want;
        }
        EXPECT_EQ(kwtest::bits(k.candidate_max(x.data(), uses.data(), n)), kwtest::bits(want))
            << kw_simd::width_name(w) << " n " << n << " used every " << used_every;
        // Every candidate NaN, and only used columns holding numbers: no candidate at all.
        for (int j = 0; j < n; j++) x[j] = uses[j] == 0 ? std::numeric_limits<float>::quiet_NaN() : 9.0f;
        EXPECT_EQ(k.candidate_max(x.data(), uses.data(), n), -1.0f) << kw_simd::width_name(w);
        // Negative zeros count as +0.
        for (int j = 0; j < n; j++) x[j] = -0.0f;
        const bool any = n > 0 && (used_every == 1000 || (used_every > 1 && n > 1));
        EXPECT_EQ(kwtest::bits(k.candidate_max(x.data(), uses.data(), n)), kwtest::bits(any ? 0.0f : -1.0f))
            << kw_simd::width_name(w) << " n " << n << " used every " << used_every;
      }
    }
  }
}

TEST(Simd, ButterfliesMatchPlainLoops) {
  for (Width w : offered_widths()) {
    const kw_simd::Kernels &k = kw_simd::kernels_of(w);
    // four1: blocks of 2*len floats, count twiddles each.
    for (unsigned long len : {2ul, 4ul, 8ul, 16ul, 64ul}) {
      for (unsigned long count : {1ul, len / 2 > 1 ? len / 2 - 1 : 1ul, len / 2}) {
        const unsigned long blocks = 3, step = 2 * len;
        const std::vector<float> x = values(blocks * step, len + count);
        std::vector<double> tw(2 * count);
        kwtest::Rng rng(count);
        for (double &t : tw) t = static_cast<double>(rng.uniform(-1.0f, 1.0f)) / 3.0;
        std::vector<float> got = x, want = x;
        k.four1_runs(got.data(), blocks, step, len, count, Spread(tw.data(), count).run());
        for (unsigned long b = 0; b < blocks; b++)
          for (unsigned long c = 0; c < count; c++) {
            float *t = want.data() + b * step + 2 * c, *u = t + len;
            const double wr = tw[2 * c], wi = tw[2 * c + 1];
            const float tr = (float)((double)u[0] * wr - (double)u[1] * wi);
            const float ti = (float)((double)u[1] * wr + (double)u[0] * wi);
            u[0] = t[0] - tr;
            u[1] = t[1] - ti;
            t[0] = t[0] + tr;
            t[1] = t[1] + ti;
          }
        expect_same(got, want, "four1_runs", w);
      }
    }
    // four1's first three stages in windows of eight values, with the twiddles four1 gives them
    // (exactly (1, 0) first, where 0 * inf is NaN and -0 - (+0 * -x) is +0) and with others.
    const double exact[14] = {1.0, 0.0,  1.0,        0.0,      -8.8e-16, 1.0,       1.0,
                              0.0, 0.70710678118654757, 0.7071067811865476, -8.8e-16, 1.0,
                              -0.7071067811865477, 0.7071067811865474};
    const double other[14] = {0.3, -0.7, -0.9, 0.2, 0.6, 0.8, 0.1, 0.4, -0.5, 0.5, 2.0, -1.5, 0.9, 0.0};
    for (const double *tw : {exact, other}) {
      for (unsigned long floats : {16ul, 32ul, 48ul, 64ul, 80ul, 128ul, 400ul}) {
        std::vector<float> x = values(floats, floats);
        x[0] = -0.0f, x[2] = -0.0f, x[3] = -1.0f;  // the signed-zero case of the first stage
        std::vector<float> got = x, want = x;
        k.four1_first_stages(got.data(), floats, Spread(tw, 1).run(), Spread(tw + 2, 2).run(),
                             Spread(tw + 6, 4).run());
        const auto butterfly = [](float *t, unsigned long len, const double *w) {
          float *u = t + len;
          const float tr = (float)((double)u[0] * w[0] - (double)u[1] * w[1]);
          const float ti = (float)((double)u[1] * w[0] + (double)u[0] * w[1]);
          u[0] = t[0] - tr, u[1] = t[1] - ti, t[0] = t[0] + tr, t[1] = t[1] + ti;
        };
        for (unsigned long p = 0; p < floats; p += 16) {
          float *g = want.data() + p;
          for (unsigned long s = 0; s < 16; s += 4) butterfly(g + s, 2, tw);  // neighbours
          for (unsigned long s = 0; s < 16; s += 8)                           // two apart
            for (unsigned long j = 0; j < 2; j++) butterfly(g + s + 2 * j, 4, tw + 2 + 2 * j);
          for (unsigned long j = 0; j < 4; j++) butterfly(g + 2 * j, 8, tw + 6 + 2 * j);  // four
        }
        expect_same(got, want, "four1_first_stages", w);
      }
    }
    // The bit reversal on the way into the first three stages, against the reversal done first.
    {
      unsigned char rev8[256];
      for (unsigned v = 0; v < 256; v++) {
        unsigned r = 0;
        for (unsigned b = 0; b < 8; b++) r |= ((v >> b) & 1u) << (7 - b);
        rev8[v] = static_cast<unsigned char>(r);
      }
      const double *tw = other;
      for (unsigned long points : {32ul, 64ul, 256ul, 2048ul}) {
        unsigned bits = 0;
        while ((1ul << bits) < points) bits++;
        const std::vector<float> x = values(2 * points, points + 3);
        std::vector<float> got(2 * points), want(2 * points);
        for (unsigned long i = 0; i < points; i++) {
          unsigned long r = 0;
          for (unsigned b = 0; b < bits; b++) r |= ((i >> b) & 1ul) << (bits - 1 - b);
          want[2 * r] = x[2 * i], want[2 * r + 1] = x[2 * i + 1];
        }
        const Spread s1(tw, 1), s2(tw + 2, 2), s3(tw + 6, 4);
        kw_simd::kernels_of(Width::baseline).four1_first_stages(want.data(), 2 * points, s1.run(), s2.run(), s3.run());
        k.four1_reverse_first_stages(x.data(), got.data(), points, rev8, 8 - (bits - 3), s1.run(), s2.run(), s3.run());
        expect_same(got, want, "four1_reverse_first_stages", w);
      }
    }
    // The untangling of realft and rlft3: count values up from lo against their mirrors down
    // from hi, in both directions (k2 = -0.5 forward, +0.5 inverse).
    for (unsigned long count : {1ul, 2ul, 3ul, 4ul, 5ul, 7ul, 8ul, 9ul, 16ul, 31ul, 100ul}) {
      for (float k2 : {-0.5f, 0.5f}) {
        const float k1 = 0.5f;
        const std::vector<float> x = values(4 * count + 2, 7 * count);
        std::vector<double> tw(2 * count);
        kwtest::Rng rng(count + 1);
        for (double &t : tw) t = static_cast<double>(rng.uniform(-1.0f, 1.0f)) / 3.0;
        std::vector<float> got = x, want = x;
        k.untangle_run(got.data(), got.data() + 4 * count, count, k1, k2, Spread(tw.data(), count).run());
        for (unsigned long c = 0; c < count; c++) {
          float *d = want.data() + 2 * c, *m = want.data() + 4 * count - 2 * c;
          const double wr = tw[2 * c], wi = tw[2 * c + 1];
          const double sr = (double)(k1 * (d[0] + m[0])), si = (double)(k1 * (d[1] - m[1]));
          const double ar = (double)(-k2 * (d[1] + m[1])), ai = (double)(k2 * (d[0] - m[0]));
          d[0] = (float)(sr + ar * wr - ai * wi);
          d[1] = (float)(si + ai * wr + ar * wi);
          m[0] = (float)(sr - ar * wr + ai * wi);
          m[1] = (float)(-si + ai * wr + ar * wi);
        }
        expect_same(got, want, "untangle_run", w);
      }
    }
    // fourn: one twiddle, rounded to single, for a whole stride of floats.
    for (unsigned long width : {2ul, 4ul, 8ul, 16ul, 32ul, 48ul, 128ul}) {
      const std::vector<float> x = values(2 * width, width);
      const float wr = 0.9238795f, wi = -0.3826834f;
      std::vector<float> got = x, want = x;
      k.fourn_run(got.data(), width, width, wr, wi);
      for (unsigned long p = 0; p < width; p += 2) {
        float *t = want.data() + p, *u = t + width;
        const float tr = wr * u[0] - wi * u[1];
        const float ti = wr * u[1] + wi * u[0];
        u[0] = t[0] - tr;
        u[1] = t[1] - ti;
        t[0] = t[0] + tr;
        t[1] = t[1] + ti;
      }
      expect_same(got, want, "fourn_run", w);
    }
    // fourn across consecutive twiddles: count values against those half floats on.
    for (unsigned long half : {2ul, 4ul, 8ul, 16ul, 32ul, 64ul}) {
      for (unsigned long count : {1ul, half / 2 > 1 ? half / 2 - 1 : 1ul, half / 2}) {
        const std::vector<float> x = values(2 * half, half + count);
        const std::vector<float> tw = values(2 * count, 3 * count);
        std::vector<float> got = x, want = x;
        k.fourn_pairs(got.data(), half, count, tw.data());
        for (unsigned long c = 0; c < count; c++) {
          float *t = want.data() + 2 * c, *u = t + half;
          const float tr = tw[2 * c] * u[0] - tw[2 * c + 1] * u[1];
          const float ti = tw[2 * c] * u[1] + tw[2 * c + 1] * u[0];
          u[0] = t[0] - tr;
          u[1] = t[1] - ti;
          t[0] = t[0] + tr;
          t[1] = t[1] + ti;
        }
        expect_same(got, want, "fourn_pairs", w);
      }
    }
  }
}

}  // namespace
