/* Complex discrete Fourier transforms of any length, and a real-input wrapper.

   fft_exec computes X[k] = sum_n x[n] * exp(-2*pi*i*sgn*k*n/N), k = 0..N-1, with no
   scaling in either direction: a forward transform followed by a backward one multiplies
   the data by N. Lengths whose prime factors are all among 2, 3, 5, 7, 11, 13, 17, 19, 23,
   29, 31, 37, 41, 43, 47 and 53 run a recursive mixed-radix decimation in time; any other
   length runs Bluestein's chirp-z algorithm on a power-of-two length of at least 2(N - 1).

   A plan is one heap block made by its init function and released by its free function.
   Execution never modifies a plan (also not a Bluestein plan), so a plan may be shared
   by several threads. The mixed-radix path allocates nothing; a Bluestein execution and
   fft_c2r_exec allocate their scratch arrays and free them before returning.

   Argument errors (N < 1, a sign other than 1 or -1, an odd or too large length) print a
   message to standard output and end the process with exit status -1, like the rest of
   the numerical core. A failed allocation of a plan returns NULL. */
#ifndef TSFORGE_CORE_FFT_H
#define TSFORGE_CORE_FFT_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* A complex sample: real part, then imaginary part. */
typedef struct fft_data {
  double re;
  double im;
} fft_data;

/* Plan of one length and direction. twiddles points into the same heap block, just after
   the record (a pointer rather than a flexible array member, which C++ lacks): N values for
   a mixed-radix plan, the padded length for a Bluestein plan. */
typedef struct fft_object {
  int N;            /* transform length requested */
  int sgn;          /* 1 forward, -1 backward */
  int radices[64];  /* radices of the working length, in the order they are applied */
  int lf;           /* number of entries used in radices */
  int lt;           /* 0 mixed-radix, 1 Bluestein */
  fft_data *twiddles;
} fft_object;

/* Plan of a real transform of even length N: the N/2-point complex plan and the N/2
   values (cos(2*pi*k/N), sin(2*pi*k/N)), stored in the same block. */
typedef struct fft_real_object {
  fft_object *cobj;
  fft_data *twiddle2;
} fft_real_object;

/* New plan for length N >= 1 and direction sgn (1 or -1). */
TSFORGE_API fft_object *fft_init(int N, int sgn);
/* oup (N) = transform of inp (N); inp and oup must not overlap. */
TSFORGE_API void fft_exec(fft_object *obj, fft_data *inp, fft_data *oup);
TSFORGE_API void free_fft(fft_object *obj);

/* New real plan for an even length N >= 2 and direction sgn. */
TSFORGE_API fft_real_object *fft_real_init(int N, int sgn);
/* oup (N) = transform (in the plan's direction) of the real sequence inp (N); the upper
   half is the conjugate mirror of the lower one. inp and oup must not overlap. */
TSFORGE_API void fft_r2c_exec(fft_real_object *obj, double *inp, fft_data *oup);
/* oup (N) = transform in the plan's direction of the conjugate-symmetric inp (N), which
   is real. With a backward plan it inverts fft_r2c_exec up to the factor N. inp and oup
   must not overlap. */
TSFORGE_API void fft_c2r_exec(fft_real_object *obj, fft_data *inp, double *oup);
TSFORGE_API void free_real_fft(fft_real_object *obj);

/* 1 when N >= 1 factors completely over the supported radices, else 0. */
TSFORGE_API int dividebyN(int N);
/* 1 when M is a power of d (M = 1 included), else 0. */
TSFORGE_API int divideby(int M, int d);
/* Writes the radices of M in the order they are applied (53, 47, ..., 11 as often as they
   divide, then 8, 7, 5, 4, 3, 2, then any larger prime factors in increasing order) and
   returns their count (0 for M <= 1). arr needs room for 64 entries. */
TSFORGE_API int factors(int M, int *arr);
/* out (N/radix) = exp(-2*pi*i*k/N), k = 0..N/radix - 1. */
TSFORGE_API void twiddle(fft_data *out, int N, int radix);
/* out (N - 1 values used) = twiddle table of a plan of length N with the given radices:
   from the last radix r to the first, with L the product of the radices visited so far
   (r included), the values exp(-2*pi*i*j*(k+1)/L) for j = 0..L/r - 1 (outer) and
   k = 0..r - 2 (inner). */
TSFORGE_API void longvectorN(fft_data *out, int N, int *factors, int count);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_FFT_H */
