// Library-internal state shared between numerical routines. Not installed, not exported.
#ifndef KELVARINWIZARD_STAT_INTERNAL_H
#define KELVARINWIZARD_STAT_INTERNAL_H

// Set by svdcmp when a singular value did not converge within its sweep limit; cleared at
// every svdcmp entry. Process-wide and not thread-safe.
extern bool NoConvergenceInSVD;

#endif  // KELVARINWIZARD_STAT_INTERNAL_H
