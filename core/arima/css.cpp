/* Conditional-sum-of-squares estimation of ARIMA(p, d, q) models (css, objective fcss),
   and the parts it shares with the exact-likelihood estimator: the work object, loading
   the differenced series, and minimisation followed by the covariance of the estimates
   from a finite-difference Hessian.

   Box, G. E. P. and Jenkins, G. M. (1976), Time Series Analysis: Forecasting and
   Control, chapter 7 (conditional least squares).

   Parameter vector: phi[0..p-1], then the MA coefficients in the internal sign
   c_j = -theta_j, then the mean when d = 0. Residuals before time p are taken as zero
   and only residuals from time p onward enter the MA recursion. */
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/likelihood_batch_internal.h"
#include "core/arima/likelihood_internal.h"
#include "core/arima/log_internal.h"
#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "core/stats/stats.h"
#include "core/transform/transform.h"

namespace tsf_arima {

alik_css_object *alloc_likelihood_object(int p, int d, int q, int N, std::size_t kalman_doubles) {
  if (p > kMaxOrder || q > kMaxOrder) {
    std::puts("\n p and q should be less than 100. ");
    std::puts("Use sarima_init if either p > 100 or q > 100 ");
    std::exit(1);
  }
  const std::size_t nx = N > 0 ? 3 * static_cast<std::size_t>(N) + 1 : 1;
  const std::size_t bytes = sizeof(alik_css_object) + (nx + kalman_doubles) * sizeof(double);
  void *block = std::malloc(bytes);
  if (block == nullptr) {
    std::puts("\n Memory allocation failed for the likelihood work object. ");
    std::exit(1);
  }
  auto *obj = static_cast<alik_css_object *>(block);
  obj->p = p;
  obj->d = d;
  obj->q = q;
  obj->N = N;
  obj->length = N;
  obj->M = d == 0 ? 1 : 0;
  obj->pq = p + q + obj->M;
  obj->r = p > q + 1 ? p : q + 1;
  for (int i = 0; i < obj->r; ++i) {
    obj->phi[i] = 0.0;
    obj->theta[i] = 0.0;
  }
  obj->eps = macheps();
  obj->mean = 0.0;
  obj->ssq = 0.0;
  obj->loglik = 0.0;
  obj->x = reinterpret_cast<double *>(static_cast<char *>(block) + sizeof(alik_css_object));
  obj->kalman = kalman_doubles > 0 ? obj->x + nx : nullptr;
  return obj;
}

double css_residuals(int p, int q, const double *phi, const double *c, const double *w, int n, double *e) {
  css_lanes<double, centred_series<double>> g{phi, c, {w, 0.0, false}, e, 0.0};
  css_sum_of_squares<true>(p, q, n, g);
  return g.sum;
}

int load_series(alik_css_object *obj, double *x, int N) {
  const int d = obj->d;
  const int n = N - d;
  double *y = obj->x + 2 * n;
  if (d > 0) {
    diff(x, N, d, y);
  } else {
    for (int t = 0; t < n; ++t) y[t] = x[t];
  }
  for (int t = 0; t < n; ++t) {
    obj->x[t] = y[t];
    obj->x[n + t] = 0.0;
  }
  obj->length = n;
  return n;
}

namespace {

int exit_status(int minimiser_code) {
  if (minimiser_code == 0 || minimiser_code == 4 || minimiser_code == 15) return minimiser_code;
  return 1;
}

/* vcov = ((n - d) * (H + H') / 2)^-1 from the Hessian H already in vcov. */
void covariance_from_hessian(double *vcov, int k, double factor) {
  std::vector<double> T(static_cast<std::size_t>(k) * k);
  std::vector<int> ipiv(static_cast<std::size_t>(k));
  mtranspose(vcov, k, k, T.data());
  for (std::size_t i = 0; i < T.size(); ++i) T[i] = 0.5 * factor * (vcov[i] + T[i]);
  ludecomp(T.data(), k, ipiv.data());
  minverse(T.data(), k, ipiv.data(), vcov);
}

}  // namespace

namespace {

/* An objective that counts its evaluations. */
struct counted_objective {
  objective_function inner;
  long *count;
  static double call(double *x, int n, void *self) {
    auto *c = static_cast<counted_objective *>(self);
    ++*c->count;
    return c->inner.funcpt(x, n, c->inner.params);
  }
};

/* The most parameters for which the batched minimiser is used: its Hessian holds the
   (N + 1)^2 points of the difference scheme at once. */
constexpr int kMaxBatchedParameters = 32;

}  // namespace

int minimise_and_report(objective_function *f, alik_css_object *obj, double *b, int optmethod,
                        double *phi, double *theta, double *mean, double *var, double *res,
                        double *loglik, double *vcov) {
  fit_options scalar;
  scalar.batched = false;
  return minimise_and_report(f, nullptr, scalar, obj, b, optmethod, phi, theta, mean, var, res, loglik, vcov);
}

int minimise_and_report(objective_function *f_in, batch_likelihood *batch, const fit_options &options,
                        alik_css_object *obj, double *b, int optmethod, double *phi, double *theta,
                        double *mean, double *var, double *res, double *loglik, double *vcov) {
  const int k = obj->pq;
  const int p = obj->p;
  const int q = obj->q;
  const int n = obj->length;
  const int d = obj->d;
  counted_objective counted{*f_in, options.evaluations};
  objective_function counting = {counted_objective::call, &counted};
  objective_function *f = options.evaluations != nullptr ? &counting : f_in;
  // A minimiser that stops before its first iteration leaves its output untouched.
  std::vector<double> xopt(b, b + k);
  int code;
  if (k == 0) {
    // Nothing to estimate (ARIMA(0, d, 0), d >= 1): one evaluation gives the outputs.
    f->funcpt(xopt.data(), 0, f->params);
    code = 1;
  } else {
    std::vector<double> dx(static_cast<std::size_t>(k), 1.0);
    for (int i = 0; i < k * k; ++i) vcov[i] = 0.0;
    if (batch != nullptr && options.batched && optmethod == 7 && k <= kMaxBatchedParameters) {
      const tsf_optim::batch_objective bf = batch->objective();
      tsf_optim::batch_options bo;
      bo.cache_entries = options.cache_entries;
      bo.evaluations = options.evaluations;
      code = exit_status(tsf_optim::fminunc_batched(f, &bf, k, b, 1.0, xopt.data(), bo));
      tsf_optim::hessian_fd_batched(&bf, xopt.data(), k, dx.data(), obj->eps, vcov, options.evaluations);
      // The work object is left as after the scalar Hessian: last evaluated at the optimum.
      f->funcpt(xopt.data(), k, f->params);
    } else {
      code = exit_status(fminunc(f, nullptr, k, b, 1.0, optmethod, xopt.data()));
      if (hessian_fd(f, xopt.data(), k, dx.data(), obj->eps, vcov) != 0) {
        // The Hessian stopped at a perturbed point: evaluate at the optimum again so that
        // the residuals, variance and objective value reported belong to it.
        f->funcpt(xopt.data(), k, f->params);
      }
    }
    covariance_from_hessian(vcov, k, static_cast<double>(n - d));
  }
  for (int i = 0; i < p; ++i) phi[i] = xopt[i];
  for (int j = 0; j < q; ++j) theta[j] = -xopt[p + j];
  *mean = obj->M == 1 ? xopt[p + q] : 0.0;
  *var = obj->ssq / n;
  // n - d residuals (the caller's array has n); the last d entries are left as they are.
  for (int t = 0; t < n - d; ++t) res[t] = obj->x[n + t];
  *loglik = obj->loglik;
  return code;
}

}  // namespace tsf_arima

extern "C" {

alik_css_object *alik_css_init(int p, int d, int q, int N) {
  return tsf_arima::alloc_likelihood_object(p, d, q, N, 0);
}

void free_alik_css(alik_css_object *obj) { std::free(obj); }

double fcss(double *b, int ncoeff, void *params) {
  (void)ncoeff;
  auto *obj = static_cast<alik_css_object *>(params);
  const int p = obj->p;
  const int q = obj->q;
  const int n = obj->length;
  double *w = obj->x;
  double *e = obj->x + n;
  for (int t = 0; t < p && t < n; ++t) e[t] = 0.0;
  if (obj->M == 1) {
    const double mu = b[p + q];
    const double *y = obj->x + 2 * n;
    for (int t = 0; t < n; ++t) w[t] = y[t] - mu;
  }
  const double ssq = tsf_arima::css_residuals(p, q, b, b + p, w, n, e);
  // With n <= p no residual is counted and the value is NaN, which the minimiser reports.
  const double count = n > p ? static_cast<double>(n - p) : 0.0;
  const double value = 0.5 * tsf_log(ssq / count);
  obj->ssq = ssq;
  obj->loglik = value;
  return value;
}

int css(double *x, int N, int optmethod, int p, int d, int q, double *phi, double *theta,
        double *mean, double *var, double *res, double *loglik, double *vcov) {
  return tsf_arima::css_fit(tsf_arima::fit_options{}, x, N, optmethod, p, d, q, phi, theta, mean, var, res,
                            loglik, vcov);
}

}  // extern "C"

int tsf_arima::css_fit(const fit_options &options, double *x, int N, int optmethod, int p, int d, int q,
                       double *phi, double *theta, double *mean, double *var, double *res, double *loglik,
                       double *vcov) {
  if (!valid_fit_input(N, p, d, q)) return 0;
  alik_css_object *obj = alik_css_init(p, d, q, N);
  const int n = load_series(obj, x, N);
  double mu = 0.0;
  if (d == 0) mu = ::mean(obj->x, n);
  obj->mean = mu;
  *mean = mu;
  std::vector<double> b(static_cast<std::size_t>(obj->pq), 0.0);
  if (obj->M == 1) b[p + q] = mu;
  objective_function f = {fcss, obj};
  batch_likelihood batch(obj, false, options.lanes);
  const int code = minimise_and_report(&f, &batch, options, obj, b.data(), optmethod, phi, theta, mean, var, res,
                                       loglik, vcov);
  free_alik_css(obj);
  return code;
}
