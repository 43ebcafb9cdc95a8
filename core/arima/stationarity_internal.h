/* Stationarity of an autoregressive polynomial, decided without finding its roots
   (never installed). Barndorff-Nielsen and Schou (1973); Monahan (1984), "A note on
   enforcing stationarity in autoregressive-moving average models".

   phi holds the p coefficients in the engine's convention, 1 - phi[0] z - ... -
   phi[p-1] z^p. The step-down (reverse Levinson-Durbin) recursion turns them into the
   partial autocorrelations of the process; the polynomial has every root outside the
   unit circle exactly when each of those lies strictly inside (-1, 1). A non-finite
   coefficient is not stationary; p <= 0 (no AR part) is.

   The forecast variances of a model whose AR part fails this test are not defined:
   every forecaster of the family reports them as NaN (forkal does, and so everything
   built on it). A seasonal model passes its expanded AR polynomial, the product of the
   ordinary and seasonal factors, which is stationary exactly when both are. */
#ifndef TSFORGE_CORE_ARIMA_STATIONARITY_INTERNAL_H
#define TSFORGE_CORE_ARIMA_STATIONARITY_INTERNAL_H

#include <cmath>
#include <vector>

namespace tsf_arima {

inline bool ar_polynomial_is_stationary(const double *phi, int p) {
  if (p <= 0) return true;
  std::vector<double> a(phi, phi + p), prev(p);
  for (int k = p; k >= 1; --k) {
    const double r = a[k - 1];
    if (!(std::fabs(r) < 1.0)) return false;  // also false for NaN
    // Coefficients of order k - 1: a'[j] = (a[j] + r a[k-j]) / (1 - r^2), 1-based.
    const double scale = 1.0 - r * r;
    for (int j = 1; j < k; ++j) prev[j - 1] = (a[j - 1] + r * a[k - j - 1]) / scale;
    for (int j = 1; j < k; ++j) a[j - 1] = prev[j - 1];
  }
  return true;
}

}  // namespace tsf_arima

#endif /* TSFORGE_CORE_ARIMA_STATIONARITY_INTERNAL_H */
