/* Pieces of the model objects shared by the non-seasonal and seasonal models (never
   installed): the setters' rules and notices, the log-likelihood formed from an
   estimator's objective value, and the parts of the printed summary that do not depend
   on the model's orders. */
#ifndef TSFORGE_CORE_ARIMA_MODEL_INTERNAL_H
#define TSFORGE_CORE_ARIMA_MODEL_INTERNAL_H

namespace tsf_arima {

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

}  // namespace tsf_arima

#endif  // TSFORGE_CORE_ARIMA_MODEL_INTERNAL_H
