/* Descriptive statistics of a series: sample mean and variance, and the sample
   autocovariance and autocorrelation up to a number of lags, computed directly or through
   a zero-padded real FFT.

   Series are double arrays with an int length N >= 1 (not checked); outputs go to
   caller-supplied arrays. The lag count L is the number of values written (lags 0..L-1).
   Every autocovariance and autocorrelation function corrects it first: L > N becomes
   N - 1, announced by the two messages
     "\n Lag is greater than the length N of the input vector. It is automatically set to length N - 1.\n"
     "\n The Output Vector only contains N calculated values."
   on standard output; L < 0 becomes 0 silently; L = N is kept. The caller sizes the output
   for the L it asks for. With a corrected L of 0 nothing is written. Autocovariances are
   divided by N at every lag. */
#ifndef TSFORGE_CORE_STATS_H
#define TSFORGE_CORE_STATS_H

#include "core/export.h"
#include "core/fft/fft.h"

TSFORGE_BEGIN_DECLS

/* FFT autocovariance plan for series of length N: real plans of length clen, the smallest
   even 2-3-5-7-smooth integer >= 2N, so that the circular correlation of the padded series
   is the linear one at every lag below N. Read-only while in use; may be shared. */
typedef struct auto_object {
  fft_real_object *fobj; /* forward real plan of length clen */
  fft_real_object *iobj; /* backward real plan of length clen */
  int N;
  int clen;
} auto_object;

/* sum x[i] / N. */
TSFORGE_API double mean(double *x, int N);
/* sum (x[i] - mean)^2 / N (divisor N). */
TSFORGE_API double var(double *x, int N);
/* acov (L)[k] = sum_{t < N-k} (x[t] - m)(x[t+k] - m) / N, directly. */
TSFORGE_API void autocovar(double *x, int N, double *acov, int L);
/* acf (L) = acov / acov[0], acf[0] = 1 (non-finite for a constant series). */
TSFORGE_API void autocorr(double *x, int N, double *acf, int L);
/* New FFT plan for series of length N; NULL when an allocation fails. Exits with a message
   when 2N is beyond the supported transform lengths. */
TSFORGE_API auto_object *auto_fft_init(int N);
/* Autocovariance of x (obj->N values) through the FFT; equals autocovar up to rounding. */
TSFORGE_API void autocovar_fft(auto_object *obj, double *x, double *acov, int L);
TSFORGE_API void autocorr_fft(auto_object *obj, double *x, double *acf, int L);
TSFORGE_API void free_auto(auto_object *obj);
/* The same as autocovar. */
TSFORGE_API void acvf(double *x, int N, double *acov, int L);
/* method 0: autocovar; method 1: autocovar_fft with a temporary plan; any other method
   prints the accepted values and writes nothing. */
TSFORGE_API void acvf_opt(double *x, int N, int method, double *acov, int L);
/* Turns the autocovariance acov (L) into the autocorrelation in place. */
TSFORGE_API void acvf2acf(double *acov, int L);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_STATS_H */
