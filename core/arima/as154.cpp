/* Exact maximum likelihood estimation of ARIMA(p, d, q) models (as154, objective
   fas154): the differenced series is filtered by the Kalman filter of its ARMA
   state-space form, started from the stationary state covariance, and the innovation
   variance is concentrated out of the likelihood.

   Gardner, G., Harvey, A. C. and Phillips, G. D. A. (1980), Algorithm AS 154, Applied
   Statistics 29, 311-322.

   Parameters as for the conditional sum of squares: phi, the MA coefficients in the
   internal sign c_j = -theta_j, then the mean when d = 0. The starting values are the
   conditional-sum-of-squares estimates, unless that fit ended on a non-finite objective. */
#include <cmath>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/likelihood_batch_internal.h"
#include "core/arima/log_internal.h"
#include "core/optim/optim.h"
#include "core/stats/stats.h"

namespace {

/* Doubles of the Kalman work space of an alik_object: a (r), P and V (np each) and the
   work space of the stationary covariance solve. */
std::size_t kalman_size(int r) { return static_cast<std::size_t>(r) + 2 * tsf_arima::packed_size(r) + tsf_arima::starma_work_size(r); }

}  // namespace

extern "C" {

alik_object *alik_init(int p, int d, int q, int N) {
  const int r = p > q + 1 ? p : q + 1;
  // The order check comes first, before a work space sized by the orders is reserved.
  const std::size_t extra = (p <= tsf_arima::kMaxOrder && q <= tsf_arima::kMaxOrder && r > 0) ? kalman_size(r) : 0;
  return tsf_arima::alloc_likelihood_object(p, d, q, N, extra);
}

void free_alik(alik_object *obj) { free_alik_css(obj); }

double fas154(double *b, int ncoeff, void *params) {
  (void)ncoeff;
  auto *obj = static_cast<alik_object *>(params);
  const int p = obj->p;
  const int q = obj->q;
  const int r = obj->r;
  const int n = obj->length;
  const int np = static_cast<int>(tsf_arima::packed_size(r));
  double *phi = obj->phi;
  double *theta = obj->theta;
  for (int i = 0; i < r; ++i) {
    phi[i] = i < p ? b[i] : 0.0;
    theta[i] = i < q ? b[p + i] : 0.0;
  }
  double *w = obj->x;
  if (obj->M == 1) {
    const double mu = b[p + q];
    const double *y = obj->x + 2 * n;
    for (int t = 0; t < n; ++t) w[t] = y[t] - mu;
  }
  double *a = obj->kalman;
  double *P = a + r;
  double *V = P + np;
  if (r == 1) {
    const double phi1 = p > 0 ? phi[0] : 0.0;
    V[0] = 1.0;
    a[0] = 0.0;
    P[0] = 1.0 / (1.0 - phi1 * phi1);
  } else {
    tsf_arima::starma_solve(p, q, phi, theta, a, P, V, V + np);
  }
  double sumlog = 0.0;
  double ssq = 0.0;
  int nit = 0;
  int mode = 0;
  karma(p, q, phi, theta, a, P, V, n, w, obj->x + n, &sumlog, &ssq, 1, 0.001, &nit, &mode);
  const double value = 0.5 * (sumlog / nit + tsf_log(ssq / nit));
  obj->ssq = ssq;
  obj->loglik = value;
  return value;
}

int as154(double *x, int N, int optmethod, int p, int d, int q, double *phi, double *theta,
          double *mean, double *var, double *res, double *loglik, double *vcov) {
  return tsf_arima::as154_fit(tsf_arima::fit_options{}, x, N, optmethod, p, d, q, phi, theta, mean, var, res,
                              loglik, vcov);
}

}  // extern "C"

int tsf_arima::as154_fit(const fit_options &options, double *x, int N, int optmethod, int p, int d, int q,
                         double *phi, double *theta, double *mean, double *var, double *res, double *loglik,
                         double *vcov) {
  if (!valid_fit_input(N, p, d, q)) return 0;
  alik_object *obj = alik_init(p, d, q, N);
  const int css_code = css_fit(options, x, N, optmethod, p, d, q, phi, theta, mean, var, res, loglik, vcov);
  const int n = load_series(obj, x, N);
  std::vector<double> b(static_cast<std::size_t>(obj->pq), 0.0);
  if (css_code == 15) {
    // The conditional fit stopped where its objective overflowed: its last point is no
    // estimate, so the exact fit starts where the conditional one did (zero coefficients,
    // the sample mean).
    *mean = obj->M == 1 ? ::mean(obj->x, n) : 0.0;
  } else {
    for (int i = 0; i < p; ++i) b[i] = phi[i];
    for (int j = 0; j < q; ++j) b[p + j] = -theta[j];
  }
  obj->mean = *mean;
  if (obj->M == 1) b[p + q] = obj->mean;
  objective_function f = {fas154, obj};
  batch_likelihood batch(obj, true, options.lanes);
  const int code = minimise_and_report(&f, &batch, options, obj, b.data(), optmethod, phi, theta, mean, var, res,
                                       loglik, vcov);
  free_alik(obj);
  return code;
}
