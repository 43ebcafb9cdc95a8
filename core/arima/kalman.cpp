/* Kalman filter of the ARMA state-space form: the stationary initial state covariance
   (starma, solved by Givens-rotation least squares with inclu2 and regres) and the
   filter itself (karma). The recursions are the scalar instances of the lane kernels in
   likelihood_internal.h, which the batched objectives share.

   Gardner, G., Harvey, A. C. and Phillips, G. D. A. (1980), Algorithm AS 154: An
   algorithm for exact maximum likelihood estimation of autoregressive-moving average
   models by means of Kalman filtering, Applied Statistics 29, 311-322. */
#include <cmath>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/likelihood_internal.h"

namespace {

long long state_dimension(int ip, int iq) {
  return ip > static_cast<long long>(iq) + 1 ? ip : static_cast<long long>(iq) + 1;
}

using series = tsf_arima::centred_series<double>;

/* The filter for any state dimension r, shortcut included up to kSteadyMaxDim. */
void filter_general(int ip, int r, const double *phi, double *a, double *P, const double *V, int n,
                    const series &w, double *resid, double &sumlog, double &ssq, int iupd) {
  constexpr int kMaxPacked = tsf_arima::kSteadyMaxDim * (tsf_arima::kSteadyMaxDim + 1) / 2;
  double previous[kMaxPacked];
  double gain[tsf_arima::kSteadyMaxDim + 1];
  tsf_arima::filter_steps<double, true>(r, ip, phi, a, P, V, gain, previous, r <= tsf_arima::kSteadyMaxDim, n,
                                        w, iupd, resid, sumlog, ssq);
}

void full_filter(int ip, int r, const double *phi, double *a, double *P, const double *V, int n,
                 const double *w, double *resid, double *sumlog, double *ssq, int iupd) {
  const series s{w, 0.0, false};
  double sl = *sumlog, sq = *ssq;
  switch (r) {
    case 1: tsf_arima::filter_fixed<double, 1, true>(ip, phi, a, P, V, n, s, iupd, resid, sl, sq); break;
    case 2: tsf_arima::filter_fixed<double, 2, true>(ip, phi, a, P, V, n, s, iupd, resid, sl, sq); break;
    case 3: tsf_arima::filter_fixed<double, 3, true>(ip, phi, a, P, V, n, s, iupd, resid, sl, sq); break;
    case 4: tsf_arima::filter_fixed<double, 4, true>(ip, phi, a, P, V, n, s, iupd, resid, sl, sq); break;
    default: filter_general(ip, r, phi, a, P, V, n, s, resid, sl, sq, iupd); break;
  }
  *sumlog = sl;
  *ssq = sq;
}

/* The recursions of the conditional model, e[t] = w[t] - sum phi w - sum theta e, with
   the past innovations in a ring buffer of iq entries. */
void fast_recursions(int ip, int iq, int r, const double *phi, const double *theta, int n,
                     const double *w, double *resid, double *ssq, int *nit) {
  std::vector<double> E(static_cast<std::size_t>(r), 0.0);
  int inde = 0;
  for (int t = 0; t < n; ++t) {
    double e = w[t];
    for (int j = 1; j <= ip && t - j >= 0; ++j) e -= phi[j - 1] * w[t - j];
    for (int j = 1; j <= iq; ++j) {
      if (--inde < 0) inde = iq - 1;
      e -= theta[j - 1] * E[inde];
    }
    E[inde] = e;
    resid[t] = e;
    *ssq += e * e;
    *nit += 1;
    if (++inde >= iq) inde = 0;
  }
}

}  // namespace

extern "C" {

int inclu2(int np, int nrbar, double weight, double *xnext, double *xrow, double ynext,
           double *d, double *rbar, double *thetab, double *ssqerr, double *recres, int *irank) {
  (void)nrbar;
  for (int i = 0; i < np; ++i) xrow[i] = xnext[i];
  *recres = 0.0;
  if (weight <= 0.0) return 1;
  double y = 0.0, wt = 0.0;
  bool deficient = false;
  tsf_arima::include_row(np, weight, xrow, ynext, d, rbar, thetab, y, wt, deficient);
  if (deficient) {
    *irank += 1;
    return 0;
  }
  *ssqerr += wt * y * y;
  *recres = y * std::sqrt(wt);
  return 0;
}

void regres(int np, int nrbar, double *rbar, double *thetab, double *beta) {
  tsf_arima::back_substitute(np, nrbar, rbar, thetab, beta);
}

int starma(int ip, int iq, double *phi, double *theta, double *a, double *P, double *V) {
  const long long r = state_dimension(ip, iq);
  std::vector<double> work;
  // Invalid orders return their fault code before any work space is needed.
  if (ip > 0 && iq >= 0 && r > 1 && r <= tsf_arima::kMaxStateDimension)
    work.assign(tsf_arima::starma_work_size(static_cast<int>(r)), 0.0);
  return tsf_arima::starma_solve(ip, iq, phi, theta, a, P, V, work.data());
}

void karma(int ip, int iq, double *phi, double *theta, double *a, double *P, double *V, int n,
           double *w, double *resid, double *sumlog, double *ssq, int iupd, double delta, int *nit,
           int *mode) {
  // delta would switch to the fast recursions once P has converged; the full filter
  // here never switches by itself.
  (void)delta;
  const int r = static_cast<int>(state_dimension(ip, iq));
  *nit = 0;
  if (*mode == 0) {
    full_filter(ip, r, phi, a, P, V, n, w, resid, sumlog, ssq, iupd);
    *nit += n > 0 ? n : 0;
  } else {
    *mode = 0;
    fast_recursions(ip, iq, r, phi, theta, n, w, resid, ssq, nit);
  }
  if (*nit == 0) *nit = 1;
}

}  // extern "C"

namespace tsf_arima {

int starma_solve(int ip, int iq, double *phi, double *theta, double *a, double *P, double *V,
                 double *work) {
  return state_covariance(ip, iq, phi, theta, a, P, V, work);
}

}  // namespace tsf_arima
