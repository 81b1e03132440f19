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

// Sorts arr[1..n] ascending in place (quicksort; equal keys in no particular order, except for
// n <= 7, where their order is kept). Allocates and releases a small work stack; n = 0 returns
// at once. No state between calls.
KELVARINWIZARD_API void sort(unsigned long n, float arr[]);

// As sort, and makes every move of arr[1..n] in brr[1..n] too, so each key keeps its companion.
KELVARINWIZARD_API void sort2(unsigned long n, float arr[], float brr[]);

// (end of sorting and selection)

// ---------------------------------------------------------------------------------------------
// Fourier transforms.
// ---------------------------------------------------------------------------------------------

// (end of Fourier transforms)

#endif  // KELVARINWIZARD_STAT_H
