// The ARIMA model object: one heap block holding the header and its arrays, the
// estimation driver that hands the series to the estimator of the chosen method, and
// the printed summary of a fit.
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/arima/arima.h"
#include "core/arima/model_internal.h"
#include "core/matrix/matrix.h"
#include "core/optim/optim_internal.h"

namespace {

// ln(2 pi) to double precision. (The figure 1.8378762217451237 sometimes quoted for it is
// wrong from the seventh digit and would shift every log-likelihood by 4.2e-7 per point.)
constexpr double kLog2Pi = 1.8378770664093453;

double diag_stderr(const arima_object *obj, int k) {
  return std::sqrt(obj->vcov[static_cast<std::size_t>(k) * obj->ncoeff + k]);
}

// Position of the coefficients in vcov. Methods 0 and 1 lay it out as (phi, theta,
// mean); the Box-Jenkins estimator puts the level first, (level, phi, theta).
int ar_position(const arima_object *obj, int i) { return (obj->method == 2 ? obj->M : 0) + i; }
int ma_position(const arima_object *obj, int j) {
  return (obj->method == 2 ? obj->M : 0) + obj->p + j;
}

// Standard error of the printed mean term. For the Box-Jenkins method that term is the
// constant mu * (1 - sum phi) while vcov holds the level mu, so the delta method carries
// the variance over: gradient (1 - sum phi) on the level, -mu on each phi.
double mean_stderr(const arima_object *obj) {
  if (obj->method != 2) return diag_stderr(obj, obj->p + obj->q);
  const int k = obj->ncoeff;
  double sumphi = 0.0;
  for (int i = 0; i < obj->p; ++i) sumphi += obj->phi[i];
  const double mu = (1.0 - sumphi) != 0.0 ? obj->mean / (1.0 - sumphi) : 0.0;
  auto gradient = [&](int a) { return a == 0 ? 1.0 - sumphi : -mu; };
  double v = 0.0;
  for (int a = 0; a <= obj->p; ++a)
    for (int b = 0; b <= obj->p; ++b)
      v += gradient(a) * obj->vcov[static_cast<std::size_t>(a) * k + b] * gradient(b);
  return std::sqrt(v);
}

void print_coefficients(const arima_object *obj) {
  std::printf("%-20s%-20s%-20s \n\n", "Coefficients", "Value", "Standard Error");
  for (int i = 0; i < obj->p; ++i)
    std::printf("AR%-15d%-20g%-20g \n", i + 1, obj->phi[i], diag_stderr(obj, ar_position(obj, i)));
  for (int j = 0; j < obj->q; ++j)
    std::printf("MA%-15d%-20g%-20g \n", j + 1, obj->theta[j],
                diag_stderr(obj, ma_position(obj, j)));
  std::putchar('\n');
  tsf_arima::print_mean_and_variance(obj->M == 1, obj->mean, obj->M == 1 ? mean_stderr(obj) : 0.0, obj->var);
}

// One lag term of the equation; the stored coefficients enter with a minus sign.
void print_lag_term(double c, char series, int lag) {
  if (c > 0.0)
    std::printf("- %g*%c[t - %d%s", c, series, lag, "]");
  else if (c < 0.0)
    std::printf("+ %g*%c[t - %d%s", std::fabs(c), series, lag, "] ");
}

void print_equation(const arima_object *obj) {
  std::printf("EQUATION FORM : x[t] ");
  for (int i = 0; i < obj->p; ++i) print_lag_term(obj->phi[i], 'x', i + 1);
  std::putchar('=');
  if (obj->mean != 0.0) std::printf(" %g +", obj->mean);
  std::printf(" a[t] ");
  for (int j = 0; j < obj->q; ++j) print_lag_term(obj->theta[j], 'a', j + 1);
  std::puts("\n");
}

}  // namespace

namespace tsf_arima {

bool all_finite(const double *x, int n) {
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(x[i])) return false;
  return true;
}

bool estimate_is_finite(double objective, double var, double mean, const double *phi, int p,
                        const double *theta, int q) {
  return std::isfinite(objective) && std::isfinite(var) && std::isfinite(mean) && all_finite(phi, p) &&
         all_finite(theta, q);
}

// Log-likelihood from the objective value l that the ML and CSS estimators leave:
// l is half the log of the concentrated innovation variance (plus, for ML, the mean
// log determinant), per differenced observation.
double loglik_from_objective(double l, int nused) {
  return -0.5 * static_cast<double>(nused) * (2.0 * l + 1.0 + kLog2Pi);
}

void store_method(int *method, int value) {
  if (value >= 0 && value <= 2) {
    *method = value;
    return;
  }
  std::puts("\n Acceptable Numerical Values 0 - MLE, 1 - CSS, 2 - Box-Jenkins ");
}

void store_optmethod(int *optmethod, int value) {
  if (value >= 0 && value <= 7) {
    *optmethod = value;
    return;
  }
  std::puts("\n Acceptable Numerical Values 0,1,2,3,4,5,6,7 ");
  for (int k = 0; k < 8; ++k) std::printf("\n Method %d - %s \n", k, tsf_optim::kMethodNames[k]);
}

void print_exit_status(int retval) {
  std::puts("\n\n Exit Status ");
  std::printf("Return Code : %d \n", retval);
  std::printf("Exit Message : ");
  switch (retval) {
    case 0: std::printf("Input Error"); break;
    case 1: std::printf("Probable Success"); break;
    case 4: std::printf("Optimization Routine didn't converge"); break;
    case 15: std::printf("Optimization Routine Encountered Inf/Nan Values"); break;
    default: break;
  }
}

void print_methods(int method, int optmethod) {
  static const char *const kMethodName[3] = {"MLE", "CSS", "BOX-JENKINS"};
  std::printf("ESTIMATION METHOD : ");
  if (method >= 0 && method <= 2) std::printf("%s", kMethodName[method]);
  std::puts("\n");
  std::printf("OPTIMIZATION METHOD : ");
  if (method == 2)
    std::printf("Newton-Raphson");
  else if (optmethod == 6)
    std::printf("L-BFGS");  // the summary's short name
  else if (optmethod >= 0 && optmethod <= 7)
    std::printf("%s", tsf_optim::kMethodNames[optmethod]);
  std::puts("\n");
}

void print_mean_and_variance(bool with_stderr, double mean, double mean_stderr, double var) {
  if (with_stderr)
    std::printf("%-17s%-20g%-20g \n", "MEAN", mean, mean_stderr);
  else
    std::printf("%-17s%-20g \n", "MEAN", mean);
  std::putchar('\n');
  std::printf("%-17s%-20g \n", "SIGMA^2", var);
  std::putchar('\n');
}

void print_criteria(int method, double loglik, double aic) {
  if (method == 0 || method == 1)
    std::printf("Log Likelihood : %g ", loglik);
  else
    std::printf("Log Likelihood : Unavailable ");
  std::puts("\n");
  if (method == 0)
    std::printf("AIC criterion : %g ", aic);
  else
    std::printf("AIC Criterion : Unavailable ");
  std::puts("\n");
}

}  // namespace tsf_arima

arima_object *arima_init(int p, int d, int q, int N) {
  if (p < 0 || d < 0 || q < 0 || N < 1) {
    std::puts("\n Input Values cannot be Negative. Program Exiting. ");
    std::exit(-1);
  }
  const int M = d == 0 ? 1 : 0;
  // Every size is checked before the next is formed from it: ncoeff is at most about
  // 2^32 here, but its square would not fit in 64 bits.
  const long long ncoeff = static_cast<long long>(p) + q + M;
  if (ncoeff > tsf_arima::kMaxCoefficients) return nullptr;
  const long long nres = N > d ? static_cast<long long>(N) - d : 0;
  const long long lvcov = ncoeff * ncoeff;
  const long long ndouble = nres + p + q + lvcov;
  arima_object *obj = tsf_arima::allocate_model<arima_object>(ndouble);
  if (obj == nullptr) return nullptr;
  double *data = reinterpret_cast<double *>(obj + 1);
  obj->N = N;
  obj->Nused = N - d;
  obj->method = 0;
  obj->optmethod = 7;
  obj->p = p;
  obj->d = d;
  obj->q = q;
  obj->M = M;
  obj->ncoeff = static_cast<int>(ncoeff);
  obj->lvcov = static_cast<int>(lvcov);
  obj->phi = data;
  obj->theta = obj->phi + p;
  obj->res = obj->theta + q;
  obj->vcov = obj->res + nres;
  tsf_arima::clear_estimates(obj, data, ndouble);
  return obj;
}

void arima_setMethod(arima_object *obj, int value) { tsf_arima::store_method(&obj->method, value); }

void arima_setOptMethod(arima_object *obj, int value) {
  tsf_arima::store_optmethod(&obj->optmethod, value);
}

void arima_exec(arima_object *obj, const double *x) {
  if (obj->method < 0 || obj->method > 2) return;
  // Nothing left after differencing, or a value that is not a number: an input error,
  // whatever the estimator (some would otherwise report success on NaN).
  if (obj->N <= obj->d || !tsf_arima::all_finite(x, obj->N)) {
    obj->retval = 0;
    obj->loglik = std::numeric_limits<double>::quiet_NaN();
    obj->aic = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  // The estimators read the series without writing to it.
  double *xs = const_cast<double *>(x);
  // An estimator that stops on an input error leaves the objective unset: NaN keeps
  // such a model out of any comparison by AIC.
  double l = std::numeric_limits<double>::quiet_NaN();
  if (obj->method == 0) {
    obj->retval = as154(xs, obj->N, obj->optmethod, obj->p, obj->d, obj->q, obj->phi, obj->theta,
                        &obj->mean, &obj->var, obj->res, &l, obj->vcov);
    obj->loglik = tsf_arima::loglik_from_objective(l, obj->Nused);
    obj->aic = -2.0 * obj->loglik + 2.0 * obj->ncoeff + 2.0;
  } else if (obj->method == 1) {
    obj->retval = css(xs, obj->N, obj->optmethod, obj->p, obj->d, obj->q, obj->phi, obj->theta,
                      &obj->mean, &obj->var, obj->res, &l, obj->vcov);
    obj->loglik = tsf_arima::loglik_from_objective(l, obj->Nused);
  } else {
    obj->retval = nlalsm(xs, obj->N, obj->p, obj->d, obj->q, obj->phi, obj->theta, obj->M,
                         &obj->mean, &obj->var, nullptr, obj->vcov, obj->res, macheps());
    l = obj->var;  // the residual sum of squares, scaled by the degrees of freedom
  }
  // A minimiser may stop "successfully" on a point where the objective is infinite
  // (a constant series has variance 0) or NaN: that is code 15, not a fit.
  if (obj->retval == 1 && !tsf_arima::estimate_is_finite(l, obj->var, obj->mean, obj->phi, obj->p, obj->theta, obj->q)) obj->retval = 15;
}

void arima_vcov(arima_object *obj, double *out) {
  for (int k = 0; k < obj->lvcov; ++k) out[k] = obj->vcov[k];
}

void arima_summary(arima_object *obj) {
  if (obj->method == 0 || obj->method == 1) tsf_arima::print_exit_status(obj->retval);
  std::puts("\n");
  std::printf(" ARIMA Order : ( %d, %d, %d) \n", obj->p, obj->d, obj->q);
  std::putchar('\n');
  print_coefficients(obj);
  tsf_arima::print_methods(obj->method, obj->optmethod);
  print_equation(obj);
  tsf_arima::print_criteria(obj->method, obj->loglik, obj->aic);
}

void arima_free(arima_object *obj) { std::free(obj); }
