// TsTimeSeriesAnomalyDetection: quantile-range anomaly test on a series or on its residual
// from a LOWESS trend.
//
// The scored series z is the data itself or, with smoothing on, the data minus a Smooth
// fit (span 0.5, tolerance 1e-12, 2 robustness passes) against the time reference with
// the prior weights. With qlow and qhigh the type-7 sample quantiles of z at the lower
// and upper probabilities (defaults 0.1 and 0.99) and R = qhigh - qlow, a point is
// anomalous when its z lies strictly above qhigh + m * R (m the lag-difference
// multiplier, default 6) and R > 0. Only the upper side is tested. The result holds the
// positions of the anomalous points in increasing order, or their index values when an
// index of the data's length is set through GetIndex.
//
// Inputs the detector does not otherwise accept:
// - With smoothing on, a time reference or weights of a length other than that of the
//   data: no trend can be fitted and the result is empty (no anomalies reported). A time
//   reference out of order is not checked; the fit is then of no use but stays in bounds.
// - Quantile probabilities outside [0, 1] are stored unchanged; SeriesQuantile treats a
//   probability below 0 as 0 and above 1 as 1, and returns NaN for a NaN probability (no
//   point then scores above the fence).
#ifndef TSFORGE_ANOMALY_TIMESERIESANOMALYDETECTION_H
#define TSFORGE_ANOMALY_TIMESERIESANOMALYDETECTION_H

#include "Anomaly/AnomalyDetection.h"
#include "Anomaly/DataVec.h"
#include "core/export.h"

class TSFORGE_API TsTimeSeriesAnomalyDetection : public TsAnomalyDetection {
 public:
  // The argument becomes the time reference; data stays empty until Detect.
  explicit TsTimeSeriesAnomalyDetection(const TsDataVec<long double> &timeReference);
  explicit TsTimeSeriesAnomalyDetection(TsDataVec<long double> &&timeReference);
  // Data, then time reference.
  TsTimeSeriesAnomalyDetection(const TsDataVec<long double> &data,
                               const TsDataVec<long double> &timeReference);
  TsTimeSeriesAnomalyDetection(const TsDataVec<long double> &data,
                               TsDataVec<long double> &&timeReference);
  TsTimeSeriesAnomalyDetection(TsDataVec<long double> &&data,
                               const TsDataVec<long double> &timeReference);
  TsTimeSeriesAnomalyDetection(TsDataVec<long double> &&data,
                               TsDataVec<long double> &&timeReference);
  ~TsTimeSeriesAnomalyDetection() override;

  TsDataVec<long double> &FindAnomaly() override;

  // Sample quantile of v at probability p by linear interpolation at position p (n - 1)
  // (Hyndman and Fan's definition 7); 0 for an empty v.
  long double SeriesQuantile(const TsDataVec<long double> &v, double p);

  void SetSmooth(bool smooth);
  void SetWeights(const TsDataVec<long double> &weights);
  void SetWeights(TsDataVec<long double> &&weights);
  void SetTimeReference(const TsDataVec<long double> &timeReference);
  void SetTimeReference(TsDataVec<long double> &&timeReference);
  void SetLowerQuantile(double p);
  void SetUpperQuantile(double p);
  void SetLagDiffTimes(double m);

 private:
  // The series that is scored: the data, or its residual from the trend.
  bool ScoredSeries(TsDataVec<long double> &z);

  TsDataVec<long double> timeReference;
  TsDataVec<long double> weights;
  bool smooth = false;
  double lowerQuantile = 0.1;
  double upperQuantile = 0.99;
  double lagDiffTimes = 6.0;
};

#endif  // TSFORGE_ANOMALY_TIMESERIESANOMALYDETECTION_H
