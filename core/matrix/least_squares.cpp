// Linear least squares min ||A x - b|| for M >= N: normal equations with Cholesky,
// Householder QR (Golub and Van Loan, Matrix Computations, 4th ed., section 5.3.3), and
// the pseudo-inverse through the singular value decomposition, formed either from U or
// by minfit's transformed right-hand side (Golub and Reinsch (1970)).
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using std::ptrdiff_t;
using std::size_t;

// Singular values at or below this are treated as zero: rounding makes the computed
// values of an exactly rank-deficient A about this large.
double negligible_singular_value(double qmax, int M, int N) {
  return macheps() * qmax * std::max(M, N);
}

// x = V diag(1/q) t over the columns whose q is above tol; work holds N doubles.
void pseudo_inverse_apply(const double *V, const double *q, const double *t, int N, double tol,
                          double *x, double *work) {
  for (int j = 0; j < N; ++j) work[j] = q[j] > tol ? t[j] / q[j] : 0.0;
  tsf_matrix::product_overwrite(V, work, x, N, N, 1, N, 1, 1);
}

}  // namespace

int lls_normal(double *A, double *b, int M, int N, double *x) {
  if (N <= 0) return 0;
  const size_t nn = static_cast<size_t>(N) * N;
  double *buf = tsf_matrix::scratch_doubles(static_cast<size_t>(M) * N + nn + 2 * static_cast<size_t>(N), "lls_normal");
  double *At = buf, *G = At + static_cast<size_t>(M) * N, *c = G + nn, *y = c + N;
  mtranspose(A, M, N, At);
  mmult(At, A, G, N, M, N);
  mmult(At, b, c, N, M, 1);
  int status = chol(G, N);
  if (status == 0) {
    for (int i = 0; i < N; ++i) {
      double s = c[i];
      for (int j = 0; j < i; ++j) s -= G[static_cast<ptrdiff_t>(j) * N + i] * y[j];
      y[i] = s / G[static_cast<ptrdiff_t>(i) * N + i];
    }
    for (int i = N - 1; i >= 0; --i) {
      const double *g = G + static_cast<ptrdiff_t>(i) * N;
      double s = y[i];
      for (int j = i + 1; j < N; ++j) s -= g[j] * x[j];
      x[i] = s / g[i];
    }
  }
  std::free(buf);
  return status;
}

int lls_qr(double *A, double *b, int M, int N, double *x) {
  if (M < N) {
    std::puts("M should be greater than or equal to N");
    std::fflush(stdout);
    std::exit(-1);
  }
  if (N <= 0) return 0;
  double *buf = tsf_matrix::scratch_doubles(static_cast<size_t>(M) * N + 2 * static_cast<size_t>(M) + N, "lls_qr");
  double *F = buf, *c = F + static_cast<size_t>(M) * N, *v = c + M, *beta = v + M;
  std::memcpy(F, A, static_cast<size_t>(M) * N * sizeof(double));
  std::memcpy(c, b, static_cast<size_t>(M) * sizeof(double));
  qrdecomp(F, M, N, beta);
  for (int j = 0; j < N; ++j) {
    v[0] = 1.0;
    for (int i = j + 1; i < M; ++i) v[i - j] = F[static_cast<ptrdiff_t>(i) * N + j];
    const double t = beta[j] * tsf_matrix::dot(v, c + j, M - j);
    for (int i = j; i < M; ++i) c[i] -= t * v[i - j];
  }
  double rmax = 0.0;
  for (int i = 0; i < N; ++i) rmax = std::max(rmax, std::fabs(F[static_cast<ptrdiff_t>(i) * N + i]));
  const double tol = negligible_singular_value(rmax, M, N);
  int status = 0;
  for (int i = 0; i < N; ++i) {
    if (!(std::fabs(F[static_cast<ptrdiff_t>(i) * N + i]) > tol)) status = -1;
  }
  if (status == 0) {
    for (int i = N - 1; i >= 0; --i) {
      const double *r = F + static_cast<ptrdiff_t>(i) * N;
      double s = c[i];
      for (int j = i + 1; j < N; ++j) s -= r[j] * x[j];
      x[i] = s / r[i];
    }
  }
  std::free(buf);
  return status;
}

int lls_svd(double *A, double *b, int M, int N, double *x) {
  if (N <= 0) return M < N ? -1 : 0;
  const size_t mn = M > 0 ? static_cast<size_t>(M) * N : 0, nn = static_cast<size_t>(N) * N;
  double *buf = tsf_matrix::scratch_doubles(mn + nn + 3 * static_cast<size_t>(N), "lls_svd");
  double *U = buf, *V = U + mn, *q = V + nn, *t = q + N, *work = t + N;
  int status = svd(A, M, N, U, V, q);
  if (status == 0) {
    // t = U^T b as the row vector b^T U.
    tsf_matrix::product_overwrite(b, U, t, 1, M, N, M, N, N);
    pseudo_inverse_apply(V, q, t, N, negligible_singular_value(q[0], M, N), x, work);
  }
  std::free(buf);
  return status;
}

int lls_svd2(double *A, double *b, int M, int N, double *x) {
  if (N <= 0) return M < N ? -1 : 0;
  const ptrdiff_t ld = N + 1;
  const size_t nn = static_cast<size_t>(N) * N;
  double *buf = tsf_matrix::scratch_doubles(static_cast<size_t>(M) * ld + nn + 3 * static_cast<size_t>(N), "lls_svd2");
  double *W = buf, *V = W + static_cast<size_t>(M) * ld, *q = V + nn, *t = q + N, *work = t + N;
  for (int i = 0; i < M; ++i) {
    std::memcpy(W + i * ld, A + static_cast<ptrdiff_t>(i) * N, static_cast<size_t>(N) * sizeof(double));
    W[i * ld + N] = b[i];
  }
  int status = minfit(W, M, N, 1, q);
  if (status == 0) {
    for (int i = 0; i < N; ++i) {
      std::memcpy(V + static_cast<size_t>(i) * N, W + i * ld, static_cast<size_t>(N) * sizeof(double));
      t[i] = W[i * ld + N];
    }
    const double qmax = array_max_abs(q, N);
    pseudo_inverse_apply(V, q, t, N, negligible_singular_value(qmax, M, N), x, work);
  }
  std::free(buf);
  return status;
}
