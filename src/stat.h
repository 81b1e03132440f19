// The numerical library: linear algebra, model fitting, special functions and statistics,
// random deviates, sorting and selection, Fourier transforms.
//
// Conventions shared by every routine below:
// - Vectors and matrices are addressed from 1 to the count (offset-indexed, see nrutil.h),
//   except the product kernels and getInverseMatrixUsingSVD, which address from 0.
// - Arrays belong to the caller; work storage is taken from nrutil.h and released before
//   return. Fatal conditions end the process through nrerror.
// - Results are single precision; where a step is carried in double precision and rounded,
//   the routine's comment in its source says so, because results depend on it to the bit.
// - Routines keep no state between calls unless their comment says otherwise.
#ifndef KELVARINWIZARD_STAT_H
#define KELVARINWIZARD_STAT_H

#include "nrutil.h"

// ---------------------------------------------------------------------------------------------
// Linear algebra: products, singular value decomposition, Gauss-Jordan, Jacobi, SVD solve.
// ---------------------------------------------------------------------------------------------

// (end of linear algebra)

// ---------------------------------------------------------------------------------------------
// Model fitting: straight line.
// ---------------------------------------------------------------------------------------------

// (end of straight-line fit)

// ---------------------------------------------------------------------------------------------
// Model fitting: linear least squares by SVD, Levenberg-Marquardt.
// ---------------------------------------------------------------------------------------------

// (end of model fitting)

// ---------------------------------------------------------------------------------------------
// Special functions: gamma family, incomplete beta.
// ---------------------------------------------------------------------------------------------

// (end of special functions)

// ---------------------------------------------------------------------------------------------
// Statistics: sample tests and correlation, conversions, running sums.
// ---------------------------------------------------------------------------------------------

// (end of statistics)

// ---------------------------------------------------------------------------------------------
// Random deviates.
// ---------------------------------------------------------------------------------------------

// Uniform deviate in (0, 1), at most 0.99999988f. *idum <= 0 (re)initialises the shuffle table
// from |*idum|; afterwards *idum holds the generator value (1..2147483646) and must be passed
// back unchanged to continue; a larger positive value is reduced modulo 2147483647 (a residue
// of 0 re-initialises as the zero seed). Keeps a process-wide shuffle table: not re-entrant,
// one thread at a time, shared with gasdev.
KELVARINWIZARD_API float ran1(long *idum);

// Standard normal deviate from pairs of ran1(idum) values (polar method); every second call
// returns the deviate saved by the call before, even across a re-seed. Same state and thread
// rule as ran1.
KELVARINWIZARD_API float gasdev(long *idum);

// (end of random deviates)

// ---------------------------------------------------------------------------------------------
// Sorting and selection.
// ---------------------------------------------------------------------------------------------

// Sorts arr[1..n] ascending in place (quicksort; equal keys in no particular order, except for
// n <= 7, where their order is kept). Allocates and releases a small work stack; n = 0 returns
// at once. No state between calls.
KELVARINWIZARD_API void sort(unsigned long n, float arr[]);

// As sort, and makes every move of arr[1..n] in brr[1..n] too, so each key keeps its companion.
KELVARINWIZARD_API void sort2(unsigned long n, float arr[], float brr[]);

// Sorts ra[1..n] ascending in place (heapsort; equal keys in no particular order). Allocates
// nothing; n < 2 returns at once. No state between calls.
KELVARINWIZARD_API void hpsort(unsigned long n, float ra[]);

// Returns the k-th smallest (k = 1 the smallest) of arr[1..n], rearranging arr so that arr[k]
// holds it, with nothing larger before and nothing smaller after. Allocates nothing. For k
// outside 1..n (n = 0 included) returns NaN and leaves arr untouched.
KELVARINWIZARD_API float select(unsigned long k, unsigned long n, float arr[]);

// As select, for unsigned 16-bit values; the result is 0..65535, or -1 (arr untouched) for k
// outside 1..n.
KELVARINWIZARD_API int select_ushort(unsigned long k, unsigned long n, unsigned short arr[]);

// (end of sorting and selection)

// ---------------------------------------------------------------------------------------------
// Fourier transforms.
// ---------------------------------------------------------------------------------------------

// (end of Fourier transforms)

#endif  // KELVARINWIZARD_STAT_H
