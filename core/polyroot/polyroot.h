/* Zeros of polynomials with real or complex coefficients by the three-stage complex
   algorithm of Jenkins and Traub (no shift, fixed shift, variable shift), with deflation
   after each zero.

   polyroot and cpolyroot take coefficients in ascending order (element k multiplies x^k);
   cpoly takes them in descending order (element 0 is the leading coefficient). A
   polynomial of degree n has n zeros, written to zeror (real parts) and zeroi (imaginary
   parts), n values each. No function prints anything or changes its coefficient arrays.

   Order of the zeros: the zeros at the origin (trailing zero coefficients of the descending
   form) first, as exact zeros; then the others in the order they were found, position by
   position. The shifts start on a circle inside every zero and widen as the polynomial is
   deflated, so zeros of small modulus tend to come first, but no order by modulus is
   promised. The last zero comes from the remaining linear factor. Once all are found,
   each zero is refined by at most five Newton steps on the undeflated polynomial (a step
   is kept only when it lowers |P| and moves the zero by less than half its distance to
   the nearest other zero): this restores the digits that deflation loses when many zeros
   share one modulus, as in 1 - 0.9 x^48. Multiple zeros keep the accuracy their
   conditioning allows (about eps^(1/k) for a k-fold zero).

   Return value:
     0  success: all n zeros written;
     1  failure: the leading coefficient is zero (nothing written), a coefficient is not
        finite (nothing written), the degree is negative (nothing written), or the
        iteration did not converge to a zero after two rounds of nine shifts (the zeros
        found so far are written, in the leading positions; the rest are untouched).
   Degree 0, and a polynomial whose zeros are all at the origin (c*x^n), leave nothing to
   search: the call returns 0 after writing the zeros at the origin, if any. */
#ifndef TSFORGE_CORE_POLYROOT_H
#define TSFORGE_CORE_POLYROOT_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* Zeros of the real polynomial coeff[0] + coeff[1] x + ... + coeff[degree] x^degree. */
TSFORGE_API int polyroot(double *coeff, int degree, double *zeror, double *zeroi);
/* Zeros of the complex polynomial with coefficients (re[k], im[k]) of x^k, ascending. */
TSFORGE_API int cpolyroot(double *re, double *im, int degree, double *zeror, double *zeroi);
/* Zeros of the complex polynomial (opr[0], opi[0]) x^degree + ... + (opr[degree], opi[degree]),
   descending. */
TSFORGE_API int cpoly(double *opr, double *opi, int degree, double *zeror, double *zeroi);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_POLYROOT_H */
