// One candidate of the automatic ARIMA search: its fit by the core (exact or conditional
// likelihood), the rules that make it eligible, its criteria and its forecasts.
//
// Criteria: AICc = AIC + 2 K (K + 1) / (n - K - 1) (Hurvich and Tsai 1989, Biometrika 76,
// 297-307), K the parameters including the variance, n the differenced length.
// A drift c with one difference of lag L (d + D = 1) is the mean of the differenced series
// w; since the difference of the trend c t / L is c, x[t] - c t / L is an ARIMA process
// without constant, forecast by the finite-sample forecaster with the trend added back.
// Mean square errors with estimated coefficients: the innovation variance taken unbiased,
// times n / (n - K), and the first-order term g' V g of the coefficients' estimation
// error (Yamamoto, T. (1976), Asymptotic mean square prediction error for an
// autoregressive model with estimated coefficients, Applied Statistics 25, 123-127;
// Ansley, C. F. and Newbold, P. (1981), On the bias in estimates of forecast mean squared
// error, Journal of the American Statistical Association 76, 569-578).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
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

// A symmetric matrix (row-major, square) is positive definite when its Cholesky
// factorisation runs.
bool PositiveDefinite(std::vector<double> A) {
  return CholeskyFactor(A, static_cast<int>(std::lround(std::sqrt(static_cast<double>(A.size())))));
}

// The estimator's covariance (MA coefficients with their signs changed) in the signs of
// the model: entries between an MA and a non-MA coefficient change sign.
std::vector<double> PublicSigns(std::vector<double> V, const Candidate &c) {
  const int k = static_cast<int>(std::lround(std::sqrt(static_cast<double>(V.size()))));
  auto isMa = [&](int i) { return (i >= c.p && i < c.p + c.q) || (i >= c.p + c.q + c.P && i < c.p + c.q + c.P + c.Q); };
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j)
      if (isMa(i) != isMa(j)) V[i * k + j] = -V[i * k + j];
  return V;
}

// The model's coefficients as one vector in the order of its covariance, and back.
std::vector<double> Coefficients(const TsAutoARIMAModel &m) {
  std::vector<double> b(m.phi);
  b.insert(b.end(), m.theta.begin(), m.theta.end());
  b.insert(b.end(), m.PHI.begin(), m.PHI.end());
  b.insert(b.end(), m.THETA.begin(), m.THETA.end());
  if (m.constant) b.push_back(m.c);
  return b;
}

void SetCoefficients(TsAutoARIMAModel &m, const std::vector<double> &b) {
  auto next = b.begin();
  for (std::vector<double> *v : {&m.phi, &m.theta, &m.PHI, &m.THETA})
    for (double &c : *v) c = *next++;
  if (m.constant) m.c = *next;
}

}  // namespace

bool Feasible(int nused, int s, const Candidate &c) {
  const int coefficients = c.p + c.q + c.P + c.Q + (c.constant ? 1 : 0);
  if (c.p + s * c.P > kMaxExpandedOrder || c.q + s * c.Q > kMaxExpandedOrder) return false;
  return nused - (c.p + s * c.P) > 2 * coefficients;
}

CoreFit FitCore(const std::vector<double> &x, int d, int D, int s, const Candidate &c, int method) {
  CoreFit fit;
  const int n = static_cast<int>(x.size());
  SarimaPtr m(sarima_init(c.p, d, c.q, s, c.P, D, c.Q, n), sarima_free);
  sarima_setMethod(m.get(), method);
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
  fit.vcov.assign(m->vcov, m->vcov + m->lvcov);
  return fit;
}

CoreFitter CoreFitterFor(const std::vector<double> &x, int d, int D, int s, int method) {
  return [&x, d, D, s, method](const Candidate &c) {
    if (c.constant && d + D == 1) return FitCore(Differenced(x, DifferenceLag(d, D, s)), 0, 0, s, c, method);
    return FitCore(x, d, D, s, c, method);
  };
}

bool FitIsEligible(const CoreFit &fit) {
  if (fit.retval != 1) return false;
  if (!std::isfinite(fit.loglik) || !std::isfinite(fit.mean)) return false;
  if (!(fit.var > 0.0) || !std::isfinite(fit.var)) return false;
  for (const std::vector<double> *poly : {&fit.phi, &fit.theta, &fit.PHI, &fit.THETA})
    if (!RootsOutside(*poly, kRootRadius)) return false;
  return PositiveDefinite(fit.vcov);
}

bool ModelOfFit(const CoreFit &fit, const Candidate &c, int d, int D, int s, const std::vector<double> &x,
                TsAutoARIMAModel &model) {
  if (!FitIsEligible(fit)) return false;
  TsAutoARIMAModel m;
  m.p = c.p, m.d = d, m.q = c.q, m.P = c.P, m.D = D, m.Q = c.Q, m.s = s;
  m.constant = c.constant;
  m.phi = fit.phi, m.theta = fit.theta, m.PHI = fit.PHI, m.THETA = fit.THETA;
  m.vcov = PublicSigns(fit.vcov, c);
  m.c = c.constant ? fit.mean : 0.0;
  m.sigma2 = fit.var;
  m.loglik = fit.loglik;
  m.nobs = fit.nused;
  if (m.nobs - m.Parameters() - 1 <= 0) return false;
  SetCriteria(m);
  if (!std::isfinite(m.aicc)) return false;
  std::vector<double> f, mse;
  if (!ForecastWithEstimatedCoefficients(m, x, ProbeHorizon(s), f, mse) || !ForecastsUsable(f, mse)) return false;
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

std::vector<double> EstimationMse(const TsAutoARIMAModel &model, const std::vector<double> &x, int h) {
  std::vector<double> extra(static_cast<std::size_t>(h > 0 ? h : 0), 0.0);
  const std::vector<double> b = Coefficients(model);
  const std::size_t k = b.size();
  if (k == 0 || model.vcov.size() != k * k) return extra;
  // g[i][t]: derivative of forecast t by coefficient i, by a central difference with a
  // step of a thousandth of the coefficient's standard error (the forecasts are smooth
  // functions of the coefficients well inside the stationary region).
  std::vector<std::vector<double>> g(k);
  for (std::size_t i = 0; i < k; ++i) {
    const double step = 1e-3 * std::sqrt(model.vcov[i * k + i]);
    std::vector<double> fp, fm, unused;
    TsAutoARIMAModel shifted = model;
    std::vector<double> bi = b;
    bi[i] = b[i] + step;
    SetCoefficients(shifted, bi);
    const bool up = ForecastModel(shifted, x, h, fp, unused);
    bi[i] = b[i] - step;
    SetCoefficients(shifted, bi);
    if (!(step > 0.0) || !up || !ForecastModel(shifted, x, h, fm, unused)) {
      extra.assign(extra.size(), std::numeric_limits<double>::quiet_NaN());
      return extra;
    }
    g[i].resize(extra.size());
    for (std::size_t t = 0; t < extra.size(); ++t) g[i][t] = (fp[t] - fm[t]) / (2.0 * step);
  }
  for (std::size_t t = 0; t < extra.size(); ++t)
    for (std::size_t i = 0; i < k; ++i)
      for (std::size_t j = 0; j < k; ++j) extra[t] += g[i][t] * model.vcov[i * k + j] * g[j][t];
  return extra;
}

bool ForecastWithEstimatedCoefficients(const TsAutoARIMAModel &model, const std::vector<double> &x, int h,
                                       std::vector<double> &forecast, std::vector<double> &mse) {
  std::vector<double> f, v;
  if (!ForecastModel(model, x, h, f, v)) return false;
  const double dof = model.nobs - model.Parameters();
  const std::vector<double> extra = EstimationMse(model, x, h);
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = v[k] * (model.nobs / dof) + extra[k];
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

}  // namespace tsf_auto
