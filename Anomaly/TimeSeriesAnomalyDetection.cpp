// Quantile-range anomaly test on a series or on its residual from a LOWESS trend. The
// quantile is definition 7 of Hyndman and Fan (1996), "Sample quantiles in statistical
// packages", The American Statistician 50, 361-365.
#include "Anomaly/TimeSeriesAnomalyDetection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "Anomaly/Loess.h"
#include "Anomaly/anomaly_internal.h"

using tsf_anomaly::LessNanLast;

TsTimeSeriesAnomalyDetection::TsTimeSeriesAnomalyDetection(
    const TsDataVec<long double> &timeReference)
    : timeReference(timeReference) {}

TsTimeSeriesAnomalyDetection::TsTimeSeriesAnomalyDetection(TsDataVec<long double> &&timeReference)
    : timeReference(std::move(timeReference)) {}

TsTimeSeriesAnomalyDetection::TsTimeSeriesAnomalyDetection(
    const TsDataVec<long double> &data, const TsDataVec<long double> &timeReference)
    : TsAnomalyDetection(data), timeReference(timeReference) {}

TsTimeSeriesAnomalyDetection::TsTimeSeriesAnomalyDetection(const TsDataVec<long double> &data,
                                                           TsDataVec<long double> &&timeReference)
    : TsAnomalyDetection(data), timeReference(std::move(timeReference)) {}

TsTimeSeriesAnomalyDetection::TsTimeSeriesAnomalyDetection(
    TsDataVec<long double> &&data, const TsDataVec<long double> &timeReference)
    : TsAnomalyDetection(std::move(data)), timeReference(timeReference) {}

TsTimeSeriesAnomalyDetection::TsTimeSeriesAnomalyDetection(TsDataVec<long double> &&data,
                                                           TsDataVec<long double> &&timeReference)
    : TsAnomalyDetection(std::move(data)), timeReference(std::move(timeReference)) {}

TsTimeSeriesAnomalyDetection::~TsTimeSeriesAnomalyDetection() = default;

void TsTimeSeriesAnomalyDetection::SetSmooth(bool smooth) { this->smooth = smooth; }
void TsTimeSeriesAnomalyDetection::SetWeights(const TsDataVec<long double> &weights) {
  this->weights = weights;
}
void TsTimeSeriesAnomalyDetection::SetWeights(TsDataVec<long double> &&weights) {
  this->weights = std::move(weights);
}
void TsTimeSeriesAnomalyDetection::SetTimeReference(const TsDataVec<long double> &timeReference) {
  this->timeReference = timeReference;
}
void TsTimeSeriesAnomalyDetection::SetTimeReference(TsDataVec<long double> &&timeReference) {
  this->timeReference = std::move(timeReference);
}
void TsTimeSeriesAnomalyDetection::SetLowerQuantile(double p) { lowerQuantile = p; }
void TsTimeSeriesAnomalyDetection::SetUpperQuantile(double p) { upperQuantile = p; }
void TsTimeSeriesAnomalyDetection::SetLagDiffTimes(double m) { lagDiffTimes = m; }

long double TsTimeSeriesAnomalyDetection::SeriesQuantile(const TsDataVec<long double> &v,
                                                         double p) {
  const size_t n = v.Size();
  if (n == 0) return 0;
  if (n == 1) return v[0];
  if (std::isnan(p)) return std::numeric_limits<long double>::quiet_NaN();
  const double pc = std::min(std::max(p, 0.0), 1.0);
  const double h = pc * static_cast<double>(n - 1);
  // h lies in [0, n - 1]: truncation is floor and k is a valid position.
  const size_t k = std::min(static_cast<size_t>(h), n - 1);
  const long double g = h - static_cast<double>(k);
  std::vector<long double> s(v.Data());
  std::nth_element(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(k), s.end(), LessNanLast());
  const long double lo = s[k];
  // At an exact position the next value plays no part (an infinite one would give NaN).
  if (k == n - 1 || g == 0) return lo;
  const long double hi =
      *std::min_element(s.begin() + static_cast<std::ptrdiff_t>(k) + 1, s.end(), LessNanLast());
  return (1 - g) * lo + g * hi;
}

bool TsTimeSeriesAnomalyDetection::ScoredSeries(TsDataVec<long double> &z) {
  if (!smooth) {
    z = data;
    return true;
  }
  if (timeReference.Size() != data.Size() || weights.Size() != data.Size()) return false;
  TsLoess loess;
  TsDataVec<long double> trend(
      loess.Smooth(timeReference.Data(), data.Data(), weights.Data(), 0.5L));
  z = data - trend;
  return true;
}

TsDataVec<long double> &TsTimeSeriesAnomalyDetection::FindAnomaly() {
  result.Clear();
  TsDataVec<long double> z;
  if (!ScoredSeries(z)) return result;
  const long double qlow = SeriesQuantile(z, lowerQuantile);
  const long double qhigh = SeriesQuantile(z, upperQuantile);
  const long double r = qhigh - qlow;
  const long double m = lagDiffTimes;
  const bool use_index = !index.Empty() && index.Size() == data.Size();
  for (size_t i = 0; i < z.Size(); ++i) {
    const long double score = (r <= 0) ? 0 : std::max(0.0L, (z[i] - (qhigh + m * r)) / r);
    if (score > 0) result.Append(use_index ? index[i] : static_cast<long double>(i));
  }
  return result;
}
