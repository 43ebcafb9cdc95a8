// The forecaster classes: the abstract base TsForecast, the ARIMA forecaster TsARIMA
// with its order search by smallest AIC, and the host entry point
// CalculateOrderAndGetPredictions.
//
// Choices where the behaviour is otherwise open:
// - GetReturn() before the first fit is 0 (input error).
// - A negative horizon is rejected: Predict, DoPredit and CalculateOrderAndPredict
//   return false and leave every vector as it was.
// - A series no longer than d cannot be differenced: the fit reports an input error,
//   DoPredit returns false and a fixed-order CalculateOrderAndPredict returns false
//   with predictions untouched.
#ifndef TSFORGE_FORECAST_ARIMA_H
#define TSFORGE_FORECAST_ARIMA_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/arima/arima.h"
#include "core/export.h"

struct ARIMAOrder {
  int p;
  int d;
  int q;
};

// The three enumerations are 32-bit: any int32_t value is a valid object of the type,
// so an out-of-range method or optimiser reaches the model object, which rejects it
// with its notice and keeps its default.

// Passed unchanged to the model object, which rejects values outside 0..2.
enum ARIMAMethod_t : std::int32_t { ARIMA_MLE = 0, ARIMA_CSS = 1, ARIMA_BOX_JENKINS = 2 };

// Optimiser numbers of the minimiser dispatch; no effect with the Box-Jenkins method.
enum ARIMAOptimization_t : std::int32_t {
  ARIMA_NELDER_MEAD = 0,
  ARIMA_NEWTON_LINE_SEARCH = 1,
  ARIMA_NEWTON_HOOK_STEP = 2,
  ARIMA_NEWTON_DOUBLE_DOGLEG = 3,
  ARIMA_CONJUGATE_GRADIENT = 4,
  ARIMA_BFGS = 5,
  ARIMA_LBFGS = 6,
  ARIMA_BFGS_MORE_THUENTE = 7
};

// Exit status of the last estimation; only ARIMA_SUCCESS is a successful fit.
enum ARIMARet_t : std::int32_t {
  ARIMA_INPUT_ERROR = 0,
  ARIMA_SUCCESS = 1,
  ARIMA_NOT_CONVERGED = 4,
  ARIMA_INF_NAN = 15
};

class TSFORGE_API TsForecast {
 public:
  TsForecast();
  virtual ~TsForecast();
  virtual bool DoFit() = 0;
  // Forecasts n steps into m_outData.
  virtual bool DoPredit(int n) = 0;

  // Copies series in and fits; the result is also the fitted state.
  bool Fit(const std::vector<double> &series);
  // n forecasts into out; false (out untouched) when unfitted or n < 0.
  bool Predict(int n, std::vector<double> &out);

  void SetInData(const std::vector<double> &data);
  void SetOutData(const std::vector<double> &data);
  std::vector<double> &GetInData();
  std::size_t GetInDataSize() const;

 protected:
  std::vector<double> m_inData;
  std::vector<double> m_outData;
  bool m_fitted;
};

class TSFORGE_API TsARIMA : public TsForecast {
 public:
  TsARIMA(const ARIMAOrder &order, ARIMAMethod_t method, ARIMAOptimization_t optimization);
  ~TsARIMA() override;
  TsARIMA(const TsARIMA &) = delete;
  TsARIMA &operator=(const TsARIMA &) = delete;

  void SetOrder(const ARIMAOrder &order);
  const ARIMAOrder &GetOrder() const;
  void SetMethod(ARIMAMethod_t method);
  ARIMAMethod_t GetMethod() const;
  void SetOptimization(ARIMAOptimization_t optimization);
  ARIMAOptimization_t GetOptimization() const;
  void SetReturn(ARIMARet_t ret);
  ARIMARet_t GetReturn() const;

  // Forecasts and their mean square errors (not standard errors) of the last DoPredit.
  const std::vector<double> &GetXPred() const;
  const std::vector<double> &GetStdError() const;
  // The model of the last fit (null before the first), owned by this object.
  const arima_object *GetModel() const { return m_model; }

  bool DoFit() override;
  bool DoPredit(int n) override;

  // With 3 or more values in order, fits (order[0], order[1], order[2]) and forecasts;
  // otherwise searches p = 0..3, d = 0..2, q = 0..3 (p + d + q below the series length)
  // for the smallest AIC and appends the chosen p, d, q to order.
  bool CalculateOrderAndPredict(const std::vector<double> &series, std::vector<double> &predictions,
                                int horizon, std::vector<int> &order);
  bool CalculateOrderAndPredict(const std::vector<double> &series, std::vector<double> &predictions,
                                int horizon);

 private:
  bool SearchOrder(const std::vector<double> &series, std::vector<double> &predictions,
                   int horizon, std::vector<int> &order);

  ARIMAOrder m_order;
  ARIMAMethod_t m_method;
  ARIMAOptimization_t m_optimization;
  ARIMARet_t m_return;
  arima_object *m_model;
  std::vector<double> m_xPred;
  std::vector<double> m_stdError;
};

// Host entry point: an MLE forecaster with optimiser 7 fits the given order (order of 3
// or more values) or searches for one, writes the horizon forecasts into predictions
// and, after a search, appends the chosen p, d, q to order. Calls the host hook
// NBSLEEP_InTeRnAl once per candidate of the search.
extern "C" TSFORGE_API void CalculateOrderAndGetPredictions(const std::vector<double> &series,
                                                            std::vector<double> &predictions,
                                                            int horizon, std::vector<int> &order);

#endif  // TSFORGE_FORECAST_ARIMA_H
