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

// (end of random deviates)

// ---------------------------------------------------------------------------------------------
// Sorting and selection.
// ---------------------------------------------------------------------------------------------

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
