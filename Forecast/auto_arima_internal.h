// Pieces of the automatic ARIMA forecaster shared by its search and its tests: fitting
// one candidate with the core's estimators, the eligibility rules, forecasting from a
// fitted model and the normal quantile of an interval level.
#ifndef TSFORGE_FORECAST_AUTO_ARIMA_INTERNAL_H
#define TSFORGE_FORECAST_AUTO_ARIMA_INTERNAL_H

#include <cstddef>
#include <functional>
#include <vector>

#include "Forecast/AutoARIMA.h"

namespace tsf_auto {

// x[t] - x[t - lag] for t = lag .. n - 1.
inline std::vector<double> Differenced(const std::vector<double> &x, int lag) {
  std::vector<double> w;
  for (std::size_t t = static_cast<std::size_t>(lag); t < x.size(); ++t) w.push_back(x[t] - x[t - lag]);
  return w;
}

// Largest expanded AR or MA order p + s P, q + s Q of a candidate. The exact likelihood and
// the forecaster work on a state of that dimension, whose initial covariance costs about
// its sixth power: 60 admits P = 2 up to period 27 and P = 1 up to period 55 (weekly data);
// a longer period gets the seasonal difference alone.
constexpr int kMaxExpandedOrder = 60;

// The Cholesky factor of a symmetric m x m matrix, in place (lower triangle); false when
// a pivot is not finite or falls below 1e-12 of its diagonal entry, that is when A is not
// numerically positive definite.
bool CholeskyFactor(std::vector<double> &A, int m);

// Roots of the AR and MA polynomials must lie outside this radius.
constexpr double kRootRadius = 1.01;

// One candidate of the search, for the differencing already chosen.
struct Candidate {
  int p = 0, q = 0, P = 0, Q = 0;
  bool constant = false;
  bool operator==(const Candidate &o) const {
    return p == o.p && q == o.q && P == o.P && Q == o.Q && constant == o.constant;
  }
};

// What the core's estimator returned for a candidate, before any eligibility rule.
struct CoreFit {
  int retval = 0;
  double loglik = 0.0;
  double var = 0.0;
  double mean = 0.0;
  int nused = 0;
  std::vector<double> phi, theta, PHI, THETA;
  // Covariance of the estimates, row-major, in the estimator's order and signs: phi,
  // -theta, PHI, -THETA, then the mean.
  std::vector<double> vcov;
};

// Whether the series allows the candidate at all: expanded orders at most
// kMaxExpandedOrder, and the differenced series (nused values) longer than the expanded AR
// order plus twice the number of coefficients (the rule the program applies to a given
// order).
bool Feasible(int nused, int s, const Candidate &c);

// Fit of ARIMA(p, d, q)(P, D, Q)[s] to the n values of x by the core's method (0 exact
// maximum likelihood, 1 conditional sum of squares), with a mean estimated exactly when
// d = D = 0.
CoreFit FitCore(const std::vector<double> &x, int d, int D, int s, const Candidate &c, int method);

// The fit of a candidate for the differencing chosen (tests script it).
using CoreFitter = std::function<CoreFit(const Candidate &)>;

// Fits candidates to x by FitCore with the given method; a drift (a constant with
// d + D = 1) is fitted as the mean of the differenced series.
CoreFitter CoreFitterFor(const std::vector<double> &x, int d, int D, int s, int method);

// The eligibility rule on a fit's outcome, apart from the forecasts: converged, finite
// log-likelihood and mean, positive finite variance, every root beyond kRootRadius, and a
// positive definite covariance of the estimates (else the fit did not end at a proper
// maximum of the likelihood).
bool FitIsEligible(const CoreFit &fit);

// The model of an eligible fit of candidate c, criteria included; false when the fit is
// not eligible, its criteria are not finite, or its forecasts of x over the probe horizon
// max(2 s, 10) (ForecastWithEstimatedCoefficients) have non-finite values or non-finite
// or negative mean square errors.
bool ModelOfFit(const CoreFit &fit, const Candidate &c, int d, int D, int s, const std::vector<double> &x,
                TsAutoARIMAModel &model);

// Every eligible model the search met, and how many candidates it fitted.
struct SearchResult {
  std::vector<TsAutoARIMAModel> models;
  int tried = 0;
};

// The order search for differencing d, D of x: stepwise or full, seasonal orders only when
// seasonal is true.
SearchResult SearchOrders(const std::vector<double> &x, int d, int D, int s, bool seasonal, bool stepwise,
                          const CoreFitter &fitter);

// True when every root of 1 - c[0] z - ... - c[k-1] z^k has modulus above radius (an
// empty polynomial has none).
bool RootsOutside(const std::vector<double> &coef, double radius);

// h forecasts and mean square errors of the model for the series x it was fitted to, the
// coefficients taken as known. False when the forecaster cannot run (nothing written
// then).
bool ForecastModel(const TsAutoARIMAModel &model, const std::vector<double> &x, int h, std::vector<double> &forecast,
                   std::vector<double> &mse);

// The part of the h mean square errors due to the estimation error of the coefficients,
// g' V g with g the derivatives of the forecasts by the coefficients (central
// differences) and V the model's covariance; zeros when the model has no covariance.
std::vector<double> EstimationMse(const TsAutoARIMAModel &model, const std::vector<double> &x, int h);

// Forecasts and mean square errors of the model with its coefficients estimated: those of
// ForecastModel, the innovation variance scaled to its unbiased value (times
// nobs / (nobs - K)), plus EstimationMse.
bool ForecastWithEstimatedCoefficients(const TsAutoARIMAModel &model, const std::vector<double> &x, int h,
                                       std::vector<double> &forecast, std::vector<double> &mse);

// True when every value is finite and every mean square error finite and non-negative.
bool ForecastsUsable(const std::vector<double> &forecast, const std::vector<double> &mse);

}  // namespace tsf_auto

#endif  // TSFORGE_FORECAST_AUTO_ARIMA_INTERNAL_H
