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

namespace {

/* Residuals e[t], t = t0 .. n-1, of orders P, Q known at compile time, for t0 >= p + q
   where every MA term is present: the last Q residuals stay in registers. The terms
   are subtracted in the same order as in the general loop, so the sums agree bit for
   bit. */
template <int P, int Q>
double css_tail(const double *phi, const double *c, const double *w, int t0, int n, double *e,
                double ssq) {
  double last[Q > 0 ? Q : 1];
  for (int j = 0; j < Q; ++j) last[j] = e[t0 - 1 - j];
  for (int t = t0; t < n; ++t) {
    double et = w[t];
    for (int j = 1; j <= P; ++j) et -= phi[j - 1] * w[t - j];
    for (int j = 1; j <= Q; ++j) et -= c[j - 1] * last[j - 1];
    for (int j = Q - 1; j > 0; --j) last[j] = last[j - 1];
    if (Q > 0) last[0] = et;
    e[t] = et;
    ssq += et * et;
  }
  return ssq;
}

using tail_fn = double (*)(const double *, const double *, const double *, int, int, double *, double);

template <int P>
tail_fn tail_for_q(int q) {
  switch (q) {
    case 0: return css_tail<P, 0>;
    case 1: return css_tail<P, 1>;
    case 2: return css_tail<P, 2>;
    case 3: return css_tail<P, 3>;
    default: return nullptr;
  }
}

tail_fn tail_for(int p, int q) {
  switch (p) {
    case 0: return tail_for_q<0>(q);
    case 1: return tail_for_q<1>(q);
    case 2: return tail_for_q<2>(q);
    case 3: return tail_for_q<3>(q);
    default: return nullptr;
  }
}

}  // namespace

double css_residuals(int p, int q, const double *phi, const double *c, const double *w, int n, double *e) {
  double ssq = 0.0;
  const tail_fn tail = tail_for(p, q);
  // The general loop runs up to where every MA term is present, or throughout when the
  // orders have no specialised tail.
  const int t_general = tail != nullptr ? (p + q < n ? p + q : n) : n;
  for (int t = p; t < t_general; ++t) {
    double et = w[t];
    for (int j = 1; j <= p; ++j) et -= phi[j - 1] * w[t - j];
    const int kq = q < t - p ? q : t - p;
    for (int j = 1; j <= kq; ++j) et -= c[j - 1] * e[t - j];
    e[t] = et;
    ssq += et * et;
  }
  if (tail != nullptr && t_general < n) ssq = tail(phi, c, w, t_general, n, e, ssq);
  return ssq;
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

int minimise_and_report(objective_function *f, alik_css_object *obj, double *b, int optmethod,
                        double *phi, double *theta, double *mean, double *var, double *res,
                        double *loglik, double *vcov) {
  const int k = obj->pq;
  const int p = obj->p;
  const int q = obj->q;
  const int n = obj->length;
  const int d = obj->d;
  // A minimiser that stops before its first iteration leaves its output untouched.
  std::vector<double> xopt(b, b + k);
  int code;
  if (k == 0) {
    // Nothing to estimate (ARIMA(0, d, 0), d >= 1): one evaluation gives the outputs.
    f->funcpt(xopt.data(), 0, f->params);
    code = 1;
  } else {
    code = exit_status(fminunc(f, nullptr, k, b, 1.0, optmethod, xopt.data()));
    std::vector<double> dx(static_cast<std::size_t>(k), 1.0);
    for (int i = 0; i < k * k; ++i) vcov[i] = 0.0;
    if (hessian_fd(f, xopt.data(), k, dx.data(), obj->eps, vcov) != 0) {
      // The Hessian stopped at a perturbed point: evaluate at the optimum again so that
      // the residuals, variance and objective value reported belong to it.
      f->funcpt(xopt.data(), k, f->params);
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
  if (!tsf_arima::valid_fit_input(N, p, d, q)) return 0;
  alik_css_object *obj = alik_css_init(p, d, q, N);
  const int n = tsf_arima::load_series(obj, x, N);
  double mu = 0.0;
  if (d == 0) mu = ::mean(obj->x, n);
  obj->mean = mu;
  *mean = mu;
  std::vector<double> b(static_cast<std::size_t>(obj->pq), 0.0);
  if (obj->M == 1) b[p + q] = mu;
  objective_function f = {fcss, obj};
  const int code =
      tsf_arima::minimise_and_report(&f, obj, b.data(), optmethod, phi, theta, mean, var, res, loglik, vcov);
  free_alik_css(obj);
  return code;
}

}  // extern "C"
