// The automatic ARIMA forecaster: differencing by unit-root tests (Hyndman and Khandakar
// 2008, section 3.2: seasonal differencing first, then KPSS on the result), then the order
// search of AutoARIMASearch.cpp, and forecasts from the best eligible model.
#include "Forecast/AutoARIMA.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "Forecast/UnitRoot.h"
#include "Forecast/auto_arima_internal.h"

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

TsAutoARIMA::TsAutoARIMA(int period) : m_period(period < 1 ? 1 : period), m_stepwise(true), m_level(95.0), m_fitsTried(0) {}

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

bool TsAutoARIMA::DoFit() {
  m_model = TsAutoARIMAModel{};
  m_ranked.clear();
  m_fitsTried = 0;
  const std::vector<double> &x = m_inData;
  const int n = static_cast<int>(x.size());
  if (n < 3 || !AllFinite(x)) return false;
  if (Constant(x)) {
    m_model.constant = true;
    m_model.c = x.front();
    m_model.nobs = n;
    m_ranked.push_back(m_model);
    return true;
  }
  const int s = m_period;
  const bool seasonal = s > 1 && n >= 3 * s;
  const int D = seasonal ? SeasonalDiffs(x, s) : 0;
  const int d = KPSSDiffs(D == 1 ? tsf_auto::Differenced(x, s) : x, 2 - D);
  const int period = seasonal ? s : 1;
  tsf_auto::SearchResult found =
      tsf_auto::SearchOrders(x, d, D, period, seasonal, m_stepwise, tsf_auto::ExactFitter(x, d, D, period));
  m_fitsTried = found.tried;
  m_ranked = found.models;
  std::stable_sort(m_ranked.begin(), m_ranked.end(),
                   [](const TsAutoARIMAModel &a, const TsAutoARIMAModel &b) { return a.aicc < b.aicc; });
  if (m_ranked.empty()) return false;
  m_model = m_ranked.front();
  return true;
}

bool TsAutoARIMA::DoPredit(int n) {
  if (m_ranked.empty() || n < 0) return false;
  const double z = tsf_auto::NormalQuantile(0.5 + m_level / 200.0);
  std::vector<double> f, mse;
  bool found = n == 0;
  for (std::size_t i = 0; i < m_ranked.size() && !found; ++i) {
    found = tsf_auto::ForecastModel(m_ranked[i], m_inData, n, f, mse) && tsf_auto::ForecastsUsable(f, mse);
    if (found) m_model = m_ranked[i];
  }
  if (!found) return false;
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
