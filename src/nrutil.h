// Offset-indexed arrays and the fatal error handler.
//
// Every numerical routine of the library addresses its arrays from a caller-chosen lowest
// index (almost always 1). The allocators below hand out such arrays:
//
//   vector(lo, hi)          one block of exactly hi - lo + 1 elements; the handle is the block
//                           address minus lo, so handle[lo] is the first element.
//   matrix(rl, rh, cl, ch)  a row-pointer array (rh - rl + 1 pointers) over one contiguous
//                           row-major element block; row i is row i - 1 plus ncol elements.
//   f3tensor(...)           row pointers, one block of column pointers, one element block with
//                           depth varying fastest.
//
// Bounds are signed 64-bit and inclusive. Elements are not initialised. A count of zero is a
// valid empty array. A negative count or a byte size that does not fit in 64 bits is treated
// as a failed allocation. Every failed allocation ends the process through nrerror.
//
// Release each handle with the matching free_ routine and the same lowest bounds; the other
// bounds are accepted and ignored. Row pointers (and, for a tensor, handle[rl][cl]) must not be
// reassigned before release.
//
// Thread safety: no shared state; any routine may be called from any thread.
//
// Fatal errors end the process by default. A thread that holds a
// kelvarinwizard::throw_on_fatal_error gets a kelvarinwizard::numerical_error instead (below).
#ifndef KELVARINWIZARD_NRUTIL_H
#define KELVARINWIZARD_NRUTIL_H

#include <stdexcept>

#ifndef KELVARINWIZARD_API
#define KELVARINWIZARD_API __attribute__((visibility("default")))
#endif

// Writes "Numerical library run-time error...", the message and "...now exiting to system..."
// as three lines to standard error, then ends the process with exit(1). Never returns.
// Under a throw_on_fatal_error on the calling thread it writes nothing and throws
// numerical_error(error_text) instead.
[[noreturn]] KELVARINWIZARD_API void nrerror(const char error_text[]);

namespace kelvarinwizard {

// A fatal numerical condition met under throw_on_fatal_error. what() is the message that the
// process would otherwise have printed as the second of nrerror's three lines.
class KELVARINWIZARD_API numerical_error : public std::runtime_error {
 public:
  explicit numerical_error(const char *message);
  ~numerical_error() override;
};

// While an object of this class lives on a thread, every fatal condition on that thread
// (nrerror, from the library or from plug-in code, and the size check of rlft3) throws
// numerical_error instead of ending the process. Guards nest; when the last one on the thread
// is destroyed, fatal conditions end the process again. Other threads are not affected.
// Create and destroy a guard on the same thread, as a local variable.
//
// When a routine throws, every work array it took from the allocators has been released, and
// so has the state of a Levenberg-Marquardt fit whose call threw (the next mrqmin call must
// start a new fit). The caller's arrays hold whatever the routine had written so far: their
// contents are unspecified. The random generators and the SVD flag stay consistent. An
// exception thrown by a model or basis callback passes through mrqmin, mrqcof and svdfit in
// the same way, guard or not.
class KELVARINWIZARD_API throw_on_fatal_error {
 public:
  throw_on_fatal_error() noexcept;
  ~throw_on_fatal_error();
  throw_on_fatal_error(const throw_on_fatal_error &) = delete;
  throw_on_fatal_error &operator=(const throw_on_fatal_error &) = delete;
};

}  // namespace kelvarinwizard

KELVARINWIZARD_API float *vector(long nl, long nh);
KELVARINWIZARD_API int *ivector(long nl, long nh);
KELVARINWIZARD_API unsigned char *cvector(long nl, long nh);
KELVARINWIZARD_API unsigned long *lvector(long nl, long nh);
KELVARINWIZARD_API double *dvector(long nl, long nh);

KELVARINWIZARD_API float **matrix(long nrl, long nrh, long ncl, long nch);
KELVARINWIZARD_API int **imatrix(long nrl, long nrh, long ncl, long nch);
KELVARINWIZARD_API double **dmatrix(long nrl, long nrh, long ncl, long nch);

// A view of rows oldrl..oldrh, columns from oldcl on, of a, re-indexed so that
// view[newrl][newcl] is a[oldrl][oldcl]. Writes through the view change a; oldch is not used.
// The view owns only its row-pointer array: release it with free_submatrix(view, newrl, ...).
KELVARINWIZARD_API float **submatrix(float **a, long oldrl, long oldrh, long oldcl, long oldch,
                                     long newrl, long newcl);

// A matrix view of the flat row-major array a (nrow rows of ncol floats, element (nrl, ncl) at
// a[0]). The view owns only its row-pointer array: release it with free_convert_matrix.
KELVARINWIZARD_API float **convert_matrix(float *a, long nrl, long nrh, long ncl, long nch);

KELVARINWIZARD_API float ***f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh);
KELVARINWIZARD_API unsigned char ***c3tensor(long nrl, long nrh, long ncl, long nch, long ndl,
                                             long ndh);

KELVARINWIZARD_API void free_vector(float *v, long nl, long nh);
KELVARINWIZARD_API void free_ivector(int *v, long nl, long nh);
KELVARINWIZARD_API void free_cvector(unsigned char *v, long nl, long nh);
KELVARINWIZARD_API void free_lvector(unsigned long *v, long nl, long nh);
KELVARINWIZARD_API void free_dvector(double *v, long nl, long nh);

KELVARINWIZARD_API void free_matrix(float **m, long nrl, long nrh, long ncl, long nch);
KELVARINWIZARD_API void free_imatrix(int **m, long nrl, long nrh, long ncl, long nch);
KELVARINWIZARD_API void free_dmatrix(double **m, long nrl, long nrh, long ncl, long nch);
KELVARINWIZARD_API void free_submatrix(float **b, long nrl, long nrh, long ncl, long nch);
KELVARINWIZARD_API void free_convert_matrix(float **b, long nrl, long nrh, long ncl, long nch);

KELVARINWIZARD_API void free_f3tensor(float ***t, long nrl, long nrh, long ncl, long nch, long ndl,
                                      long ndh);
KELVARINWIZARD_API void free_c3tensor(unsigned char ***t, long nrl, long nrh, long ncl, long nch,
                                      long ndl, long ndh);

#endif  // KELVARINWIZARD_NRUTIL_H
