// The library's own exp, log and sin in double precision, correctly rounded to nearest, so that
// no result depends on the system's mathematics library: a correctly rounded value is unique.
// Internal: not installed, not exported. No state; safe to call from any thread.
#ifndef KELVARINWIZARD_STAT_CR_MATH_H
#define KELVARINWIZARD_STAT_CR_MATH_H

namespace kw_crmath {

// e^x for every double: +inf above the overflow threshold, subnormals and 0 below, NaN for NaN.
double cr_exp(double x);
// ln x for every double: -inf at +-0, NaN below 0 and for NaN, +inf at +inf.
double cr_log(double x);
// sin x for every double, with exact argument reduction at any magnitude; NaN at +-inf.
double cr_sin(double x);

namespace detail {
// Each function first tries a double-double evaluation with a proven error bound; when the
// bound cannot decide the rounding (one argument in 8000 or fewer), it computes again in
// 320-bit fixed point. Both paths, reachable on their own for the tests: the fast ones return
// false where they cannot decide, the accurate ones take finite arguments past the special
// cases (exp: -745.2 < x < 709.8, |x| >= 2^-54; log: x > 0 finite; sin: 2^-26 <= |x| finite).
bool exp_fast(double x, double &y);
bool log_fast(double x, double &y);
bool sin_fast(double x, double &y);
double exp_accurate(double x);
double log_accurate(double x);
double sin_accurate(double x);

// Called with (0 exp, 1 log, 2 sin) and the argument on every call while set; null by default.
// Lets the test suite collect every argument it makes the library pass. Not thread-safe to set.
extern void (*observer)(int function, double x);
}  // namespace detail

}  // namespace kw_crmath

#endif  // KELVARINWIZARD_STAT_CR_MATH_H
