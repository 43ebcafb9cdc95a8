/* Linear convolution of real sequences (direct, in two summation orders, and through the
   real FFT) and filters built on it: a causal FIR filter, centred moving averages with and
   without extension of the ends, a weighted moving average, simple exponential smoothing,
   a moving-average trend and a classical additive seasonal adjustment; the Euclidean norm
   and the 2-3-5-7-smooth lengths used for fast transforms.

   Sequences are caller-owned double arrays with int lengths; outputs go to caller-supplied
   arrays that must not overlap the inputs. Argument errors (a length below 1, a window
   below 1, a series too short for its seasonal period) print "<function>: <reason>" to
   standard output and end the process with exit status -1, like the rest of the numerical
   core. */
#ifndef TSFORGE_CORE_FILTER_H
#define TSFORGE_CORE_FILTER_H

#include "core/export.h"
#include "core/fft/fft.h"

TSFORGE_BEGIN_DECLS

/* FFT convolution of inputs of fixed lengths ilen1 and ilen2, reusable for any number of
   pairs. clen is the smallest even 2-3-5-7-smooth length >= ilen1 + ilen2 - 1. */
typedef struct conv_object {
  fft_real_object *fobj; /* forward real plan of length clen */
  fft_real_object *iobj; /* backward real plan of length clen */
  int ilen1;
  int ilen2;
  int clen;
} conv_object;

/* oup (N + L - 1)[i] = sum_j inp1[j]*inp2[i - j]: the sum runs over the index of the longer
   input, only over the valid range. */
TSFORGE_API void conv_direct(double *inp1, int N, double *inp2, int L, double *oup);
/* The same convolution, summed over j = 0..N-1 of inp1 for every output. */
TSFORGE_API void conv_directx(double *inp1, int N, double *inp2, int L, double *oup);
/* conv_direct and conv_directx with the longer input passed first. */
TSFORGE_API void conv(double *inp1, int N, double *inp2, int L, double *oup);
TSFORGE_API void convx(double *inp1, int N, double *inp2, int L, double *oup);

/* New FFT convolution object for inputs of lengths N and L (both >= 1); NULL when an
   allocation fails. */
TSFORGE_API conv_object *conv_init(int N, int L);
/* oup (ilen1 + ilen2 - 1) = inp1 (ilen1) * inp2 (ilen2), through three real transforms. */
TSFORGE_API void conv_fft(conv_object *obj, double *inp1, double *inp2, double *oup);
TSFORGE_API void free_conv(conv_object *obj);

/* Causal FIR filter: oup (N)[i] = sum_{j <= min(i, L-1)} b[j]*x[i - j]. */
TSFORGE_API void filter(double *x, int N, double *b, int L, double *oup);
/* Centred moving average of window M >= 1, the ends extended by p = M/2 copies of x[0] and
   x[N-1]. Even M uses M + 1 values with the two end values at half weight (the 2xM
   average), divided by M. */
TSFORGE_API void mafilter(double *x, int N, int M, double *oup);
/* The same averages without extension: the first and last p positions copy x (all of them
   when N <= 2p). */
TSFORGE_API void mafilter2(double *x, int N, int M, double *oup);
/* oup[i] = sum_{k < M} wts[k]*xe[i - p + k], xe being x extended by copies of its end
   values; the weights are used as given. */
TSFORGE_API void mafilter_wt(double *x, int N, double *wts, int M, double *oup);
/* Simple exponential smoothing: oup[0] = x[0], oup[i] = alpha*x[i] + (1 - alpha)*oup[i-1]. */
TSFORGE_API void expfilter(double *x, int N, double alpha, double *oup);
/* The moving-average trend: mafilter(x, N, M, oup). */
TSFORGE_API void detrend_ma(double *x, int N, int M, double *oup);
/* x minus its centred additive seasonal component of period s >= 1, estimated against the
   mafilter2 trend; needs N - 2*(s/2) >= s so that every season has a value. */
TSFORGE_API void deseason_ma(double *x, int N, int s, double *oup);
/* sqrt(sum x[i]^2), without scaling; 0 for N <= 0. */
TSFORGE_API double norm2(double *x, int N);
/* What remains of n >= 1 after dividing out every factor 7, then 3, then 5, then 2;
   0 for n <= 0. */
TSFORGE_API int factorf(int n);
/* Smallest m >= n with factorf(m) = 1 (1 for n <= 1); 0 when it would exceed INT_MAX. */
TSFORGE_API int findnext(int n);
/* Smallest even m >= n with factorf(m) = 1 (2 for n <= 2); 0 when it would exceed
   INT_MAX. */
TSFORGE_API int findnexte(int n);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_FILTER_H */
