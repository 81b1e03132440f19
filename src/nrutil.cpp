// Offset-indexed arrays and the fatal error handler.
#include "nrutil.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "stat_internal.h"

namespace {

// Number of throw_on_fatal_error objects alive on this thread.
thread_local int fatal_error_guards = 0;

// Number of elements in the inclusive range lo..hi, or -1 when the range is inverted by more
// than one element or its length does not fit in a long.
long range_count(long lo, long hi) {
  long n;
  if (__builtin_sub_overflow(hi, lo, &n) || __builtin_add_overflow(n, 1L, &n) || n < 0) return -1;
  return n;
}

// a * b for two counts, or -1 when either is invalid or the product overflows.
long count_product(long a, long b) {
  long p;
  if (a < 0 || b < 0 || __builtin_mul_overflow(a, b, &p)) return -1;
  return p;
}

// A block of n elements of T, or null when n is invalid, the byte size overflows or the system
// allocator fails. An empty block still gets one element, so that a matrix with no rows (or a
// tensor with no columns) has a slot for the first row pointer that its release reads back,
// and so that an empty array never depends on what malloc(0) returns.
template <class T>
T *allocate(long n) {
  std::size_t bytes;
  if (n < 0 || __builtin_mul_overflow(static_cast<std::size_t>(n), sizeof(T), &bytes)) {
    return nullptr;
  }
  return static_cast<T *>(std::malloc(bytes == 0 ? sizeof(T) : bytes));
}

// Reports a failed request after earlier ones succeeded. Outside a guard the process ends
// holding them, as it always has; under a guard they are released, latest first, as the
// exception passes.
[[noreturn]] void fail_holding(const char *message, void *latest, void *earliest = nullptr) {
  try {
    nrerror(message);
  } catch (...) {
    std::free(latest);
    if (earliest) std::free(earliest);
    throw;
  }
}

template <class T>
T *alloc_vector(long nl, long nh, const char *message) {
  T *v = allocate<T>(range_count(nl, nh));
  if (!v) nrerror(message);
  return v - nl;
}

template <class T>
T **alloc_matrix(long nrl, long nrh, long ncl, long nch) {
  const long nrow = range_count(nrl, nrh);
  const long ncol = range_count(ncl, nch);

  T **m = allocate<T *>(nrow);
  if (!m) nrerror("allocation failure 1 in matrix()");
  m -= nrl;

  m[nrl] = allocate<T>(count_product(nrow, ncol));
  if (!m[nrl]) fail_holding("allocation failure 2 in matrix()", m + nrl);
  m[nrl] -= ncl;

  for (long i = nrl + 1; i <= nrh; i++) m[i] = m[i - 1] + ncol;
  return m;
}

template <class T>
void release_matrix(T **m, long nrl, long ncl) {
  std::free(m[nrl] + ncl);
  std::free(m + nrl);
}

template <class T>
T ***alloc_tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh,
                  const char *const messages[3]) {
  const long nrow = range_count(nrl, nrh);
  const long ncol = range_count(ncl, nch);
  const long ndep = range_count(ndl, ndh);
  const long nplane = count_product(nrow, ncol);

  T ***t = allocate<T **>(nrow);
  if (!t) nrerror(messages[0]);
  t -= nrl;

  t[nrl] = allocate<T *>(nplane);
  if (!t[nrl]) fail_holding(messages[1], t + nrl);
  t[nrl] -= ncl;

  t[nrl][ncl] = allocate<T>(count_product(nplane, ndep));
  if (!t[nrl][ncl]) fail_holding(messages[2], t[nrl] + ncl, t + nrl);
  t[nrl][ncl] -= ndl;

  // With no rows the blocks hold only the slot for t[nrl][ncl]; there is no first row to fill.
  if (nrow > 0) {
    for (long j = ncl + 1; j <= nch; j++) t[nrl][j] = t[nrl][j - 1] + ndep;
  }
  for (long i = nrl + 1; i <= nrh; i++) {
    t[i] = t[i - 1] + ncol;
    t[i][ncl] = t[i - 1][ncl] + ncol * ndep;
    for (long j = ncl + 1; j <= nch; j++) t[i][j] = t[i][j - 1] + ndep;
  }
  return t;
}

template <class T>
void release_tensor(T ***t, long nrl, long ncl, long ndl) {
  std::free(t[nrl][ncl] + ndl);
  std::free(t[nrl] + ncl);
  std::free(t + nrl);
}

}  // namespace

namespace kelvarinwizard {

numerical_error::numerical_error(const char *message) : std::runtime_error(message) {}
numerical_error::~numerical_error() = default;

throw_on_fatal_error::throw_on_fatal_error() noexcept { ++fatal_error_guards; }
throw_on_fatal_error::~throw_on_fatal_error() { --fatal_error_guards; }

}  // namespace kelvarinwizard

void kw_fatal::exit_silently(const char *message) {
  if (fatal_error_guards > 0) throw kelvarinwizard::numerical_error(message);
  std::exit(1);
}

void nrerror(const char error_text[]) {
  if (fatal_error_guards > 0) throw kelvarinwizard::numerical_error(error_text);
  static const char head[] = "Numerical library run-time error...\n";
  static const char tail[] = "...now exiting to system...\n";
  std::fwrite(head, 1, sizeof head - 1, stderr);
  std::fprintf(stderr, "%s\n", error_text);
  std::fwrite(tail, 1, sizeof tail - 1, stderr);
  std::exit(1);
}

float *vector(long nl, long nh) { return alloc_vector<float>(nl, nh, "allocation failure in vector()"); }

int *ivector(long nl, long nh) { return alloc_vector<int>(nl, nh, "allocation failure in ivector()"); }

unsigned char *cvector(long nl, long nh) {
  return alloc_vector<unsigned char>(nl, nh, "allocation failure in cvector()");
}

unsigned long *lvector(long nl, long nh) {
  return alloc_vector<unsigned long>(nl, nh, "allocation failure in lvector()");
}

double *dvector(long nl, long nh) { return alloc_vector<double>(nl, nh, "allocation failure in dvector()"); }

float **matrix(long nrl, long nrh, long ncl, long nch) { return alloc_matrix<float>(nrl, nrh, ncl, nch); }

int **imatrix(long nrl, long nrh, long ncl, long nch) { return alloc_matrix<int>(nrl, nrh, ncl, nch); }

double **dmatrix(long nrl, long nrh, long ncl, long nch) { return alloc_matrix<double>(nrl, nrh, ncl, nch); }

float **submatrix(float **a, long oldrl, long oldrh, long oldcl, long /*oldch*/, long newrl, long newcl) {
  const long column_shift = oldcl - newcl;
  float **view = allocate<float *>(range_count(oldrl, oldrh));
  if (!view) nrerror("allocation failure in submatrix()");
  view -= newrl;
  for (long i = oldrl, j = newrl; i <= oldrh; i++, j++) view[j] = a[i] + column_shift;
  return view;
}

float **convert_matrix(float *a, long nrl, long nrh, long ncl, long nch) {
  const long nrow = range_count(nrl, nrh);
  const long ncol = range_count(ncl, nch);
  float **view = allocate<float *>(nrow);
  if (!view) nrerror("allocation failure in convert_matrix()");
  view -= nrl;
  view[nrl] = a - ncl;
  for (long k = 1, i = nrl + 1; k < nrow; k++, i++) view[i] = view[i - 1] + ncol;
  return view;
}

float ***f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh) {
  static const char *const messages[3] = {"allocation failure 1 in f3tensor()",
                                          "allocation failure 2 in f3tensor()",
                                          "allocation failure 3 in f3tensor()"};
  return alloc_tensor<float>(nrl, nrh, ncl, nch, ndl, ndh, messages);
}

unsigned char ***c3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh) {
  static const char *const messages[3] = {"allocation failure 1 in c3tensor()",
                                          "allocation failure 2 in c3tensor()",
                                          "allocation failure 3 in c3tensor()"};
  return alloc_tensor<unsigned char>(nrl, nrh, ncl, nch, ndl, ndh, messages);
}

void free_vector(float *v, long nl, long /*nh*/) { std::free(v + nl); }
void free_ivector(int *v, long nl, long /*nh*/) { std::free(v + nl); }
void free_cvector(unsigned char *v, long nl, long /*nh*/) { std::free(v + nl); }
void free_lvector(unsigned long *v, long nl, long /*nh*/) { std::free(v + nl); }
void free_dvector(double *v, long nl, long /*nh*/) { std::free(v + nl); }

void free_matrix(float **m, long nrl, long /*nrh*/, long ncl, long /*nch*/) { release_matrix(m, nrl, ncl); }
void free_imatrix(int **m, long nrl, long /*nrh*/, long ncl, long /*nch*/) { release_matrix(m, nrl, ncl); }
void free_dmatrix(double **m, long nrl, long /*nrh*/, long ncl, long /*nch*/) { release_matrix(m, nrl, ncl); }

void free_submatrix(float **b, long nrl, long /*nrh*/, long /*ncl*/, long /*nch*/) { std::free(b + nrl); }
void free_convert_matrix(float **b, long nrl, long /*nrh*/, long /*ncl*/, long /*nch*/) { std::free(b + nrl); }

void free_f3tensor(float ***t, long nrl, long /*nrh*/, long ncl, long /*nch*/, long ndl, long /*ndh*/) {
  release_tensor(t, nrl, ncl, ndl);
}

void free_c3tensor(unsigned char ***t, long nrl, long /*nrh*/, long ncl, long /*nch*/, long ndl,
                   long /*ndh*/) {
  release_tensor(t, nrl, ncl, ndl);
}
