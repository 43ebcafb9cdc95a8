// Tests that choose the differencing of an automatic ARIMA model: the KPSS test of level
// stationarity for the ordinary differences; for the seasonal difference, the
// Canova-Hansen test of stable seasonality together with a seasonal Ljung-Box test of
// whether there is a seasonal pattern at all.
//
// Choices where the behaviour is otherwise open:
// - Long-run variances use Bartlett weights with KPSS's short truncation lag
//   l4 = floor(4 (n / 100)^(1/4)) for both tests.
// - A series whose residuals are all zero (a constant, or a pure seasonal pattern for
//   the Canova-Hansen regression) has statistic 0: nothing is left to be non-stationary.
// - Tests are made at the 5% level. The Canova-Hansen critical values are the published
//   ones for 1 to 12 degrees of freedom (periods 2 to 13); beyond that the statistic's
//   limit, a sum of s - 1 independent Cramer-von Mises variables, is matched in mean and
//   variance by chi-square(2.5 (s - 1)) / 15, whose quantile is taken by Wilson-Hilferty.
// - Too short a series for a test (fewer than 3 values for KPSS, fewer than three full
//   seasons for Canova-Hansen) gives no difference.
#ifndef TSFORGE_FORECAST_UNITROOT_H
#define TSFORGE_FORECAST_UNITROOT_H

#include <vector>

#include "core/export.h"

// KPSS's short truncation lag for n values, floor(4 (n / 100)^(1/4)).
TSFORGE_API int KPSSLag(int n);

// KPSS statistic of level stationarity (Kwiatkowski, Phillips, Schmidt and Shin 1992):
// eta = sum S_t^2 / (n^2 s^2(l)), S_t the partial sums of x - mean(x) and s^2(l) their
// long-run variance with l Bartlett lags (l < 0: KPSSLag(n)). NaN for fewer than 2 values.
TSFORGE_API double KPSSStatistic(const std::vector<double> &x, int lags = -1);

// 5% critical value of the level test, 0.463 (KPSS 1992, Table 1).
TSFORGE_API double KPSSCritical();

// Number of ordinary differences, 0 to maxd, chosen by successive KPSS tests: x is
// differenced while the test rejects level stationarity.
TSFORGE_API int KPSSDiffs(const std::vector<double> &x, int maxd = 2);

// Canova-Hansen statistic for period s >= 2 (Canova and Hansen 1995): x[t] is regressed on
// a constant, x[t - 1] and the s - 1 seasonal trigonometric terms; L = sum F_i' W^-1 F_i / N^2,
// F_i the partial sums of the trigonometric terms times the residuals and W their
// long-run covariance with l Bartlett lags (l < 0: KPSSLag(N)). Large values reject
// stable deterministic seasonality in favour of a seasonal unit root. NaN when the series
// is too short for the regression.
TSFORGE_API double CanovaHansenStatistic(const std::vector<double> &x, int s, int lags = -1);

// 5% critical value of the Canova-Hansen statistic for period s >= 2 (s - 1 degrees of
// freedom).
TSFORGE_API double CanovaHansenCritical(int s);

// Number of seasonal differences, 0 or 1: 1 when the Canova-Hansen test rejects stable
// seasonality at 5%. 0 for s < 2 or too short a series.
TSFORGE_API int CanovaHansenDiffs(const std::vector<double> &x, int s);

// Ljung-Box statistic of the seasonal lags s and 2 s of the first differences w of x:
// n (n + 2) sum_k max(r_k, 0)^2 / (n - k), r_k the lag-k autocorrelation of w. A seasonal
// pattern, stable or not, gives large positive autocorrelations at these lags (negative
// ones, as after over-differencing, are not evidence of seasonality). NaN when w has no
// more than 2 s values.
TSFORGE_API double SeasonalLjungBox(const std::vector<double> &x, int s);

// Number of seasonal differences for a model without seasonal regressors, 0 or 1: 1 when
// the Canova-Hansen test rejects stable seasonality, or when the seasonal Ljung-Box
// statistic exceeds the 1% point of chi-square(2), 9.21. A stable pattern has no other
// place in such a model than a seasonal difference (whose seasonal MA term then absorbs
// the over-difference). 0 for s < 2 or too short a series.
TSFORGE_API int SeasonalDiffs(const std::vector<double> &x, int s);

#endif  // TSFORGE_FORECAST_UNITROOT_H
