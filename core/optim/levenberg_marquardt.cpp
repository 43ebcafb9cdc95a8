// The Levenberg-Marquardt iteration of LMDIF and LMDER: More, "The Levenberg-Marquardt
// algorithm: implementation and theory" (1978); More, Garbow and Hillstrom, "User Guide
// for MINPACK-1" (1980). Row-major storage; constants and termination codes as published.
#include <cmath>
#include <vector>

#include "core/optim/nls_internal.h"

namespace {

bool improper_input(const lm_problem *pb, const double *diag) {
  if (pb->n <= 0 || pb->m < pb->n || pb->ldfjac < pb->m || pb->ftol < 0.0 || pb->xtol < 0.0 || pb->gtol < 0.0 ||
      pb->maxfev <= 0 || pb->factor <= 0.0)
    return true;
  if (pb->mode == 2)
    for (int j = 0; j < pb->n; ++j)
      if (diag[j] <= 0.0) return true;
  return false;
}

/* Q^T fvec into qtf (first n entries) from the Householder vectors below the diagonal of
   fjac; puts the diagonal of R (rdiag) back into fjac. */
void apply_qt(double *fjac, int m, int n, const double *fvec, const double *rdiag, double *qtf,
              std::vector<double> &w) {
  for (int i = 0; i < m; ++i) w[i] = fvec[i];
  for (int j = 0; j < n; ++j) {
    double ajj = fjac[j * n + j];
    if (ajj != 0.0) {
      double sum = 0.0;
      for (int i = j; i < m; ++i) sum += fjac[i * n + j] * w[i];
      double temp = -sum / ajj;
      for (int i = j; i < m; ++i) w[i] += fjac[i * n + j] * temp;
    }
    fjac[j * n + j] = rdiag[j];
    qtf[j] = w[j];
  }
}

/* Largest cosine between fvec and the columns of the Jacobian, from R and Q^T fvec. */
double scaled_gradient_norm(const double *fjac, int n, const int *ipvt, const double *acnorm, const double *qtf,
                            double fnorm) {
  double gnorm = 0.0;
  if (fnorm == 0.0) return gnorm;
  for (int j = 0; j < n; ++j) {
    int l = ipvt[j];
    if (acnorm[l] == 0.0) continue;
    double sum = 0.0;
    for (int i = 0; i <= j; ++i) sum += fjac[i * n + j] * (qtf[i] / fnorm);
    double g = std::fabs(sum / acnorm[l]);
    if (g > gnorm) gnorm = g;
  }
  return gnorm;
}

}  // namespace

extern "C" int lm_iterate(residual_function *fcn, residual_function *jac, const lm_problem *pb, double *x,
                          double *fvec, double *diag, double *fjac, int *nfev, int *njev) {
  const double p1 = 0.1, p5 = 0.5, p25 = 0.25, p75 = 0.75, p0001 = 1e-4;
  *nfev = 0;
  *njev = 0;
  if (improper_input(pb, diag)) return 0;
  const int m = pb->m, n = pb->n;
  const double epsmch = pb->eps;
  std::vector<double> qtf(n), wa1(n), wa2(n), wa3(n), wa4(m), w(m);
  std::vector<int> ipvt(n);

  fcn->funcpt(x, m, n, fvec, fcn->params);
  *nfev = 1;
  double fnorm = enorm(m, fvec);
  double par = 0.0, delta = 0.0, xnorm = 0.0;
  int iter = 1, info = 0;
  for (;;) {
    // Jacobian at x and its QR factorisation with column pivoting.
    if (jac) {
      jac->funcpt(x, m, n, fjac, jac->params);
      *njev += 1;
    } else {
      fdjac2(fcn, m, n, x, fvec, fjac, pb->epsfcn, epsmch, wa4.data());
      *nfev += n;
    }
    qrfac(m, n, fjac, n, 1, ipvt.data(), wa1.data(), wa2.data(), epsmch, wa3.data());
    if (iter == 1) {
      if (pb->mode != 2)
        for (int j = 0; j < n; ++j) diag[j] = wa2[j] == 0.0 ? 1.0 : wa2[j];
      for (int j = 0; j < n; ++j) wa3[j] = diag[j] * x[j];
      xnorm = enorm(n, wa3.data());
      delta = pb->factor * xnorm;
      if (delta == 0.0) delta = pb->factor;
    }
    apply_qt(fjac, m, n, fvec, wa1.data(), qtf.data(), w);
    double gnorm = scaled_gradient_norm(fjac, n, ipvt.data(), wa2.data(), qtf.data(), fnorm);
    if (gnorm <= pb->gtol) info = 4;
    if (info != 0) break;
    if (pb->mode != 2)
      for (int j = 0; j < n; ++j)
        if (wa2[j] > diag[j]) diag[j] = wa2[j];

    // Inner loop: shrink the radius until a step reduces the sum of squares.
    double ratio;
    do {
      lmpar(n, fjac, n, ipvt.data(), diag, qtf.data(), delta, &par, wa1.data(), wa2.data(), wa3.data(),
            wa4.data());
      for (int j = 0; j < n; ++j) {
        wa1[j] = -wa1[j];
        wa2[j] = x[j] + wa1[j];
        wa3[j] = diag[j] * wa1[j];
      }
      double pnorm = enorm(n, wa3.data());
      if (iter == 1 && pnorm < delta) delta = pnorm;
      fcn->funcpt(wa2.data(), m, n, wa4.data(), fcn->params);
      *nfev += 1;
      double fnorm1 = enorm(m, wa4.data());
      double actred = -1.0;
      if (p1 * fnorm1 < fnorm) actred = 1.0 - (fnorm1 / fnorm) * (fnorm1 / fnorm);
      // Predicted reduction and directional derivative of the linear model.
      for (int j = 0; j < n; ++j) {
        wa3[j] = 0.0;
        double temp = wa1[ipvt[j]];
        for (int i = 0; i <= j; ++i) wa3[i] += fjac[i * n + j] * temp;
      }
      double temp1 = enorm(n, wa3.data()) / fnorm;
      double temp2 = (std::sqrt(par) * pnorm) / fnorm;
      double prered = temp1 * temp1 + temp2 * temp2 / p5;
      double dirder = -(temp1 * temp1 + temp2 * temp2);
      ratio = prered != 0.0 ? actred / prered : 0.0;
      if (ratio <= p25) {
        double temp = actred >= 0.0 ? p5 : p5 * dirder / (dirder + p5 * actred);
        if (p1 * fnorm1 >= fnorm || temp < p1) temp = p1;
        delta = temp * (delta < pnorm / p1 ? delta : pnorm / p1);
        par /= temp;
      } else if (par == 0.0 || ratio >= p75) {
        delta = pnorm / p5;
        par = p5 * par;
      }
      if (ratio >= p0001) {  // successful step
        for (int j = 0; j < n; ++j) {
          x[j] = wa2[j];
          wa2[j] = diag[j] * x[j];
        }
        for (int i = 0; i < m; ++i) fvec[i] = wa4[i];
        xnorm = enorm(n, wa2.data());
        fnorm = fnorm1;
        ++iter;
      }
      if (std::fabs(actred) <= pb->ftol && prered <= pb->ftol && p5 * ratio <= 1.0) info = 1;
      if (delta <= pb->xtol * xnorm) info = 2;
      if (std::fabs(actred) <= pb->ftol && prered <= pb->ftol && p5 * ratio <= 1.0 && info == 2) info = 3;
      if (info != 0) return info;
      if (*nfev >= pb->maxfev) info = 5;
      if (std::fabs(actred) <= epsmch && prered <= epsmch && p5 * ratio <= 1.0) info = 6;
      if (delta <= epsmch * xnorm) info = 7;
      if (gnorm <= epsmch) info = 8;
      if (info != 0) return info;
    } while (ratio < p0001);
  }
  return info;
}
