/* Pieces of the model objects shared by the non-seasonal and seasonal models (never
   installed): the setters' rules and notices, the log-likelihood formed from an
   estimator's objective value, and the parts of the printed summary that do not depend
   on the model's orders. */
#ifndef TSFORGE_CORE_ARIMA_MODEL_INTERNAL_H
#define TSFORGE_CORE_ARIMA_MODEL_INTERNAL_H

#include <cstddef>
#include <cstdlib>
#include <limits>

namespace tsf_arima {

/* The most coefficients whose covariance matrix, ncoeff^2 entries, an int can count. A
   model checks its count against it before squaring it. */
constexpr long long kMaxCoefficients = 46340;

/* A model object with ndouble doubles behind it in one block (the header holds doubles,
   so its size keeps the arrays aligned); null when the size does not fit or malloc
   fails. */
template <class Model>
Model *allocate_model(long long ndouble) {
  if (ndouble < 0 ||
      static_cast<unsigned long long>(ndouble) > (std::numeric_limits<std::size_t>::max() - sizeof(Model)) / sizeof(double))
    return nullptr;
  return static_cast<Model *>(std::malloc(sizeof(Model) + static_cast<std::size_t>(ndouble) * sizeof(double)));
}

/* A model before any estimate: mean 0, variance 1, status 0, every one of its ndouble
   doubles 0, log-likelihood and AIC NaN; one that could not be estimated reads so. */
template <class Model>
void clear_estimates(Model *obj, double *data, long long ndouble) {
  obj->mean = 0.0;
  obj->var = 1.0;
  obj->retval = 0;
  for (long long k = 0; k < ndouble; ++k) data[k] = 0.0;
  obj->loglik = std::numeric_limits<double>::quiet_NaN();
  obj->aic = std::numeric_limits<double>::quiet_NaN();
}

/* Stores value when it is an accepted method (0..2) or optimiser (0..7); otherwise
   prints the notice and keeps the previous value. */
void store_method(int *method, int value);
void store_optmethod(int *optmethod, int value);

/* Every one of the n values is a finite number. */
bool all_finite(const double *x, int n);

/* The objective and every estimate of a fit are finite numbers: a minimiser may stop
   "successfully" on a point where the objective is infinite (a constant series has
   variance 0) or NaN, which is code 15, not a fit. */
bool estimate_is_finite(double objective, double var, double mean, const double *phi, int p,
                        const double *theta, int q);

/* -0.5 nused (2 l + 1 + ln 2 pi) from the objective value l of the ML and CSS estimators. */
double loglik_from_objective(double l, int nused);

/* Summary lines: the exit-status block (methods 0 and 1), the estimation and
   optimisation method lines, and the log-likelihood and AIC lines. */
void print_exit_status(int retval);
void print_methods(int method, int optmethod);
void print_criteria(int method, double loglik, double aic);
/* The MEAN line (with its standard error when the model estimates a mean) and the
   SIGMA^2 line of the coefficient table. */
void print_mean_and_variance(bool with_stderr, double mean, double mean_stderr, double var);

}  // namespace tsf_arima

#endif  // TSFORGE_CORE_ARIMA_MODEL_INTERNAL_H
