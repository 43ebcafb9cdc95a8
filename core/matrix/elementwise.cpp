// Element-wise matrix arithmetic: sums, differences, scaling, strided and recursive
// strided sums, and the identity.
#include "core/matrix/matrix.h"

#include <cstddef>

namespace {

using std::ptrdiff_t;

ptrdiff_t element_count(int M, int N) {
  return (M > 0 && N > 0) ? static_cast<ptrdiff_t>(M) * N : 0;
}

// C = A + B or C = A - B over an M x N strided view.
template <bool Subtract>
void combine_stride(const double *A, const double *B, double *C, int M, int N, ptrdiff_t lda,
                    ptrdiff_t ldb, ptrdiff_t ldc) {
  for (int i = 0; i < M; ++i) {
    const double *a = A + i * lda;
    const double *b = B + i * ldb;
    double *c = C + i * ldc;
    for (int j = 0; j < N; ++j) c[j] = Subtract ? a[j] - b[j] : a[j] + b[j];
  }
}

template <bool Subtract>
void combine_stride_recursive(const double *A, const double *B, double *C, int M, int N, int P,
                              ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  if (M <= 0 || N <= 0) return;
  if (static_cast<double>(M) + N + P <= 192.0 || (M == 1 && N == 1)) {
    combine_stride<Subtract>(A, B, C, M, N, lda, ldb, ldc);
    return;
  }
  int m = M / 2, n = N / 2, p = P / 2;
  combine_stride_recursive<Subtract>(A, B, C, m, n, p, lda, ldb, ldc);
  combine_stride_recursive<Subtract>(A + n, B + n, C + n, m, N - n, p, lda, ldb, ldc);
  combine_stride_recursive<Subtract>(A + m * lda, B + m * ldb, C + m * ldc, M - m, n, p, lda, ldb,
                                     ldc);
  combine_stride_recursive<Subtract>(A + m * lda + n, B + m * ldb + n, C + m * ldc + n, M - m,
                                     N - n, p, lda, ldb, ldc);
}

}  // namespace

void madd(double *A, double *B, double *C, int M, int N) {
  ptrdiff_t n = element_count(M, N);
  for (ptrdiff_t i = 0; i < n; ++i) C[i] = A[i] + B[i];
}

void msub(double *A, double *B, double *C, int M, int N) {
  ptrdiff_t n = element_count(M, N);
  for (ptrdiff_t i = 0; i < n; ++i) C[i] = A[i] - B[i];
}

void scale(double *A, int M, int N, double alpha) {
  ptrdiff_t n = element_count(M, N);
  for (ptrdiff_t i = 0; i < n; ++i) A[i] = alpha * A[i];
}

void madd_stride(double *A, double *B, double *C, int M, int N, int lda, int ldb, int ldc) {
  combine_stride<false>(A, B, C, M, N, lda, ldb, ldc);
}

void msub_stride(double *A, double *B, double *C, int M, int N, int lda, int ldb, int ldc) {
  combine_stride<true>(A, B, C, M, N, lda, ldb, ldc);
}

void rmadd_stride(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb, int ldc) {
  combine_stride_recursive<false>(A, B, C, M, N, P, lda, ldb, ldc);
}

void rmsub_stride(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb, int ldc) {
  combine_stride_recursive<true>(A, B, C, M, N, P, lda, ldb, ldc);
}

void eye(double *A, int N) {
  ptrdiff_t n = element_count(N, N);
  for (ptrdiff_t i = 0; i < n; ++i) A[i] = 0.0;
  for (int i = 0; i < N; ++i) A[static_cast<ptrdiff_t>(i) * N + i] = 1.0;
}
