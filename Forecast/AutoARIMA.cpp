// The automatic ARIMA forecaster: differencing by unit-root tests (Hyndman and Khandakar
// 2008, section 3.2: seasonal differencing first, then KPSS on the result), then the order
// search of AutoARIMASearch.cpp, and forecasts from the best eligible model.
//
// The conditional sum of squares approximates the likelihood in seasonal searches: Box,
// G. E. P. and Jenkins, G. M. (1976), Time Series Analysis: Forecasting and Control,
// section 7.1.
// The uncertainty of the choice among the models the search fitted enters the mean
// square errors as in Bayesian model averaging with Akaike weights: the chosen forecast
// f has, under the mixture of the models, the mean square error sum w_i (mse_i +
// (f_i - f)^2) / sum w_i, w_i = exp(-(AICc_i - AICc_min) / 2) (Buckland, S. T., Burnham,
// K. P. and Augustin, N. H. (1997), Model selection: an integral part of inference,
// Biometrics 53, 603-618; Raftery, A. E., Madigan, D. and Hoeting, J. A. (1997), Bayesian
// model averaging for linear regression models, JASA 92, 179-191). Intervals take the
// Student t quantile with the chosen model's n - K degrees of freedom, as the variance is
// estimated.
#include "Forecast/AutoARIMA.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "Forecast/UnitRoot.h"
#include "Forecast/auto_arima_internal.h"
#include "core/dist/dist.h"

namespace {

bool AllFinite(const std::vector<double> &x) {
  for (double v : x)
    if (!std::isfinite(v)) return false;
  return true;
}

bool Constant(const std::vector<double> &x) {
  for (double v : x)
    if (v != x.front()) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// TsAutoARIMAModel

std::string TsAutoARIMAModel::Name() const {
  char text[96];
  int len = std::snprintf(text, sizeof text, "ARIMA(%d,%d,%d)", p, d, q);
  if (s > 1 && (P > 0 || D > 0 || Q > 0))
    std::snprintf(text + len, sizeof text - len, "(%d,%d,%d)[%d]", P, D, Q, s);
  std::string name(text);
  if (constant) name += d + D == 0 ? " with mean" : " with drift";
  return name;
}

int TsAutoARIMAModel::Parameters() const { return p + q + P + Q + (constant ? 1 : 0) + 1; }

// ---------------------------------------------------------------------------
// TsAutoARIMA

TsAutoARIMA::TsAutoARIMA(int period)
    : m_period(period < 1 ? 1 : period), m_stepwise(true), m_level(95.0), m_quantile(0.0), m_fitsTried(0) {}

TsAutoARIMA::~TsAutoARIMA() = default;

void TsAutoARIMA::SetPeriod(int period) { m_period = period < 1 ? 1 : period; }
int TsAutoARIMA::GetPeriod() const { return m_period; }
void TsAutoARIMA::SetStepwise(bool stepwise) { m_stepwise = stepwise; }
bool TsAutoARIMA::GetStepwise() const { return m_stepwise; }

bool TsAutoARIMA::SetLevel(double level) {
  if (!(level > 0.0 && level < 100.0)) return false;
  m_level = level;
  return true;
}

double TsAutoARIMA::GetLevel() const { return m_level; }
const TsAutoARIMAModel &TsAutoARIMA::GetModel() const { return m_model; }
int TsAutoARIMA::GetFitsTried() const { return m_fitsTried; }
const std::vector<double> &TsAutoARIMA::GetXPred() const { return m_xPred; }
const std::vector<double> &TsAutoARIMA::GetMse() const { return m_mse; }
const std::vector<double> &TsAutoARIMA::GetLower() const { return m_lower; }
const std::vector<double> &TsAutoARIMA::GetUpper() const { return m_upper; }
double TsAutoARIMA::GetQuantile() const { return m_quantile; }

bool TsAutoARIMA::DoFit() {
  m_model = TsAutoARIMAModel{};
  m_ranked.clear();
  m_searchAicc.clear();
  m_fitsTried = 0;
  const std::vector<double> &x = m_inData;
  const int n = static_cast<int>(x.size());
  if (n < 3 || !AllFinite(x)) return false;
  const int s = m_period;
  const bool seasonal = s > 1 && n >= 3 * s;
  const int D = seasonal ? SeasonalDiffs(x, s) : 0;
  const int d = KPSSDiffs(D == 1 ? tsf_auto::Differenced(x, s) : x, 2 - D);
  const int period = seasonal ? s : 1;
  if (ExactlyPredictable(d, D, period)) return true;
  // The fits work on the series centred and scaled to unit variance: the estimators'
  // tolerances and difference steps are absolute, so a series near 1e-8 or 1e8 would
  // otherwise meet them at another scale than one near 1. ARMA coefficients do not
  // depend on the scale; the constant, the variances and the likelihood are mapped back.
  double centre = 0.0, largest = 0.0, spread = 0.0;
  for (double v : x) centre += v / n;
  for (double v : x) largest = std::max(largest, std::fabs(v - centre));
  // Deviations are divided by the largest first: their squares cannot overflow.
  for (double v : x) spread += ((v - centre) / largest) * ((v - centre) / largest) / n;
  spread = largest * std::sqrt(spread);
  if (!(spread > 0.0) || !std::isfinite(spread)) return false;
  std::vector<double> scaled(x.size());
  for (std::size_t t = 0; t < x.size(); ++t) scaled[t] = (x[t] - centre) / spread;
  // A seasonal candidate's state has dimension p + s P or more, and each evaluation of its
  // exact likelihood costs its square per value and its cube for the initial covariance:
  // seasonal searches compare candidates by the conditional likelihood, and only the one
  // chosen is refitted exactly.
  const int method = seasonal ? 1 : 0;
  tsf_auto::SearchResult found = tsf_auto::SearchOrders(scaled, d, D, period, seasonal, m_stepwise,
                                                        tsf_auto::CoreFitterFor(scaled, d, D, period, method));
  m_fitsTried = found.tried;
  m_ranked = found.models;
  std::stable_sort(m_ranked.begin(), m_ranked.end(),
                   [](const TsAutoARIMAModel &a, const TsAutoARIMAModel &b) { return a.aicc < b.aicc; });
  for (const TsAutoARIMAModel &m : m_ranked) m_searchAicc.push_back(m.aicc);
  if (method != 0) RefitBestExactly(scaled, d, D, period);
  if (m_ranked.empty()) return false;
  for (TsAutoARIMAModel &m : m_ranked) ToOriginalScale(m, centre, spread);
  m_model = m_ranked.front();
  return true;
}

void TsAutoARIMA::ToOriginalScale(TsAutoARIMAModel &m, double centre, double spread) {
  if (m.constant) {
    // A mean moves back by the centre; a drift, a difference, only scales.
    m.c = (m.d + m.D == 0 ? centre : 0.0) + spread * m.c;
    const std::size_t k = m.phi.size() + m.theta.size() + m.PHI.size() + m.THETA.size() + 1;
    if (m.vcov.size() == k * k)
      for (std::size_t i = 0; i < k; ++i) {
        m.vcov[i * k + (k - 1)] *= spread;
        m.vcov[(k - 1) * k + i] *= spread;
      }
  }
  m.sigma2 *= spread * spread;
  // The density of x is that of the scaled series divided by spread per value.
  const double shift = m.nobs * std::log(spread);
  m.loglik -= shift;
  m.aic += 2.0 * shift;
  m.aicc += 2.0 * shift;
  m.bic += 2.0 * shift;
}

bool TsAutoARIMA::ExactlyPredictable(int d, int D, int period) {
  std::vector<double> w = m_inData;
  for (int k = 0; k < D; ++k) w = tsf_auto::Differenced(w, period);
  for (int k = 0; k < d; ++k) w = tsf_auto::Differenced(w, 1);
  if (w.empty()) return false;
  TsAutoARIMAModel m;
  m.d = d, m.D = D, m.s = period;
  m.constant = d + D == 0 || w.front() != 0.0;
  m.c = m.constant ? w.front() : 0.0;
  m.nobs = static_cast<int>(w.size());
  // With two differences a constant would be a quadratic trend, which no model here has;
  // such a series goes to the search.
  if (!Constant(w) || (d + D == 2 && m.constant) || m.nobs - m.Parameters() < 1) return false;
  m.loglik = m.aic = m.aicc = m.bic = std::nan("");
  m_model = m;
  m_ranked.push_back(m);
  m_searchAicc.push_back(0.0);
  return true;
}

void TsAutoARIMA::RefitBestExactly(const std::vector<double> &x, int d, int D, int period) {
  const tsf_auto::CoreFitter exact = tsf_auto::CoreFitterFor(x, d, D, period, 0);
  for (std::size_t i = 0; i < m_ranked.size(); ++i) {
    tsf_auto::Candidate c;
    c.p = m_ranked[i].p, c.q = m_ranked[i].q, c.P = m_ranked[i].P, c.Q = m_ranked[i].Q;
    c.constant = m_ranked[i].constant;
    TsAutoARIMAModel refitted;
    ++m_fitsTried;
    if (tsf_auto::ModelOfFit(exact(c), c, d, D, period, x, refitted)) {
      // Models ranked above it did not stand their exact fit: they leave the ranking.
      m_ranked.erase(m_ranked.begin(), m_ranked.begin() + static_cast<std::ptrdiff_t>(i));
      m_searchAicc.erase(m_searchAicc.begin(), m_searchAicc.begin() + static_cast<std::ptrdiff_t>(i));
      m_ranked.front() = refitted;
      return;
    }
  }
  m_ranked.clear();
  m_searchAicc.clear();
}

bool TsAutoARIMA::DoPredit(int n) {
  if (m_ranked.empty() || n < 0) return false;
  std::vector<double> f, mse;
  std::size_t chosen = 0;
  while (chosen < m_ranked.size() &&
         !(n == 0 || (tsf_auto::ForecastWithEstimatedCoefficients(m_ranked[chosen], m_inData, n, f, mse) &&
                      tsf_auto::ForecastsUsable(f, mse))))
    ++chosen;
  if (chosen == m_ranked.size()) return false;
  m_model = m_ranked[chosen];
  AddSelectionUncertainty(chosen, f, mse);
  const int dof = m_model.nobs - m_model.Parameters();
  const double z = std::fabs(tinv(0.5 + m_level / 200.0, dof));
  m_quantile = z;
  m_xPred = f;
  m_mse = mse;
  m_lower.resize(f.size());
  m_upper.resize(f.size());
  for (std::size_t k = 0; k < f.size(); ++k) {
    const double half = z * std::sqrt(mse[k]);
    m_lower[k] = f[k] - half;
    m_upper[k] = f[k] + half;
  }
  m_outData = m_xPred;
  return true;
}

void TsAutoARIMA::AddSelectionUncertainty(std::size_t chosen, const std::vector<double> &f,
                                          std::vector<double> &mse) const {
  // Models ranked before the chosen one could not forecast; the others are ranked by
  // their AICc, so the chosen one has the largest weight. Weights below 1e-6 of it change
  // no digit that matters.
  const double negligible = 2.0 * std::log(1e6);
  std::vector<double> sum(mse.size(), 0.0);
  double total = 0.0;
  for (std::size_t i = chosen; i < m_ranked.size(); ++i) {
    const double delta = m_searchAicc[i] - m_searchAicc[chosen];
    if (!(delta <= negligible)) break;
    std::vector<double> fi, mi;
    if (i == chosen) {
      fi = f, mi = mse;
    } else if (!tsf_auto::ForecastWithEstimatedCoefficients(m_ranked[i], m_inData, static_cast<int>(f.size()), fi,
                                                            mi) ||
               !tsf_auto::ForecastsUsable(fi, mi)) {
      continue;
    }
    const double w = std::exp(-0.5 * delta);
    for (std::size_t k = 0; k < sum.size(); ++k) sum[k] += w * (mi[k] + (fi[k] - f[k]) * (fi[k] - f[k]));
    total += w;
  }
  for (std::size_t k = 0; k < mse.size(); ++k) mse[k] = sum[k] / total;
}

int TsAutoARIMA::InferPeriod(const std::vector<double> &time) {
  const std::size_t n = time.size();
  if (n < 3) return 1;
  for (double t : time)
    if (!(t >= 1000.0 && t <= 3000.0)) return 1;
  const double step = (time.back() - time.front()) / static_cast<double>(n - 1);
  if (!(step > 0.0)) return 1;
  const double f = std::round(1.0 / step);
  if (f < 2.0 || f > 24.0) return 1;
  for (std::size_t i = 1; i < n; ++i)
    if (std::fabs((time[i] - time[i - 1]) * f - 1.0) > 0.01) return 1;
  return static_cast<int>(f);
}
