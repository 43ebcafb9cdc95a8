// Strassen's product (Strassen (1969)) on zero-padded copies: the sizes are rounded up
// to multiples of 2^k so every level of the recursion splits into equal quadrants, and
// sub-problems whose sizes sum to at most 192 use the direct loop.
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace {

using std::ptrdiff_t;
using std::size_t;

// C = X + Y, C = X - Y and C = C + (X - Y) on m x p views.
void add_views(const double *X, ptrdiff_t ldx, const double *Y, ptrdiff_t ldy, double *C,
               ptrdiff_t ldc, int m, int p) {
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < p; ++j) C[i * ldc + j] = X[i * ldx + j] + Y[i * ldy + j];
  }
}

void sub_views(const double *X, ptrdiff_t ldx, const double *Y, ptrdiff_t ldy, double *C,
               ptrdiff_t ldc, int m, int p) {
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < p; ++j) C[i * ldc + j] = X[i * ldx + j] - Y[i * ldy + j];
  }
}

// The combination of the seven products, one pass over the four quadrants: per element
// C11 = (X1 + C11) + (X3 - C12), C22 = (X1 + C22) + (X2 - C21), C12 = X2 + C12,
// C21 = X3 + C21, with C12 and C21 read before they change. The roundings are those of
// six separate passes in this order; one pass moves half the memory.
void combine_quadrants(const double *X1, const double *X2, const double *X3, ptrdiff_t ldx,
                       double *C, ptrdiff_t ldc, int m, int p) {
  for (int i = 0; i < m; ++i) {
    const double *x1 = X1 + i * ldx, *x2 = X2 + i * ldx, *x3 = X3 + i * ldx;
    double *__restrict c11 = C + i * ldc;
    double *__restrict c12 = c11 + p;
    double *__restrict c21 = C + (m + i) * ldc;
    double *__restrict c22 = c21 + p;
    for (int j = 0; j < p; ++j) {
      const double old12 = c12[j], old21 = c21[j];
      c11[j] = (x1[j] + c11[j]) + (x3[j] - old12);
      c22[j] = (x1[j] + c22[j]) + (x2[j] - old21);
      c12[j] = x2[j] + old12;
      c21[j] = x3[j] + old21;
    }
  }
}

// A view and its row stride.
struct view {
  const double *p;
  ptrdiff_t ld;
};

// Operand of one of the seven products: either a quadrant used as it is, or the sum or
// difference of two quadrants held in a fresh scratch array.
struct operand {
  view v;
  double *owned = nullptr;
  operand(view q) : v(q) {}
  operand(view x, view y, bool subtract, int rows, int cols) {
    owned = tsf_matrix::scratch_doubles(static_cast<size_t>(rows) * cols, "srecmult");
    if (subtract) {
      sub_views(x.p, x.ld, y.p, y.ld, owned, cols, rows, cols);
    } else {
      add_views(x.p, x.ld, y.p, y.ld, owned, cols, rows, cols);
    }
    v = view{owned, cols};
  }
  ~operand() { std::free(owned); }
  operand(const operand &) = delete;
  operand &operator=(const operand &) = delete;
};

void strassen(const double *A, const double *B, double *C, int M, int N, int P, ptrdiff_t lda,
              ptrdiff_t ldb, ptrdiff_t ldc);

// out = left * right, one of the seven half-size products.
void half_product(const operand &left, const operand &right, double *out, ptrdiff_t ldo, int m,
                  int n, int p) {
  strassen(left.v.p, right.v.p, out, m, n, p, left.v.ld, right.v.ld, ldo);
}

void strassen(const double *A, const double *B, double *C, int M, int N, int P, ptrdiff_t lda,
              ptrdiff_t ldb, ptrdiff_t ldc) {
  // Odd sizes cannot be split into equal quadrants; findrec's sizes never are odd here,
  // but a direct caller's may be, and the direct loop is then the exact alternative.
  const bool odd = (M % 2) != 0 || (N % 2) != 0 || (P % 2) != 0;
  if (static_cast<double>(M) + N + P <= 192.0 || odd) {
    tsf_matrix::product_overwrite(A, B, C, M, N, P, lda, ldb, ldc);
    return;
  }
  const int m = M / 2, n = N / 2, p = P / 2;
  const view A11{A, lda}, A12{A + n, lda}, A21{A + m * lda, lda}, A22{A + m * lda + n, lda};
  const view B11{B, ldb}, B12{B + p, ldb}, B21{B + n * ldb, ldb}, B22{B + n * ldb + p, ldb};
  double *C11 = C, *C12 = C + p, *C21 = C + m * ldc, *C22 = C + m * ldc + p;
  const size_t mp = static_cast<size_t>(m) * p;
  double *X1 = tsf_matrix::scratch_doubles(mp, "srecmult");
  double *X2 = tsf_matrix::scratch_doubles(mp, "srecmult");
  double *X3 = tsf_matrix::scratch_doubles(mp, "srecmult");

  half_product(operand(A11, A22, false, m, n), operand(B11, B22, false, n, p), X1, p, m, n, p);
  half_product(operand(A21, A22, false, m, n), operand(B11), C21, ldc, m, n, p);
  half_product(operand(A11), operand(B12, B22, true, n, p), X2, p, m, n, p);
  half_product(operand(A22), operand(B21, B11, true, n, p), X3, p, m, n, p);
  half_product(operand(A11, A12, false, m, n), operand(B22), C12, ldc, m, n, p);
  half_product(operand(A21, A11, true, m, n), operand(B11, B12, false, n, p), C22, ldc, m, n, p);
  half_product(operand(A12, A22, true, m, n), operand(B21, B22, false, n, p), C11, ldc, m, n, p);

  combine_quadrants(X1, X2, X3, p, C, ldc, m, p);
  std::free(X1);
  std::free(X2);
  std::free(X3);
}

}  // namespace

int findrec(int *M, int *N, int *P) {
  int k = 0, f = 1;
  while (static_cast<double>(*M) + *N + *P > 192.0) {
    ++k;
    f *= 2;
    *M = static_cast<int>(std::ceil(*M / 2.0));
    *N = static_cast<int>(std::ceil(*N / 2.0));
    *P = static_cast<int>(std::ceil(*P / 2.0));
  }
  *M *= f;
  *N *= f;
  *P *= f;
  return k;
}

void add_zero_pad(double *A, int M, int N, int zrows, int zcols, double *X) {
  const int cols = N + zcols;
  for (int i = 0; i < M + zrows; ++i) {
    double *x = X + static_cast<ptrdiff_t>(i) * cols;
    const double *a = A + static_cast<ptrdiff_t>(i) * N;
    for (int j = 0; j < cols; ++j) x[j] = (i < M && j < N) ? a[j] : 0.0;
  }
}

void remove_zero_pad(double *X, int M, int N, int zrows, int zcols, double *C) {
  const int rows = M - zrows, cols = N - zcols;
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) C[static_cast<ptrdiff_t>(i) * cols + j] = X[static_cast<ptrdiff_t>(i) * N + j];
  }
}

void srecmult(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb, int ldc) {
  if (M <= 0 || N <= 0 || P <= 0) return;
  strassen(A, B, C, M, N, P, lda, ldb, ldc);
}

void smult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  if (N <= 0) {
    for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(M) * P; ++i) C[i] = 0.0;
    return;
  }
  int Mp = M, Np = N, Pp = P;
  findrec(&Mp, &Np, &Pp);
  double *Apad = tsf_matrix::scratch_doubles(static_cast<size_t>(Mp) * Np, "smult");
  double *Bpad = tsf_matrix::scratch_doubles(static_cast<size_t>(Np) * Pp, "smult");
  double *Cpad = tsf_matrix::scratch_doubles(static_cast<size_t>(Mp) * Pp, "smult");
  add_zero_pad(A, M, N, Mp - M, Np - N, Apad);
  add_zero_pad(B, N, P, Np - N, Pp - P, Bpad);
  strassen(Apad, Bpad, Cpad, Mp, Np, Pp, Np, Pp, Pp);
  remove_zero_pad(Cpad, Mp, Pp, Mp - M, Pp - P, C);
  std::free(Apad);
  std::free(Bpad);
  std::free(Cpad);
}
