/* Dense row-major linear algebra: scalar utilities, vector reductions, matrix
   arithmetic and transposition, direct and Strassen products, LU factorisation with
   partial pivoting, solving and inversion.

   Element (i, j) of an M x N matrix is at index i*N + j. A sub-matrix view is a pointer
   to its first element and a row stride. Outputs go to caller-supplied arrays. Sizes and
   strides are trusted (strides at least the row length).

   Empty sizes: a size <= 0 makes the matrix empty and the kernel writes nothing, except
   that a product with an empty inner size N <= 0 (and M, P >= 1) is the zero M x P
   matrix. ludecomp, linsolve, minverse and eye do nothing for N <= 0.

   Overlap: mmult and smult accept an output C that shares memory with A or B (the product
   is formed in scratch space and copied out). madd, msub and the strided sums accept C
   equal to A or B element for element. Every other output must not overlap its inputs.

   Scratch memory: a kernel whose scratch allocation fails prints "<kernel>: out of
   memory" to standard output and ends the process with status 1. */
#ifndef TSFORGE_CORE_MATRIX_H
#define TSFORGE_CORE_MATRIX_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* Machine epsilon measured at run time: 2^-52 for IEEE double. */
TSFORGE_API double macheps(void);
TSFORGE_API double pmax(double a, double b);
TSFORGE_API double pmin(double a, double b);
TSFORGE_API int imax(int a, int b);
TSFORGE_API int imin(int a, int b);
/* 1.0 for x >= 0 (also -0.0), otherwise -1.0. */
TSFORGE_API double signx(double x);
/* Euclidean norm without scaling; 0 for N <= 0. */
TSFORGE_API double l2norm(double *x, int N);
/* Largest absolute value, starting from 0 (so 0 for N <= 0). */
TSFORGE_API double array_max_abs(double *x, int N);
/* Max and min starting from x[0]; -HUGE_VAL and +HUGE_VAL for N <= 0. */
TSFORGE_API double array_max(double *x, int N);
TSFORGE_API double array_min(double *x, int N);
/* Indices of x in descending order of value (NaNs last); x is not changed; nothing
   happens for N < 1. Equal values keep no particular order. */
TSFORGE_API void sort1d(double *x, int N, int *idx);
/* qsort comparator of sort1d's records (a double * then an int index): -1 if the first
   value is greater, 1 if smaller, 0 otherwise; NaN ranks below every number. */
TSFORGE_API int compare(const void *a, const void *b);

/* B (N x M) = transpose of A (M x N). */
TSFORGE_API void mtranspose(double *A, int M, int N, double *B);
/* Plain loop; recursive blocked (64 x 64 leaves) when M or N >= 64; along the diagonals. */
TSFORGE_API void stranspose(double *A, int M, int N, double *B);
TSFORGE_API void ctranspose(double *A, int M, int N, double *B);
/* Transposes the m x n view of A (row stride ldA) into B (row stride ldB). */
TSFORGE_API void rtranspose(double *A, int m, int n, double *B, int ldB, int ldA);
TSFORGE_API void dtranspose(double *A, int M, int N, double *B);
/* Prints A to standard output. */
TSFORGE_API void mdisplay(double *A, int M, int N);

TSFORGE_API void madd(double *A, double *B, double *C, int M, int N);
TSFORGE_API void msub(double *A, double *B, double *C, int M, int N);
TSFORGE_API void scale(double *A, int M, int N, double alpha);
TSFORGE_API void madd_stride(double *A, double *B, double *C, int M, int N, int lda, int ldb, int ldc);
TSFORGE_API void msub_stride(double *A, double *B, double *C, int M, int N, int lda, int ldb, int ldc);
TSFORGE_API void rmadd_stride(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb,
                              int ldc);
TSFORGE_API void rmsub_stride(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb,
                              int ldc);

/* C (M x P) = A (M x N) * B (N x P): direct loop when M + N + P <= 96, else Strassen. */
TSFORGE_API void mmult(double *A, double *B, double *C, int M, int N, int P);
/* Direct loop; every C element summed from 0 with k increasing. */
TSFORGE_API void nmult(double *A, double *B, double *C, int M, int N, int P);
/* Dot products with a transposed copy of B. */
TSFORGE_API void tmult(double *A, double *B, double *C, int M, int N, int P);
/* Strassen's algorithm on zero-padded copies. */
TSFORGE_API void smult(double *A, double *B, double *C, int M, int N, int P);
/* Rounds the sizes up to the padded Strassen sizes; returns the number of halvings. */
TSFORGE_API int findrec(int *M, int *N, int *P);
/* X ((M + zrows) x (N + zcols)) = A in the top-left corner, zeros elsewhere. */
TSFORGE_API void add_zero_pad(double *A, int M, int N, int zrows, int zcols, double *X);
/* C ((M - zrows) x (N - zcols)) = top-left corner of the M x N matrix X. */
TSFORGE_API void remove_zero_pad(double *X, int M, int N, int zrows, int zcols, double *C);
/* C = A * B on strided views by Strassen's recursion (sizes from findrec split evenly at
   every level); a level with an odd size uses the direct loop instead. */
TSFORGE_API void srecmult(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb,
                          int ldc);
/* C = A * B through recmult. */
TSFORGE_API void rmult(double *A, double *B, double *C, int M, int N, int P);
/* C += A * B on views: A with row stride s2, B and C with row stride s3; s1 unused. */
TSFORGE_API void recmult(double *A, double *B, double *C, int m, int n, int p, int s1, int s2, int s3);

/* In-place LU factorisation with partial pivoting; ipiv receives the row order. */
TSFORGE_API void ludecomp(double *A, int N, int *ipiv);
/* Solves A x = b from the factors of ludecomp; b and x must be distinct. With an exact
   zero on the diagonal of U, prints "The Matrix system does not have a unique solution"
   (no newline) and returns x all zero. */
TSFORGE_API void linsolve(double *A, int N, double *b, int *ipiv, double *x);
/* Inverse of the unfactored matrix from its LU factors (all zero for singular factors,
   with linsolve's message once per column). */
TSFORGE_API void minverse(double *A, int N, int *ipiv, double *Ainv);
TSFORGE_API void eye(double *A, int N);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_MATRIX_H */
