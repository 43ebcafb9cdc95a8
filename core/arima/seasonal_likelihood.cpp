/* Exact maximum likelihood estimation of seasonal ARIMA models (as154_seas, objective
   fas154_seas): the Kalman filter of the ARMA state-space form of the expanded
   polynomials, started from the stationary state covariance, with the innovation
   variance concentrated out.

   Gardner, G., Harvey, A. C. and Phillips, G. D. A. (1980), Algorithm AS 154, Applied
   Statistics 29, 311-322; the multiplicative seasonal model as in Box and Jenkins (1976),
   chapter 9.

   The state has dimension r = max(p + s P, q + s Q + 1) (14 for the airline model with
   s = 12); its covariance solve and the filter use the object's work space, so an
   evaluation allocates nothing. */
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/log_internal.h"
#include "core/arima/seasonal_internal.h"
#include "core/optim/optim.h"
#include "core/stats/stats.h"

namespace tsf_arima {

int fit_as154_seas(const double *x, int N, int optmethod, const seasonal_orders &o, double *phi,
                   double *theta, double *PHI, double *THETA, double *mean, double *var, double *loglik,
                   double *vcov, double *res) {
  if (!o.valid() || N <= o.lag_span()) return 0;
  const int css_code = fit_css_seas(x, N, optmethod, o, phi, theta, PHI, THETA, mean, var, loglik, vcov, res);
  alik_seas_object *obj = alloc_seasonal_object(o, N, true);
  const int n = load_seasonal_series(obj, x, N);
  const int p = o.p, q = o.q, P = o.P, Q = o.Q;
  std::vector<double> b(static_cast<std::size_t>(obj->fit.pq), 0.0);
  if (css_code == 15) {
    // The conditional fit stopped where its objective overflowed: its last point is no
    // estimate, so the exact fit starts where the conditional one did (zero
    // coefficients, the sample mean).
    *mean = obj->fit.M == 1 ? ::mean(obj->fit.x, n) : 0.0;
  } else {
    for (int i = 0; i < p; ++i) b[i] = phi[i];
    for (int j = 0; j < q; ++j) b[p + j] = -theta[j];
    for (int j = 0; j < P; ++j) b[p + q + j] = PHI[j];
    for (int j = 0; j < Q; ++j) b[p + q + P + j] = -THETA[j];
  }
  obj->fit.mean = *mean;
  if (obj->fit.M == 1) b.back() = *mean;
  objective_function f = {fas154_seas, obj};
  const int code =
      minimise_seasonal(&f, obj, b.data(), optmethod, phi, theta, PHI, THETA, mean, var, loglik, vcov, res);
  free_alik_seas(obj);
  return code;
}

}  // namespace tsf_arima

extern "C" {

alik_seas_object *alik_seas_init(int p, int d, int q, int s, int P, int D, int Q, int N) {
  return tsf_arima::checked_seasonal_object(tsf_arima::seasonal_orders(p, d, q, s, P, D, Q), N, true);
}

void free_alik_seas(alik_seas_object *obj) { std::free(obj); }

double fas154_seas(double *b, int ncoeff, void *params) {
  (void)ncoeff;
  auto *obj = static_cast<alik_seas_object *>(params);
  const int pe = obj->pe, qe = obj->qe, r = obj->r;
  const int n = obj->fit.length;
  const int np = static_cast<int>(tsf_arima::packed_size(r));
  tsf_arima::set_parameters(obj, b);
  double *w = obj->fit.x;
  double *a = obj->kalman;
  double *P = a + r;
  double *V = P + np;
  if (r == 1) {
    // An AR(1) or no ARMA terms at all (where starma would return its fault code
    // without setting a, P and V): the stationary variance in closed form.
    const double phi1 = pe > 0 ? obj->phi[0] : 0.0;
    V[0] = 1.0;
    a[0] = 0.0;
    P[0] = 1.0 / (1.0 - phi1 * phi1);
  } else {
    tsf_arima::starma_solve(pe, qe, obj->phi, obj->theta, a, P, V, V + np);
  }
  double sumlog = 0.0;
  double ssq = 0.0;
  int nit = 0;
  int mode = 0;
  karma(pe, qe, obj->phi, obj->theta, a, P, V, n, w, w + n, &sumlog, &ssq, 1, 0.001, &nit, &mode);
  const double value = 0.5 * (sumlog / nit + tsf_log(ssq / nit));
  obj->fit.ssq = ssq;
  obj->fit.loglik = value;
  return value;
}

int as154_seas(double *x, int N, int optmethod, int p, int d, int q, int s, int P, int D, int Q, double *phi,
               double *theta, double *PHI, double *THETA, double *mean, double *var, double *loglik,
               double *vcov) {
  const int code = tsf_arima::fit_as154_seas(x, N, optmethod, tsf_arima::seasonal_orders(p, d, q, s, P, D, Q), phi,
                                             theta, PHI, THETA, mean, var, loglik, vcov, nullptr);
  if (code != 0) tsf_arima::zero_unused_seasonal(s, P, Q, PHI, THETA);
  return code;
}

}  // extern "C"
