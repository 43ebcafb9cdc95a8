// One candidate of the automatic ARIMA search: its exact maximum-likelihood fit by the
// core, the rules that make it eligible, its criteria and its forecasts.
//
// Criteria: AICc = AIC + 2 K (K + 1) / (n - K - 1) (Hurvich and Tsai 1989, Biometrika 76,
// 297-307), K the parameters including the variance, n the differenced length.
// A drift c with one difference of lag L (d + D = 1) is the mean of the differenced series
// w; since the difference of the trend c t / L is c, x[t] - c t / L is an ARIMA process
// without constant, forecast by the finite-sample forecaster with the trend added back.
// Interval quantile: the rational start of Abramowitz and Stegun (1964), 26.2.23, refined
// by Newton steps on the normal distribution function.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>

#include "Forecast/auto_arima_internal.h"
#include "core/arima/arima.h"
#include "core/polyroot/polyroot.h"

namespace tsf_auto {
namespace {

using SarimaPtr = std::unique_ptr<sarima_object, void (*)(sarima_object *)>;

int DifferenceLag(int d, int D, int s) { return d == 1 ? 1 : (D == 1 ? s : 0); }

// Probe horizon of the forecast check at fit time.
int ProbeHorizon(int s) { return 2 * s > 10 ? 2 * s : 10; }

void SetCriteria(TsAutoARIMAModel &m) {
  const double k = m.Parameters();
  const double n = m.nobs;
  m.aic = -2.0 * m.loglik + 2.0 * k;
  m.aicc = m.aic + 2.0 * k * (k + 1.0) / (n - k - 1.0);
  m.bic = -2.0 * m.loglik + k * std::log(n);
}

}  // namespace

bool Feasible(int nused, int s, const Candidate &c) {
  const int params = c.p + c.q + c.P + c.Q + (c.constant ? 1 : 0) + 1;
  return nused - (c.p + s * c.P) > 2 * params;
}

CoreFit FitCore(const std::vector<double> &x, int d, int D, int s, const Candidate &c) {
  CoreFit fit;
  const int n = static_cast<int>(x.size());
  SarimaPtr m(sarima_init(c.p, d, c.q, s, c.P, D, c.Q, n), sarima_free);
  sarima_setMethod(m.get(), 0);
  sarima_setOptMethod(m.get(), 7);
  sarima_exec(m.get(), x.data());
  fit.retval = m->retval;
  fit.loglik = m->loglik;
  fit.var = m->var;
  fit.mean = m->M == 1 ? m->mean : 0.0;
  fit.nused = m->Nused;
  fit.phi.assign(m->phi, m->phi + c.p);
  fit.theta.assign(m->theta, m->theta + c.q);
  fit.PHI.assign(m->PHI, m->PHI + c.P);
  fit.THETA.assign(m->THETA, m->THETA + c.Q);
  return fit;
}

CoreFitter ExactFitter(const std::vector<double> &x, int d, int D, int s) {
  return [&x, d, D, s](const Candidate &c) {
    if (c.constant && d + D == 1) return FitCore(Differenced(x, DifferenceLag(d, D, s)), 0, 0, s, c);
    return FitCore(x, d, D, s, c);
  };
}

bool FitIsEligible(const CoreFit &fit) {
  if (fit.retval != 1) return false;
  if (!std::isfinite(fit.loglik) || !std::isfinite(fit.mean)) return false;
  if (!(fit.var > 0.0) || !std::isfinite(fit.var)) return false;
  for (const std::vector<double> *poly : {&fit.phi, &fit.theta, &fit.PHI, &fit.THETA})
    if (!RootsOutside(*poly, kRootRadius)) return false;
  return true;
}

bool ModelOfFit(const CoreFit &fit, const Candidate &c, int d, int D, int s, const std::vector<double> &x,
                TsAutoARIMAModel &model) {
  if (!FitIsEligible(fit)) return false;
  TsAutoARIMAModel m;
  m.p = c.p, m.d = d, m.q = c.q, m.P = c.P, m.D = D, m.Q = c.Q, m.s = s;
  m.constant = c.constant;
  m.phi = fit.phi, m.theta = fit.theta, m.PHI = fit.PHI, m.THETA = fit.THETA;
  m.c = c.constant ? fit.mean : 0.0;
  m.sigma2 = fit.var;
  m.loglik = fit.loglik;
  m.nobs = fit.nused;
  if (m.nobs - m.Parameters() - 1 <= 0) return false;
  SetCriteria(m);
  if (!std::isfinite(m.aicc)) return false;
  std::vector<double> f, mse;
  if (!ForecastModel(m, x, ProbeHorizon(s), f, mse) || !ForecastsUsable(f, mse)) return false;
  model = m;
  return true;
}

bool RootsOutside(const std::vector<double> &coef, double radius) {
  std::vector<double> poly(coef.size() + 1);
  poly[0] = 1.0;
  for (std::size_t i = 0; i < coef.size(); ++i) {
    if (!std::isfinite(coef[i])) return false;
    poly[i + 1] = -coef[i];
  }
  // Zero high-order coefficients lower the degree; the polynomial 1 has no roots.
  int degree = static_cast<int>(coef.size());
  while (degree > 0 && poly[degree] == 0.0) --degree;
  if (degree == 0) return true;
  std::vector<double> re(static_cast<std::size_t>(degree)), im(static_cast<std::size_t>(degree));
  if (polyroot(poly.data(), degree, re.data(), im.data()) != 0) return false;
  for (int k = 0; k < degree; ++k)
    if (!(std::hypot(re[k], im[k]) > radius)) return false;
  return true;
}

bool ForecastModel(const TsAutoARIMAModel &model, const std::vector<double> &x, int h, std::vector<double> &forecast,
                   std::vector<double> &mse) {
  const int n = static_cast<int>(x.size());
  if (h < 1 || n <= model.d + model.s * model.D) return false;
  const bool drift = model.constant && model.d + model.D == 1;
  const double slope = drift ? model.c / DifferenceLag(model.d, model.D, model.s) : 0.0;
  std::vector<double> y(x);
  if (drift)
    for (int t = 0; t < n; ++t) y[t] -= slope * t;
  std::vector<double> f(static_cast<std::size_t>(h), 0.0), v(static_cast<std::size_t>(h), 0.0);
  SarimaPtr m(sarima_init(model.p, model.d, model.q, model.s, model.P, model.D, model.Q, n), sarima_free);
  std::copy(model.phi.begin(), model.phi.end(), m->phi);
  std::copy(model.theta.begin(), model.theta.end(), m->theta);
  std::copy(model.PHI.begin(), model.PHI.end(), m->PHI);
  std::copy(model.THETA.begin(), model.THETA.end(), m->THETA);
  m->mean = model.d + model.D == 0 ? model.c : 0.0;
  m->var = model.sigma2;
  m->retval = 1;
  sarima_predict(m.get(), y.data(), h, f.data(), v.data());
  if (drift)
    for (int k = 0; k < h; ++k) f[k] += slope * (n + k);
  forecast.swap(f);
  mse.swap(v);
  return true;
}

bool ForecastsUsable(const std::vector<double> &forecast, const std::vector<double> &mse) {
  for (double f : forecast)
    if (!std::isfinite(f)) return false;
  for (double v : mse)
    if (!std::isfinite(v) || v < 0.0) return false;
  return true;
}

double NormalQuantile(double prob) {
  const double tail = prob < 0.5 ? prob : 1.0 - prob;
  const double t = std::sqrt(-2.0 * std::log(tail));
  double z = t - (2.515517 + t * (0.802853 + t * 0.010328)) / (1.0 + t * (1.432788 + t * (0.189269 + t * 0.001308)));
  if (prob < 0.5) z = -z;
  for (int it = 0; it < 4; ++it) {
    const double cdf = 0.5 * std::erfc(-z / std::sqrt(2.0));
    const double density = std::exp(-0.5 * z * z) / std::sqrt(2.0 * 3.14159265358979323846);
    z -= (cdf - prob) / density;
  }
  return z;
}

}  // namespace tsf_auto
