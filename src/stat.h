// The numerical library: linear algebra, model fitting, special functions and statistics,
// random deviates, sorting and selection, Fourier transforms.
//
// Conventions shared by every routine below:
// - Vectors and matrices are addressed from 1 to the count (offset-indexed, see nrutil.h),
//   except the product kernels and getInverseMatrixUsingSVD, which address from 0.
// - Arrays belong to the caller; work storage is taken from nrutil.h and released before
//   return. Fatal conditions end the process through nrerror, or throw
//   kelvarinwizard::numerical_error on a thread that holds a throw_on_fatal_error (nrutil.h);
//   the work storage is then released as the exception passes.
// - Results are single precision; where a step is carried in double precision and rounded,
//   the routine's comment in its source says so, because results depend on it to the bit.
// - Routines keep no state between calls unless their comment says otherwise.
// - Threads: every routine may run in parallel threads on distinct arrays, except ran1 and
//   gasdev (one generator for the whole process, see there). The Levenberg-Marquardt state of
//   mrqmin and the non-convergence flag of svdcmp are kept per thread.
#ifndef KELVARINWIZARD_STAT_H
#define KELVARINWIZARD_STAT_H

#include "nrutil.h"

// ---------------------------------------------------------------------------------------------
// Linear algebra: products, singular value decomposition, Gauss-Jordan, Jacobi, SVD solve.
// ---------------------------------------------------------------------------------------------

// Product kernels. These address rows and columns from 0 (a matrix m x n has rows 0..m-1,
// columns 0..n-1, e.g. one from matrix(0, m - 1, 0, n - 1)). Single precision throughout: each
// sum runs in ascending index order in one single-precision accumulator, no fused multiply-add.
// Outputs must not share storage with inputs. No allocation, no state.

// R (m x p) = A (m x n) * B (n x p). R is assigned element by element, not cleared first.
KELVARINWIZARD_API void matrix_matrix_mult(float **A, float **B, float **R, int m, int n, int p);
// R (m x m) = A * A^T for A (m x n): lower triangle computed, upper triangle an exact copy.
KELVARINWIZARD_API void transposematrix_matrix_mult(float **A, float **R, int m, int n);
// y (m) = A (m x n) * x (n); n <= 0 sets y to zeros, m <= 0 writes nothing.
KELVARINWIZARD_API void matrix_vector_mult(float **A, float *x, float *y, int m, int n);
// Dot product of a and b (n each); 0 for n <= 0.
KELVARINWIZARD_API float vector_vector_mult(float *a, float *b, int n);
// B (n x m) = A^T for A (m x n). Not in place.
KELVARINWIZARD_API void matrix_transpose(float **A, float **B, int m, int n);
// Copies an m x n block exactly. mode 0: 0-based to 0-based; 1: 1-based to 1-based; 2: 0-based
// source to 1-based destination; 3: 1-based source to 0-based destination; any other mode
// copies nothing.
KELVARINWIZARD_API void copy_matrix(float **src, float **dst, int m, int n, int mode);
// A (m x n) = diag(d) * A in place; d holds m values from d[0] (pass &v[1] for a 1-based v).
KELVARINWIZARD_API void diagmatrix_matrix_mult(float *d, float **A, int m, int n);
// Same as transposematrix_matrix_mult(A, R, m, p); B, n and both flags are accepted and unused.
KELVARINWIZARD_API void fast_matrix_matrix_mult(float **A, float **B, float **R, int m, int n, int p, bool first,
                                                bool second);

// Singular value decomposition A = U * diag(w) * V^T of a (1..m x 1..n; m < n allowed).
// a is overwritten by U, w (1..n) receives the singular values unsorted, v (1..n x 1..n) V
// itself. Allocates and frees one work vector. Clears, and on a value that does not converge
// within 100 sweeps sets, the calling thread's non-convergence flag; it never stops the
// process for that.
// Scale: an element below 1e-6 in absolute value counts as zero, whatever the size of the
// matrix. A matrix whose entries are all of order 1e-8 is returned without a single QR sweep,
// and its "singular values" are wrong; the same happens to svdfit with every sigma 1e7 (its
// design matrix is scaled by 1/sigma). Scale such data to entries of order 1 before the call
// and scale the singular values back.
// Thread rule: re-entrant; calls on distinct arrays may run in parallel threads.
KELVARINWIZARD_API void svdcmp(float **a, int m, int n, float w[], float **v);
// sqrt(a^2 + b^2) without destructive overflow or underflow. No state.
KELVARINWIZARD_API float pythag(float a, float b);

// Gauss-Jordan elimination with full pivoting. a (1..n x 1..n) is replaced by its inverse, b
// (1..n x 1..m) by the solutions; m may be 0 (b is then never touched). Allocates and frees
// three integer work vectors. A singular matrix (a zero pivot, or none at all because every
// remaining candidate is NaN) ends the process through nrerror. No state.
KELVARINWIZARD_API void gaussj(float **a, int n, float **b, int m);
// Eigenvalues d (1..n) and eigenvectors, columns of v (1..n x 1..n), of the symmetric matrix
// given by the diagonal and upper triangle of a (1..n x 1..n); the upper triangle ends as zeros,
// the diagonal and lower triangle are not touched. *nrot receives the rotation count.
// Allocates and frees two work vectors; 50 sweeps without convergence end the process. No state.
KELVARINWIZARD_API void jacobi(float **a, int n, float d[], float **v, int *nrot);
// Sorts d (1..n) into descending order, moving the columns of v (1..n x 1..n) with it. No state.
KELVARINWIZARD_API void eigsrt(float d[], float **v, int n);

// Solves A x = b from the decomposition u (1..m x 1..n), w (1..n), v (1..n x 1..n) of svdcmp;
// b has 1..m, x receives 1..n. A zero w[j] drops its component; no other threshold.
// Allocates and frees one work vector. No state.
KELVARINWIZARD_API void svbksb(float **u, float w[], float **v, int m, int n, float b[], float x[]);
// Covariance cvm (1..ma x 1..ma, exactly symmetric) of fitted parameters from v and w of a
// decomposition; zero singular values contribute nothing. Allocates and frees one work vector.
KELVARINWIZARD_API void svdvar(float **v, int ma, float w[], float **cvm);
// Truncated pseudo-inverse of the n x n matrix a into ainv, both 0-based (rows and columns
// 0..n-1); a is not changed. Singular values below 1e-6 of the largest, and exact zeros, are
// dropped (the zero matrix gives the zero matrix). Returns 1. Allocates and frees its work
// arrays. Reads the flag its own svdcmp call set in the same thread. Thread rule: re-entrant.
KELVARINWIZARD_API int getInverseMatrixUsingSVD(float **a, float **ainv, int n);

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

// Fits a[1..ma] so that sum_j a[j] * funcs_j(x) matches y with standard deviations sig (x, y,
// sig: 1..ndata), by the SVD of the weighted design matrix. u (1..ndata x 1..ma) is work space
// and receives U, v (1..ma x 1..ma) receives V and w (1..ma) the singular values, in the
// decomposition's order (not sorted), those below 1e-5 of the largest set to 0 (ready for
// svdvar); *chisq receives chi-square, with ndata - ma degrees of freedom. funcs(x, p, ma) fills
// p[1..ma] with the basis functions at x; it is called twice per point, in point order.
// Allocates and frees two work vectors. Writes the svdcmp flag.
// Accuracy: the fit runs in single precision and the cut-off is relative to the largest
// singular value, so basis columns must be of comparable size. Columns spanning many decades
// (raw powers of an x far from [-1, 1]) lose every correct digit, or lose directions to the
// cut-off. Centre and scale x to about [-1, 1] before taking powers, or scale each function in
// funcs by a power of two (exact) and multiply its fitted coefficient by the same power.
KELVARINWIZARD_API void svdfit(float x[], float y[], float sig[], int ndata, float a[], int ma, float **u, float **v,
                               float w[], float *chisq, void (*funcs)(float, float[], int));
// Polynomial basis for svdfit: p[j] = x^(j-1) for j = 1..np; p[1] = 1 is written even for np < 1.
// Raw powers: pass a centred and scaled x (see svdfit) unless x stays near [-1, 1].
KELVARINWIZARD_API void fpoly(float x, float p[], int np);

// One Levenberg-Marquardt step per call, on parameters a (1..ma) of which those with a non-zero
// ia (1..ma) are fitted (mfit of them). Protocol: *alamda < 0 starts a fit (allocates the state,
// sets *alamda = 0.001, makes the first step); later calls step with the *alamda left by the
// previous one, which is lowered on an accepted step and raised on a rejected one; *alamda == 0
// finishes, leaving in covar (1..ma x 1..ma) the covariance with zero rows and columns for held
// parameters, and releases the state. After every call a, *chisq and alpha (1..mfit x 1..mfit,
// compressed numbering) describe the best point so far. A start while a fit is active releases
// that fit first; a step or finish with no fit started changes nothing and returns. A call that
// throws (a fatal error under a guard, or the model's own exception) abandons the fit and
// releases the state. ma and the number of fitted parameters are those of the start call: a
// step or finish with another ma ends the process ("mrqmin: parameter count changed since the
// start of the fit"), and so does one with another number of non-zero ia ("mrqmin:
// fitted-parameter count changed since the start of the fit"); x, y, sig, ndata and funcs are
// the caller's to keep unchanged.
// The model: funcs(x, a, &yfit, dyda, ma) stores the model value at x in yfit and its partial
// derivatives with respect to a[1..ma] in dyda[1..ma] (only those of fitted parameters are
// read); fgauss is one.
// When to stop: the protocol has no stopping rule. Stop after an accepted step (chi-square
// lower) when chi-square fell by less than a small amount, such as 1e-3 of its value or 0.01
// absolute, twice in a row; a rejected step (*alamda raised) is no reason to stop. Cap the
// number of calls, and treat a growing *alamda (above 1e10, say) as no further progress.
// Covariance: finish with *alamda = 0; covar[j][j] is then the variance of a[j], so its
// standard error is sqrt(covar[j][j]). When sig holds no true standard deviations (all 1, say),
// multiply covar by chisq / (ndata - mfit) first.
// Thread rule: the state belongs to the calling thread, so voxel-wise fits may run in parallel
// threads, one fit per thread from its start to its finish, each thread with its own arrays.
// A thread that ends with a fit still active leaks that fit's state.
KELVARINWIZARD_API void mrqmin(float x[], float y[], float sig[], int ndata, float a[], int ia[], int ma,
                               float **covar, float **alpha, float *chisq,
                               void (*funcs)(float, float[], float *, float[], int), float *alamda);
// Curvature alpha (1..mfit x 1..mfit, symmetric), gradient beta (1..mfit) and *chisq of the model
// at a, over the fitted parameters in compressed numbering. Allocates and frees one work vector.
KELVARINWIZARD_API void mrqcof(float x[], float y[], float sig[], int ndata, float a[], int ia[], int ma,
                               float **alpha, float beta[], float *chisq,
                               void (*funcs)(float, float[], float *, float[], int));
// Spreads the mfit x mfit covariance in the leading block of covar over all ma parameters in
// place; rows and columns of held parameters (ia[j] == 0) become 0. No allocation.
KELVARINWIZARD_API void covsrt(float **covar, int ma, int ia[], int mfit);
// Sum of Gaussians a[i] * exp(-((x - a[i+1]) / a[i+2])^2) over complete groups of three
// parameters from 1; *y the value, dyda (1..na) the derivatives, 0 for a trailing incomplete
// group, whose parameters are not read. A model callback for mrqmin (see there).
KELVARINWIZARD_API void fgauss(float x, float a[], float *y, float dyda[], int na);

// (end of model fitting)

// ---------------------------------------------------------------------------------------------
// Special functions: gamma family, incomplete beta.
// ---------------------------------------------------------------------------------------------

// ln Gamma(xx) for xx > 0, in double throughout. Not defined for xx <= 0.
KELVARINWIZARD_API double gammln(double xx);

// Series for the regularised lower incomplete gamma P(a, x): writes ln Gamma(a) to *gln first,
// then P in [0, 1] to *gamser (0 for x = 0, 1 for x = +inf, NaN for a NaN argument). Meant for
// x < a + 1; far above, P comes from the continued fraction. Fatal for x < 0 or no convergence.
KELVARINWIZARD_API void gser(float *gamser, float a, float x, float *gln);

// Continued fraction for Q(a, x) = 1 - P(a, x), meant for x >= a + 1: writes ln Gamma(a) to
// *gln first, then Q in [0, 1] to *gammcf (0 for x = +inf, NaN for a NaN argument; for
// 0 <= x < a + 1, a > 0, the value of gammq). Fatal without convergence.
KELVARINWIZARD_API void gcf(float *gammcf, float a, float x, float *gln);

// Q(a, x) = 1 - P(a, x) in [0, 1] for a > 0, x >= 0 (series below x = a + 1, continued
// fraction above). Fatal "Invalid arguments in routine gammq" for x < 0 or a <= 0, even when
// the other argument is NaN; otherwise NaN for a NaN argument, 0 for x = +inf, 1 for a = +inf
// and finite x.
KELVARINWIZARD_API float gammq(float a, float x);

// Complementary error function. The approximation is good to about 1.2e-7 fractionally; the
// single-precision square in the exponent adds up to x^2 * 2^-24 (about 2e-6 at |x| = 6).
KELVARINWIZARD_API float erfcc(float x);

// Kolmogorov-Smirnov tail Q_KS(alam) = 2 sum_{j>=1} (-1)^(j-1) exp(-2 j^2 alam^2), in [0, 1];
// returns 1 when 100 terms do not settle the series (alam below about 0.04), NaN for NaN.
KELVARINWIZARD_API float probks(float alam);

// Continued fraction of the incomplete beta function (double arguments, single result); at its
// iteration limit it returns its current value silently.
KELVARINWIZARD_API float betacf(double a, double b, double x);

// Regularised incomplete beta I_x(a, b) in [0, 1] for a, b > 0 and 0 <= x <= 1; returns 0
// for x outside [0, 1] without any message, NaN for a NaN argument. Inputs on which 100
// iterations of the fraction do not settle (a and b from a few hundred on, near x = a / (a+b)),
// or where a + b rounds in single precision, are evaluated in double; good for a, b up to 1e9.
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

// As ttest, with unequal variances (t = 0 when both variances are 0). Writes only *t; no
// degrees of freedom are computed. The caller's two-sided p, with s_i = var_i / n_i (avevar):
//   df = (s1 + s2)^2 / (s1^2 / (n1 - 1) + s2^2 / (n2 - 1));  p = betai(0.5 * df, 0.5, df / (df + t * t))
KELVARINWIZARD_API void tutest(float data1[], unsigned long n1, float data2[], unsigned long n2,
                               float *t, float *prob);

// Two-sample Kolmogorov-Smirnov statistic of data1[1..n1] and data2[1..n2] (each n >= 1):
// sorts both arrays ascending in place and writes the largest distance between the empirical
// distribution functions to *d (NaN when either sample holds a NaN). prob is not written and
// probks is not called. The caller's p (the usual asymptotic approximation):
//   en = sqrt(n1 * n2 / (n1 + n2));  p = probks((en + 0.12 + 0.11 / en) * d)
KELVARINWIZARD_API void kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2,
                              float *d, float *prob);

// Pearson's r of x[1..n], y[1..n], clamped to [-1, 1]; r = 0 when either is constant, NaN when
// either holds a NaN or infinity. Data whose squared deviations leave the single-precision range
// (beyond about 1e19 or below 1e-19) are summed in double. Writes only *r.
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
// probd are not written. A NaN in either sample makes all five results NaN.
KELVARINWIZARD_API void spear(float data1[], float data2[], unsigned long n, float *d, float *zd,
                              float *probd, float *rs, float *probrs);

// Upper-tail probability of F with df1, df2 degrees of freedom; 0 for F < 0.
KELVARINWIZARD_API float F_to_p(float F, unsigned long df1, unsigned long df2);
// Two-sided probability of Student's t with df degrees of freedom.
KELVARINWIZARD_API float t_to_p(float t, unsigned long df);
// Two-sided probability of a correlation coefficient r (|r| <= 1) from n pairs; 1 for n < 2.
// The three are good for degrees of freedom up to 1e9, and NaN for a NaN statistic.
KELVARINWIZARD_API float r_to_p(float r, unsigned long n);

// Inverses of the three above: a fixed 25-step search that moves the statistic up or down by a
// step halved at every reversal (F from 10 by 2, t from 4 by 2, r from 0.4 by 0.2). No
// tolerance; the result lies within the last step of the crossing. NaN for a NaN p.
// Fixed range: p_to_F can only return values in -16..60, p_to_t in -22..54 and p_to_r in
// -2.2..5.4. A target beyond the range's end gives that end, silently: p_to_F(1e-4, 1, 5) is 60,
// whose own p is 5.7e-4. A caller that may ask for small p or few degrees of freedom checks
// the result against the forward routine (F_to_p(p_to_F(p, ...), ...) close to p).
KELVARINWIZARD_API float p_to_F(float p, unsigned long df1, unsigned long df2);
KELVARINWIZARD_API float p_to_t(float p, unsigned long df);
KELVARINWIZARD_API float p_to_r(float p, unsigned long n);

// Score (1 - p) * sqrt(-2 ln (1 - p)^2 / (1 - p)^2): 0 at p = 0, about 7.99 at p = 1.
KELVARINWIZARD_API float p_to_z(float p);

// Running sums: fold the pair (x, y) into the caller's six running values (all 0 before the
// first pair; the routines keep nothing themselves), then write the current regression of y
// on x (slope 0 while x has no spread) and the mean of y. The slope is NaN once the squared
// deviations of x have left the range of the float sums (overflowed, or subnormal data whose
// squares are lost): the sums no longer hold the spread.
KELVARINWIZARD_API void regr_inc(float x, float y, float &count, float &sumX, float &sumY, float &ssX,
                                 float &ssY, float &spXY, float *intercept, float *slope,
                                 float *meanY);
// The same update, then the current correlation coefficient in [-1, 1] (0 without spread, NaN
// when either sum of squares has left the float range as for regr_inc).
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
// one thread at a time, shared with gasdev. The generator is one for the whole process: a seed
// set in one thread governs the draws of all threads.
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
// n <= 7, where their order is kept). A part reached through log2 n unbalanced partitions is
// finished by heapsort, so no input takes more than O(n log n). Allocates and releases a small
// work stack; n = 0 returns at once. No state between calls.
KELVARINWIZARD_API void sort(unsigned long n, float arr[]);

// As sort, and makes every move of arr[1..n] in brr[1..n] too, so each key keeps its companion.
KELVARINWIZARD_API void sort2(unsigned long n, float arr[], float brr[]);

// Sorts ra[1..n] ascending in place (heapsort; equal keys in no particular order). Allocates
// nothing; n < 2 returns at once. No state between calls.
KELVARINWIZARD_API void hpsort(unsigned long n, float ra[]);

// Returns the k-th smallest (k = 1 the smallest) of arr[1..n], rearranging arr so that arr[k]
// holds it, with nothing larger before and nothing smaller after; O(n log n) at worst (a range
// reached through log2 n unbalanced partitions is heapsorted). Allocates nothing. For k
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
// the sign exp(+2*pi*i*m*q/N) for isign = +1; forward then inverse returns N times the input
// (n/2 and nn1*nn2*nn3/2 times for the real transforms).
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
// the lengths, ends the process with exit status 1 and no message (under a guard it throws).
KELVARINWIZARD_API void rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2,
                              unsigned long nn3, int isign);


// (end of Fourier transforms)

#endif  // KELVARINWIZARD_STAT_H
