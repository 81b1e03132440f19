// Library-internal state shared between numerical routines. Not installed, not exported.
#ifndef KELVARINWIZARD_STAT_INTERNAL_H
#define KELVARINWIZARD_STAT_INTERNAL_H

// Set by svdcmp when a singular value did not converge within its sweep limit; cleared at
// every svdcmp entry. One per thread: read it in the thread that made the call. The general
// TLS access model keeps the sanitized build's null check sound: with the initial-exec model
// the linker turns the address computation into an instruction that sets no flags, and the
// check then tests stale ones.
extern thread_local bool NoConvergenceInSVD __attribute__((tls_model("global-dynamic")));

// The generator state behind ran1 and gasdev: the shuffle table, the value last taken from it
// (0 until the first call initialises), the saved normal deviate and whether it is still to be
// handed out. Process-wide, zero at load time, not thread-safe; the tests reset it.
namespace kw_random_state {
extern long iv[32];
extern long iy;
extern float gset;
extern int iset;
}  // namespace kw_random_state

namespace kw_beta_detail {
// I_x(a, b) evaluated in double throughout with room to settle, given x and its complement
// y = 1 - x separately, so that a statistic near the end of the range keeps its precision.
// NaN when the fraction cannot settle (a and b far beyond 1e12).
float ibeta(double a, double b, double x, double y);
}  // namespace kw_beta_detail

namespace kw_sort_detail {
// The quicksort of sort (brr null) or sort2 over arr[1..n], with a work stack of nstack
// entries and the given overflow message; returns the peak number of stack entries in use.
// n = 0 returns 0 at once. Lets the tests observe the stack bound and the overflow guard.
unsigned long quicksort_peak(unsigned long n, float arr[], float brr[], unsigned long nstack,
                             const char *overflow_message);
// sort (brr null) or sort2, and select with 1 <= k <= n (its result in *result); both return
// their work: elements partitioned plus heapsort sift steps, which the tests bound by n log n.
unsigned long sort_work(unsigned long n, float arr[], float brr[]);
unsigned long select_work(unsigned long k, unsigned long n, float arr[], float *result);
}  // namespace kw_sort_detail

namespace kw_fatal {
// Ends the process with exit status 1 and no message, for a fatal condition that has always
// been silent; under kelvarinwizard::throw_on_fatal_error it throws numerical_error(message).
[[noreturn]] void exit_silently(const char *message);
}  // namespace kw_fatal

#endif  // KELVARINWIZARD_STAT_INTERNAL_H
