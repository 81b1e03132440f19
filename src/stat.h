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
//
// Complex values are interleaved (real, imaginary) float pairs addressed from 1: value m
// (counted from 0) at data[2m+1], data[2m+2]. Transforms are in place, unnormalised, with
// the sign exp(+2*pi*i*m*q/N) for isign = +1; forward then inverse returns N times the input.
// Nothing is allocated and no state is kept; calls on distinct arrays may run concurrently.
// A length outside the contract ends the process through nrerror before data is touched.

// Replaces data[1..2*nn] (nn complex values, nn a power of two) by its discrete Fourier
// transform (isign = +1) or the unscaled inverse (isign = -1).
KELVARINWIZARD_API void four1(float data[], unsigned long nn, int isign);

// Multidimensional transform of data[1..2*T], T = nn[1]*...*nn[ndim], row-major with the last
// index fastest; each nn[r] (read from index 1) a power of two, 1 allowed. ndim <= 0: no-op.
KELVARINWIZARD_API void fourn(float data[], unsigned long nn[], int ndim, int isign);

// Real transform of data[1..n], n a power of two >= 2. isign = +1: out comes the half spectrum
// packed as data[1] = X_0, data[2] = X_{n/2}, data[2q+1], data[2q+2] = X_q for 0 < q < n/2.
// Any other isign: the inverse of that packing, giving n/2 times the real sequence.
KELVARINWIZARD_API void realft(float data[], unsigned long n, int isign);

// Real 3-D transform of the tensor data[1..nn1][1..nn2][1..nn3] (as from f3tensor: the element
// block must be contiguous), nn1, nn2 powers of two, nn3 a power of two >= 2. isign = +1:
// data[q1+1][q2+1][2*q3+1..2*q3+2] holds X[q1][q2][q3] for q3 < nn3/2, and the Nyquist plane
// X[q1][q2][nn3/2] goes to speq[q1+1][2*q2+1..2*q2+2] (speq as from matrix(1, nn1, 1, 2*nn2)).
// isign = -1 takes that layout back to nn1*nn2*nn3/2 times the real data (speq overwritten).
// Pass nn1 = 1 for 2-D data. A tensor whose element block is not contiguous, or does not match
// the lengths, ends the process with exit status 1 and no message.
KELVARINWIZARD_API void rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                              unsigned long nn3, int isign);


// (end of Fourier transforms)

#endif  // KELVARINWIZARD_STAT_H
