// LU factorisation with partial pivoting by rows (Doolittle form, Golub and Van Loan,
// Matrix Computations, algorithm 3.4.1), solution from the factors and inversion.
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

using std::ptrdiff_t;

// Row of the largest |A[j][col]| for j >= col; ties keep the upper row.
int pivot_row(const double *A, int N, int col) {
  int r = col;
  double best = std::fabs(A[static_cast<ptrdiff_t>(col) * N + col]);
  for (int j = col + 1; j < N; ++j) {
    double v = std::fabs(A[static_cast<ptrdiff_t>(j) * N + col]);
    if (v > best) {
      best = v;
      r = j;
    }
  }
  return r;
}

void swap_rows(double *A, int N, int r1, int r2) {
  double *a = A + static_cast<ptrdiff_t>(r1) * N;
  double *b = A + static_cast<ptrdiff_t>(r2) * N;
  for (int k = 0; k < N; ++k) {
    double t = a[k];
    a[k] = b[k];
    b[k] = t;
  }
}

}  // namespace

static void pludecomp(double *A, int N, int *ipiv) {
  for (int i = 0; i < N; ++i) ipiv[i] = i;
  for (int i = 0; i < N - 1; ++i) {
    int r = pivot_row(A, N, i);
    if (r != i) {
      int t = ipiv[i];
      ipiv[i] = ipiv[r];
      ipiv[r] = t;
      swap_rows(A, N, i, r);
    }
    const double *ai = A + static_cast<ptrdiff_t>(i) * N;
    // An exact zero pivot leaves the column as it is; linsolve reports the singularity.
    if (ai[i] == 0.0) continue;
    for (int j = i + 1; j < N; ++j) {
      double *aj = A + static_cast<ptrdiff_t>(j) * N;
      double l = aj[i] / ai[i];
      aj[i] = l;
      for (int k = i + 1; k < N; ++k) aj[k] = aj[k] - l * ai[k];
    }
  }
}

void ludecomp(double *A, int N, int *ipiv) {
  if (N <= 0) return;
  pludecomp(A, N, ipiv);
}

void linsolve(double *A, int N, double *b, int *ipiv, double *x) {
  if (N <= 0) return;
  // x first holds the forward-substitution vector y, then is overwritten in place by the
  // back substitution, whose entries below i are final when row i is solved.
  for (int i = 0; i < N; ++i) x[i] = 0.0;
  for (int i = 0; i < N; ++i) {
    if (A[static_cast<ptrdiff_t>(i) * N + i] == 0.0) {
      std::printf("The Matrix system does not have a unique solution");
      return;
    }
  }
  x[0] = b[ipiv[0]];
  for (int i = 1; i < N; ++i) {
    const double *ai = A + static_cast<ptrdiff_t>(i) * N;
    double s = 0.0;
    for (int j = 0; j < i; ++j) s += ai[j] * x[j];
    x[i] = b[ipiv[i]] - s;
  }
  x[N - 1] = x[N - 1] / A[static_cast<ptrdiff_t>(N - 1) * N + (N - 1)];
  for (int i = N - 2; i >= 0; --i) {
    const double *ai = A + static_cast<ptrdiff_t>(i) * N;
    double s = 0.0;
    for (int j = i + 1; j < N; ++j) s += ai[j] * x[j];
    x[i] = (x[i] - s) / ai[i];
  }
}

void minverse(double *A, int N, int *ipiv, double *Ainv) {
  if (N <= 0) return;
  double *e = tsf_matrix::scratch_doubles(2 * static_cast<std::size_t>(N), "minverse");
  double *x = e + N;
  for (int i = 0; i < 2 * N; ++i) e[i] = 0.0;
  for (int i = 0; i < N; ++i) {
    e[i] = 1.0;
    linsolve(A, N, e, ipiv, x);
    for (int j = 0; j < N; ++j) Ainv[static_cast<ptrdiff_t>(j) * N + i] = x[j];
    e[i] = 0.0;
  }
  std::free(e);
}
