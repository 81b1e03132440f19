// Recoverable fatal errors: under kelvarinwizard::throw_on_fatal_error every fatal path throws
// numerical_error with its message, gives back every block the routine took, and leaves the
// library working. The executable is linked with --wrap=malloc and --wrap=free, so the
// library's own requests are counted, any one can be failed, and blocks still held after an
// exception are found.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kw_test.h"
#include "stat.h"
#include "stat_internal.h"

extern "C" void *__real_malloc(std::size_t size);
extern "C" void __real_free(void *p);

namespace {

// Requests made by the library between arm() and disarm(); the fail_at-th one (1-based)
// returns null. Only the main test thread arms it.
struct Heap {
  bool recording = false;
  int fail_at = 0;
  int requests = 0;
  std::set<void *> live;
};
Heap heap;

void arm(int fail_at) {
  heap = Heap{};
  heap.fail_at = fail_at;
  heap.recording = true;
}
void disarm() { heap.recording = false; }

}  // namespace

extern "C" void *__wrap_malloc(std::size_t size) {
  if (!heap.recording) return __real_malloc(size);
  if (++heap.requests == heap.fail_at) return nullptr;
  void *p = __real_malloc(size);
  heap.live.insert(p);
  return p;
}

extern "C" void __wrap_free(void *p) {
  if (heap.recording) heap.live.erase(p);
  __real_free(p);
}

namespace {

using kelvarinwizard::numerical_error;
using kelvarinwizard::throw_on_fatal_error;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Storage the library does not allocate: offset-indexed views over std::vector, so that the
// requests counted are the routine's own.
struct Vec {
  std::vector<float> v;
  explicit Vec(long n, float fill = 0.0f) : v(n, fill) {}
  float *h() { return v.data() - 1; }  // addressed 1..n
};

struct Mat {
  std::vector<float> e;
  std::vector<float *> rows;
  // Rows and columns base..base+n-1 (base 1 or 0).
  Mat(long m, long n, long base = 1) : e(m * n, 0.0f), rows(m) {
    for (long i = 0; i < m; i++) rows[i] = e.data() + i * n - base;
  }
  float **h(long base = 1) { return rows.data() - base; }
};

std::uint64_t hash(const std::vector<float> &v, std::uint64_t h = 1469598103934665603ull) {
  return kwtest::hash_bits(v.data(), v.size(), h);
}

// What a guarded call did: the message it threw ("" for none), and whether every block it
// took from the allocator was given back.
struct Outcome {
  bool threw = false;
  std::string message;
  bool all_released = false;
  int requests = 0;
};

Outcome run_guarded(const std::function<void()> &call, int fail_at = 0) {
  Outcome o;
  throw_on_fatal_error guard;
  arm(fail_at);
  try {
    call();
  } catch (const numerical_error &e) {
    o.threw = true;
    o.message = e.what();
  }
  disarm();
  o.all_released = heap.live.empty();
  o.requests = heap.requests;
  return o;
}

// ---------------------------------------------------------------------------------------------
// Routines with work storage, each run on fixed inputs; the result is a hash of every output.

std::uint64_t run_svdcmp() {
  Mat a(5, 3);
  for (int k = 0; k < 15; k++) a.e[k] = (float)((k * 7) % 11) - 4.0f;
  Vec w(3);
  Mat v(3, 3);
  svdcmp(a.h(), 5, 3, w.h(), v.h());
  return hash(v.e, hash(w.v, hash(a.e)));
}

std::uint64_t run_gaussj() {
  Mat a(3, 3), b(3, 2);
  const float t[9] = {4, -1, 2, 1, 5, -2, 3, 0, 6};
  for (int k = 0; k < 9; k++) a.e[k] = t[k];
  for (int k = 0; k < 6; k++) b.e[k] = (float)k;
  gaussj(a.h(), 3, b.h(), 2);
  return hash(b.e, hash(a.e));
}

std::uint64_t run_jacobi() {
  Mat a(3, 3), v(3, 3);
  const float t[9] = {4, 1, 2, 1, 3, 0.5f, 2, 0.5f, 5};
  for (int k = 0; k < 9; k++) a.e[k] = t[k];
  Vec d(3);
  int nrot = 0;
  jacobi(a.h(), 3, d.h(), v.h(), &nrot);
  return hash(v.e, hash(d.v, hash(a.e))) + (std::uint64_t)nrot;
}

std::uint64_t run_svbksb_svdvar() {
  Mat u(4, 2), v(2, 2), cvm(2, 2);
  const float t[8] = {1, 2, 3, 4, 5, 6, 7, 9};
  for (int k = 0; k < 8; k++) u.e[k] = t[k];
  Vec w(2), b(4, 1.0f), x(2);
  svdcmp(u.h(), 4, 2, w.h(), v.h());
  svbksb(u.h(), w.h(), v.h(), 4, 2, b.h(), x.h());
  svdvar(v.h(), 2, w.h(), cvm.h());
  return hash(cvm.e, hash(x.v));
}

std::uint64_t run_inverse() {
  Mat a(3, 3, 0), ainv(3, 3, 0);
  const float t[9] = {2, 1, 0, 1, 3, 1, 0, 1, 4};
  for (int k = 0; k < 9; k++) a.e[k] = t[k];
  getInverseMatrixUsingSVD(a.h(0), ainv.h(0), 3);
  return hash(ainv.e);
}

std::uint64_t run_svdfit() {
  const int n = 8, nb = 3;
  Vec x(n), y(n), sig(n, 0.5f), coef(nb), w(nb);
  for (int i = 1; i <= n; i++) x.h()[i] = (float)i, y.h()[i] = 1.0f + 0.5f * (float)(i * i % 5);
  Mat u(n, nb), v(nb, nb);
  float chisq = 0.0f;
  svdfit(x.h(), y.h(), sig.h(), n, coef.h(), nb, u.h(), v.h(), w.h(), &chisq, fpoly);
  return hash(coef.v, hash(w.v)) + kwtest::bits(chisq);
}

// A two-Gaussian fit: start, eight steps, finish.
struct Fit {
  static constexpr int n = 40, ma = 6;
  Vec x{n}, y{n}, sig{n, 0.1f}, a{ma};
  std::vector<int> ia = std::vector<int>(ma + 1, 1);
  Mat covar{ma, ma}, alpha{ma, ma};
  float chisq = 0.0f, alamda = -1.0f;
  void (*model)(float, float[], float *, float[], int) = fgauss;

  Fit() {
    const float truth[ma + 1] = {0, 5, 3, 1, 2, 7, 1.5f};
    const float guess[ma + 1] = {0, 4, 3.4f, 1.3f, 2.5f, 6.5f, 1.2f};
    std::vector<float> dyda(ma + 1);
    for (int i = 1; i <= n; i++) {
      x.h()[i] = 0.25f * (float)i;
      float yi;
      fgauss(x.h()[i], const_cast<float *>(truth), &yi, dyda.data(), ma);
      y.h()[i] = yi + 0.01f * (float)((i * 37) % 11 - 5);
    }
    for (int j = 1; j <= ma; j++) a.h()[j] = guess[j];
  }
  void call() {
    mrqmin(x.h(), y.h(), sig.h(), n, a.h(), ia.data(), ma, covar.h(), alpha.h(), &chisq, model, &alamda);
  }
  std::uint64_t outputs() const { return hash(covar.e, hash(alpha.e, hash(a.v))) + kwtest::bits(chisq); }
};

std::uint64_t run_mrqmin() {
  Fit f;
  f.call();
  for (int s = 0; s < 8; s++) f.call();
  f.alamda = 0.0f;
  f.call();
  return f.outputs();
}

std::uint64_t run_sorts() {
  std::vector<float> a(300), b(300), c(300), d(300);
  for (int i = 0; i < 300; i++) {
    a[i] = (float)((i * 7919) % 301);
    b[i] = (float)i;
    c[i] = (float)((i * 104729) % 299);
    d[i] = (float)((i * 31) % 17);
  }
  sort(300, a.data() - 1);
  sort2(300, c.data() - 1, b.data() - 1);
  float dist = 0, rs = 0, probrs = 0, zd = 0, probd = 0, dd = 0, unused = 0;
  spear(a.data() - 1, d.data() - 1, 300, &dd, &zd, &probd, &rs, &probrs);
  kstwo(c.data() - 1, 300, d.data() - 1, 300, &dist, &unused);
  return hash(a, hash(b, hash(c, hash(d)))) + kwtest::bits(rs) + kwtest::bits(dd) + kwtest::bits(dist);
}

const char *const kVector = "allocation failure in vector()";
const char *const kIvector = "allocation failure in ivector()";
const char *const kLvector = "allocation failure in lvector()";
const char *const kMatrix1 = "allocation failure 1 in matrix()";
const char *const kMatrix2 = "allocation failure 2 in matrix()";

std::vector<const char *> times(int k, std::vector<const char *> each) {
  std::vector<const char *> all;
  for (int i = 0; i < k; i++) all.insert(all.end(), each.begin(), each.end());
  return all;
}

std::vector<const char *> operator+(std::vector<const char *> a, const std::vector<const char *> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Recoverable, EveryWorkAllocationOfEveryRoutine) {
  const std::vector<const char *> svdcmp_requests = {kVector};
  const std::vector<const char *> gaussj_requests = times(3, {kIvector});
  const std::vector<const char *> matrix_requests = {kMatrix1, kMatrix2};
  const struct {
    const char *name;
    std::uint64_t (*run)();
    std::vector<const char *> requests;  // the message of each request failed in turn
  } cases[] = {
      {"svdcmp", run_svdcmp, svdcmp_requests},
      {"gaussj", run_gaussj, gaussj_requests},
      {"jacobi", run_jacobi, {kVector, kVector}},
      {"svbksb, svdvar", run_svbksb_svdvar, {kVector, kVector, kVector}},
      {"getInverseMatrixUsingSVD", run_inverse,
       matrix_requests + matrix_requests + std::vector<const char *>{kVector} + times(3, matrix_requests) +
           svdcmp_requests},
      {"svdfit", run_svdfit, {kVector, kVector, kVector, kVector}},
      // The start: atry, beta, da, oneda and mrqcof's derivatives, then its step; eight more
      // steps (gaussj and mrqcof each); the finish, gaussj alone.
      {"mrqmin", run_mrqmin,
       times(3, {kVector}) + matrix_requests + std::vector<const char *>{kVector} +
           times(9, gaussj_requests + std::vector<const char *>{kVector}) + gaussj_requests},
      // sort, sort2, spear (two copies and two sort2), kstwo (two sorts).
      {"sort, sort2, spear, kstwo", run_sorts,
       {kLvector, kLvector, kVector, kVector, kLvector, kLvector, kLvector, kLvector}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::uint64_t reference = 0;
    const Outcome plain = run_guarded([&] { reference = c.run(); });
    ASSERT_FALSE(plain.threw) << plain.message;
    ASSERT_EQ(plain.requests, (int)c.requests.size());
    EXPECT_TRUE(plain.all_released);
    for (int k = 1; k <= plain.requests; k++) {
      const Outcome o = run_guarded([&] { c.run(); }, k);
      EXPECT_TRUE(o.threw) << "request " << k;
      EXPECT_EQ(o.message, c.requests[k - 1]) << "request " << k;
      EXPECT_TRUE(o.all_released) << "request " << k;
      EXPECT_EQ(o.requests, k);
      // The same thread goes on to get the same bits as before.
      EXPECT_EQ(c.run(), reference) << "after request " << k;
    }
  }
}

TEST(Recoverable, AllocatorsGiveBackEarlierBlocks) {
  const struct {
    const char *name;
    std::function<void()> call;
    int requests;  // made by a successful call; each is failed in turn
    std::vector<const char *> messages;
  } cases[] = {
      {"vector", [] { free_vector(vector(1, 4), 1, 4); }, 1, {kVector}},
      {"ivector", [] { free_ivector(ivector(1, 4), 1, 4); }, 1, {kIvector}},
      {"cvector", [] { free_cvector(cvector(1, 4), 1, 4); }, 1, {"allocation failure in cvector()"}},
      {"lvector", [] { free_lvector(lvector(1, 4), 1, 4); }, 1, {kLvector}},
      {"dvector", [] { free_dvector(dvector(1, 4), 1, 4); }, 1, {"allocation failure in dvector()"}},
      {"matrix", [] { free_matrix(matrix(1, 2, 1, 3), 1, 2, 1, 3); }, 2, {kMatrix1, kMatrix2}},
      {"imatrix", [] { free_imatrix(imatrix(1, 2, 1, 3), 1, 2, 1, 3); }, 2, {kMatrix1, kMatrix2}},
      {"dmatrix", [] { free_dmatrix(dmatrix(0, 2, 0, 3), 0, 2, 0, 3); }, 2, {kMatrix1, kMatrix2}},
      {"f3tensor",
       [] { free_f3tensor(f3tensor(1, 2, 1, 3, 1, 4), 1, 2, 1, 3, 1, 4); },
       3,
       {"allocation failure 1 in f3tensor()", "allocation failure 2 in f3tensor()",
        "allocation failure 3 in f3tensor()"}},
      {"c3tensor",
       [] { free_c3tensor(c3tensor(0, 1, 0, 1, 0, 1), 0, 1, 0, 1, 0, 1); },
       3,
       {"allocation failure 1 in c3tensor()", "allocation failure 2 in c3tensor()",
        "allocation failure 3 in c3tensor()"}},
      {"submatrix",
       [] {
         Mat a(3, 3);
         free_submatrix(submatrix(a.h(), 2, 3, 2, 3, 1, 1), 1, 2, 1, 2);
       },
       1,
       {"allocation failure in submatrix()"}},
      {"convert_matrix",
       [] {
         std::vector<float> d(6);
         free_convert_matrix(convert_matrix(d.data(), 1, 2, 1, 3), 1, 2, 1, 3);
       },
       1,
       {"allocation failure in convert_matrix()"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome plain = run_guarded(c.call);
    ASSERT_EQ(plain.requests, c.requests);
    for (int k = 1; k <= c.requests; k++) {
      const Outcome o = run_guarded(c.call, k);
      EXPECT_TRUE(o.threw);
      EXPECT_EQ(o.message, c.messages[k - 1]);
      EXPECT_TRUE(o.all_released) << "request " << k;
    }
  }
  // Impossible sizes take the same path without the injection.
  const Outcome huge = run_guarded([] { matrix(1, 2, 1, 1L << 62); });
  EXPECT_EQ(huge.message, kMatrix2);
  EXPECT_TRUE(huge.all_released);
}

// ---------------------------------------------------------------------------------------------
// Fatal conditions other than allocation, each followed by a sound call of the same family.

void gaussj_2x2(float a11, float a12, float a21, float a22) {
  Mat a(2, 2), b(2, 1);
  a.e = {a11, a12, a21, a22};
  b.e = {1, 1};
  gaussj(a.h(), 2, b.h(), 1);
}

void jacobi_nan() {
  Mat a(2, 2), v(2, 2);
  a.e = {1, kNaN, 0, 1};
  Vec d(2);
  int nrot;
  jacobi(a.h(), 2, d.h(), v.h(), &nrot);
}

// Two weighted points leave no degree of freedom: gammq sees a = 0.
void fit_two_weighted_points() {
  float x[3] = {0, 1, 2}, y[3] = {0, 2, 3}, sig[3] = {0, 1, 1}, a, b, siga, sigb, chi2, q;
  fit(x, y, 2, sig, 1, &a, &b, &siga, &sigb, &chi2, &q);
}

// The fourth parameter has no influence on fgauss: the first step meets a singular matrix.
void mrqmin_singular_step() {
  Vec x(5), y(5, 1.0f), sig(5, 1.0f);
  for (int i = 1; i <= 5; i++) x.h()[i] = (float)i;
  float a[5] = {0, 1, 3, 1, 7}, chisq, lambda = -1;
  int ia[5] = {0, 1, 1, 1, 1};
  Mat covar(4, 4), alpha(4, 4);
  mrqmin(x.h(), y.h(), sig.h(), 5, a, ia, 4, covar.h(), alpha.h(), &chisq, fgauss, &lambda);
}

void quicksort_small_stack(bool companion) {
  std::vector<float> same(4096, 1.0f), other(4096, 0.0f);
  kw_sort_detail::quicksort_peak(same.size(), same.data() - 1, companion ? other.data() - 1 : nullptr, 2,
                                 companion ? "NSTACK too small in sort2." : "NSTACK too small in sort.");
}

std::uint64_t run_gamma() {
  float gamser, gammcf, gln, gln2;
  gser(&gamser, 2.0f, 1.0f, &gln);
  gcf(&gammcf, 2.0f, 4.0f, &gln2);
  return (std::uint64_t)kwtest::bits(gamser) << 32 | (kwtest::bits(gammcf) ^ kwtest::bits(gammq(3.0f, 2.0f)));
}

std::uint64_t run_fit() {
  float x[5] = {0, 1, 2, 3, 4}, y[5] = {0, 1.1f, 1.9f, 3.2f, 3.9f}, sig[5] = {0, 1, 1, 1, 1};
  float a, b, siga, sigb, chi2, q;
  fit(x, y, 4, sig, 1, &a, &b, &siga, &sigb, &chi2, &q);
  return (std::uint64_t)kwtest::bits(a) << 32 | kwtest::bits(q);
}

std::uint64_t run_transforms() {
  std::vector<float> c(2 * 8), r(16), t(2 * 4 * 8), speq(2 * 2 * 4);
  for (std::size_t k = 0; k < c.size(); k++) c[k] = (float)(k % 5);
  for (std::size_t k = 0; k < r.size(); k++) r[k] = (float)(k % 3);
  for (std::size_t k = 0; k < t.size(); k++) t[k] = (float)(k % 7);
  four1(c.data() - 1, 8, 1);
  unsigned long nn[3] = {0, 2, 4};
  fourn(c.data() - 1, nn, 2, -1);
  realft(r.data() - 1, 16, 1);
  // A 2 x 4 x 8 tensor over t, speq 2 x 8, all addressed from 1.
  std::vector<float *> cols(2 * 4), srows(2);
  std::vector<float **> rows(2);
  for (int i = 0; i < 2; i++) {
    rows[i] = cols.data() + 4 * i - 1;
    for (int j = 0; j < 4; j++) cols[4 * i + j] = t.data() + 8 * (4 * i + j) - 1;
    srows[i] = speq.data() + 8 * i - 1;
  }
  rlft3(rows.data() - 1, srows.data() - 1, 2, 4, 8, 1);
  return hash(c, hash(r, hash(t, hash(speq))));
}

void rlft3_split_block() {
  std::vector<float> t(2 * 4 * 8), speq(2 * 8), far(32);
  std::vector<float *> cols(8), srows(2);
  std::vector<float **> rows(2);
  for (int i = 0; i < 2; i++) {
    rows[i] = cols.data() + 4 * i - 1;
    for (int j = 0; j < 4; j++) cols[4 * i + j] = (i == 1 ? far.data() + 8 * j : t.data() + 8 * j) - 1;
    srows[i] = speq.data() + 8 * i - 1;
  }
  rlft3(rows.data() - 1, srows.data() - 1, 2, 4, 8, 1);
}

TEST(Recoverable, EveryOtherFatalCondition) {
  std::vector<float> data(64, 1.0f);
  unsigned long bad_dims[3] = {0, 4, 3};
  const struct {
    std::function<void()> call;
    const char *message;
    std::uint64_t (*recover)();  // a sound call of the same family, compared bit for bit
  } cases[] = {
      {[] { nrerror("a message of the caller's own"); }, "a message of the caller's own", run_gamma},
      {[] { gaussj_2x2(1, 2, 2, 4); }, "gaussj: Singular Matrix-2", run_gaussj},
      {[] { gaussj_2x2(kNaN, kNaN, kNaN, kNaN); }, "gaussj: Singular Matrix-2", run_gaussj},
      {[] { gaussj_2x2(1, kNaN, kNaN, kNaN); }, "gaussj: Singular Matrix-2", run_gaussj},
      {jacobi_nan, "Too many iterations in routine jacobi", run_jacobi},
      {mrqmin_singular_step, "gaussj: Singular Matrix-2", run_mrqmin},
      {[] {
         float g, gln;
         gser(&g, 1.0f, -1.0f, &gln);
       },
       "x less than 0 in routine gser", run_gamma},
      {[] {
         float g, gln;
         gser(&g, 1e30f, 1e30f, &gln);
       },
       "a too large, ITMAX too small in routine gser", run_gamma},
      {[] {
         float g, gln;
         gcf(&g, 1e30f, 1e30f, &gln);
       },
       "a too large, ITMAX too small in gcf", run_gamma},
      {[] { gammq(0.0f, 1.0f); }, "Invalid arguments in routine gammq", run_gamma},
      {[] { gammq(1e30f, 1e30f); }, "a too large, ITMAX too small in gcf", run_gamma},
      {fit_two_weighted_points, "Invalid arguments in routine gammq", run_fit},
      {[] { quicksort_small_stack(false); }, "NSTACK too small in sort.", run_sorts},
      {[] { quicksort_small_stack(true); }, "NSTACK too small in sort2.", run_sorts},
      {[&] { four1(data.data() - 1, 12, 1); }, "four1: number of points is not a power of two", run_transforms},
      {[&] { fourn(data.data() - 1, bad_dims, 2, 1); }, "fourn: a dimension length is not a power of two",
       run_transforms},
      {[&] { realft(data.data() - 1, 1, 1); }, "realft: length is not a power of two of at least 2",
       run_transforms},
      {[] {
         float ***none = nullptr;
         rlft3(none, nullptr, 2, 4, 6, 1);
       },
       "rlft3: lengths are not powers of two with len3 at least 2", run_transforms},
      {rlft3_split_block, "rlft3: data is not one contiguous block of nn1*nn2*nn3 floats", run_transforms},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.message);
    const std::uint64_t reference = c.recover();
    testing::internal::CaptureStderr();
    const Outcome o = run_guarded(c.call);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(o.threw);
    EXPECT_EQ(o.message, c.message);
    EXPECT_TRUE(o.all_released);
    EXPECT_EQ(c.recover(), reference);
  }
}

// ---------------------------------------------------------------------------------------------
// Levenberg-Marquardt: a call that throws abandons the fit.

// A Gaussian model that fails on its n-th evaluation, through nrerror.
int evaluations_left = 0;
void failing_gauss(float x, float a[], float *y, float dyda[], int na) {
  if (--evaluations_left == 0) nrerror("model failed");
  fgauss(x, a, y, dyda, na);
}

TEST(Recoverable, FitWhoseStepThrowsIsAbandoned) {
  const std::uint64_t reference = run_mrqmin();
  // In the start's first evaluation, in the start's step, in a later step.
  for (const int fail_after : {5, 50, 200}) {
    SCOPED_TRACE(fail_after);
    Fit f;
    f.model = failing_gauss;
    evaluations_left = fail_after;
    const Outcome o = run_guarded([&] {
      f.call();
      for (int s = 0; s < 8; s++) f.call();
    });
    EXPECT_TRUE(o.threw);
    EXPECT_EQ(o.message, "model failed");
    EXPECT_TRUE(o.all_released);  // the state went with the exception

    // A step or finish now has no fit to work on: nothing changes.
    const std::uint64_t before = f.outputs();
    const float alamda = f.alamda;
    f.model = fgauss;
    f.call();
    f.alamda = 0.0f;
    f.call();
    f.alamda = alamda;
    EXPECT_EQ(f.outputs(), before);
    // A new fit runs as if the abandoned one had never been.
    EXPECT_EQ(run_mrqmin(), reference);
  }
}

// An exception of the caller's own, guard or not, passes through the routines that call back
// and takes their work storage and a fit's state with it.
struct Stop {};
void stopping_basis(float, float[], int) { throw Stop{}; }
void stopping_model(float, float[], float *, float[], int) { throw Stop{}; }

TEST(Recoverable, CallbackExceptionsPassThrough) {
  Vec x(4, 1.0f), y(4, 1.0f), sig(4, 1.0f), coef(2), w(2);
  Mat u(4, 2), v(2, 2), covar(2, 2), alpha(2, 2);
  float chisq, alamda = -1;
  int ia[3] = {0, 1, 1};
  arm(0);
  EXPECT_THROW(svdfit(x.h(), y.h(), sig.h(), 4, coef.h(), 2, u.h(), v.h(), w.h(), &chisq, stopping_basis), Stop);
  EXPECT_THROW(mrqcof(x.h(), y.h(), sig.h(), 4, coef.h(), ia, 2, alpha.h(), w.h(), &chisq, stopping_model), Stop);
  EXPECT_THROW(mrqmin(x.h(), y.h(), sig.h(), 4, coef.h(), ia, 2, covar.h(), alpha.h(), &chisq, stopping_model,
                      &alamda),
               Stop);
  disarm();
  EXPECT_TRUE(heap.live.empty());
}

// ---------------------------------------------------------------------------------------------
// The guard itself: nesting, the default restored, other threads untouched.

bool throws_now() {
  try {
    nrerror("probe");
  } catch (const numerical_error &) {
    return true;
  }
  return false;  // not reached: nrerror never returns
}

TEST(Guard, NestsAndRestoresTheDefault) {
  {
    throw_on_fatal_error outer;
    {
      throw_on_fatal_error inner;
      EXPECT_TRUE(throws_now());
    }
    EXPECT_TRUE(throws_now());  // the outer guard still holds
  }
  KW_EXPECT_NRERROR(nrerror("after the guards"), "after the guards");
  KW_EXPECT_NRERROR(
      {
        {
          throw_on_fatal_error a;
          throw_on_fatal_error b;
        }
        gaussj_2x2(0, 0, 0, 0);
      },
      "gaussj: Singular Matrix-2");
}

TEST(Guard, ErrorIsARuntimeError) {
  throw_on_fatal_error guard;
  try {
    nrerror("caught as the base");
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "caught as the base");
  }
}

TEST(Guard, OtherThreadsKeepTheDefault) {
  // This thread's guard does not reach a thread it starts: that one ends the process.
  KW_EXPECT_NRERROR(
      {
        throw_on_fatal_error guard;
        std::thread t([] { gammq(-1.0f, 1.0f); });
        t.join();
      },
      "Invalid arguments in routine gammq");
  // A guard held by another thread leaves this one's default in place.
  KW_EXPECT_NRERROR(
      {
        bool caught = false;
        std::thread t([&] {
          throw_on_fatal_error guard;
          try {
            nrerror("in the guarded thread");
          } catch (const numerical_error &) {
            caught = true;
          }
        });
        t.join();
        if (caught) nrerror("after the guarded thread");
      },
      "after the guarded thread");
}

TEST(Guard, SilentExitStaysSilentOutsideAGuard) {
  EXPECT_EXIT(
      {
        kwtest::ignore_leaks_from_here();
        { throw_on_fatal_error g; }
        rlft3_split_block();
      },
      ::testing::ExitedWithCode(1), "^$");
}

}  // namespace
