// The ARIMA forecaster: fits through the model object of the numerical core, forecasts
// with its finite-sample forecaster, and chooses the order by the smallest Akaike
// information criterion over p = 0..3, d = 0..2, q = 0..3.
#include "Forecast/ARIMA.h"

#include <limits>

#include "host/NbSleep.h"

namespace {

// Best AIC before any candidate: a finite bound, so that a search whose every
// candidate scores at or above it (or NaN) keeps the caller's predictions.
constexpr double kNoAic = 999999.0;
// Line number handed to the host hook with the source file of the search.
constexpr int kHookLine = 130;

}  // namespace

// ---------------------------------------------------------------------------
// TsForecast

TsForecast::TsForecast() : m_fitted(false) {}

TsForecast::~TsForecast() = default;

bool TsForecast::Fit(const std::vector<double> &series) {
  if (m_fitted) {
    m_inData.clear();
    m_outData.clear();
    m_fitted = false;
  }
  SetInData(series);
  m_fitted = DoFit();
  return m_fitted;
}

bool TsForecast::Predict(int n, std::vector<double> &out) {
  if (!m_fitted || n < 0) return false;
  m_outData.clear();
  m_outData.resize(static_cast<std::size_t>(n), 0.0);
  if (!DoPredit(n)) return false;
  out = m_outData;
  return true;
}

void TsForecast::SetInData(const std::vector<double> &data) { m_inData = data; }

void TsForecast::SetOutData(const std::vector<double> &data) { m_outData = data; }

std::vector<double> &TsForecast::GetInData() { return m_inData; }

std::size_t TsForecast::GetInDataSize() const { return m_inData.size(); }

// ---------------------------------------------------------------------------
// TsARIMA

TsARIMA::TsARIMA(const ARIMAOrder &order, ARIMAMethod_t method, ARIMAOptimization_t optimization)
    : m_order(order),
      m_method(method),
      m_optimization(optimization),
      m_return(ARIMA_INPUT_ERROR),
      m_model(nullptr) {}

TsARIMA::~TsARIMA() {
  if (m_model != nullptr) arima_free(m_model);
}

void TsARIMA::SetOrder(const ARIMAOrder &order) { m_order = order; }
const ARIMAOrder &TsARIMA::GetOrder() const { return m_order; }
void TsARIMA::SetMethod(ARIMAMethod_t method) { m_method = method; }
ARIMAMethod_t TsARIMA::GetMethod() const { return m_method; }
void TsARIMA::SetOptimization(ARIMAOptimization_t optimization) { m_optimization = optimization; }
ARIMAOptimization_t TsARIMA::GetOptimization() const { return m_optimization; }
void TsARIMA::SetReturn(ARIMARet_t ret) { m_return = ret; }
ARIMARet_t TsARIMA::GetReturn() const { return m_return; }
const std::vector<double> &TsARIMA::GetXPred() const { return m_xPred; }
const std::vector<double> &TsARIMA::GetStdError() const { return m_stdError; }

bool TsARIMA::DoFit() {
  if (m_model != nullptr) {
    arima_free(m_model);
    m_model = nullptr;
  }
  // The model object counts the series in an int.
  if (m_inData.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    m_return = ARIMA_INPUT_ERROR;
    return false;
  }
  const int n = static_cast<int>(m_inData.size());
  m_model = arima_init(m_order.p, m_order.d, m_order.q, n);
  if (m_model == nullptr) return false;
  arima_setMethod(m_model, static_cast<int>(m_method));
  arima_setOptMethod(m_model, static_cast<int>(m_optimization));
  arima_exec(m_model, m_inData.data());
  m_return = static_cast<ARIMARet_t>(m_model->retval);
  return m_model->retval == ARIMA_SUCCESS;
}

bool TsARIMA::DoPredit(int n) {
  if (m_model == nullptr || n < 0) return false;
  // A series no longer than d leaves nothing to forecast from.
  if (m_model->N <= m_model->d) return false;
  m_xPred.assign(static_cast<std::size_t>(n), 0.0);
  m_stdError.assign(static_cast<std::size_t>(n), 0.0);
  arima_predict(m_model, m_inData.data(), n, m_xPred.data(), m_stdError.data());
  m_outData = m_xPred;
  return true;
}

bool TsARIMA::CalculateOrderAndPredict(const std::vector<double> &series,
                                       std::vector<double> &predictions, int horizon,
                                       std::vector<int> &order) {
  if (horizon < 0) return false;
  if (order.size() < 3) return SearchOrder(series, predictions, horizon, order);
  m_order = ARIMAOrder{order[0], order[1], order[2]};
  Fit(series);
  if (m_model == nullptr) return false;
  // The exit status is not consulted: a fit that stopped short still forecasts.
  if (!DoPredit(horizon)) return false;
  predictions = m_xPred;
  return true;
}

bool TsARIMA::CalculateOrderAndPredict(const std::vector<double> &series,
                                       std::vector<double> &predictions, int horizon) {
  std::vector<int> order;
  return CalculateOrderAndPredict(series, predictions, horizon, order);
}

bool TsARIMA::SearchOrder(const std::vector<double> &series, std::vector<double> &predictions,
                          int horizon, std::vector<int> &order) {
  const int n = static_cast<int>(series.size());
  double bestAic = kNoAic;
  ARIMAOrder best{0, 0, 0};
  for (int p = 0; p <= 3; ++p)
    for (int d = 0; d <= 2; ++d)
      for (int q = 0; q <= 3; ++q) {
        if (!(p + d + q < n)) continue;
        m_order = ARIMAOrder{p, d, q};
        Fit(series);
        if (m_model == nullptr) return false;
        DoPredit(horizon);
        NBSLEEP_InTeRnAl(1, __FILE__, kHookLine);
        // NaN compares false, so a NaN AIC never wins; ties keep the earlier order.
        if (m_model->aic < bestAic) {
          predictions = m_xPred;
          bestAic = m_model->aic;
          best = m_order;
        }
      }
  order.push_back(best.p);
  order.push_back(best.d);
  order.push_back(best.q);
  return true;
}

extern "C" void CalculateOrderAndGetPredictions(const std::vector<double> &series,
                                                std::vector<double> &predictions, int horizon,
                                                std::vector<int> &order) {
  TsARIMA forecaster(ARIMAOrder{0, 0, 0}, ARIMA_MLE, ARIMA_BFGS_MORE_THUENTE);
  forecaster.CalculateOrderAndPredict(series, predictions, horizon, order);
}
