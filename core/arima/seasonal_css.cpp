/* Conditional-sum-of-squares estimation of seasonal ARIMA models (css_seas, objective
   fcss_seas), and what it shares with the seasonal exact likelihood: the work objects,
   the seasonally differenced series, the expanded polynomials of a parameter vector and
   the minimisation with the covariance of the estimates.

   Box, G. E. P. and Jenkins, G. M. (1976), Time Series Analysis: Forecasting and
   Control, chapter 9 (multiplicative seasonal models) and chapter 7 (conditional least
   squares).

   The recursion is the non-seasonal one on the expanded polynomials of orders p + s P and
   q + s Q: residuals before time p + s P are zero, and only residuals from that time on
   enter the MA terms. */
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/log_internal.h"
#include "core/arima/seasonal_internal.h"
#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "core/stats/stats.h"

namespace tsf_arima {

namespace {

[[noreturn]] void allocation_failed() {
  std::puts("\n Memory allocation failed for the likelihood work object. ");
  std::exit(1);
}

/* a + b, or exit when the sum of sizes overflows. */
std::size_t add_size(std::size_t a, std::size_t b) {
  if (a > SIZE_MAX - b) allocation_failed();
  return a + b;
}

/* Doubles of the exact-likelihood work space for state dimension r: a, P, V and, when
   the AR side is not empty, the stationary-covariance solve's work space (a pure MA
   model has its covariance in closed form). */
std::size_t kalman_doubles(int r, bool ar) {
  const std::size_t np = packed_size(r);
  std::size_t n = add_size(static_cast<std::size_t>(r), add_size(np, np));
  if (ar) {
    // The triangular factor has np (np - 1) / 2 entries.
    if (np > (static_cast<std::size_t>(1) << 32)) allocation_failed();
    n = add_size(n, starma_work_size(r));
  }
  return n;
}

}  // namespace

alik_seas_object *alloc_seasonal_object(const seasonal_orders &o, int N, bool kalman) {
  const int pe = o.ar_order(), qe = o.ma_order();
  const int r = pe > qe + 1 ? pe : qe + 1;
  const std::size_t nx = N > 0 ? 3 * static_cast<std::size_t>(N) + 1 : 1;
  std::size_t doubles = add_size(nx, 2 * static_cast<std::size_t>(r));
  const std::size_t nk = kalman ? kalman_doubles(r, pe > 0) : 0;
  doubles = add_size(doubles, nk);
  if (doubles > (SIZE_MAX - sizeof(alik_seas_object)) / sizeof(double)) allocation_failed();
  void *block = std::malloc(sizeof(alik_seas_object) + doubles * sizeof(double));
  if (block == nullptr) allocation_failed();
  auto *obj = static_cast<alik_seas_object *>(block);
  alik_css_object &fit = obj->fit;
  fit.M = o.M();
  fit.pq = o.ncoeff();
  fit.p = fit.pq - fit.M;
  fit.q = 0;
  fit.d = static_cast<int>(o.lag_span());
  fit.r = 0;
  for (int i = 0; i <= kMaxOrder; ++i) fit.phi[i] = fit.theta[i] = 0.0;
  fit.N = N;
  fit.length = N;
  fit.eps = macheps();
  fit.mean = 0.0;
  fit.ssq = 0.0;
  fit.loglik = 0.0;
  fit.x = reinterpret_cast<double *>(obj + 1);
  fit.kalman = nullptr;
  obj->p = o.p;
  obj->d = o.d;
  obj->q = o.q;
  obj->s = o.s;
  obj->P = o.P;
  obj->D = o.D;
  obj->Q = o.Q;
  obj->pe = pe;
  obj->qe = qe;
  obj->r = r;
  obj->phi = fit.x + nx;
  obj->theta = obj->phi + r;
  for (int i = 0; i < r; ++i) obj->phi[i] = obj->theta[i] = 0.0;
  obj->kalman = kalman ? obj->theta + r : nullptr;
  return obj;
}

alik_seas_object *checked_seasonal_object(const seasonal_orders &o, int N, bool kalman) {
  if (o.p < 0 || o.d < 0 || o.q < 0 || o.s < 0 || o.P < 0 || o.D < 0 || o.Q < 0 || N < 0) {
    std::puts("\n Input Values cannot be Negative. Program Exiting. ");
    std::exit(-1);
  }
  // Expanded orders beyond an int have no work space that could be allocated.
  if (!o.valid()) allocation_failed();
  return alloc_seasonal_object(o, N, kalman);
}

void set_parameters(alik_seas_object *obj, const double *b) {
  const int p = obj->p, q = obj->q, P = obj->P, Q = obj->Q, s = obj->s;
  expand_seasonal(b, p, b + p + q, P, s, -1.0, obj->phi);
  expand_seasonal(b + p, q, b + p + q + P, Q, s, 1.0, obj->theta);
  for (int i = obj->pe; i < obj->r; ++i) obj->phi[i] = 0.0;
  for (int i = obj->qe; i < obj->r; ++i) obj->theta[i] = 0.0;
  if (obj->fit.M == 1) {
    const int n = obj->fit.length;
    const double mu = b[obj->fit.pq - 1];
    double *w = obj->fit.x;
    const double *y = w + 2 * n;
    for (int t = 0; t < n; ++t) w[t] = y[t] - mu;
  }
}

int load_seasonal_series(alik_seas_object *obj, const double *x, int N) {
  const seasonal_orders o(obj->p, obj->d, obj->q, obj->s, obj->P, obj->D, obj->Q);
  const int n = N - static_cast<int>(o.lag_span());
  double *y = obj->fit.x + 2 * n;
  seasonal_difference(x, N, o, y);
  for (int t = 0; t < n; ++t) {
    obj->fit.x[t] = y[t];
    obj->fit.x[n + t] = 0.0;
  }
  obj->fit.length = n;
  return n;
}

int minimise_seasonal(objective_function *f, alik_seas_object *obj, double *b, int optmethod, double *phi,
                      double *theta, double *PHI, double *THETA, double *mean, double *var, double *loglik,
                      double *vcov, double *res) {
  const int n = obj->fit.length;
  const int p = obj->p, q = obj->q, P = obj->P, Q = obj->Q;
  // The shared tail copies the k - M coefficients as one block (fit.p of them, no MA
  // block); the residuals it copies are read again below, so a scratch array takes them.
  std::vector<double> coef(static_cast<std::size_t>(obj->fit.p) + 1), scratch(static_cast<std::size_t>(n));
  double no_ma = 0.0;
  const int code =
      minimise_and_report(f, &obj->fit, b, optmethod, coef.data(), &no_ma, mean, var, scratch.data(), loglik, vcov);
  for (int i = 0; i < p; ++i) phi[i] = coef[i];
  for (int j = 0; j < q; ++j) theta[j] = -coef[p + j];
  for (int j = 0; j < P; ++j) PHI[j] = coef[p + q + j];
  for (int j = 0; j < Q; ++j) THETA[j] = -coef[p + q + P + j];
  if (res != nullptr)
    for (int t = 0; t < n; ++t) res[t] = obj->fit.x[n + t];
  return code;
}

int fit_css_seas(const double *x, int N, int optmethod, const seasonal_orders &o, double *phi, double *theta,
                 double *PHI, double *THETA, double *mean, double *var, double *loglik, double *vcov,
                 double *res) {
  if (!o.valid() || N <= o.lag_span()) return 0;
  alik_seas_object *obj = alloc_seasonal_object(o, N, false);
  const int n = load_seasonal_series(obj, x, N);
  const double mu = obj->fit.M == 1 ? ::mean(obj->fit.x, n) : 0.0;
  obj->fit.mean = mu;
  *mean = mu;
  std::vector<double> b(static_cast<std::size_t>(obj->fit.pq), 0.0);
  if (obj->fit.M == 1) b.back() = mu;
  objective_function f = {fcss_seas, obj};
  const int code = minimise_seasonal(&f, obj, b.data(), optmethod, phi, theta, PHI, THETA, mean, var, loglik,
                                     vcov, res);
  free_alik_css_seas(obj);
  return code;
}

void zero_unused_seasonal(int s, int P, int Q, double *PHI, double *THETA) {
  if (s != 0) return;
  for (int j = 0; j < P; ++j) PHI[j] = 0.0;
  for (int j = 0; j < Q; ++j) THETA[j] = 0.0;
}

}  // namespace tsf_arima

extern "C" {

alik_css_seas_object *alik_css_seas_init(int p, int d, int q, int s, int P, int D, int Q, int N) {
  return tsf_arima::checked_seasonal_object(tsf_arima::seasonal_orders(p, d, q, s, P, D, Q), N, false);
}

void free_alik_css_seas(alik_css_seas_object *obj) { std::free(obj); }

double fcss_seas(double *b, int ncoeff, void *params) {
  (void)ncoeff;
  auto *obj = static_cast<alik_seas_object *>(params);
  const int n = obj->fit.length;
  const int pe = obj->pe;
  double *w = obj->fit.x;
  double *e = w + n;
  tsf_arima::set_parameters(obj, b);
  for (int t = 0; t < pe && t < n; ++t) e[t] = 0.0;
  const double ssq = tsf_arima::css_residuals(pe, obj->qe, obj->phi, obj->theta, w, n, e);
  // With n <= p + s P no residual is counted and the value is NaN, which the minimiser reports.
  const double count = n > pe ? static_cast<double>(n - pe) : 0.0;
  const double value = 0.5 * tsf_log(ssq / count);
  obj->fit.ssq = ssq;
  obj->fit.loglik = value;
  return value;
}

int css_seas(double *x, int N, int optmethod, int p, int d, int q, int s, int P, int D, int Q, double *phi,
             double *theta, double *PHI, double *THETA, double *mean, double *var, double *loglik, double *vcov) {
  const int code = tsf_arima::fit_css_seas(x, N, optmethod, tsf_arima::seasonal_orders(p, d, q, s, P, D, Q), phi,
                                           theta, PHI, THETA, mean, var, loglik, vcov, nullptr);
  if (code != 0) tsf_arima::zero_unused_seasonal(s, P, Q, PHI, THETA);
  return code;
}

}  // extern "C"
