// Offset-indexed arrays and nrerror. The test executable is linked with --wrap=malloc and
// --wrap=free, so every request the allocators make is recorded and any one can be failed.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "kw_test.h"
#include "nrutil.h"

extern "C" void *__real_malloc(std::size_t size);
extern "C" void __real_free(void *p);

namespace {

struct AllocationLog {
  bool recording = false;
  int fail_at = 0;  // 1-based index of the request to fail; 0 fails none
  std::vector<std::size_t> sizes;
  std::vector<void *> returned;
  std::vector<void *> freed;
};
AllocationLog alloc_log;

// Records the requests made by the statements between construction and destruction.
class Recording {
 public:
  explicit Recording(int fail_at = 0) {
    alloc_log = AllocationLog{};
    alloc_log.fail_at = fail_at;
    alloc_log.recording = true;
  }
  ~Recording() { alloc_log.recording = false; }
};

}  // namespace

extern "C" void *__wrap_malloc(std::size_t size) {
  if (!alloc_log.recording) return __real_malloc(size);
  alloc_log.sizes.push_back(size);
  void *p = static_cast<int>(alloc_log.sizes.size()) == alloc_log.fail_at ? nullptr : __real_malloc(size);
  alloc_log.returned.push_back(p);
  return p;
}

extern "C" void __wrap_free(void *p) {
  if (alloc_log.recording) alloc_log.freed.push_back(p);
  __real_free(p);
}

namespace {

template <class T>
std::ptrdiff_t offset(const T *from, const T *to) {
  return to - from;
}

TEST(Vectors, HandleIsBlockMinusLowestIndex) {
  Recording rec;
  float *v = vector(1, 10);
  ASSERT_EQ(alloc_log.sizes, (std::vector<std::size_t>{10 * sizeof(float)}));
  EXPECT_EQ(static_cast<void *>(v + 1), alloc_log.returned[0]);
  for (long i = 1; i <= 10; i++) v[i] = static_cast<float>(i);
  free_vector(v, 1, 10);
  EXPECT_EQ(alloc_log.freed, alloc_log.returned);
}

TEST(Vectors, EveryElementTypeAndLowestIndex) {
  Recording rec;
  int *iv = ivector(-2, 3);
  unsigned char *cv = cvector(0, 7);
  unsigned long *lv = lvector(5, 5);
  double *dv = dvector(-10, -1);
  ASSERT_EQ(alloc_log.sizes, (std::vector<std::size_t>{6 * 4, 8, 8, 10 * 8}));
  EXPECT_EQ(static_cast<void *>(iv - 2), alloc_log.returned[0]);
  EXPECT_EQ(static_cast<void *>(cv), alloc_log.returned[1]);
  EXPECT_EQ(static_cast<void *>(lv + 5), alloc_log.returned[2]);
  EXPECT_EQ(static_cast<void *>(dv - 10), alloc_log.returned[3]);
  for (long i = -2; i <= 3; i++) iv[i] = static_cast<int>(i);
  for (long i = 0; i <= 7; i++) cv[i] = static_cast<unsigned char>(i);
  lv[5] = ~0ul;
  for (long i = -10; i <= -1; i++) dv[i] = static_cast<double>(i);
  EXPECT_EQ(iv[-2] + iv[3], 1);
  // The ignored upper bounds may be anything.
  free_ivector(iv, -2, 999);
  free_cvector(cv, 0, -5);
  free_lvector(lv, 5, 0);
  free_dvector(dv, -10, 12345);
  EXPECT_EQ(alloc_log.freed, alloc_log.returned);
}

TEST(Vectors, EmptyRangeIsValid) {
  Recording rec;
  float *v = vector(1, 0);
  ASSERT_EQ(alloc_log.sizes.size(), 1u);
  EXPECT_EQ(static_cast<void *>(v + 1), alloc_log.returned[0]);
  free_vector(v, 1, 0);
  EXPECT_EQ(alloc_log.freed, alloc_log.returned);
}

TEST(Matrices, RowsAreContiguousWithFixedStride) {
  Recording rec;
  float **a = matrix(1, 3, 1, 4);
  ASSERT_EQ(alloc_log.sizes, (std::vector<std::size_t>{3 * sizeof(float *), 12 * sizeof(float)}));
  EXPECT_EQ(static_cast<void *>(a + 1), alloc_log.returned[0]);
  EXPECT_EQ(static_cast<void *>(&a[1][1]), alloc_log.returned[1]);
  EXPECT_EQ(offset(a[1], a[2]), 4);
  EXPECT_EQ(offset(a[2], a[3]), 4);
  EXPECT_EQ(&a[2][1], &a[1][4] + 1);
  free_matrix(a, 1, -7, 1, 100);
  // Element block first, then the row pointers.
  EXPECT_EQ(alloc_log.freed, (std::vector<void *>{alloc_log.returned[1], alloc_log.returned[0]}));
}

TEST(Matrices, IntegerAndDoubleLayouts) {
  Recording rec;
  double **d = dmatrix(0, 1, 5, 6);
  int **m = imatrix(-1, 0, -3, -1);
  ASSERT_EQ(alloc_log.sizes, (std::vector<std::size_t>{2 * 8, 4 * 8, 2 * 8, 6 * 4}));
  EXPECT_EQ(offset(static_cast<double *>(alloc_log.returned[1]), &d[1][6]), 3);
  EXPECT_EQ(static_cast<void *>(&m[-1][-3]), alloc_log.returned[3]);
  EXPECT_EQ(offset(m[-1], m[0]), 3);
  free_dmatrix(d, 0, 1, 5, 6);
  free_imatrix(m, -1, 0, -3, -1);
  EXPECT_EQ(alloc_log.freed, (std::vector<void *>{alloc_log.returned[1], alloc_log.returned[0],
                                                  alloc_log.returned[3], alloc_log.returned[2]}));
}

TEST(Matrices, ZeroRowsOrColumnsStayInsideTheirBlocks) {
  Recording rec;
  float **no_rows = matrix(1, 0, 1, 4);
  float **no_cols = matrix(1, 3, 1, 0);
  ASSERT_EQ(alloc_log.sizes.size(), 4u);
  free_matrix(no_rows, 1, 0, 1, 4);
  free_matrix(no_cols, 1, 3, 1, 0);
  EXPECT_EQ(alloc_log.freed, (std::vector<void *>{alloc_log.returned[1], alloc_log.returned[0],
                                                  alloc_log.returned[3], alloc_log.returned[2]}));
}

TEST(Tensors, DepthVariesFastest) {
  Recording rec;
  float ***t = f3tensor(1, 2, 1, 3, 1, 4);
  ASSERT_EQ(alloc_log.sizes,
            (std::vector<std::size_t>{2 * sizeof(float **), 6 * sizeof(float *), 24 * sizeof(float)}));
  EXPECT_EQ(static_cast<void *>(t + 1), alloc_log.returned[0]);
  EXPECT_EQ(static_cast<void *>(&t[1][1]), alloc_log.returned[1]);
  EXPECT_EQ(static_cast<void *>(&t[1][1][1]), alloc_log.returned[2]);
  EXPECT_EQ(offset(&t[1][1][1], &t[2][1][1]), 12);
  EXPECT_EQ(offset(&t[1][1][1], &t[1][2][1]), 4);
  EXPECT_EQ(offset(&t[1][1][1], &t[2][3][4]), 23);
  free_f3tensor(t, 1, 0, 1, 0, 1, 0);
  EXPECT_EQ(alloc_log.freed, (std::vector<void *>{alloc_log.returned[2], alloc_log.returned[1],
                                                  alloc_log.returned[0]}));
}

TEST(Tensors, ByteTensorWithNegativeBoundsAndEmptyShapes) {
  Recording rec;
  unsigned char ***c = c3tensor(-1, 0, 0, 1, -2, 0);
  ASSERT_EQ(alloc_log.sizes, (std::vector<std::size_t>{2 * 8, 4 * 8, 12}));
  EXPECT_EQ(static_cast<void *>(&c[-1][0][-2]), alloc_log.returned[2]);
  EXPECT_EQ(offset(&c[-1][0][-2], &c[0][1][0]), 11);
  free_c3tensor(c, -1, 0, 0, 1, -2, 0);

  // No rows, no columns, no depth: nothing is written outside the blocks, and release takes
  // back exactly what was handed out (the sanitized build checks both).
  float ***no_rows = f3tensor(1, 0, 1, 3, 1, 4);
  float ***no_cols = f3tensor(1, 3, 1, 0, 1, 4);
  float ***no_depth = f3tensor(1, 2, 1, 2, 1, 0);
  free_f3tensor(no_rows, 1, 0, 1, 3, 1, 4);
  free_f3tensor(no_cols, 1, 3, 1, 0, 1, 4);
  free_f3tensor(no_depth, 1, 2, 1, 2, 1, 0);
  std::vector<void *> sorted_freed = alloc_log.freed, sorted_returned = alloc_log.returned;
  std::sort(sorted_freed.begin(), sorted_freed.end());
  std::sort(sorted_returned.begin(), sorted_returned.end());
  EXPECT_EQ(sorted_freed, sorted_returned);
}

TEST(Views, SubmatrixAliasesTheSource) {
  float **a = matrix(1, 4, 1, 6);
  for (long i = 1; i <= 4; i++)
    for (long j = 1; j <= 6; j++) a[i][j] = static_cast<float>(10 * i + j);
  Recording rec;
  float **b = submatrix(a, 2, 3, 4, 5, 1, 1);
  ASSERT_EQ(alloc_log.sizes, (std::vector<std::size_t>{2 * sizeof(float *)}));
  EXPECT_EQ(&b[1][1], &a[2][4]);
  EXPECT_EQ(&b[2][2], &a[3][5]);
  EXPECT_EQ(&b[2][3], &a[3][6]);  // the view does not limit its columns
  b[2][1] = -1.0f;
  EXPECT_EQ(a[3][4], -1.0f);
  free_submatrix(b, 1, 2, 1, 2);
  EXPECT_EQ(alloc_log.freed, (std::vector<void *>{alloc_log.returned[0]}));
  EXPECT_EQ(a[2][4], 24.0f);
  free_matrix(a, 1, 4, 1, 6);
}

TEST(Views, ConvertMatrixOverFlatStorage) {
  float d[6] = {0, 1, 2, 3, 4, 5};
  Recording rec;
  float **b = convert_matrix(d, 1, 2, 1, 3);
  ASSERT_EQ(alloc_log.sizes, (std::vector<std::size_t>{2 * sizeof(float *)}));
  EXPECT_EQ(&b[1][1], &d[0]);
  EXPECT_EQ(&b[2][1], &d[3]);
  EXPECT_EQ(b[2][3], 5.0f);
  float **z = convert_matrix(d, 0, 1, -1, 1);
  EXPECT_EQ(&z[1][-1], &d[3]);
  float **none = convert_matrix(d, 1, 0, 1, 3);
  free_convert_matrix(b, 1, 2, 1, 3);
  free_convert_matrix(z, 0, 1, -1, 1);
  free_convert_matrix(none, 1, 0, 1, 3);
  EXPECT_EQ(alloc_log.freed, alloc_log.returned);
}

TEST(FatalErrors, NrerrorWritesThreeLinesAndExitsWithOne) {
  KW_EXPECT_NRERROR(nrerror("a message"), "a message");
  KW_EXPECT_NRERROR(nrerror(""), "");
}

TEST(FatalErrors, FailedRequestsNameTheirRoutine) {
  KW_EXPECT_NRERROR(vector(1, 1L << 62), "allocation failure in vector()");
  KW_EXPECT_NRERROR(ivector(1, 1L << 62), "allocation failure in ivector()");
  KW_EXPECT_NRERROR(cvector(0, LONG_MAX), "allocation failure in cvector()");
  KW_EXPECT_NRERROR(lvector(1, 1L << 61), "allocation failure in lvector()");
  KW_EXPECT_NRERROR(dvector(1, 1L << 61), "allocation failure in dvector()");
  KW_EXPECT_NRERROR(submatrix(nullptr, 1, 1L << 61, 1, 1, 1, 1), "allocation failure in submatrix()");
  KW_EXPECT_NRERROR(convert_matrix(nullptr, 1, 1L << 61, 1, 1), "allocation failure in convert_matrix()");
}

TEST(FatalErrors, NegativeAndOverflowingCountsAreAllocationFailures) {
  KW_EXPECT_NRERROR(vector(5, 3), "allocation failure in vector()");
  KW_EXPECT_NRERROR(dvector(LONG_MIN, LONG_MAX), "allocation failure in dvector()");
  KW_EXPECT_NRERROR(matrix(1, -1, 1, 2), "allocation failure 1 in matrix()");
  KW_EXPECT_NRERROR(matrix(1, 2, 1, -1), "allocation failure 2 in matrix()");
  // 2 x 2^62 elements: the element count itself overflows 64 bits.
  KW_EXPECT_NRERROR(matrix(1, 2, 1, 1L << 62), "allocation failure 2 in matrix()");
  KW_EXPECT_NRERROR(f3tensor(1, 2, 1, 1L << 62, 1, 1), "allocation failure 2 in f3tensor()");
  KW_EXPECT_NRERROR(c3tensor(1, 1, 1, 2, 1, 1L << 62), "allocation failure 3 in c3tensor()");
}

TEST(FatalErrors, EachNumberedRequestReportsItsOwnMessage) {
  struct Case {
    int fail_at;
    void (*allocate)();
    const char *message;
  };
  const Case cases[] = {
      {1, [] { matrix(1, 2, 1, 2); }, "allocation failure 1 in matrix()"},
      {2, [] { matrix(1, 2, 1, 2); }, "allocation failure 2 in matrix()"},
      {1, [] { imatrix(1, 2, 1, 2); }, "allocation failure 1 in matrix()"},
      {2, [] { imatrix(1, 2, 1, 2); }, "allocation failure 2 in matrix()"},
      {1, [] { dmatrix(1, 2, 1, 2); }, "allocation failure 1 in matrix()"},
      {2, [] { dmatrix(1, 2, 1, 2); }, "allocation failure 2 in matrix()"},
      {1, [] { f3tensor(1, 2, 1, 2, 1, 2); }, "allocation failure 1 in f3tensor()"},
      {2, [] { f3tensor(1, 2, 1, 2, 1, 2); }, "allocation failure 2 in f3tensor()"},
      {3, [] { f3tensor(1, 2, 1, 2, 1, 2); }, "allocation failure 3 in f3tensor()"},
      {1, [] { c3tensor(1, 2, 1, 2, 1, 2); }, "allocation failure 1 in c3tensor()"},
      {2, [] { c3tensor(1, 2, 1, 2, 1, 2); }, "allocation failure 2 in c3tensor()"},
      {3, [] { c3tensor(1, 2, 1, 2, 1, 2); }, "allocation failure 3 in c3tensor()"},
      {1, [] { vector(1, 2); }, "allocation failure in vector()"},
      {1, [] { submatrix(nullptr, 1, 0, 1, 1, 1, 1); }, "allocation failure in submatrix()"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.message);
    KW_EXPECT_NRERROR(
        {
          Recording rec(c.fail_at);
          c.allocate();
        },
        c.message);
  }
}

}  // namespace
