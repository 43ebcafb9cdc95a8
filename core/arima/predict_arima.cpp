/* Forecasts from given ARIMA(p, d, q) coefficients without a model object: the one-step
   errors of the differenced series are rebuilt by the conditional recursion of the ARMA
   model (errors before the first one computed taken as zero), the recursion is run L steps
   past the end, and the forecasts are integrated back onto the undifferenced series.

   Box, G. E. P. and Jenkins, G. M. (1976), Time Series Analysis: Forecasting and Control,
   chapter 5 (forecasts from the difference equation). */
#include <algorithm>
#include <vector>

#include "core/arima/arima.h"
#include "core/transform/transform.h"

extern "C" {

void predictarima(const double *x, int N, int p, int d, int q, const double *phi,
                  const double *theta, double c, int L, double *xpred) {
  if (L < 1 || p < 0 || d < 0 || q < 0 || N - d < 1) return;
  std::vector<double> y(N);
  int n = N;
  if (d > 0)
    n = diff(const_cast<double *>(x), N, d, y.data());
  else
    std::copy(x, x + N, y.begin());
  // The first pass needs p values behind its origin: it starts at t0 = max(3, p).
  const int t0 = std::max(3, p);
  if (n < t0) return;

  // Residual list: q zeros, then one one-step error per in-sample pass; newest last.
  std::vector<double> e(q, 0.0);
  e.reserve(static_cast<std::size_t>(q) + n);
  // MA term of the forecast h steps past the origin: the errors before the origin only.
  auto ma_term = [&](int h) {
    double s = 0.0;
    const std::size_t newest = e.size() - 1;
    for (int m = h + 1; m <= q; ++m) s += theta[m - 1] * e[newest - (m - h - 1)];
    return s;
  };
  for (int t = t0; t < n; ++t) {
    double f = c;
    for (int k = 1; k <= p; ++k) f += phi[k - 1] * y[t - k];
    f -= ma_term(0);
    e.push_back(y[t] - f);
  }

  std::vector<double> w(y.begin(), y.begin() + n);
  w.resize(static_cast<std::size_t>(n) + L);
  for (int h = 0; h < L; ++h) {
    double f = c;
    for (int k = 1; k <= p; ++k) f += phi[k - 1] * w[n + h - k];
    w[n + h] = f - ma_term(h);
  }

  if (d == 0) {
    std::copy(w.begin() + n, w.end(), xpred);
    return;
  }
  std::vector<double> delta(d + 1);
  deld(d, delta.data());
  for (int h = 0; h < L; ++h) {
    double v = w[n + h];
    for (int m = 1; m <= d; ++m) v -= delta[m] * (h < m ? x[N + h - m] : xpred[h - m]);
    xpred[h] = v;
  }
}

}  // extern "C"
