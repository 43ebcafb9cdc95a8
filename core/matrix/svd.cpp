// Singular value decomposition by Golub and Reinsch (Numer. Math. 14 (1970) 403-420):
// Householder bidiagonalisation, accumulation of the transformations, and implicit
// shifted QR sweeps on the bidiagonal; the same engine, applying the left transformations
// to extra columns instead of forming U, is minfit (Garbow et al., EISPACK). Also the
// descending sort of the decomposition and the numerical rank.
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

// Rows of a set of vectors that the QR sweeps rotate: vector r has len entries at
// base + r * pitch. The columns of U and V are kept as such rows (transposed) so each
// rotation walks contiguous memory.
struct rotated_rows {
  double *base;
  ptrdiff_t pitch;
  int len;
  void rotate(int a, int b, double c, double s) const {
    double *x = base + a * pitch;
    double *y = base + b * pitch;
    for (int j = 0; j < len; ++j) {
      const double u = x[j], w = y[j];
      x[j] = u * c + w * s;
      y[j] = w * c - u * s;
    }
  }
  void negate(int a) const {
    double *x = base + a * pitch;
    for (int j = 0; j < len; ++j) x[j] = -x[j];
  }
};

// The M x N matrix being reduced sits in A with row stride ld; the left transformations
// act on its first left_cols columns (N for the decomposition, N + p for minfit).
struct reduction {
  double *A;
  int M, N;
  ptrdiff_t ld;
  int left_cols;
  // Scaled: columns and rows are divided by the sum of their absolute values before the
  // reflection is formed. Unscaled: a reflection is formed only when the sum of squares
  // exceeds tiny.
  bool scaled;
  double tiny;
  double *work;  // 2 M + left_cols + N doubles at least
};

double sum_abs(const double *x, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += std::fabs(x[i]);
  return s;
}

// The reflection that zeroes x[1..n-1], as the reduction forms it: x is divided by
// scale (the sum of its absolute values; 1 unscaled) and x[0] becomes f - g; the
// reflection is I - x x^T / h. Not formed (x unchanged) for a zero scale, or unscaled
// for a sum of squares at most tiny; g is then 0.
struct reflector {
  bool formed;
  double scale, g, h;
};

reflector form_reflector(double *x, int n, const reduction &r) {
  reflector t{false, r.scaled ? sum_abs(x, n) : 1.0, 0.0, 0.0};
  double s;
  if (r.scaled) {
    if (t.scale == 0.0) return t;
    for (int k = 0; k < n; ++k) x[k] = x[k] / t.scale;
    s = tsf_matrix::dot(x, x, n);
  } else {
    s = tsf_matrix::dot(x, x, n);
    if (!(s > r.tiny)) return t;
  }
  const double f = x[0];
  t.g = f >= 0.0 ? -std::sqrt(s) : std::sqrt(s);
  t.h = f * t.g - s;
  x[0] = f - t.g;
  t.formed = true;
  return t;
}

void unscale(double *x, int n, const reflector &t, const reduction &r) {
  if (!r.scaled) return;
  for (int k = 0; k < n; ++k) x[k] = x[k] * t.scale;
}

// Householder reduction to upper bidiagonal form: q receives the diagonal, e the
// superdiagonal (e[i] couples q[i-1] and q[i]; e[0] = 0). Returns the largest
// |q[i]| + |e[i]|. The updates of the trailing columns and rows are matrix products.
double bidiagonalise(const reduction &r, double *q, double *e) {
  double *A = r.A;
  const int M = r.M, N = r.N;
  const ptrdiff_t ld = r.ld;
  double *col = r.work, *sv = col + M, *rv = sv + M + r.left_cols;
  double anorm = 0.0;
  reflector row_t{false, 0.0, 0.0, 0.0};
  for (int i = 0; i < N; ++i) {
    const int l = i + 1, m = M - i;
    e[i] = row_t.scale * row_t.g;
    for (int k = 0; k < m; ++k) col[k] = A[(i + k) * ld + i];
    const reflector col_t = form_reflector(col, m, r);
    if (col_t.formed) {
      const int n = r.left_cols - l;
      if (n > 0) {
        tsf_matrix::product_overwrite(col, A + i * ld + l, sv, 1, m, n, m, ld, n);
        for (int j = 0; j < n; ++j) sv[j] = sv[j] / col_t.h;
        tsf_matrix::product_accumulate(col, sv, A + i * ld + l, m, 1, n, 1, n, ld);
      }
      unscale(col, m, col_t, r);
      for (int k = 0; k < m; ++k) A[(i + k) * ld + i] = col[k];
    }
    q[i] = col_t.scale * col_t.g;
    row_t = reflector{false, 0.0, 0.0, 0.0};
    if (i != N - 1) {
      double *row = A + i * ld + l;
      const int n = N - l, below = M - l;
      row_t = form_reflector(row, n, r);
      if (row_t.formed) {
        for (int k = 0; k < n; ++k) rv[k] = row[k] / row_t.h;
        tsf_matrix::product_overwrite(A + l * ld + l, row, sv, below, n, 1, ld, 1, 1);
        tsf_matrix::product_accumulate(sv, rv, A + l * ld + l, below, 1, n, 1, n, ld);
        unscale(row, n, row_t, r);
      }
    }
    anorm = std::max(anorm, std::fabs(q[i]) + std::fabs(e[i]));
  }
  return anorm;
}

// V (N x N) = product of the right-hand reflections stored in the rows of A.
void accumulate_right(const reduction &r, const double *e, double *V) {
  const double *A = r.A;
  const int N = r.N;
  const ptrdiff_t ld = r.ld;
  double *vcol = r.work, *sv = vcol + r.M;
  double g = 0.0;
  int l = N;
  for (int i = N - 1; i >= 0; --i) {
    if (i < N - 1) {
      const int n = N - l;
      if (g != 0.0) {
        // Two divisions rather than one by the product, which may underflow.
        for (int j = 0; j < n; ++j) vcol[j] = (A[i * ld + l + j] / A[i * ld + l]) / g;
        for (int j = 0; j < n; ++j) V[(l + j) * N + i] = vcol[j];
        tsf_matrix::product_overwrite(A + i * ld + l, V + l * N + l, sv, 1, n, n, n, N, n);
        tsf_matrix::product_accumulate(vcol, sv, V + l * N + l, n, 1, n, 1, n, N);
      }
      // Row and column i outside the diagonal are zero whatever g is: V starts as
      // whatever the caller's array held.
      for (int j = l; j < N; ++j) {
        V[i * N + j] = 0.0;
        V[j * N + i] = 0.0;
      }
    }
    V[i * N + i] = 1.0;
    g = e[i];
    l = i;
  }
}

// U (in place of the reduced A, M x N) = the first N columns of the product of the
// left-hand reflections.
void accumulate_left(const reduction &r, const double *q) {
  double *A = r.A;
  const int M = r.M, N = r.N;
  const ptrdiff_t ld = r.ld;
  double *col = r.work, *sv = col + M;
  for (int i = N - 1; i >= 0; --i) {
    const int l = i + 1, n = N - l, m = M - i;
    for (int j = l; j < N; ++j) A[i * ld + j] = 0.0;
    double g = q[i];
    if (g != 0.0) {
      g = 1.0 / g;
      for (int k = 0; k < m; ++k) col[k] = A[(i + k) * ld + i];
      if (n > 0) {
        tsf_matrix::product_overwrite(col + 1, A + l * ld + l, sv, 1, m - 1, n, m - 1, ld, n);
        for (int j = 0; j < n; ++j) sv[j] = (sv[j] / col[0]) * g;
        tsf_matrix::product_accumulate(col, sv, A + i * ld + l, m, 1, n, 1, n, ld);
      }
      for (int k = 0; k < m; ++k) A[(i + k) * ld + i] = col[k] * g;
    } else {
      for (int k = 0; k < m; ++k) A[(i + k) * ld + i] = 0.0;
    }
    A[i * ld + i] += 1.0;
  }
}

// Implicit shifted QR sweeps on the bidiagonal (q, e) until every e is negligible;
// rotations go to the rows standing for the columns of U and of V. 0, or 15 when a value
// needs more than 50 sweeps.
int diagonalise(double *q, double *e, int N, double tol, const rotated_rows &u,
                const rotated_rows &v) {
  for (int k = N - 1; k >= 0; --k) {
    for (int its = 0;; ++its) {
      int l = k;
      bool cancel = true;
      for (; l >= 0; --l) {
        // e[0] = 0 always; the explicit l = 0 also stops the search when tol is NaN.
        if (l == 0 || std::fabs(e[l]) <= tol) {
          cancel = false;
          break;
        }
        if (std::fabs(q[l - 1]) <= tol) break;
      }
      if (cancel) {
        // q[l-1] is negligible: rotate e[l] into the rows below with U's rotations.
        double c = 0.0, s = 1.0;
        for (int i = l; i <= k; ++i) {
          const double f = s * e[i];
          e[i] = c * e[i];
          if (std::fabs(f) <= tol) break;
          const double g = q[i];
          const double h = std::hypot(f, g);
          q[i] = h;
          c = g / h;
          s = -f / h;
          u.rotate(l - 1, i, c, s);
        }
      }
      double z = q[k];
      if (l == k) {
        if (z < 0.0) {
          q[k] = -z;
          v.negate(k);
        }
        break;
      }
      if (its == 50) {
        std::puts("Convergence Not Achieved ");
        return 15;
      }
      // Shift from the bottom 2 x 2 minor of B^T B, as published (no division by
      // e[k-1], which is 0 when the minor is the whole active block).
      double x = q[l], y = q[k - 1], g = e[k - 1], h = e[k];
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = std::hypot(f, 1.0);
      f = ((x - z) * (x + z) + h * (y / (f >= 0.0 ? f + g : f - g) - h)) / x;
      double c = 1.0, s = 1.0;
      for (int i = l + 1; i <= k; ++i) {
        g = e[i];
        y = q[i];
        h = s * g;
        g = c * g;
        z = std::hypot(f, h);
        e[i - 1] = z;
        if (z != 0.0) {
          c = f / z;
          s = h / z;
        } else {
          c = 1.0;
          s = 0.0;
        }
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y = y * c;
        v.rotate(i - 1, i, c, s);
        z = std::hypot(f, h);
        q[i - 1] = z;
        if (z != 0.0) {
          c = f / z;
          s = h / z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        u.rotate(i - 1, i, c, s);
      }
      e[l] = 0.0;
      e[k] = f;
      q[k] = x;
    }
  }
  return 0;
}

double max_abs_entry(const double *A, int M, int N, ptrdiff_t ld) {
  double m = 0.0;
  for (int i = 0; i < M; ++i) m = std::max(m, array_max_abs(const_cast<double *>(A + i * ld), N));
  return m;
}

bool reject_wide(int M, int N) {
  if (M >= N) return false;
  std::puts("Rows (M) should be greater than Columns (B) ");
  std::printf("Retry By Transposing the Input Matrix");
  return true;
}

// The decomposition through the scaled or the unscaled reduction.
int golub_reinsch(const double *A, int M, int N, double *U, double *V, double *q, bool scaled) {
  if (reject_wide(M, N)) return -1;
  if (N <= 0) return 0;
  const size_t mn = static_cast<size_t>(M) * N, nn = static_cast<size_t>(N) * N;
  double *e = tsf_matrix::scratch_doubles(N + 3 * static_cast<size_t>(M) + 2 * N + mn + nn, "svd");
  double *work = e + N, *Ut = work + 3 * static_cast<size_t>(M) + 2 * N, *Vt = Ut + mn;
  std::memcpy(U, A, mn * sizeof(double));
  const double eps = macheps();
  const double amax = max_abs_entry(A, M, N, N);
  const reduction r{U, M, N, N, N, scaled, (eps * amax) * (eps * amax), work};
  const double anorm = bidiagonalise(r, q, e);
  accumulate_right(r, e, V);
  accumulate_left(r, q);
  mtranspose(U, M, N, Ut);
  mtranspose(V, N, N, Vt);
  const int status = diagonalise(q, e, N, eps * anorm, rotated_rows{Ut, M, M},
                                 rotated_rows{Vt, N, N});
  mtranspose(Ut, N, M, U);
  mtranspose(Vt, N, N, V);
  if (status == 0) svd_sort(U, M, N, V, q);
  std::free(e);
  return status;
}

}  // namespace

int svd(double *A, int M, int N, double *U, double *V, double *q) {
  return golub_reinsch(A, M, N, U, V, q, true);
}

int svd_gr(double *A, int M, int N, double *U, double *V, double *q) {
  return golub_reinsch(A, M, N, U, V, q, true);
}

int svd_gr2(double *A, int M, int N, double *U, double *V, double *q) {
  return golub_reinsch(A, M, N, U, V, q, false);
}

void svd_sort(double *U, int M, int N, double *V, double *q) {
  if (N <= 0) return;
  const size_t mn = M > 0 ? static_cast<size_t>(M) * N : 0, nn = static_cast<size_t>(N) * N;
  double *copy = tsf_matrix::scratch_doubles(mn + nn + N, "svd_sort");
  double *Uc = copy, *Vc = Uc + mn, *qc = Vc + nn;
  int *perm = static_cast<int *>(std::malloc(static_cast<size_t>(N) * sizeof(int)));
  if (perm == nullptr) {
    std::printf("svd_sort: out of memory\n");
    std::fflush(stdout);
    std::exit(1);
  }
  std::memcpy(Uc, U, mn * sizeof(double));
  std::memcpy(Vc, V, nn * sizeof(double));
  std::memcpy(qc, q, static_cast<size_t>(N) * sizeof(double));
  sort1d(qc, N, perm);
  for (int i = 0; i < N; ++i) {
    q[i] = qc[perm[i]];
    for (int r = 0; r < M; ++r) U[static_cast<ptrdiff_t>(r) * N + i] = Uc[static_cast<ptrdiff_t>(r) * N + perm[i]];
    for (int r = 0; r < N; ++r) V[static_cast<ptrdiff_t>(r) * N + i] = Vc[static_cast<ptrdiff_t>(r) * N + perm[i]];
  }
  std::free(perm);
  std::free(copy);
}

int minfit(double *W, int M, int N, int p, double *q) {
  if (reject_wide(M, N)) return -1;
  if (N <= 0) return 0;
  if (p < 0) p = 0;
  const ptrdiff_t ld = N + p;
  const size_t nn = static_cast<size_t>(N) * N;
  double *e = tsf_matrix::scratch_doubles(N + 3 * static_cast<size_t>(M) + 2 * (N + p) + 2 * nn, "minfit");
  double *work = e + N, *V = work + 3 * static_cast<size_t>(M) + 2 * (N + p), *Vt = V + nn;
  const reduction r{W, M, N, ld, N + p, true, 0.0, work};
  const double anorm = bidiagonalise(r, q, e);
  accumulate_right(r, e, V);
  mtranspose(V, N, N, Vt);
  const int status = diagonalise(q, e, N, macheps() * anorm, rotated_rows{W + N, ld, p},
                                 rotated_rows{Vt, N, N});
  mtranspose(Vt, N, N, V);
  for (int i = 0; i < N; ++i) std::memcpy(W + i * ld, V + static_cast<size_t>(i) * N, N * sizeof(double));
  std::free(e);
  return status;
}

int rank(double *A, int M, int N) {
  if (M <= 0 || N <= 0) return 0;
  const int rows = std::max(M, N), cols = std::min(M, N);
  const size_t mn = static_cast<size_t>(M) * N;
  double *buf = tsf_matrix::scratch_doubles(2 * mn + static_cast<size_t>(cols) * cols + cols, "rank");
  double *T = buf, *U = T + mn, *V = U + mn, *q = V + static_cast<size_t>(cols) * cols;
  if (M >= N) {
    std::memcpy(T, A, mn * sizeof(double));
  } else {
    mtranspose(A, M, N, T);
  }
  int result = -1;
  if (svd(T, rows, cols, U, V, q) != 0) {
    std::printf("Failed to Compute SVD");
  } else {
    const double tol = macheps() * q[0] * rows;
    result = 0;
    for (int i = 0; i < cols; ++i) {
      if (q[i] > tol) ++result;
    }
  }
  std::free(buf);
  return result;
}
