// Householder reflections and what is built from them: the Householder vector, QR
// factorisation with backward accumulation of Q, and reduction to upper Hessenberg form
// (Golub and Van Loan, Matrix Computations, 4th ed., algorithms 5.1.1, 5.2.1, 5.1.5 and
// 7.4.2).
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

using std::ptrdiff_t;
using std::size_t;

// Copies column col of rows r0..M-1 of the row-major array A (row length ld) into x.
void copy_column(const double *A, ptrdiff_t ld, int r0, int M, int col, double *x) {
  for (int i = r0; i < M; ++i) x[i - r0] = A[i * ld + col];
}

}  // namespace

namespace tsf_matrix {

double dot(const double *x, const double *y, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += x[i] * y[i];
  return s;
}

void reflect_left(double beta, const double *v, double *B, int m, int n, ptrdiff_t ldb,
                  double *work) {
  if (beta == 0.0 || m <= 0 || n <= 0) return;
  product_overwrite(v, B, work, 1, m, n, m, ldb, n);
  // -(beta w) is exact negation, so B + v (-w)^T rounds as B - v w^T.
  for (int j = 0; j < n; ++j) work[j] = -(beta * work[j]);
  product_accumulate(v, work, B, m, 1, n, 1, n, ldb);
}

void reflect_right(double beta, const double *v, double *B, int m, int n, ptrdiff_t ldb,
                   double *work) {
  if (beta == 0.0 || m <= 0 || n <= 0) return;
  product_overwrite(B, v, work, m, n, 1, ldb, 1, 1);
  for (int i = 0; i < m; ++i) work[i] = -(beta * work[i]);
  product_accumulate(work, v, B, m, 1, n, 1, n, ldb);
}

}  // namespace tsf_matrix

double house(double *x, int n, double *v) {
  if (n <= 0) return 0.0;
  const double sigma = n > 1 ? tsf_matrix::dot(x + 1, x + 1, n - 1) : 0.0;
  v[0] = 1.0;
  for (int i = 1; i < n; ++i) v[i] = x[i];
  if (sigma == 0.0) {
    // x is already a multiple of e1; for x[0] < 0 the reflection I - 2 e1 e1^T turns it
    // into |x[0]| e1, like every other x.
    return x[0] < 0.0 ? 2.0 : 0.0;
  }
  const double mu = std::sqrt(x[0] * x[0] + sigma);
  // For x[0] > 0 the form -sigma / (x[0] + mu) avoids cancelling x[0] - mu.
  const double nu = x[0] <= 0.0 ? x[0] - mu : -sigma / (x[0] + mu);
  const double beta = 2.0 * nu * nu / (sigma + nu * nu);
  for (int i = 1; i < n; ++i) v[i] = v[i] / nu;
  return beta;
}

double house_2(double *x, int n, double *v) {
  if (n <= 0) return 2.0;
  const double norm = l2norm(x, n);
  // The sign of x[0], +1 for 0: the reflection then maps x to -norm e1.
  const double s = x[0] < 0.0 ? -1.0 : 1.0;
  for (int i = 0; i < n; ++i) v[i] = x[i];
  v[0] = v[0] + s * norm;
  const double vnorm = l2norm(v, n);
  if (vnorm == 0.0) {
    // x = 0: any unit vector gives a reflection that maps it to 0; take e1.
    for (int i = 1; i < n; ++i) v[i] = 0.0;
    v[0] = 1.0;
    return 2.0;
  }
  for (int i = 0; i < n; ++i) v[i] = v[i] / vnorm;
  return 2.0;
}

void housemat(double *v, int n, double beta, double *H) {
  if (n <= 0) return;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      H[static_cast<ptrdiff_t>(i) * n + j] = (i == j ? 1.0 : 0.0) - beta * v[i] * v[j];
    }
  }
}

void qrdecomp(double *A, int M, int N, double *beta) {
  if (M < N) {
    std::puts("M should be greater than or equal to N");
    std::fflush(stdout);
    std::exit(1);
  }
  if (N <= 0) return;
  double *x = tsf_matrix::scratch_doubles(2 * static_cast<size_t>(M) + N, "qrdecomp");
  double *v = x + M, *w = v + M;
  for (int j = 0; j < N; ++j) {
    copy_column(A, N, j, M, j, x);
    beta[j] = house(x, M - j, v);
    double *B = A + static_cast<ptrdiff_t>(j) * N + j;
    tsf_matrix::reflect_left(beta[j], v, B, M - j, N - j, N, w);
    for (int i = j + 1; i < M; ++i) A[static_cast<ptrdiff_t>(i) * N + j] = v[i - j];
  }
  std::free(x);
}

void getQR(double *A, int M, int N, double *beta, double *Q, double *R) {
  if (M <= 0 || N <= 0) return;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      R[static_cast<ptrdiff_t>(i) * N + j] = j >= i ? A[static_cast<ptrdiff_t>(i) * N + j] : 0.0;
    }
  }
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < N; ++j) Q[static_cast<ptrdiff_t>(i) * N + j] = i == j ? 1.0 : 0.0;
  }
  double *v = tsf_matrix::scratch_doubles(static_cast<size_t>(M) + N, "getQR");
  double *w = v + M;
  for (int j = N - 1; j >= 0; --j) {
    v[0] = 1.0;
    copy_column(A, N, j + 1, M, j, v + 1);
    double *B = Q + static_cast<ptrdiff_t>(j) * N + j;
    tsf_matrix::reflect_left(beta[j], v, B, M - j, N - j, N, w);
  }
  std::free(v);
}

void hessenberg(double *A, int N) {
  if (N < 3) return;
  double *x = tsf_matrix::scratch_doubles(3 * static_cast<size_t>(N), "hessenberg");
  double *v = x + N, *w = v + N;
  for (int k = 0; k < N - 2; ++k) {
    const int m = N - k - 1;
    copy_column(A, N, k + 1, N, k, x);
    const double beta = house(x, m, v);
    tsf_matrix::reflect_left(beta, v, A + static_cast<ptrdiff_t>(k + 1) * N + k, m, N - k, N, w);
    tsf_matrix::reflect_right(beta, v, A + k + 1, N, m, N, w);
  }
  std::free(x);
}
