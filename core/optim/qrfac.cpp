// Householder QR factorisation with optional column pivoting; More, Garbow and Hillstrom,
// "User Guide for MINPACK-1" (1980), routine QRFAC, row-major.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/nls_internal.h"

namespace {

/* enorm of column j of a, rows i0..m-1. */
double column_norm(const double *a, int m, int lda, int j, int i0, std::vector<double> &col) {
  int len = m - i0;
  for (int i = 0; i < len; ++i) col[i] = a[(i0 + i) * lda + j];
  return enorm(len, col.data());
}

void swap_columns(double *a, int m, int lda, int j, int k) {
  for (int i = 0; i < m; ++i) {
    double t = a[i * lda + j];
    a[i * lda + j] = a[i * lda + k];
    a[i * lda + k] = t;
  }
}

}  // namespace

extern "C" void qrfac(int m, int n, double *a, int lda, int pivot, int *ipvt, double *rdiag, double *acnorm,
                      double eps, double *wa) {
  if (pivot != 0 && pivot != 1) {
    std::puts("Pivot only takes binary values 0 and 1 ");
    std::exit(-1);
  }
  const double p05 = 0.05;
  std::vector<double> at(static_cast<size_t>(m) * n), col(m);
  // Column norms of the input from the rows of its transpose.
  std::vector<double> packed(static_cast<size_t>(m) * n);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) packed[i * n + j] = a[i * lda + j];
  mtranspose(packed.data(), m, n, at.data());
  for (int j = 0; j < n; ++j) {
    acnorm[j] = enorm(m, at.data() + static_cast<size_t>(j) * m);
    rdiag[j] = acnorm[j];
    wa[j] = rdiag[j];
    if (pivot) ipvt[j] = j;
  }
  int minmn = m < n ? m : n;
  for (int j = 0; j < minmn; ++j) {
    if (pivot) {
      int kmax = j;
      for (int k = j; k < n; ++k)
        if (rdiag[k] > rdiag[kmax]) kmax = k;
      if (kmax != j) {
        swap_columns(a, m, lda, j, kmax);
        rdiag[kmax] = rdiag[j];
        wa[kmax] = wa[j];
        int t = ipvt[j];
        ipvt[j] = ipvt[kmax];
        ipvt[kmax] = t;
      }
    }
    // Householder reflection taking column j to a multiple of e_j.
    double ajnorm = column_norm(a, m, lda, j, j, col);
    if (ajnorm != 0.0) {
      if (a[j * lda + j] < 0.0) ajnorm = -ajnorm;
      for (int i = j; i < m; ++i) a[i * lda + j] /= ajnorm;
      a[j * lda + j] += 1.0;
      for (int k = j + 1; k < n; ++k) {
        double sum = 0.0;
        for (int i = j; i < m; ++i) sum += a[i * lda + j] * a[i * lda + k];
        double temp = sum / a[j * lda + j];
        for (int i = j; i < m; ++i) a[i * lda + k] -= temp * a[i * lda + j];
        if (pivot && rdiag[k] != 0.0) {
          temp = a[j * lda + k] / rdiag[k];
          double r = 1.0 - temp * temp;
          rdiag[k] *= std::sqrt(r > 0.0 ? r : 0.0);
          // The downdated norm has lost too many digits: recompute it.
          if (p05 * (rdiag[k] / wa[k]) * (rdiag[k] / wa[k]) <= eps) {
            rdiag[k] = column_norm(a, m, lda, k, j + 1, col);
            wa[k] = rdiag[k];
          }
        }
      }
    }
    rdiag[j] = -ajnorm;
  }
}
