/* Series and polynomial transforms: polynomial products, the difference operators
   (1 - B)^d and (1 - B^s)^D, ordinary and seasonal differencing, up- and down-sampling;
   ARMA weights and autocovariances, parameter transforms and MA root inversion (second
   section below). Polynomials are coefficient arrays in increasing powers of the backshift B.

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

/* ARMA representations and parameter transforms.

   Coefficient vectors carry no leading 1. The model is
     w[t] - sum phi[k] w[t-k] = a[t] + sum theta[k] a[t-k],
   the MA side with plus signs (the negated theta of the engine's convention), so the psi
   weights are the coefficients of theta(B)/phi(B) and the pi weights those of
   phi(B)/theta(B), with phi(B) = 1 - sum phi[k] B^k and theta(B) = 1 + sum theta[k] B^k.
   An output of j (or lag) values receives exactly that many; j <= 0 writes nothing.

   Stationarity: arinvtrans, invtransall and arma_autocovar need a stationary AR vector
   (all zeros of phi(B) outside the unit circle). It is tested exactly as arinvtrans
   inverts artrans, by the partial autocorrelations of the Durbin-Levinson recursion, all
   of which must lie in (-1, 1); otherwise the function prints
   "arinvtrans: the coefficients are not stationary" or
   "arma_autocovar: the AR part is not stationary" and ends the process with status -1.
   artrans maps any real vector to a stationary one (tanh of each value as a partial
   autocorrelation); arinvtrans(artrans(x)) = x. */

/* psi (j) = 1, then the weights of theta(B)/phi(B). */
TSFORGE_API void psiweight(double *phi, double *theta, double *psi, int p, int q, int j);
/* piw (j) = 1, then the weights of phi(B)/theta(B). */
TSFORGE_API void piweight(double *phi, double *theta, double *piw, int p, int q, int j);
/* acov (lag) = autocovariances at lags 0..lag-1 of the ARMA process with innovation
   variance sigma2: lags 0..p by solving the linear system of the first p + 1 Yule-Walker
   equations, later lags by the AR recursion. */
TSFORGE_API void arma_autocovar(double *phi, double *theta, int p, int q, double sigma2, double *acov, int lag);
/* newphi (p) = the stationary coefficients whose partial autocorrelations are tanh(raw). */
TSFORGE_API void artrans(int p, double *raw, double *newphi);
/* raw (p) = atanh of the partial autocorrelations of the stationary phi (p). */
TSFORGE_API void arinvtrans(int p, double *phi, double *raw);
/* artrans on the consecutive blocks of lengths p, q, P and Q of old into new (p + q + P + Q);
   blocks of length below 1 are empty. */
TSFORGE_API void transall(int p, int q, int P, int Q, double *old, double *newv);
/* arinvtrans on the same blocks. */
TSFORGE_API void invtransall(int p, int q, int P, int Q, double *old, double *newv);
/* Replaces every zero z of 1 + ma[0] x + ... + ma[q-1] x^q inside the unit circle
   (|z|^2 < 1) by 1/z, in place, keeping the constant term 1. Returns 1 when ma was
   changed, 0 when there was nothing to change (all zero, or no zero inside), -1 when the
   zeros could not be computed (polyroot failed, for instance on a non-finite
   coefficient); ma is then unchanged. Prints nothing. */
TSFORGE_API int invertroot(int q, double *ma);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_TRANSFORM_H */
