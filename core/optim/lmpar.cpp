// The Levenberg-Marquardt parameter for a given trust radius; More, "The Levenberg-
// Marquardt algorithm: implementation and theory" (1978) and More, Garbow and Hillstrom,
// "User Guide for MINPACK-1" (1980), routine LMPAR, row-major.
#include <cmath>

#include "core/optim/nls_internal.h"

extern "C" void lmpar(int n, double *r, int ldr, const int *ipvt, const double *diag, const double *qtb,
                      double delta, double *par, double *x, double *sdiag, double *wa1, double *wa2) {
  const double p1 = 0.1, p001 = 0.001;
  const double dwarf = 2.22507385852e-308;  // smallest normal double
  // Gauss-Newton direction; least squares when R is singular.
  int nsing = n;
  for (int j = 0; j < n; ++j) {
    wa1[j] = qtb[j];
    if (r[j * ldr + j] == 0.0 && nsing == n) nsing = j;
    if (nsing < n) wa1[j] = 0.0;
  }
  for (int j = nsing - 1; j >= 0; --j) {
    wa1[j] /= r[j * ldr + j];
    double temp = wa1[j];
    for (int i = 0; i < j; ++i) wa1[i] -= r[i * ldr + j] * temp;
  }
  for (int j = 0; j < n; ++j) x[ipvt[j]] = wa1[j];

  int iter = 0;
  for (int j = 0; j < n; ++j) wa2[j] = diag[j] * x[j];
  double dxnorm = enorm(n, wa2);
  double fp = dxnorm - delta;
  if (fp <= p1 * delta) {
    *par = 0.0;
    return;
  }
  // Lower bound parl from the Newton step (only for a nonsingular R).
  double parl = 0.0;
  if (nsing >= n) {
    for (int j = 0; j < n; ++j) {
      int l = ipvt[j];
      wa1[j] = diag[l] * (wa2[l] / dxnorm);
    }
    for (int j = 0; j < n; ++j) {
      double sum = 0.0;
      for (int i = 0; i < j; ++i) sum += r[i * ldr + j] * wa1[i];
      wa1[j] = (wa1[j] - sum) / r[j * ldr + j];
    }
    double temp = enorm(n, wa1);
    parl = ((fp / delta) / temp) / temp;
  }
  // Upper bound paru.
  for (int j = 0; j < n; ++j) {
    double sum = 0.0;
    for (int i = 0; i <= j; ++i) sum += r[i * ldr + j] * qtb[i];
    wa1[j] = sum / diag[ipvt[j]];
  }
  double gnorm = enorm(n, wa1);
  double paru = gnorm / delta;
  if (paru == 0.0) paru = dwarf / (delta < p1 ? delta : p1);

  if (*par < parl) *par = parl;
  if (*par > paru) *par = paru;
  if (*par == 0.0) *par = gnorm / dxnorm;
  for (;;) {
    ++iter;
    if (*par == 0.0) *par = dwarf > p001 * paru ? dwarf : p001 * paru;
    double temp = std::sqrt(*par);
    for (int j = 0; j < n; ++j) wa1[j] = temp * diag[j];
    qrsolv(n, r, ldr, ipvt, wa1, qtb, x, sdiag, wa2);
    for (int j = 0; j < n; ++j) wa2[j] = diag[j] * x[j];
    dxnorm = enorm(n, wa2);
    temp = fp;
    fp = dxnorm - delta;
    // Accept par when ||D x|| is within 10% of delta, or when it can only grow further
    // from below (parl = 0), or after 10 passes.
    if (std::fabs(fp) <= p1 * delta || (parl == 0.0 && fp <= temp && temp < 0.0) || iter == 10) break;
    // Newton correction.
    for (int j = 0; j < n; ++j) {
      int l = ipvt[j];
      wa1[j] = diag[l] * (wa2[l] / dxnorm);
    }
    for (int j = 0; j < n; ++j) {
      wa1[j] /= sdiag[j];
      temp = wa1[j];
      for (int i = j + 1; i < n; ++i) wa1[i] -= r[i * ldr + j] * temp;
    }
    temp = enorm(n, wa1);
    double parc = ((fp / delta) / temp) / temp;
    if (fp > 0.0 && *par > parl) parl = *par;
    if (fp < 0.0 && *par < paru) paru = *par;
    *par = parl > *par + parc ? parl : *par + parc;
  }
}
