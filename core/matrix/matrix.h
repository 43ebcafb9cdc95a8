/* Dense row-major linear algebra: scalar utilities, vector reductions, matrix
   arithmetic and transposition, direct and Strassen products, LU factorisation with
   partial pivoting, solving and inversion; Householder QR, Hessenberg reduction and
   eigenvalues; Cholesky factorisations; singular value decomposition, rank and linear
   least squares.

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
   memory" to standard output and ends the process with status 1 (the factorisations
   and solvers below alike). */
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

/* Householder reflection P = I - beta v v^T with v[0] = 1 that maps x (n) to |x| e1;
   returns beta (0 when x is already a non-negative multiple of e1, 2 when it is a
   negative one). */
TSFORGE_API double house(double *x, int n, double *v);
/* Unit-length v = (x + s |x| e1) / |...|, s = -1 for x[0] < 0 and +1 otherwise, so
   P = I - 2 v v^T maps x to -s |x| e1; v = e1 for x = 0. Returns 2. */
TSFORGE_API double house_2(double *x, int n, double *v);
/* H (n x n) = I - beta v v^T. */
TSFORGE_API void housemat(double *v, int n, double beta, double *H);
/* Householder QR of A (M x N, M >= N) in place: R in the upper triangle, the vectors
   v[1..] of the reflections below the diagonal, their betas in beta (N). For M < N
   prints "M should be greater than or equal to N" and exits with status 1. */
TSFORGE_API void qrdecomp(double *A, int M, int N, double *beta);
/* Thin Q (M x N, orthonormal columns) and R (N x N) from qrdecomp's output: A = Q R. */
TSFORGE_API void getQR(double *A, int M, int N, double *beta, double *Q, double *R);
/* A (N x N) becomes upper Hessenberg, orthogonally similar to the input. Entries below
   the subdiagonal are left at rounding level, not set to zero. */
TSFORGE_API void hessenberg(double *A, int N);
/* One Francis double-shift step on the unreduced Hessenberg H (n x n), shifts from its
   trailing 2 x 2 block; nothing for n < 3. */
TSFORGE_API void francisQR(double *H, int n);
/* T (N x N) = quasi-triangular limit of the Francis iteration on A (not changed); 1 when
   it converged, 0 when 30 N steps did not suffice. Only the diagonal blocks of T are
   brought to their limit (the eigenvalues); after 10 steps without deflation a step
   uses an exceptional shift. */
TSFORGE_API int francis_iter(double *A, int N, double *T);
/* Eigenvalues of the 2 x 2 block at A (second row at A + lda), A not changed; a complex
   pair lists the positive imaginary part first. */
TSFORGE_API void eig22(double *A, int lda, double *re, double *im);
/* All eigenvalues of A (N x N, not changed): real parts in re, imaginary parts in im,
   in the order of the quasi-triangular limit, complex pairs with the positive imaginary
   part first. Nothing is written for N <= 0. */
TSFORGE_API void eig(double *A, int N, double *re, double *im);

/* Cholesky factorisations of symmetric A (N x N), reading its upper triangle: on return
   the upper triangle holds the factor and the strict lower triangle is zero. Results:
   0 success (also for N <= 0), -1 when a pivot is not positive (or is NaN); A then holds
   a partial result.
   chol: cholu for N <= 64, else bcholu; both give the same bits. cholu: outer-product
   (recursive) form A = U^T U. bcholu: blocks of 64, the trailing updates as matrix
   products. */
TSFORGE_API int chol(double *A, int N);
TSFORGE_API int cholu(double *A, int N);
TSFORGE_API int bcholu(double *A, int N);
/* Workers on the n x n view at A with row stride `stride`; they leave the strict lower
   triangle alone. rcholu, rchold and richolu use no work array (work may be NULL);
   rbcholu needs 64 n doubles. */
TSFORGE_API int rcholu(double *A, int n, int stride, double *work);
TSFORGE_API int rbcholu(double *A, int n, int stride, double *work);
/* A = U^T D U, U unit upper triangular above the diagonal, D on it; no pivoting. A zero
   pivot is accepted when the rest of its row is zero (its multipliers are then 0);
   otherwise no such factorisation exists and the result is -1. 0 on success. */
TSFORGE_API int chold(double *A, int N);
TSFORGE_API int rchold(double *A, int n, int stride, double *work);
/* Incomplete Cholesky factor: the steps of cholu, with every zero of the upper triangle
   kept zero (no fill-in). Results as chol. */
TSFORGE_API int ichol(double *A, int N);
TSFORGE_API int icholu(double *A, int N);
TSFORGE_API int richolu(double *A, int n, int stride, double *work);

/* Singular value decomposition A = U diag(q) V^T of A (M x N, M >= N, not changed): U
   (M x N) with orthonormal columns, V (N x N) orthogonal, q descending and >= 0.
   Returns 0, 15 after printing "Convergence Not Achieved " when a value needs more
   than 50 sweeps, or -1 for M < N after printing "Rows (M) should be greater than
   Columns (B) " and a newline, then "Retry By Transposing the Input Matrix". Nothing is
   written for N = 0. svd_gr is the same decomposition. svd_gr2 reduces without
   scaling rows and columns; it skips a reflection whose vector's sum of squares is at
   most (macheps max|a_ij|)^2, so it works at any scale whose squares do not
   underflow. */
TSFORGE_API int svd(double *A, int M, int N, double *U, double *V, double *q);
TSFORGE_API int svd_gr(double *A, int M, int N, double *U, double *V, double *q);
TSFORGE_API int svd_gr2(double *A, int M, int N, double *U, double *V, double *q);
/* Sorts q descending and permutes the columns of U (M x N) and V (N x N) alike. */
TSFORGE_API void svd_sort(double *U, int M, int N, double *V, double *q);
/* Numerical rank: the number of singular values above macheps q[0] max(M, N) (of A or,
   for M < N, of its transpose); -1 after printing "Failed to Compute SVD" when the
   decomposition fails. */
TSFORGE_API int rank(double *A, int M, int N);
/* Least squares min ||A x - b|| for A (M x N, M >= N) and b (M), x (N); A and b are not
   changed. Singular values (for lls_qr the diagonal of R) at or below
   macheps max(M, N) times the largest count as zero.
   lls_normal: Cholesky of A^T A; -1 when it fails (x not written), else 0.
   lls_qr: Householder QR; -1 when R has a diagonal entry counted as zero (A is
   numerically rank-deficient; x not written), else 0. For M < N prints "M should be
   greater than or equal to N" and exits with status -1.
   lls_svd, lls_svd2: the minimum-norm solution through the pseudo-inverse, from svd or
   from minfit; their status (0, 15, or -1 for M < N). */
TSFORGE_API int lls_normal(double *A, double *b, int M, int N, double *x);
TSFORGE_API int lls_qr(double *A, double *b, int M, int N, double *x);
TSFORGE_API int lls_svd(double *A, double *b, int M, int N, double *x);
TSFORGE_API int lls_svd2(double *A, double *b, int M, int N, double *x);
/* SVD of the first N columns of W (M x (N + p), M >= N) with the left transformations
   applied to the last p columns instead of forming U: on return rows 0..N-1 of the first
   N columns hold V, rows 0..N-1 of the last p columns hold U^T times the input columns,
   q the singular values (not sorted). 0, 15 or -1 as svd. */
TSFORGE_API int minfit(double *W, int M, int N, int p, double *q);
/* Householder bidiagonalisation of A (M x N, M >= N) in place: the diagonal and the
   first superdiagonal hold the bidiagonal Bd; the reflection vectors v[1..] are stored
   below the diagonal (columns) and right of the superdiagonal (rows). bidiag_orth also
   returns U (M x M) and V (N x N), orthogonal, with A = U Bd V^T. For M < N both print
   "M should be greater than or equal to N" and exit with status 1. */
TSFORGE_API void bidiag(double *A, int M, int N);
TSFORGE_API void bidiag_orth(double *A, int M, int N, double *U, double *V);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_MATRIX_H */
