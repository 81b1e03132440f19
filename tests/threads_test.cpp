// Every re-entrant routine run in parallel threads on distinct arrays gives the bits it gives
// alone. Built with ThreadSanitizer in CI, where any shared write between the threads is a race
// report. The random generators are process-wide by design and stay out of the threads.
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "kw_test.h"
#include "stat.h"
#include "stat_internal.h"

namespace {

constexpr int kThreads = 4;

// Folds outputs into one hash, NaN payloads aside.
class Digest {
 public:
  void add(const float *p, long n) {
    for (long i = 0; i < n; i++) {
      const float v = std::isnan(p[i]) ? std::nanf("") : p[i];
      h_ = kwtest::hash_bits(&v, 1, h_);
    }
  }
  void add(float v) { add(&v, 1); }
  void add(double v) { add((float)v); }
  std::uint64_t value() const { return h_; }

 private:
  std::uint64_t h_ = 1469598103934665603ull;
};

void fill(float **a, int rl, int rh, int cl, int ch, kwtest::Rng &rng) {
  for (int i = rl; i <= rh; i++)
    for (int j = cl; j <= ch; j++) a[i][j] = rng.uniform(-1.0f, 1.0f);
}

void linear_algebra(kwtest::Rng &rng, Digest &out) {
  const int n = 12, m = 16;
  float **A = matrix(0, n - 1, 0, n - 1), **B = matrix(0, n - 1, 0, n - 1), **R = matrix(0, n - 1, 0, n - 1);
  fill(A, 0, n - 1, 0, n - 1, rng);
  fill(B, 0, n - 1, 0, n - 1, rng);
  matrix_matrix_mult(A, B, R, n, n, n);
  out.add(&R[0][0], n * n);
  transposematrix_matrix_mult(A, R, n, n);
  out.add(&R[0][0], n * n);
  getInverseMatrixUsingSVD(A, R, n);
  out.add(&R[0][0], n * n);
  out.add(vector_vector_mult(A[0], B[0], n));

  float **u = matrix(1, m, 1, n), **v = matrix(1, n, 1, n), **cvm = matrix(1, n, 1, n);
  float *w = vector(1, n), *b = vector(1, m), *x = vector(1, n);
  fill(u, 1, m, 1, n, rng);
  for (int i = 1; i <= m; i++) b[i] = rng.uniform(-1.0f, 1.0f);
  svdcmp(u, m, n, w, v);
  svbksb(u, w, v, m, n, b, x);
  svdvar(v, n, w, cvm);
  out.add(&u[1][1], m * n);
  out.add(&w[1], n);
  out.add(&x[1], n);
  out.add(&cvm[1][1], n * n);

  float **g = matrix(1, n, 1, n), **rhs = matrix(1, n, 1, 2);
  fill(g, 1, n, 1, n, rng);
  fill(rhs, 1, n, 1, 2, rng);
  for (int i = 1; i <= n; i++) g[i][i] += 4.0f;
  gaussj(g, n, rhs, 2);
  out.add(&g[1][1], n * n);
  out.add(&rhs[1][1], n * 2);

  for (int i = 1; i <= n; i++)
    for (int j = i; j <= n; j++) g[i][j] = g[j][i] = rng.uniform(-1.0f, 1.0f);
  int nrot;
  jacobi(g, n, w, v, &nrot);
  eigsrt(w, v, n);
  out.add(&w[1], n);
  out.add(&v[1][1], n * n);

  free_matrix(rhs, 1, n, 1, 2);
  free_matrix(g, 1, n, 1, n);
  free_vector(x, 1, n);
  free_vector(b, 1, m);
  free_vector(w, 1, n);
  free_matrix(cvm, 1, n, 1, n);
  free_matrix(v, 1, n, 1, n);
  free_matrix(u, 1, m, 1, n);
  free_matrix(R, 0, n - 1, 0, n - 1);
  free_matrix(B, 0, n - 1, 0, n - 1);
  free_matrix(A, 0, n - 1, 0, n - 1);
}

void fitting(kwtest::Rng &rng, Digest &out) {
  const int n = 40;
  float *x = vector(1, n), *y = vector(1, n), *sig = vector(1, n);
  const float truth[7] = {0, 2.0f, -1.0f, 0.8f, 1.0f, 1.5f, 0.6f};
  for (int i = 1; i <= n; i++) {
    x[i] = -3.0f + 6.0f * (float)(i - 1) / (float)(n - 1);
    float dy[7];
    fgauss(x[i], const_cast<float *>(truth), &y[i], dy, 6);
    y[i] += rng.uniform(-0.01f, 0.01f);
    sig[i] = rng.uniform(0.5f, 1.5f);
  }
  float r[6];
  fit(x, y, n, sig, 1, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  out.add(r, 6);

  float coef[5], **u = matrix(1, n, 1, 4), **v = matrix(1, 4, 1, 4), w[5], chisq;
  svdfit(x, y, sig, n, coef, 4, u, v, w, &chisq, fpoly);
  out.add(&coef[1], 4);
  out.add(chisq);
  free_matrix(v, 1, 4, 1, 4);
  free_matrix(u, 1, n, 1, 4);

  // A whole Levenberg-Marquardt fit from its start to its finish, in this thread's own state.
  float a[7];
  int ia[7] = {0, 1, 1, 1, 1, 1, 0};
  for (int j = 1; j <= 6; j++) a[j] = truth[j] + (j < 6 ? rng.uniform(-0.1f, 0.1f) : 0.0f);
  float **covar = matrix(1, 6, 1, 6), **alpha = matrix(1, 6, 1, 6), lambda = -1.0f;
  for (int it = 0; it < 12; it++) mrqmin(x, y, sig, n, a, ia, 6, covar, alpha, &chisq, fgauss, &lambda);
  lambda = 0.0f;
  mrqmin(x, y, sig, n, a, ia, 6, covar, alpha, &chisq, fgauss, &lambda);
  out.add(&a[1], 6);
  out.add(&covar[1][1], 36);
  out.add(chisq);
  free_matrix(alpha, 1, 6, 1, 6);
  free_matrix(covar, 1, 6, 1, 6);
  free_vector(sig, 1, n);
  free_vector(y, 1, n);
  free_vector(x, 1, n);
}

void statistics(kwtest::Rng &rng, Digest &out) {
  for (int i = 0; i < 20; i++) {
    const float a = rng.uniform(0.1f, 900.0f);
    float p, gln;
    out.add(gammq(a, rng.uniform(0.0f, 2.0f * a)));
    gser(&p, a, rng.uniform(0.0f, a), &gln);
    out.add(p);
    gcf(&p, a, a + 1.0f + rng.uniform(0.0f, a), &gln);
    out.add(p);
    out.add(gammln((double)a));
    out.add(erfcc(rng.uniform(-4.0f, 4.0f)));
    out.add(probks(rng.uniform(0.0f, 2.0f)));
    out.add(betai(a, rng.uniform(0.1f, 2e6f), rng.uniform(0.0f, 1.0f)));
    out.add(betacf(a, 3.0, 0.3));
    const unsigned long df = 1 + rng.next() % 50000000;
    out.add(t_to_p(rng.uniform(-5.0f, 5.0f), df));
    out.add(F_to_p(rng.uniform(0.0f, 5.0f), 3, df));
    out.add(r_to_p(rng.uniform(-1.0f, 1.0f), df));
    out.add(p_to_t(rng.uniform(0.0f, 1.0f), df));
    out.add(p_to_F(rng.uniform(0.0f, 1.0f), 4, df));
    out.add(p_to_r(rng.uniform(0.0f, 1.0f), df));
    out.add(p_to_z(rng.uniform(0.0f, 1.0f)));
  }
  const unsigned long n = 300;
  float *s1 = vector(1, n), *s2 = vector(1, n);
  for (unsigned long j = 1; j <= n; j++) {
    s1[j] = std::round(rng.uniform(0.0f, 40.0f));
    s2[j] = s1[j] + rng.uniform(-5.0f, 5.0f);
  }
  float r[8];
  avevar(s1, n, &r[0], &r[1]);
  ttest(s1, n, s2, n, &r[2], &r[7]);
  tutest(s1, n, s2, n - 7, &r[3], &r[7]);
  pearsn(s1, s2, n, &r[4], &r[7], &r[7]);
  pearsn_prob(s1, s2, n, &r[5], &r[6], &r[7]);
  out.add(r, 7);
  spear(s1, s2, n, &r[0], &r[1], &r[2], &r[3], &r[4]);
  out.add(r, 5);
  kstwo(s1, n, s2, n - 11, &r[0], &r[7]);
  out.add(r[0]);
  crank(n, s1, &r[0]);
  out.add(&s1[1], (long)n);
  out.add(r[0]);
  float count = 0, sx = 0, sy = 0, ssx = 0, ssy = 0, spxy = 0;
  for (unsigned long j = 1; j <= n; j++) {
    regr_inc(s2[j], (float)j, count, sx, sy, ssx, ssy, spxy, &r[0], &r[1], &r[2]);
    pearsn_inc(s2[j], (float)j, count, sx, sy, ssx, ssy, spxy, &r[3]);
    out.add(r, 4);
  }
  free_vector(s2, 1, n);
  free_vector(s1, 1, n);
}

void sorting_and_transforms(kwtest::Rng &rng, Digest &out) {
  const unsigned long n = 2000;
  float *k = vector(1, n), *c = vector(1, n);
  unsigned short *us = new unsigned short[n + 1];
  for (unsigned long j = 1; j <= n; j++) {
    k[j] = std::round(rng.uniform(0.0f, 500.0f));
    c[j] = (float)j;
    us[j] = (unsigned short)(rng.next() & 0xffff);
  }
  out.add(select(n / 3, n, k));
  out.add((float)select_ushort(n / 2, n, us));
  sort2(n, k, c);
  out.add(&k[1], (long)n);
  out.add(&c[1], (long)n);
  for (unsigned long j = 1; j <= n; j++) k[j] = rng.uniform(-1.0f, 1.0f);
  for (unsigned long j = 1; j <= n; j++) c[j] = k[j];
  sort(n, k);
  hpsort(n, c);
  out.add(&k[1], (long)n);
  out.add(&c[1], (long)n);
  delete[] us;
  free_vector(c, 1, n);
  free_vector(k, 1, n);

  const unsigned long len = 256;
  float *d = vector(1, 2 * len);
  for (unsigned long j = 1; j <= 2 * len; j++) d[j] = rng.uniform(-1.0f, 1.0f);
  four1(d, len, 1);
  realft(d, 2 * len, -1);
  unsigned long nn[3] = {0, 16, 16};
  fourn(d, nn, 2, 1);
  out.add(&d[1], 2 * (long)len);
  free_vector(d, 1, 2 * len);
  float ***t = f3tensor(1, 4, 1, 8, 1, 16), **speq = matrix(1, 4, 1, 16);
  for (int i = 1; i <= 4; i++)
    for (int j = 1; j <= 8; j++)
      for (int l = 1; l <= 16; l++) t[i][j][l] = rng.uniform(-1.0f, 1.0f);
  rlft3(t, speq, 4, 8, 16, 1);
  out.add(&t[1][1][1], 4 * 8 * 16);
  out.add(&speq[1][1], 4 * 16);
  free_matrix(speq, 1, 4, 1, 16);
  free_f3tensor(t, 1, 4, 1, 8, 1, 16);
}

std::uint64_t workload(std::uint64_t seed) {
  kwtest::Rng rng(seed);
  Digest out;
  linear_algebra(rng, out);
  fitting(rng, out);
  statistics(rng, out);
  sorting_and_transforms(rng, out);
  return out.value();
}

}  // namespace

TEST(Threads, EveryReentrantRoutineGivesItsBitsInParallel) {
  std::uint64_t alone[kThreads];
  for (int t = 0; t < kThreads; t++) alone[t] = workload(1000 + t);
  std::uint64_t parallel[kThreads][3];
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++)
    threads.emplace_back([t, &parallel] {
      for (int rep = 0; rep < 3; rep++) parallel[t][rep] = workload(1000 + t);
    });
  for (std::thread &th : threads) th.join();
  for (int t = 0; t < kThreads; t++)
    for (int rep = 0; rep < 3; rep++) EXPECT_EQ(parallel[t][rep], alone[t]) << "thread " << t;
}

TEST(Threads, NonConvergenceFlagBelongsToItsThread) {
  // One thread decomposes matrices that never converge (a NaN is never negligible), the other
  // ones that always do; each reads the flag its own call left.
  int wrong[2] = {0, 0};
  auto run = [&wrong](int which) {
    float **u = matrix(1, 3, 1, 3), **v = matrix(1, 3, 1, 3), *w = vector(1, 3);
    for (int rep = 0; rep < 200; rep++) {
      for (int i = 1; i <= 3; i++)
        for (int j = 1; j <= 3; j++) u[i][j] = i == j ? 2.0f : 0.5f;
      if (which == 0) u[2][3] = std::nanf("");
      svdcmp(u, 3, 3, w, v);
      if (NoConvergenceInSVD != (which == 0)) wrong[which]++;
    }
    free_vector(w, 1, 3);
    free_matrix(v, 1, 3, 1, 3);
    free_matrix(u, 1, 3, 1, 3);
  };
  std::thread a(run, 0), b(run, 1);
  a.join();
  b.join();
  EXPECT_EQ(wrong[0], 0);
  EXPECT_EQ(wrong[1], 0);
}
