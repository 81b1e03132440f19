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

// Least-squares line y = a + b*x through x[1..ndata], y[1..ndata]. With mwt non-zero each point
// is weighted by 1/sig[i]^2 and q is the chi-square probability gammq((ndata-2)/2, chi2/2)
// (ndata <= 2 is then fatal inside gammq); with mwt = 0, sig is not read, q = 1 and siga, sigb
// are scaled by the scatter sqrt(chi2/(ndata-2)). Writes a, b, siga, sigb, chi2, q; no storage.
KELVARINWIZARD_API void fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b,
                            float *siga, float *sigb, float *chi2, float *q);

// (end of straight-line fit)

// ---------------------------------------------------------------------------------------------
// Model fitting: linear least squares by SVD, Levenberg-Marquardt.
// ---------------------------------------------------------------------------------------------

// (end of model fitting)

// ---------------------------------------------------------------------------------------------
// Special functions: gamma family, incomplete beta.
// ---------------------------------------------------------------------------------------------

// ln Gamma(xx) for xx > 0, in double throughout. Not defined for xx <= 0.
KELVARINWIZARD_API double gammln(double xx);

// Series for the regularised lower incomplete gamma P(a, x): writes ln Gamma(a) to *gln first,
// then P to *gamser (0 for x = 0, NaN for a NaN argument). Fatal for x < 0 or no convergence.
KELVARINWIZARD_API void gser(float *gamser, float a, float x, float *gln);

// Continued fraction for Q(a, x) = 1 - P(a, x), meant for x >= a + 1: writes ln Gamma(a) to
// *gln first, then Q to *gammcf (0 for x = +inf, NaN for a NaN argument). Fatal without
// convergence.
KELVARINWIZARD_API void gcf(float *gammcf, float a, float x, float *gln);

// Q(a, x) = 1 - P(a, x) for a > 0, x >= 0 (series below x = a + 1, continued fraction above).
// NaN for a NaN argument, 0 for x = +inf; fatal "Invalid arguments in routine gammq" otherwise
// outside the domain.
KELVARINWIZARD_API float gammq(float a, float x);

// Complementary error function, fractional error below about 1.2e-7 everywhere.
KELVARINWIZARD_API float erfcc(float x);

// Kolmogorov-Smirnov tail Q_KS(alam) = 2 sum_{j>=1} (-1)^(j-1) exp(-2 j^2 alam^2); returns 1
// when 100 terms do not settle the series (alam below about 0.04).
KELVARINWIZARD_API float probks(float alam);

// Continued fraction of the incomplete beta function (double arguments, single result); at its
// iteration limit it returns its current value silently.
KELVARINWIZARD_API float betacf(double a, double b, double x);

// Regularised incomplete beta I_x(a, b) for a, b > 0 and 0 <= x <= 1; returns 0 for x outside
// [0, 1] without any message.
KELVARINWIZARD_API float betai(float a, float b, float x);

// (end of special functions)

// ---------------------------------------------------------------------------------------------
// Statistics: sample tests and correlation, conversions, running sums.
// ---------------------------------------------------------------------------------------------

// Mean and unbiased variance of data[1..n] (two-pass, corrected); the variance is never
// negative. Needs n >= 2.
KELVARINWIZARD_API void avevar(float data[], unsigned long n, float *ave, float *var);

// Student's t of two samples data1[1..n1], data2[1..n2] with pooled variance; t = 0 when the
// pooled variance is 0. Writes only *t: prob is not written (see t_to_p).
KELVARINWIZARD_API void ttest(float data1[], unsigned long n1, float data2[], unsigned long n2,
                              float *t, float *prob);

// As ttest, with unequal variances (t = 0 when both variances are 0). Writes only *t.
KELVARINWIZARD_API void tutest(float data1[], unsigned long n1, float data2[], unsigned long n2,
                               float *t, float *prob);

// Two-sample Kolmogorov-Smirnov statistic of data1[1..n1] and data2[1..n2] (each n >= 1):
// sorts both arrays ascending in place and writes the largest distance between the empirical
// distribution functions to *d (NaN when either sample holds a NaN). prob is not written.
KELVARINWIZARD_API void kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2,
                              float *d, float *prob);

// Pearson's r of x[1..n], y[1..n], clamped to [-1, 1]; r = 0 when either is constant. Writes
// only *r.
KELVARINWIZARD_API void pearsn(float x[], float y[], unsigned long n, float *r, float *prob, float *z);

// As pearsn (r in a double quotient), and also the two-sided significance of r from n >= 3
// pairs in *prob. z is not written.
KELVARINWIZARD_API void pearsn_prob(float x[], float y[], unsigned long n, float *r, float *prob,
                                    float *z);

// Replaces the ascending sorted w[1..n] by its ranks (midranks for runs of equal values) and
// writes the sum of t^3 - t over the runs of length t to *s.
KELVARINWIZARD_API void crank(unsigned long n, float w[], float *s);

// Spearman rank correlation of data1[1..n], data2[1..n] (n >= 2, both left unchanged; two work
// vectors of n floats are allocated and released). Writes the sum of squared rank differences
// *d, its normal score *zd and two-sided significance *probd, the rank correlation *rs and its
// two-sided significance *probrs. When either sample is entirely tied: rs = probrs = 0 and zd,
// probd are not written.
KELVARINWIZARD_API void spear(float data1[], float data2[], unsigned long n, float *d, float *zd,
                              float *probd, float *rs, float *probrs);

// Upper-tail probability of F with df1, df2 degrees of freedom; 0 for F < 0.
KELVARINWIZARD_API float F_to_p(float F, unsigned long df1, unsigned long df2);
// Two-sided probability of Student's t with df degrees of freedom.
KELVARINWIZARD_API float t_to_p(float t, unsigned long df);
// Two-sided probability of a correlation coefficient r (|r| <= 1) from n pairs; 1 for n < 2.
KELVARINWIZARD_API float r_to_p(float r, unsigned long n);

// Inverses of the three above: a fixed 25-step search that moves the statistic up or down by a
// step halved at every reversal (F from 10 by 2, t from 4 by 2, r from 0.4 by 0.2). No
// tolerance; the result lies within the last step of the crossing.
KELVARINWIZARD_API float p_to_F(float p, unsigned long df1, unsigned long df2);
KELVARINWIZARD_API float p_to_t(float p, unsigned long df);
KELVARINWIZARD_API float p_to_r(float p, unsigned long n);

// Score (1 - p) * sqrt(-2 ln (1 - p)^2 / (1 - p)^2): 0 at p = 0, about 7.99 at p = 1.
KELVARINWIZARD_API float p_to_z(float p);

// Running sums: fold the pair (x, y) into the caller's six running values (all 0 before the
// first pair; the routines keep nothing themselves), then write the current regression of y
// on x (slope 0 while x has no spread) and the mean of y.
KELVARINWIZARD_API void regr_inc(float x, float y, float &count, float &sumX, float &sumY, float &ssX,
                                 float &ssY, float &spXY, float *intercept, float *slope,
                                 float *meanY);
// The same update, then the current correlation coefficient in [-1, 1] (0 without spread).
KELVARINWIZARD_API void pearsn_inc(float x, float y, float &count, float &sumX, float &sumY,
                                   float &ssX, float &ssY, float &spXY, float *r);

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
