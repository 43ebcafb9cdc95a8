/* Series and polynomial transforms: polynomial products, the difference operators
   (1 - B)^d and (1 - B^s)^D, ordinary and seasonal differencing, up- and down-sampling.
   Polynomials are coefficient arrays in increasing powers of the backshift B.

   Degenerate orders: deld and delds write nothing for an order below 1 (callers use the
   operator {1} themselves). diff and diffs with order 0 (or a period below 1) copy the
   N samples to y and return N. When the series is not longer than the lag span
   (N <= d, N <= D*s) they write nothing and return 0. The resamplers return 0 and write
   nothing for N <= 0. No function reads or writes outside the sizes stated here. */
#ifndef TSFORGE_CORE_TRANSFORM_H
#define TSFORGE_CORE_TRANSFORM_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* C (la + lb - 1) = A (la) * B (lb); returns la + lb - 1. C must not overlap A or B. */
TSFORGE_API int poly(double *A, double *B, double *C, int la, int lb);
/* C (d + 1) = coefficients of (1 - B)^d. */
TSFORGE_API void deld(int d, double *C);
/* C (D*s + 1) = coefficients of (1 - B^s)^D. */
TSFORGE_API void delds(int D, int s, double *C);
/* y (N - d) = d-th difference of x (N); returns N - d. */
TSFORGE_API int diff(double *x, int N, int d, double *y);
/* y (N - D*s) = D-th seasonal difference of x with period s; returns N - D*s. */
TSFORGE_API int diffs(double *x, int N, int D, int s, double *y);
/* Inserts M - 1 zeros between samples; returns the output length, -1 for M < 0. */
TSFORGE_API int upsample(double *x, int N, int M, double *y);
/* Keeps every M-th sample; returns the output length, -1 for M < 0. */
TSFORGE_API int downsample(double *x, int N, int M, double *y);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_TRANSFORM_H */
