/* Special functions and probability distributions: gamma and beta functions, the
   regularised incomplete gamma and beta functions, the error function family with
   inverses, and the density, distribution function and quantile of the normal, Student's
   t, F, gamma and chi-square distributions.

   Names and the C maths library. The host process shares one symbol namespace with this
   library, and glibc's gamma is the log-gamma function: a gamma exported from here would
   change what the host computes, and a static link would clash. No exported symbol is
   therefore named like a C or C++ standard library function: the gamma function, erf,
   erfc and log(1 + x) are ts_gamma, ts_erf, ts_erfc and ts_log1p, and every caller inside
   the library uses these definitions, never the C library's (beta is no C library name).

   Argument errors print a fixed message to standard output (no newline) and end the
   process with exit status 1; the messages are given with each function. Degrees of
   freedom are halved in floating point (df = 1 gives shape 0.5).

   Accuracy (relative error against 40-digit references): gamma_log, erf, erfc, erfcx,
   erfinv, erfcinv and normalinv about 1e-15; ts_gamma 2e-14 for x > 0 and 2e-13 through
   the reflection; pgamma 5e-14 from a = 1000 on (uniform expansion) and up to
   eps * a ln a, 1.2e-12 at a = 999, below (the prefactor of the series); ibeta and the
   distribution functions built on it lose eps * ln B(a, b) in their prefactor (1e-13 for
   moderate parameters, 1e-9 near a = 1e5), the cube-root normal approximation taken where
   the fraction fails is good to 1e-13 there, ibeta_appx's gamma-tail form to 1e-3;
   betainv, and tinv up to 1000 degrees of freedom and finv with it, stops on a Newton step
   below about 1e-7 (AS 109): up to 7e-7; gammainv near 1e-14, but for p within 1e-10 of 1
   only as well as gammacdf - p resolves 1 - p. */
#ifndef TSFORGE_CORE_DIST_H
#define TSFORGE_CORE_DIST_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* ---- utilities ---- */

/* x rounded toward zero. */
TSFORGE_API double fix(double x);
/* |x|. */
TSFORGE_API double normf(double x);
/* a if a > b, otherwise b. */
TSFORGE_API double r8_max(double a, double b);
/* Spacing of doubles near x: 2^(k - 52) with k = trunc(log2 a), a = |x|, halved first when
   0 < a < 1. eps(0) and arguments whose spacing would underflow give the smallest
   subnormal spacing 2^-1074; eps(+-inf) and eps(NaN) are NaN. */
TSFORGE_API double eps(double x);
/* ln(1 + x), accurate for small x (Goldberg's correction of ln(u) by x / (u - 1)). */
TSFORGE_API double ts_log1p(double x);
/* x! for integral x >= 0 (0! = 1), +inf beyond 170!. Negative or non-integral x prints
   "recfact: argument must be a non-negative integer" and exits with status 1. */
TSFORGE_API double recfact(double x);
/* N! for N >= 0; N < 0 prints "factorial: argument must be a non-negative integer" and
   exits with status 1. */
TSFORGE_API double factorial(int N);

/* ---- gamma and beta functions ---- */

/* Gamma function (Cody's rational approximations). Poles and overflow give 1.79e308;
   a negative x whose reflected value overflows gives the signed, possibly zero, tiny
   result; NaN gives NaN. */
TSFORGE_API double ts_gamma(double x);
/* ln Gamma(x) for x >= 0 (+inf at 0). x < 0 prints "Input must be Positive and Real";
   x > 1.79e308 prints "Overflow". */
TSFORGE_API double gamma_log(double x);
/* B(a, b) = exp(ln Gamma(a) + ln Gamma(b) - ln Gamma(a + b)) and its logarithm. a < 0 or
   b < 0 prints " The Two Inputs should be nonnegative and real". */
TSFORGE_API double beta(double a, double b);
TSFORGE_API double beta_log(double a, double b);

/* ---- incomplete gamma function ---- */

/* Regularised lower incomplete gamma P(a, x); note the argument order (x, a). a < 0
   prints "a must be non-negative". P(0, a) = 0, P(x, 0) = 1 (this rule wins),
   P(+inf, a) = 1; x < 0 gives NaN. Below a = 1000: the power series for x < a + 1, the
   continued fraction otherwise, each stopped after 10000 terms at most; from a = 1000 on,
   Temme's uniform asymptotic expansion, whatever the size of a. */
TSFORGE_API double pgamma(double x, double a);
/* 1 - pgamma(x, a). */
TSFORGE_API double qgamma(double x, double a);

/* ---- incomplete beta function ---- */

/* Continued fraction of the incomplete beta function; *iter receives the number of
   terms, 1000 when it stopped without converging. */
TSFORGE_API double bfrac(double x, double a, double b, int *iter);
/* Approximation of I_x(a, b) for when the continued fraction fails: a gamma tail for
   (a + b - 1)(1 - x) <= 0.8, a cube-root normal approximation above. */
TSFORGE_API double ibeta_appx(double x, double a, double b);
/* Regularised incomplete beta I_x(a, b). x outside [0, 1] prints "x only accepts real
   values between 0.0 and 1.0"; a < 0 or b < 0 prints " The Two Inputs should be
   nonnegative and real". The same checks guard ibeta_appx, betapdf and betacdf. */
TSFORGE_API double ibeta(double x, double a, double b);
/* ibeta(1 - x, b, a). */
TSFORGE_API double ibetac(double x, double a, double b);
/* betapdf(x, a, b), the derivative of I_x(a, b) in x. */
TSFORGE_API double ibetad(double x, double a, double b);
/* Beta density. At x = 0 it is 0 for a > 1, b for a = 1 and +inf for a < 1; likewise
   at x = 1 with b. */
TSFORGE_API double betapdf(double x, double a, double b);
/* ibeta(x, a, b), limited to at most 1. */
TSFORGE_API double betacdf(double x, double a, double b);
/* The x with I_x(a, b) = p (Applied Statistics algorithm AS 109). Negative a or b stop
   with beta_log's message; p outside [0, 1] prints "probability values must lie between
   0 and 1". betainv(0, .) = 0, betainv(1, .) = 1. */
TSFORGE_API double betainv(double p, double a, double b);

/* ---- error functions ---- */

/* Error function (TOMS 708 ERF). */
TSFORGE_API double erf__(double x);
/* erfc(x) for ind = 0, exp(x^2) erfc(x) otherwise (TOMS 708 ERFC1). */
TSFORGE_API double erfc1__(int ind, double x);
TSFORGE_API double ts_erf(double x);
TSFORGE_API double ts_erfc(double x);
/* Scaled complementary error function exp(x^2) erfc(x). */
TSFORGE_API double erfcx(double x);
/* Inverse error function; erfinv(+-1) = +-1.79e308. |x| > 1 prints "The Input takes
   values between -1 and +1". */
TSFORGE_API double erfinv(double x);
/* Inverse complementary error function; erfcinv(0) = 1.79e308, erfcinv(2) = -1.79e308.
   x outside [0, 2] prints "The Input takes values between 0.0 and 2.0". */
TSFORGE_API double erfcinv(double x);

/* ---- distributions ----
   Messages: sigma < 0 "Standard Deviation (Sigma) must be non-negative"; p outside [0, 1]
   "Probablity Values can only take values between 0.0 and 1.0"; df < 1 "Degree Of Freedom
   should be a positive real integer" (t), "Degree Of Freedom should be a real integer"
   (tinv_appx), "Degrees Of Freedom should be real integers" (fpdf), "Degrees Of Freedom
   should be positive real integers" (fcdf, finv), "Degree of freedom is a real positive
   integer" (chi-square); x < 0 "The range of distribution only takes non-negative and
   real values" (fpdf, fcdf, chipdf, chicdf); a <= 0 or b <= 0 "Gamma Distribution
   parameters must be positive and real.". Degrees of freedom are checked before p and x,
   except in finv and gammainv, which check p first. */

/* Normal distribution; sigma = 0 gives what the arithmetic gives. normalcdf takes the
   lower tail from erfc and normalinv from erfcinv, so both keep their relative accuracy
   far into the lower tail; normalinv(0) = -inf, normalinv(1) = +inf. */
TSFORGE_API double normalpdf(double x, double mu, double sigma);
TSFORGE_API double normalcdf(double x, double mu, double sigma);
TSFORGE_API double normalinv(double p, double mu, double sigma);

/* Student's t. tcdf(+-inf, df) = 1 and 0; the lower tail is computed directly. */
TSFORGE_API double tpdf(double x, int df);
TSFORGE_API double tcdf(double x, int df);
/* For df <= 1000: the non-negative upper critical value whose upper-tail probability is
   min(p, 1 - p), the same for p and 1 - p. For df > 1000: tinv_appx(p, df), which has the
   sign of p - 0.5. p = 0 gives -1.79e308 and p = 1 gives 1.79e308. */
TSFORGE_API double tinv(double p, int df);
/* Cornish-Fisher expansion of the t quantile in powers of 1 / df, four terms. */
TSFORGE_API double tinv_appx(double p, int df);

/* F distribution with d1 and d2 degrees of freedom; finv(1, .) = 1.79e308. */
TSFORGE_API double fpdf(double x, int d1, int d2);
TSFORGE_API double fcdf(double x, int d1, int d2);
TSFORGE_API double finv(double p, int d1, int d2);

/* Gamma distribution with shape a and scale b. gammapdf at x = 0 is its limit there:
   1/b for a = 1, 0 for a > 1 and +inf for a < 1 (likewise chipdf at 0). gammacdf treats
   x < 0 as 0. gammainv:
   gammainv(0, .) = 0, gammainv(1, .) = 1.79e308; a quantile below the smallest double
   is 0. */
TSFORGE_API double gammapdf(double x, double a, double b);
TSFORGE_API double gammacdf(double x, double a, double b);
TSFORGE_API double gammainv(double p, double a, double b);

/* Chi-square distribution: the gamma distribution with shape df / 2 and scale 2. */
TSFORGE_API double chipdf(double x, int df);
TSFORGE_API double chicdf(double x, int df);
TSFORGE_API double chiinv(double p, int df);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_DIST_H */
