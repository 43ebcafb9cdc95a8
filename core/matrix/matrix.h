/* Dense row-major linear algebra: scalar utilities, vector reductions, matrix
   arithmetic and transposition, direct and Strassen products, LU factorisation with
   partial pivoting, solving and inversion.

   Element (i, j) of an M x N matrix is at index i*N + j. A sub-matrix view is a pointer
   to its first element and a row stride. Outputs go to caller-supplied arrays, which
   must not overlap the inputs. Sizes and strides are trusted; sizes <= 0 are not
   supported except where a function says so. */
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
TSFORGE_API double array_max_abs(double *x, int N);
TSFORGE_API double array_max(double *x, int N);
TSFORGE_API double array_min(double *x, int N);
/* Indices of x in descending order of value; x is not changed. */
TSFORGE_API void sort1d(double *x, int N, int *idx);
/* qsort comparator of sort1d's records (larger values first). */
TSFORGE_API int compare(const void *a, const void *b);

/* B (N x M) = transpose of A (M x N). */
TSFORGE_API void mtranspose(double *A, int M, int N, double *B);
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
TSFORGE_API void nmult(double *A, double *B, double *C, int M, int N, int P);
TSFORGE_API void tmult(double *A, double *B, double *C, int M, int N, int P);
TSFORGE_API void smult(double *A, double *B, double *C, int M, int N, int P);
/* Rounds the sizes up to the padded Strassen sizes; returns the number of halvings. */
TSFORGE_API int findrec(int *M, int *N, int *P);
TSFORGE_API void add_zero_pad(double *A, int M, int N, int zrows, int zcols, double *X);
TSFORGE_API void remove_zero_pad(double *X, int M, int N, int zrows, int zcols, double *C);
TSFORGE_API void srecmult(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb,
                          int ldc);
TSFORGE_API void rmult(double *A, double *B, double *C, int M, int N, int P);
TSFORGE_API void recmult(double *A, double *B, double *C, int m, int n, int p, int s1, int s2, int s3);

/* In-place LU factorisation with partial pivoting; ipiv receives the row order. */
TSFORGE_API void ludecomp(double *A, int N, int *ipiv);
/* Solves A x = b from the factors of ludecomp. */
TSFORGE_API void linsolve(double *A, int N, double *b, int *ipiv, double *x);
/* Inverse of the unfactored matrix from its LU factors. */
TSFORGE_API void minverse(double *A, int N, int *ipiv, double *Ainv);
TSFORGE_API void eye(double *A, int N);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_MATRIX_H */
