// The automatic ARIMA forecaster TsAutoARIMA: differencing chosen by unit-root tests, the
// orders by the corrected Akaike criterion (AICc) among eligible fits, by a stepwise search
// (default) or a full one, and forecasts with mean square errors and intervals at any
// level.
//
// How a model is chosen, for a series x of n values and a period s (1: non-seasonal):
// - D (0 or 1) by SeasonalDiffs (the Canova-Hansen and seasonal Ljung-Box tests) when
//   s > 1 and x holds at least three seasons, then d (0 to 2, d + D at most 2) by
//   successive KPSS tests on the seasonally differenced series (see UnitRoot.h).
// - Candidates (p, q <= 5, P, Q <= 2) are fitted to x centred and scaled to unit variance,
//   by exact maximum likelihood; a seasonal search compares them by the conditional sum of
//   squares and refits the chosen one exactly (the next one if that fit is not eligible).
//   A constant is a mean when d + D = 0 (always estimated there), a drift when d + D = 1
//   (the stepwise search tries it with and without), and never used when d + D = 2.
// - Eligible fits, the only ones compared: converged (status 1), AR and MA roots, seasonal
//   and non-seasonal, all of modulus above 1.01, finite log-likelihood, positive finite
//   innovation variance, a positive definite covariance of the estimates, finite AICc, and
//   finite non-negative mean square errors over a probe horizon of max(2 s, 10) steps.
// - Stepwise (Hyndman and Khandakar 2008): the best of (2,2)(1,1), (0,0)(0,0), (1,0)(1,0),
//   (0,1)(0,1) (seasonal parts only when s > 1), then repeatedly the first neighbour with a
//   lower AICc: one of p, q, P, Q changed by one, p and q (or P and Q) changed together by
//   one each, or the drift switched; at most 100 fits.
// - Full search: every p, q <= 5, P, Q <= 2 with p + q + P + Q <= 5, with and without the
//   drift when d + D = 1.
// - Mean square errors: those of the chosen model with the innovation variance taken
//   unbiased, plus the first-order estimation error of its coefficients, mixed with the
//   other eligible models by their Akaike weights (sum w_i (mse_i + (f_i - f)^2) / sum w_i);
//   the interval is forecast -/+ t sqrt(mse), t the Student quantile with n - K degrees of
//   freedom.
//
// Choices where the behaviour is otherwise open:
// - A candidate is tried only when the differenced series has more values than the
//   expanded AR order p + s P plus twice the number of coefficients (constant included),
//   and its expanded orders p + s P and q + s Q are at most 60; a fit counts only when its
//   AICc is defined (n - K - 1 > 0). The smallest model, a mean, needs 4 values.
// - A series constant after its differences (a constant, a straight line) gets the model
//   without ARMA terms, the constant as its mean or drift, zero variances and NaN criteria
//   (its likelihood is unbounded), with no fit (GetFitsTried() is 0).
// - DoFit returns false for a series with a non-finite value or fewer than 3 values, and
//   when no candidate is eligible.
// - A period below 1 is taken as 1, and seasonal terms are only considered when the
//   series holds at least three seasons.
// - Forecasts come from the chosen model; if its mean square errors are not finite and
//   non-negative over the requested horizon (possible only far beyond the probe horizon),
//   the next eligible model by AICc forecasts instead and becomes the chosen one.
#ifndef TSFORGE_FORECAST_AUTOARIMA_H
#define TSFORGE_FORECAST_AUTOARIMA_H

#include <cstddef>
#include <string>
#include <vector>

#include "Forecast/ARIMA.h"
#include "core/export.h"

// A fitted seasonal ARIMA(p, d, q)(P, D, Q)[s] model in the core's sign convention:
// phi(B) PHI(B^s) (w[t] - c) = theta(B) THETA(B^s) a[t] with w = (1 - B)^d (1 - B^s)^D x,
// polynomials 1 - sum coef[i] B^i. c is the mean (d + D = 0) or the drift (d + D = 1,
// the mean of the differenced series) when constant is true, else 0.
struct TSFORGE_API TsAutoARIMAModel {
  int p = 0, d = 0, q = 0;
  int P = 0, D = 0, Q = 0;
  int s = 1;
  bool constant = false;
  std::vector<double> phi, theta, PHI, THETA;
  double c = 0.0;
  // Covariance of the estimates (phi, theta, PHI, THETA, then c when constant), row-major;
  // empty when nothing was estimated.
  std::vector<double> vcov;
  double sigma2 = 0.0;
  double loglik = 0.0;
  double aic = 0.0, aicc = 0.0, bic = 0.0;
  int nobs = 0;  // values the likelihood is over: n - d - s D

  // "ARIMA(p,d,q)", with "(P,D,Q)[s]" appended for a seasonal model and " with mean" or
  // " with drift" when constant.
  std::string Name() const;
  // Estimated parameters: coefficients, the constant and the variance.
  int Parameters() const;
};

class TSFORGE_API TsAutoARIMA : public TsForecast {
 public:
  explicit TsAutoARIMA(int period = 1);
  ~TsAutoARIMA() override;

  void SetPeriod(int period);
  int GetPeriod() const;
  // true (default): stepwise search; false: the full search.
  void SetStepwise(bool stepwise);
  bool GetStepwise() const;
  // Interval level in percent, strictly between 0 and 100 (default 95); other values are
  // refused (false) and the level kept.
  bool SetLevel(double level);
  double GetLevel() const;

  bool DoFit() override;
  bool DoPredit(int n) override;

  // The chosen model (meaningful after a successful fit).
  const TsAutoARIMAModel &GetModel() const;
  // Candidate fits made by the last DoFit, eligible or not.
  int GetFitsTried() const;
  // Of the last DoPredit: forecasts, mean square errors (those of the model with known
  // coefficients plus the estimation error of the coefficients to first order) and the
  // interval bounds forecast -/+ z sqrt(mse), z the normal quantile of the level.
  const std::vector<double> &GetXPred() const;
  const std::vector<double> &GetMse() const;
  const std::vector<double> &GetLower() const;
  const std::vector<double> &GetUpper() const;
  // The z of those bounds: the Student t quantile of the level with the chosen model's
  // n - K degrees of freedom.
  double GetQuantile() const;

  // The seasonal period of a time column holding decimal years (1990, 1990.25, ...): the
  // integer f in 2..24 when every step is 1 / f to within 1% and the times lie within
  // the years 1000 to 3000; otherwise 1 (annual data, sample numbers, daily or weekly data
  // and irregular times alike).
  static int InferPeriod(const std::vector<double> &time);

 private:
  // A series constant after its differences needs no fit: the model with no ARMA terms,
  // the constant as mean or drift, and zero variance. False for any other series.
  bool ExactlyPredictable(int d, int D, int period);
  // Refits the models of a conditional search of x by exact likelihood, best first, until
  // one is eligible; it replaces those before it at the head of the ranking.
  void RefitBestExactly(const std::vector<double> &x, int d, int D, int period);
  // A model fitted to (x - centre) / spread as a model of x.
  static void ToOriginalScale(TsAutoARIMAModel &m, double centre, double spread);
  // Widens the chosen model's mean square errors by the spread of the other models' forecasts.
  void AddSelectionUncertainty(std::size_t chosen, const std::vector<double> &f, std::vector<double> &mse) const;

  int m_period;
  bool m_stepwise;
  double m_level;
  double m_quantile;
  int m_fitsTried;
  TsAutoARIMAModel m_model;
  std::vector<TsAutoARIMAModel> m_ranked;  // eligible models by increasing AICc of the search
  std::vector<double> m_searchAicc;        // that AICc (conditional in a seasonal search)
  std::vector<double> m_xPred, m_mse, m_lower, m_upper;
};

#endif  // TSFORGE_FORECAST_AUTOARIMA_H
