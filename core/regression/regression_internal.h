// Helpers shared by the regression functions; not installed.
#ifndef TSFORGE_CORE_REGRESSION_INTERNAL_H
#define TSFORGE_CORE_REGRESSION_INTERNAL_H

namespace tsf_regression {

// Coefficient limits b -/+ |t| se: tinv is signed above 1000 degrees of freedom.
void coefficient_limits(double b, double t, double se, double *lower, double *upper);

// Limits (N - p) sigma2 / chi-square quantiles of the residual variance at level
// 1 - alpha, lower first.
void variance_limits(double sigma2, int df, double alpha, double *lower, double *upper);

// x limited to [0, 1]; NaN stays NaN.
double unit_interval(double x);

// Upper-tail probability 1 - tcdf(|t|, df) of a coefficient whose estimate is b and
// standard error se; t receives |b| / se.
double one_tailed_p(double b, double se, int df, double *t);

}  // namespace tsf_regression

#endif  // TSFORGE_CORE_REGRESSION_INTERNAL_H
