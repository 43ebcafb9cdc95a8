// Matrix products: the dispatcher, the direct loop, the product through a transposed
// copy, and the recursive accumulating product (cache-oblivious splitting of the largest
// dimension, Frigo, Leiserson, Prokop and Ramachandran (1999)).
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace tsf_matrix {

void product_overwrite(const double *A, const double *B, double *C, int M, int N, int P,
                       std::ptrdiff_t lda, std::ptrdiff_t ldb, std::ptrdiff_t ldc) {
  for (int i = 0; i < M; ++i) {
    double *__restrict c = C + i * ldc;
    for (int j = 0; j < P; ++j) c[j] = 0.0;
  }
  product_accumulate(A, B, C, M, N, P, lda, ldb, ldc);
}

void product_accumulate(const double *A, const double *B, double *C, int M, int N, int P,
                        std::ptrdiff_t lda, std::ptrdiff_t ldb, std::ptrdiff_t ldc) {
  for (int i = 0; i < M; ++i) {
    double *__restrict c = C + i * ldc;
    const double *a = A + i * lda;
    for (int k = 0; k < N; ++k) {
      const double aik = a[k];
      const double *__restrict b = B + k * ldb;
      for (int j = 0; j < P; ++j) c[j] += aik * b[j];
    }
  }
}

}  // namespace tsf_matrix

namespace {

using std::ptrdiff_t;
using std::size_t;

// Largest M * P of a product with M + N + P <= 96 and N >= 1.
constexpr int kDirectOutputMax = 47 * 48;

void recursive_accumulate(const double *A, const double *B, double *C, int m, int n, int p,
                          ptrdiff_t s1, ptrdiff_t s2, ptrdiff_t s3) {
  if (m <= 0 || n <= 0 || p <= 0) return;
  if (static_cast<double>(m) + n + p <= 192.0) {
    tsf_matrix::product_accumulate(A, B, C, m, n, p, s2, s3, s3);
    return;
  }
  if (m >= n && m >= p) {
    int h = static_cast<int>(std::ceil(m / 2.0));
    recursive_accumulate(A, B, C, h, n, p, s1, s2, s3);
    recursive_accumulate(A + h * s2, B, C + h * s3, m - h, n, p, s1, s2, s3);
  } else if (n >= p) {
    int h = static_cast<int>(std::ceil(n / 2.0));
    recursive_accumulate(A, B, C, m, h, p, s1, s2, s3);
    recursive_accumulate(A + h, B + h * s3, C, m, n - h, p, s1, s2, s3);
  } else {
    int h = static_cast<int>(std::ceil(p / 2.0));
    recursive_accumulate(A, B, C, m, n, h, s1, s2, s3);
    recursive_accumulate(A, B + h, C + h, m, n, p - h, s1, s2, s3);
  }
}

}  // namespace

void nmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  tsf_matrix::product_overwrite(A, B, C, M, N > 0 ? N : 0, P, N, P, P);
}

void mmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  if (static_cast<double>(M) + N + P > 96.0) {
    smult(A, B, C, M, N, P);
    return;
  }
  const size_t nc = static_cast<size_t>(M) * P;
  const size_t na = N > 0 ? static_cast<size_t>(M) * N : 0;
  const size_t nb = N > 0 ? static_cast<size_t>(N) * P : 0;
  if (!tsf_matrix::ranges_overlap(C, nc, A, na) && !tsf_matrix::ranges_overlap(C, nc, B, nb)) {
    nmult(A, B, C, M, N, P);
    return;
  }
  // C shares memory with an operand: form the product on the stack, then copy it out.
  double product[kDirectOutputMax];
  nmult(A, B, product, M, N, P);
  std::memcpy(C, product, nc * sizeof(double));
}

void tmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  if (N <= 0) {
    for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(M) * P; ++i) C[i] = 0.0;
    return;
  }
  double *BT = tsf_matrix::scratch_doubles(static_cast<size_t>(P) * N, "tmult");
  mtranspose(B, N, P, BT);
  for (int i = 0; i < M; ++i) {
    const double *a = A + static_cast<ptrdiff_t>(i) * N;
    for (int j = 0; j < P; ++j) {
      const double *bt = BT + static_cast<ptrdiff_t>(j) * N;
      double s = 0.0;
      for (int k = 0; k < N; ++k) s += a[k] * bt[k];
      C[static_cast<ptrdiff_t>(i) * P + j] = s;
    }
  }
  std::free(BT);
}

void recmult(double *A, double *B, double *C, int m, int n, int p, int s1, int s2, int s3) {
  recursive_accumulate(A, B, C, m, n, p, s1, s2, s3);
}

void rmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(M) * P; ++i) C[i] = 0.0;
  recmult(A, B, C, M, N, P, M, N, P);
}
