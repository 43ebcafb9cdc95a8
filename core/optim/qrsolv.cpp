// Least-squares solution of the QR-factored system augmented by a diagonal matrix, by
// Givens rotations; More, Garbow and Hillstrom, "User Guide for MINPACK-1" (1980),
// routine QRSOLV, row-major.
#include <cmath>

#include "core/optim/nls_internal.h"

extern "C" void qrsolv(int n, double *r, int ldr, const int *ipvt, const double *diag, const double *qtb,
                       double *x, double *sdiag, double *wa) {
  const double p5 = 0.5, p25 = 0.25;
  // Copy R's upper triangle into the lower one and keep its diagonal in x.
  for (int j = 0; j < n; ++j) {
    for (int i = j; i < n; ++i) r[i * ldr + j] = r[j * ldr + i];
    x[j] = r[j * ldr + j];
    wa[j] = qtb[j];
  }
  // Eliminate the diagonal matrix D row by row.
  for (int j = 0; j < n; ++j) {
    int l = ipvt[j];
    if (diag[l] != 0.0) {
      for (int k = j; k < n; ++k) sdiag[k] = 0.0;
      sdiag[j] = diag[l];
      double qtbpj = 0.0;
      for (int k = j; k < n; ++k) {
        if (sdiag[k] == 0.0) continue;
        double rkk = r[k * ldr + k], c, s;
        // The rotation is formed from the smaller ratio to avoid overflow.
        if (std::fabs(rkk) < std::fabs(sdiag[k])) {
          double cotan = rkk / sdiag[k];
          s = p5 / std::sqrt(p25 + p25 * cotan * cotan);
          c = s * cotan;
        } else {
          double tan = sdiag[k] / rkk;
          c = p5 / std::sqrt(p25 + p25 * tan * tan);
          s = c * tan;
        }
        r[k * ldr + k] = c * rkk + s * sdiag[k];
        double temp = c * wa[k] + s * qtbpj;
        qtbpj = -s * wa[k] + c * qtbpj;
        wa[k] = temp;
        for (int i = k + 1; i < n; ++i) {
          temp = c * r[i * ldr + k] + s * sdiag[i];
          sdiag[i] = -s * r[i * ldr + k] + c * sdiag[i];
          r[i * ldr + k] = temp;
        }
      }
    }
    sdiag[j] = r[j * ldr + j];
    r[j * ldr + j] = x[j];
  }
  // Triangular solve; a singular S gives the least-squares solution.
  int nsing = n;
  for (int j = 0; j < n; ++j) {
    if (sdiag[j] == 0.0 && nsing == n) nsing = j;
    if (nsing < n) wa[j] = 0.0;
  }
  for (int j = nsing - 1; j >= 0; --j) {
    double sum = 0.0;
    for (int i = j + 1; i < nsing; ++i) sum += r[i * ldr + j] * wa[i];
    wa[j] = (wa[j] - sum) / sdiag[j];
  }
  for (int j = 0; j < n; ++j) x[ipvt[j]] = wa[j];
}
