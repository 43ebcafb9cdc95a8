// Transposition: plain double loop, recursive cache-oblivious blocking (leaf blocks of at
// most 64 x 64, after Frigo, Leiserson, Prokop and Ramachandran (1999)) and a
// diagonal-by-diagonal walk.
#include "core/matrix/matrix.h"

#include <cmath>
#include <cstddef>

namespace {

using std::ptrdiff_t;

void transpose_view(const double *A, int m, int n, double *B, ptrdiff_t ldB, ptrdiff_t ldA) {
  if (m <= 0 || n <= 0) return;
  if (m <= 64 && n <= 64) {
    for (int i = 0; i < m; ++i) {
      for (int j = 0; j < n; ++j) B[j * ldB + i] = A[i * ldA + j];
    }
    return;
  }
  if (n >= m) {
    int h = static_cast<int>(std::ceil(n / 2.0));
    transpose_view(A, m, h, B, ldB, ldA);
    transpose_view(A + h, m, n - h, B + h * ldB, ldB, ldA);
  } else {
    int h = static_cast<int>(std::ceil(m / 2.0));
    transpose_view(A, h, n, B, ldB, ldA);
    transpose_view(A + h * ldA, m - h, n, B + h, ldB, ldA);
  }
}

}  // namespace

void stranspose(double *A, int M, int N, double *B) {
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < N; ++j) B[static_cast<ptrdiff_t>(j) * M + i] = A[static_cast<ptrdiff_t>(i) * N + j];
  }
}

void rtranspose(double *A, int m, int n, double *B, int ldB, int ldA) {
  transpose_view(A, m, n, B, ldB, ldA);
}

void ctranspose(double *A, int M, int N, double *B) {
  if (M >= 64 || N >= 64) {
    transpose_view(A, M, N, B, M, N);
  } else {
    stranspose(A, M, N, B);
  }
}

void mtranspose(double *A, int M, int N, double *B) {
  if (M >= 1024 && N >= 1024) {
    ctranspose(A, M, N, B);
  } else {
    stranspose(A, M, N, B);
  }
}

void dtranspose(double *A, int M, int N, double *B) {
  if (M <= 0 || N <= 0) return;
  const ptrdiff_t lda = N, ldb = M;
  const int cap = M < N ? M : N;
  int L = 0;
  // Diagonal d = j - i; below and on the main diagonal the length grows, above it
  // shrinks once the diagonal runs into the right edge of A.
  for (int d = -(M - 1); d <= 0; ++d) {
    if (L < cap) ++L;
    for (int k = 0; k < L; ++k) B[k * ldb + (k - d)] = A[(k - d) * lda + k];
  }
  for (int d = 1; d <= N - 1; ++d) {
    if (M + d - N > 0) --L;
    for (int k = 0; k < L; ++k) B[(k + d) * ldb + k] = A[k * lda + k + d];
  }
}
