// Householder bidiagonalisation (Golub and Kahan (1965); Golub and Van Loan, Matrix
// Computations, 4th ed., algorithm 5.4.2), with or without the orthogonal factors.
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

using std::ptrdiff_t;
using std::size_t;

void reject_wide(int M, int N) {
  if (M >= N) return;
  std::puts("M should be greater than or equal to N");
  std::fflush(stdout);
  std::exit(1);
}

// The reduction in place; with U and V given, U = H_0 H_1 ... and V = G_0 G_1 ... are
// accumulated from the right, so that A = U Bd V^T.
void reduce(double *A, int M, int N, double *U, double *V, const char *who) {
  if (N <= 0) return;
  double *x = tsf_matrix::scratch_doubles(3 * static_cast<size_t>(M), who);
  double *v = x + M, *w = v + M;
  for (int j = 0; j < N; ++j) {
    double *Ajj = A + static_cast<ptrdiff_t>(j) * N + j;
    for (int i = j; i < M; ++i) x[i - j] = A[static_cast<ptrdiff_t>(i) * N + j];
    double beta = house(x, M - j, v);
    tsf_matrix::reflect_left(beta, v, Ajj, M - j, N - j, N, w);
    for (int i = j + 1; i < M; ++i) A[static_cast<ptrdiff_t>(i) * N + j] = v[i - j];
    if (U != nullptr) tsf_matrix::reflect_right(beta, v, U + j, M, M - j, M, w);
    if (j >= N - 2) continue;
    const int n = N - j - 1;
    for (int k = 0; k < n; ++k) x[k] = Ajj[1 + k];
    beta = house(x, n, v);
    tsf_matrix::reflect_right(beta, v, Ajj + 1, M - j, n, N, w);
    for (int k = 1; k < n; ++k) Ajj[1 + k] = v[k];
    if (V != nullptr) tsf_matrix::reflect_right(beta, v, V + j + 1, N, n, N, w);
  }
  std::free(x);
}

}  // namespace

void bidiag(double *A, int M, int N) {
  reject_wide(M, N);
  reduce(A, M, N, nullptr, nullptr, "bidiag");
}

void bidiag_orth(double *A, int M, int N, double *U, double *V) {
  reject_wide(M, N);
  if (N <= 0) return;
  eye(U, M);
  eye(V, N);
  reduce(A, M, N, U, V, "bidiag_orth");
}
