// Helpers shared by the special functions and distributions; not installed.
#ifndef TSFORGE_CORE_DIST_INTERNAL_H
#define TSFORGE_CORE_DIST_INTERNAL_H

namespace tsf_dist {

// Value returned for poles, overflow and infinite quantiles.
constexpr double kHuge = 1.79e308;
// Smallest normal double as the algorithms write it (a floor for densities).
constexpr double kTiny = 2.2251e-308;

// Prints msg (no newline) to standard output and ends the process with status 1.
[[noreturn]] void fail(const char *msg);

// Largest argument of exp that does not overflow (l = 0) or underflow (l != 0), with the
// safety factor of TOMS 708's EXPARG.
double exparg(int l);

// Ends the process with the distributions' message when p is outside [0, 1].
void check_probability(double p);

// Ends the process with ibeta's messages when x is outside [0, 1] or a or b is negative.
void check_beta_arguments(double x, double a, double b);

}  // namespace tsf_dist

#endif  // TSFORGE_CORE_DIST_INTERNAL_H
