// Cholesky factorisations of symmetric matrices held in full row-major storage, reading
// the upper triangle only: A = U^T U by outer products (Golub and Van Loan, Matrix
// Computations, 4th ed., algorithm 4.2.2) and by blocks of 64 whose trailing update is a
// matrix product (section 4.2.9), A = U^T D U without square roots (section 4.1.2), and
// the incomplete factor that keeps the zeros of A (Meijerink and van der Vorst (1977)).
//
// The blocked form makes the same operations as the unblocked one in the same order:
// every trailing element receives its outer-product terms one at a time in increasing
// step, through the product kernel's k-ordered accumulation, so both give the same bits.
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace {

using std::ptrdiff_t;
using std::size_t;

constexpr int kBlock = 64;
// Rows of the trailing update handled per product call: the part left of the diagonal
// that is computed and never read stays a thin staircase.
constexpr int kUpdateRows = 8;

void zero_strict_lower(double *A, int N) {
  for (int i = 1; i < N; ++i) {
    double *row = A + static_cast<ptrdiff_t>(i) * N;
    for (int j = 0; j < i; ++j) row[j] = 0.0;
  }
}

// Trailing upper triangle of the n x n view minus a a^T, with a = row 0 past the pivot.
// Adding (-a_i) a_j rounds exactly as subtracting a_i a_j.
template <bool KeepZeros>
void outer_update(double *A, int n, ptrdiff_t stride) {
  const double *a = A + 1;
  for (int i = 0; i < n - 1; ++i) {
    double *row = A + (i + 1) * stride + 1;
    const double na = -a[i];
    if (KeepZeros && na == 0.0) continue;
    for (int j = i; j < n - 1; ++j) {
      if (KeepZeros && row[j] == 0.0) continue;
      row[j] += na * a[j];
    }
  }
}

template <bool KeepZeros>
int outer_product_cholesky(double *A, int n, ptrdiff_t stride) {
  for (int step = 0; step < n; ++step) {
    double *D = A + step * (stride + 1);
    const int m = n - step;
    if (!(D[0] > 0.0)) return -1;
    D[0] = std::sqrt(D[0]);
    for (int j = 1; j < m; ++j) {
      if (KeepZeros && D[j] == 0.0) continue;
      D[j] = D[j] / D[0];
    }
    outer_update<KeepZeros>(D, m, stride);
  }
  return 0;
}

// Rows 0..b-1 of the b x w panel P (stride) become the solution X of U^T X = P, U the
// b x b factor above it: row k subtracts U[j][k] row j for j < k in increasing j, then
// divides by U[k][k], which is what the outer-product steps do to these entries.
void solve_panel(const double *U, double *P, int b, int w, ptrdiff_t stride) {
  for (int k = 0; k < b; ++k) {
    double *row = P + k * stride;
    for (int j = 0; j < k; ++j) {
      const double nu = -U[j * stride + k];
      const double *src = P + j * stride;
      for (int c = 0; c < w; ++c) row[c] += nu * src[c];
    }
    const double d = U[k * stride + k];
    for (int c = 0; c < w; ++c) row[c] = row[c] / d;
  }
}

// Upper triangle of the t x t view T minus X^T X, X the b x t panel; work holds t*b.
void panel_update(const double *X, double *T, int b, int t, ptrdiff_t stride, double *work) {
  for (int i = 0; i < t; ++i) {
    for (int k = 0; k < b; ++k) work[static_cast<ptrdiff_t>(i) * b + k] = -X[k * stride + i];
  }
  for (int i0 = 0; i0 < t; i0 += kUpdateRows) {
    const int rows = t - i0 < kUpdateRows ? t - i0 : kUpdateRows;
    tsf_matrix::product_accumulate(work + static_cast<ptrdiff_t>(i0) * b, X + i0,
                                   T + i0 * stride + i0, rows, b, t - i0, b, stride, stride);
  }
}

int square_root_free(double *A, int n, ptrdiff_t stride) {
  for (int step = 0; step < n - 1; ++step) {
    double *D = A + step * (stride + 1);
    const int m = n - step;
    const double d = D[0];
    if (d == 0.0) {
      // A zero pivot is consistent only with a zero row: its multipliers are then 0.
      for (int j = 1; j < m; ++j) {
        if (D[j] != 0.0) return -1;
      }
      continue;
    }
    for (int j = 1; j < m; ++j) D[j] = D[j] / d;
    const double *a = D + 1;
    for (int i = 0; i < m - 1; ++i) {
      double *row = D + (i + 1) * stride + 1;
      const double nda = -(d * a[i]);
      for (int j = i; j < m - 1; ++j) row[j] += nda * a[j];
    }
  }
  return 0;
}

}  // namespace

int rcholu(double *A, int n, int stride, double *work) {
  (void)work;
  if (n <= 0) return 0;
  return outer_product_cholesky<false>(A, n, stride);
}

int rbcholu(double *A, int n, int stride, double *work) {
  for (int off = 0;; off += kBlock) {
    double *D = A + static_cast<ptrdiff_t>(off) * (stride + 1);
    const int m = n - off;
    if (m <= kBlock) return rcholu(D, m, stride, nullptr);
    if (rcholu(D, kBlock, stride, nullptr) != 0) return -1;
    const int t = m - kBlock;
    solve_panel(D, D + kBlock, kBlock, t, stride);
    panel_update(D + kBlock, D + static_cast<ptrdiff_t>(kBlock) * stride + kBlock, kBlock, t,
                 stride, work);
  }
}

int cholu(double *A, int N) {
  if (N <= 0) return 0;
  int r = rcholu(A, N, N, nullptr);
  zero_strict_lower(A, N);
  return r;
}

int bcholu(double *A, int N) {
  if (N <= 0) return 0;
  double *work = tsf_matrix::scratch_doubles(static_cast<size_t>(N) * kBlock, "bcholu");
  int r = rbcholu(A, N, N, work);
  zero_strict_lower(A, N);
  std::free(work);
  return r;
}

int chol(double *A, int N) { return N <= kBlock ? cholu(A, N) : bcholu(A, N); }

int rchold(double *A, int n, int stride, double *work) {
  (void)work;
  if (n <= 0) return 0;
  return square_root_free(A, n, stride);
}

int chold(double *A, int N) {
  if (N <= 0) return 0;
  int r = rchold(A, N, N, nullptr);
  zero_strict_lower(A, N);
  return r;
}

int richolu(double *A, int n, int stride, double *work) {
  (void)work;
  if (n <= 0) return 0;
  return outer_product_cholesky<true>(A, n, stride);
}

int icholu(double *A, int N) {
  if (N <= 0) return 0;
  int r = richolu(A, N, N, nullptr);
  zero_strict_lower(A, N);
  return r;
}

int ichol(double *A, int N) { return icholu(A, N); }
