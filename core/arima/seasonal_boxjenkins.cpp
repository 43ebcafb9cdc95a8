/* Box-Jenkins estimation of seasonal ARIMA models: moment estimates of the seasonal
   coefficients from the autocovariances at the seasonal lags (USPE_seasonal), residuals
   with back-forecasting on the expanded polynomials (avalues) and Marquardt least squares
   (nlalsms).

   Box, G. E. P. and Jenkins, G. M. (1976), Time Series Analysis: Forecasting and
   Control, chapter 9 (seasonal models: initial estimates and back-forecasting);
   Marquardt, D. W. (1963), SIAM J. Appl. Math. 11, 431-441.

   Signs: the expanded polynomials are 1 - sum a[k] B^k on both sides, as avaluem takes
   them. */
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/seasonal_internal.h"
#include "core/stats/stats.h"

namespace {

/* Back-forecast length: 20 (p + s P) + q + s Q, at least s D + 15. */
int seasonal_backforecast_length(const tsf_arima::seasonal_orders &o) {
  const long long span = static_cast<long long>(o.s) * o.D;
  const long long Qb = 20LL * o.ar_order() + o.ma_order();
  return static_cast<int>(Qb <= span + 14 ? span + 15 : Qb);
}

/* The expanded AR and MA polynomials of the model, both in the form 1 - sum a[k] B^k. */
struct expanded_model {
  std::vector<double> ar, ma;
  expanded_model(const tsf_arima::seasonal_orders &o)
      : ar(static_cast<std::size_t>(o.ar_order())), ma(static_cast<std::size_t>(o.ma_order())) {}
  void set(const tsf_arima::seasonal_orders &o, const double *phi, const double *theta, const double *PHI,
           const double *THETA) {
    tsf_arima::expand_seasonal(phi, o.p, PHI, o.P, o.s, -1.0, ar.data());
    tsf_arima::expand_seasonal(theta, o.q, THETA, o.Q, o.s, -1.0, ma.data());
  }
};

}  // namespace

extern "C" {

void USPE_seasonal(const double *w, int n, int s, int P, int Q, double *PHI, double *THETA) {
  if (P < 0 || Q < 0) return;
  for (int j = 0; j < P; ++j) PHI[j] = 0.0;
  for (int j = 0; j < Q; ++j) THETA[j] = 0.0;
  if (s <= 0 || n < 1) return;
  const int m = P + Q;
  // Autocovariances up to lag s (m + 1) - 1, of which those at the multiples of s are used;
  // lags the series does not reach count as 0 (and need no notice).
  const long long wanted = static_cast<long long>(s) * (m + 1);
  const int L = wanted < n ? static_cast<int>(wanted) : n;
  std::vector<double> c(static_cast<std::size_t>(L), 0.0), cs(static_cast<std::size_t>(m) + 1, 0.0);
  autocovar(const_cast<double *>(w), n, c.data(), L);
  for (int j = 0; j <= m; ++j) {
    const long long lag = static_cast<long long>(j) * s;
    if (lag < L) cs[j] = c[lag];
  }
  if (P > 0) tsf_arima::uspe_ar_step(cs.data(), P, Q, PHI);
  std::vector<double> tau(static_cast<std::size_t>(Q) + 1);
  tsf_arima::uspe_ma_step(cs.data(), P, Q, PHI, tau.data());
  for (int j = 1; j <= Q; ++j) THETA[j - 1] = -tau[j] / tau[0];
}

void avalues(const double *w, int n, int p, int q, const double *phi, const double *theta, int s, int P, int Q,
             const double *PHI, const double *THETA, int Qb, double *a) {
  const tsf_arima::seasonal_orders o(p, 0, q, s, P, 0, Q);
  if (n < 0 || Qb < 0 || !o.valid()) return;
  expanded_model e(o);
  e.set(o, phi, theta, PHI, THETA);
  std::vector<double> work(tsf_arima::avaluem_work_size(n, Qb));
  tsf_arima::avaluem_work(w, n, o.ar_order(), o.ma_order(), e.ar.data(), e.ma.data(), Qb, a, work.data());
}

int nlalsms(const double *x, int N, int p, int d, int q, double *phi, double *theta, int s, int P, int D, int Q,
            double *PHI, double *THETA, int M, double *mean, double *var, double *unused, double *vcov, double *res,
            double eps) {
  (void)unused;
  const tsf_arima::seasonal_orders o(p, d, q, s, P, D, Q);
  // A series no longer than the differencing span, or one without more differenced values
  // than parameters (no degrees of freedom for the variance): input errors.
  if (!o.valid() || (M != 0 && M != 1) || N <= o.lag_span()) return 0;
  const int n = N - static_cast<int>(o.lag_span());
  const int k = p + q + o.P + o.Q + M;
  if (n - k <= 0) return 0;
  tsf_arima::zero_unused_seasonal(s, P, Q, PHI, THETA);
  const int Qb = seasonal_backforecast_length(o);
  const int L = n + Qb - 1;
  std::vector<double> w0(static_cast<std::size_t>(n));
  tsf_arima::seasonal_difference(x, N, o, w0.data());
  USPE(w0.data(), n, p, q, phi, theta, mean, var);
  USPE_seasonal(w0.data(), n, o.s, o.P, o.Q, PHI, THETA);
  // beta = (level if M = 1, phi, theta, PHI, THETA), which is also the order of the
  // coefficient arrays below.
  std::vector<double> beta(static_cast<std::size_t>(k)), trial(static_cast<std::size_t>(k));
  if (M == 1) beta[0] = *mean;
  double *coef = beta.data() + M;
  for (int i = 0; i < p; ++i) coef[i] = phi[i];
  for (int j = 0; j < q; ++j) coef[p + j] = theta[j];
  for (int j = 0; j < o.P; ++j) coef[p + q + j] = PHI[j];
  for (int j = 0; j < o.Q; ++j) coef[p + q + o.P + j] = THETA[j];

  std::vector<double> series(static_cast<std::size_t>(n)), work(tsf_arima::avaluem_work_size(n, Qb));
  expanded_model e(o);
  auto residuals = [&](const double *b, double *out) {
    const double level = M == 1 ? b[0] : 0.0;
    const double *c = b + M;
    e.set(o, c, c + p, c + p + q, c + p + q + o.P);
    for (int t = 0; t < n; ++t) series[t] = w0[t] - level;
    tsf_arima::avaluem_work(series.data(), n, o.ar_order(), o.ma_order(), e.ar.data(), e.ma.data(), Qb, out,
                            work.data());
  };
  std::vector<double> latest(static_cast<std::size_t>(L));
  double ssq = 0.0;
  const int code = tsf_arima::marquardt_least_squares(k, L, residuals, eps, beta.data(), trial.data(), &ssq,
                                                      latest.data(), vcov);
  *var = ssq / (n - k);
  const double *last = trial.data() + M;
  double ar_sum = 0.0, sar_sum = 0.0;
  for (int i = 0; i < p; ++i) ar_sum += (phi[i] = last[i]);
  for (int j = 0; j < q; ++j) theta[j] = last[p + j];
  for (int j = 0; j < o.P; ++j) sar_sum += (PHI[j] = last[p + q + j]);
  for (int j = 0; j < o.Q; ++j) THETA[j] = last[p + q + o.P + j];
  *mean = M == 1 ? beta[0] * (1.0 - ar_sum) * (1.0 - sar_sum) : 0.0;
  for (int i = 0; i < k * k; ++i) vcov[i] *= *var;
  for (int t = 0; t < n; ++t) res[t] = latest[Qb - 1 + t];
  return code;
}

}  // extern "C"
