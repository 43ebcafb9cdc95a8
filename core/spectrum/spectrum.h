/* Raw spectral estimates of a real series: the periodogram, a power spectral density over
   a zero-padded transform, and the spectral density defined by the sample
   autocovariance, each with its angular frequencies; and the reordering of a two-sided
   result into ascending frequency.

   Layouts. For a transform length L (N for periodogram, nfft for psd) and h = floor(L/2),
   freq[k] = 2*pi*k/L for k = 0..h. A two-sided result (side = 2) has L values in the
   order of the transform: bins 0..h, then the negative frequencies -2*pi*(L-1-h)/L up to
   -2*pi/L, the spectrum mirrored. A one-sided result (any other side) has h + 1 values,
   every bin doubled except bin 0 and, for even L, the Nyquist bin h.

   periodogram: power[k] = |X[k]|^2 / N, X the N-point transform of x (not centred); for
   even N the Nyquist value is (sum of odd-indexed x - sum of even-indexed x)^2 / N.
   psd: density[k] = |X[k]|^2 / (2*pi*N), X the nfft-point transform of x padded with zeros;
   with nfft = N it is the periodogram over 2*pi.
   psd_autocovar: density[k] = (2*Re F[k] - acov[0]) / (2*pi), k = 0..floor(nfft/2), acov the
   N sample autocovariances of x (lags 0..N-1, divisor N) and F their nfft-point transform:
   the density sum over |j| < N of acov[|j|] exp(-i*w*j) / (2*pi) at w = freq[k], which is
   the periodogram of the centred series over 2*pi. These are the values of the two-sided
   density at the non-negative frequencies (not doubled).

   Argument errors print "<function>: <reason>" to standard output and end the process
   with exit status -1, like the rest of the numerical core: spectrum_fft_init with N < 1
   ("spectrum_fft_init: the length N must be at least 1") or nfft < N
   ("spectrum_fft_init: nfft must be at least N"), psd_autocovar with nfft < N
   ("psd_autocovar: nfft must be at least N"). A failed allocation of the object returns
   NULL; a failed allocation of work space prints "<function>: out of memory" and exits
   with status -1.

   Each call allocates one work block and frees it before returning. The plans are only
   read, so one object may serve several threads at once. */
#ifndef TSFORGE_CORE_SPECTRUM_H
#define TSFORGE_CORE_SPECTRUM_H

#include "core/export.h"
#include "core/fft/fft.h"
#include "core/stats/stats.h"

TSFORGE_BEGIN_DECLS

/* Data of the one-sided chirp-z transform that gives bins 0..L/2 of an odd length L whose
   complex plan runs Bluestein's algorithm (a prime factor above 53): internal. */
typedef struct spectrum_chirp spectrum_chirp;

/* Transform plans for series of length N and spectra over nfft >= N points. The fields
   after nfft are this library's addition. The periodogram and psd of an even length run
   through the real plans. Those of an odd length L with a prime factor above 53 run
   through the chirp data: a circular convolution of a length M >= N + L/2 with factors
   2, 3, 5 and 7 only (the one estimated fastest, below 2(N + L/2); 1500625 for
   N = L = 10^6 + 3), whose kernel is transformed here once. A call then costs two M-point
   transforms instead of the three of a power of two >= 2(L - 1) that the Bluestein plan
   cobj would run. Memory: 32*M bytes in the object for each such length (the M-point plan
   and the kernel: 48 MB for N = L = 10^6 + 3, about 50 bytes per point of L for the
   periodogram), on top of cobj and cobj2, which stay as they are; each call takes a
   work block of 32*M bytes. */
typedef struct spectrum_object {
  fft_object *cobj;        /* forward complex plan of length N */
  fft_object *cobj2;       /* forward complex plan of length nfft; cobj when nfft = N */
  int N;                   /* series length */
  int nfft;                /* padded transform length */
  fft_real_object *robj;   /* forward real plan of length N when N is even, else NULL */
  fft_real_object *robj2;  /* the same for nfft; robj when nfft = N */
  spectrum_chirp *zobj;    /* chirp data for N inputs over N points when N needs it, else NULL */
  spectrum_chirp *zobj2;   /* the same over nfft points; zobj when nfft = N */
} spectrum_object;

/* New object for series of length N >= 1 and spectra over nfft >= N points. */
TSFORGE_API spectrum_object *spectrum_fft_init(int N, int nfft);
/* power and freq (N two-sided, N/2 + 1 one-sided) from x (obj->N). */
TSFORGE_API void periodogram(spectrum_object *obj, double *x, double *power, double *freq, int side);
/* density and freq (nfft two-sided, nfft/2 + 1 one-sided) from x (obj->N). */
TSFORGE_API void psd(spectrum_object *obj, double *x, double *density, double *freq, int side);
/* density and freq (nfft/2 + 1) from x (obj->N), nfft >= obj->N. */
TSFORGE_API void psd_autocovar(auto_object *obj, double *x, double *density, double *freq, int nfft);
/* Reorders a two-sided result of N values so that its frequencies ascend: the negative
   ones, zero, the positive ones (for even N the Nyquist bin last). In place. */
TSFORGE_API void spectrum_shift(double *values, int N);
/* 1 when N is odd, else 0. */
TSFORGE_API int isOdd(int N);
/* Releases the object and its plans. */
TSFORGE_API void free_spectrum(spectrum_object *obj);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_SPECTRUM_H */
