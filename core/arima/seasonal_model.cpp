// The seasonal ARIMA model object: one heap block holding the header and its arrays, the
// expanded polynomials and differencing operator that every seasonal routine works with,
// the estimation driver and the printed summary.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/model_internal.h"
#include "core/arima/seasonal_internal.h"
#include "core/filter/filter.h"
#include "core/matrix/matrix.h"
#include "core/transform/transform.h"

namespace tsf_arima {

void expand_seasonal(const double *c, int p, const double *C, int P, int s, double cross, double *out) {
  const int n = p + s * P;
  for (int k = 0; k < n; ++k) out[k] = 0.0;
  for (int i = 1; i <= p; ++i) out[i - 1] += c[i - 1];
  for (int j = 1; j <= P; ++j) {
    out[s * j - 1] += C[j - 1];
    for (int i = 1; i <= p; ++i) out[i + s * j - 1] += cross * c[i - 1] * C[j - 1];
  }
}

std::vector<double> differencing_operator(int d, int D, int s) {
  std::vector<double> ordinary(static_cast<std::size_t>(d) + 1, 1.0);
  std::vector<double> seasonal(static_cast<std::size_t>(s) * D + 1, 1.0);
  if (d > 0) deld(d, ordinary.data());
  if (D > 0) delds(D, s, seasonal.data());
  std::vector<double> out(ordinary.size() + seasonal.size() - 1);
  conv(ordinary.data(), static_cast<int>(ordinary.size()), seasonal.data(), static_cast<int>(seasonal.size()),
       out.data());
  return out;
}

int seasonal_difference(const double *x, int N, const seasonal_orders &o, double *y) {
  std::vector<double> z(static_cast<std::size_t>(N));
  const int nz = diffs(const_cast<double *>(x), N, o.D, o.s, z.data());
  return diff(z.data(), nz, o.d, y);
}

}  // namespace tsf_arima

namespace {

// The expanded model's state dimension max(p + s P, q + s Q + 1) is within the limit of
// the stationary covariance (starma) that the exact likelihood and forkal need.
bool state_fits(const sarima_object *obj) {
  const tsf_arima::seasonal_orders o(obj->p, obj->d, obj->q, obj->s, obj->P, obj->D, obj->Q);
  if (!o.valid()) return false;
  const long long r = std::max(static_cast<long long>(o.ar_order()), static_cast<long long>(o.ma_order()) + 1);
  return r <= tsf_arima::kMaxStateDimension;
}

bool seasonal_estimate_is_finite(const sarima_object *obj, double objective) {
  return tsf_arima::estimate_is_finite(objective, obj->var, obj->mean, obj->phi, obj->p, obj->theta, obj->q) &&
         tsf_arima::all_finite(obj->PHI, obj->P) && tsf_arima::all_finite(obj->THETA, obj->Q);
}

double stderr_at(const sarima_object *obj, int k) {
  return std::sqrt(obj->vcov[static_cast<std::size_t>(k) * obj->ncoeff + k]);
}

// Position of the first coefficient in vcov: the Box-Jenkins estimator puts the level
// first, the others lay it out as (phi, theta, PHI, THETA, mean).
int first_position(const sarima_object *obj) { return obj->method == 2 ? obj->M : 0; }

// Standard error of the printed mean term. For the Box-Jenkins method that term is the
// constant mu (1 - sum phi)(1 - sum PHI) while vcov holds the level mu: the delta method
// carries the variance over, with gradient (1 - sum phi)(1 - sum PHI) on the level,
// -mu (1 - sum PHI) on each phi and -mu (1 - sum phi) on each PHI.
double mean_stderr(const sarima_object *obj) {
  if (obj->method != 2) return stderr_at(obj, obj->p + obj->q + obj->P + obj->Q);
  const int k = obj->ncoeff;
  double ar = 1.0, sar = 1.0;
  for (int i = 0; i < obj->p; ++i) ar -= obj->phi[i];
  for (int j = 0; j < obj->P; ++j) sar -= obj->PHI[j];
  const double mu = ar * sar != 0.0 ? obj->mean / (ar * sar) : 0.0;
  std::vector<double> g(static_cast<std::size_t>(k), 0.0);
  g[0] = ar * sar;
  for (int i = 0; i < obj->p; ++i) g[1 + i] = -mu * sar;
  for (int j = 0; j < obj->P; ++j) g[1 + obj->p + obj->q + j] = -mu * ar;
  double v = 0.0;
  for (int a = 0; a < k; ++a)
    for (int b = 0; b < k; ++b) v += g[a] * obj->vcov[static_cast<std::size_t>(a) * k + b] * g[b];
  return std::sqrt(v);
}

void print_rows(const char *label, const char *format, const double *c, int count, const sarima_object *obj,
                int position) {
  for (int i = 0; i < count; ++i)
    std::printf(format, label, i + 1, c[i], stderr_at(obj, position + i));
}

void print_coefficients(const sarima_object *obj) {
  const int first = first_position(obj);
  std::printf("%-20s%-20s%-20s \n\n", "Coefficients", "Value", "Standard Error");
  print_rows("AR", "%s%-15d%-20g%-20g \n", obj->phi, obj->p, obj, first);
  print_rows("MA", "%s%-15d%-20g%-20g \n", obj->theta, obj->q, obj, first + obj->p);
  print_rows("SAR", "%s%-14d%-20g%-20g \n", obj->PHI, obj->P, obj, first + obj->p + obj->q);
  print_rows("SMA", "%s%-14d%-20g%-20g \n", obj->THETA, obj->Q, obj, first + obj->p + obj->q + obj->P);
  std::putchar('\n');
  tsf_arima::print_mean_and_variance(obj->M == 1, obj->mean, obj->M == 1 ? mean_stderr(obj) : 0.0, obj->var);
}

}  // namespace

sarima_object *sarima_init(int p, int d, int q, int s, int P, int D, int Q, int N) {
  if (p < 0 || d < 0 || q < 0 || s < 0 || P < 0 || D < 0 || Q < 0 || N < 1) {
    std::puts("\n Input Values cannot be Negative. Program Exiting. ");
    std::exit(-1);
  }
  const tsf_arima::seasonal_orders o(p, d, q, s, P, D, Q);
  const long long M = o.M();
  // Every size is checked before the next is formed from it: four orders near INT_MAX
  // give a count whose square would not fit in 64 bits.
  const long long ncoeff = static_cast<long long>(p) + q + o.P + o.Q + M;
  if (ncoeff > tsf_arima::kMaxCoefficients) return nullptr;
  const long long nused = static_cast<long long>(N) - o.lag_span();
  const long long nres = nused > 0 ? nused : 0;
  const long long lvcov = ncoeff * ncoeff;
  const long long ndouble = nres + p + q + o.P + o.Q + lvcov;
  auto *obj = tsf_arima::allocate_model<sarima_object>(ndouble);
  if (obj == nullptr) return nullptr;
  double *data = reinterpret_cast<double *>(obj + 1);
  obj->N = N;
  obj->Nused = static_cast<int>(nused > std::numeric_limits<int>::min() ? nused : std::numeric_limits<int>::min());
  obj->method = 0;
  obj->optmethod = 7;
  obj->p = p;
  obj->d = d;
  obj->q = q;
  obj->s = s;
  obj->P = o.P;
  obj->D = o.D;
  obj->Q = o.Q;
  obj->M = static_cast<int>(M);
  obj->ncoeff = static_cast<int>(ncoeff);
  obj->lvcov = static_cast<int>(lvcov);
  obj->phi = data;
  obj->theta = obj->phi + p;
  obj->PHI = obj->theta + q;
  obj->THETA = obj->PHI + o.P;
  obj->res = obj->THETA + o.Q;
  obj->vcov = obj->res + nres;
  tsf_arima::clear_estimates(obj, data, ndouble);
  return obj;
}

void sarima_setMethod(sarima_object *obj, int value) { tsf_arima::store_method(&obj->method, value); }

void sarima_setOptMethod(sarima_object *obj, int value) { tsf_arima::store_optmethod(&obj->optmethod, value); }

void sarima_exec(sarima_object *obj, const double *x) {
  if (obj->method < 0 || obj->method > 2) return;
  const double unset = std::numeric_limits<double>::quiet_NaN();
  if (obj->Nused <= 0 || !tsf_arima::all_finite(x, obj->N) || !state_fits(obj)) {
    // Nothing left after differencing, a value that is not a number, or a state too
    // large for the filter and the forecaster: an input error, not an estimate.
    obj->retval = 0;
    obj->loglik = unset;
    obj->aic = unset;
    return;
  }
  const tsf_arima::seasonal_orders o(obj->p, obj->d, obj->q, obj->s, obj->P, obj->D, obj->Q);
  double l = unset;
  if (obj->method == 0) {
    obj->retval = tsf_arima::fit_as154_seas(x, obj->N, obj->optmethod, o, obj->phi, obj->theta, obj->PHI,
                                            obj->THETA, &obj->mean, &obj->var, &l, obj->vcov, obj->res);
    obj->loglik = tsf_arima::loglik_from_objective(l, obj->Nused);
    obj->aic = -2.0 * obj->loglik + 2.0 * obj->ncoeff + 2.0;
  } else if (obj->method == 1) {
    obj->retval = tsf_arima::fit_css_seas(x, obj->N, obj->optmethod, o, obj->phi, obj->theta, obj->PHI,
                                          obj->THETA, &obj->mean, &obj->var, &l, obj->vcov, obj->res);
    obj->loglik = tsf_arima::loglik_from_objective(l, obj->Nused);
  } else {
    obj->retval = nlalsms(x, obj->N, obj->p, obj->d, obj->q, obj->phi, obj->theta, obj->s, obj->P, obj->D, obj->Q,
                          obj->PHI, obj->THETA, obj->M, &obj->mean, &obj->var, nullptr, obj->vcov, obj->res,
                          macheps());
    l = obj->var;  // the residual sum of squares, scaled by the degrees of freedom
  }
  if (obj->retval == 1 && !seasonal_estimate_is_finite(obj, l)) obj->retval = 15;
}

void sarima_vcov(sarima_object *obj, double *out) {
  for (int k = 0; k < obj->lvcov; ++k) out[k] = obj->vcov[k];
}

void sarima_summary(sarima_object *obj) {
  if (obj->method == 0 || obj->method == 1) tsf_arima::print_exit_status(obj->retval);
  std::puts("\n");
  std::printf("  ARIMA Seasonal Order : ( %d, %d, %d) * (%d, %d, %d) \n", obj->p, obj->d, obj->q, obj->P, obj->D,
              obj->Q);
  std::putchar('\n');
  print_coefficients(obj);
  tsf_arima::print_methods(obj->method, obj->optmethod);
  tsf_arima::print_criteria(obj->method, obj->loglik, obj->aic);
}

void sarima_free(sarima_object *obj) { std::free(obj); }
