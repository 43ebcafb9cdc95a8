// Interquartile-range outlier test, Tukey (1977), "Exploratory Data Analysis", fences at
// 1.5 interquartile ranges beyond the quartiles.
#include "Anomaly/AnomalyDetection.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "Anomaly/anomaly_internal.h"

using tsf_anomaly::LessNanLast;

TsAnomalyDetection::TsAnomalyDetection(const TsDataVec<long double> &data) : data(data) {}

TsAnomalyDetection::TsAnomalyDetection(TsDataVec<long double> &&data) : data(std::move(data)) {}

TsAnomalyDetection::~TsAnomalyDetection() = default;

TsDataVec<long double> &TsAnomalyDetection::Detect(const TsDataVec<long double> &data) {
  this->data = data;
  result.Clear();
  return FindAnomaly();
}

TsDataVec<long double> &TsAnomalyDetection::Detect(TsDataVec<long double> &&data) {
  this->data = std::move(data);
  result.Clear();
  return FindAnomaly();
}

TsDataVec<long double> &TsAnomalyDetection::FindAnomaly() {
  const size_t first_new = result.Size();
  const size_t count = Outliers(1.5, 1.5);
  if (count == 0 || index.Empty() || index.Size() != data.Size()) return result;
  // Only the positions appended by this call are translated: earlier elements may already
  // be index values.
  for (size_t k = first_new; k < count; ++k) {
    const size_t p = static_cast<size_t>(result[k]);
    result[k] = index[p];
  }
  return result;
}

void TsAnomalyDetection::Quartiles(TsDataVec<long double> &q) {
  q.Resize(3);
  const size_t n = data.Size();
  if (n == 0) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    q[0] = q[1] = q[2] = nan;
    return;
  }
  std::vector<long double> s(data.Data());
  std::sort(s.begin(), s.end(), LessNanLast());
  q[0] = s[n / 4];
  q[1] = (n % 2 == 1) ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
  q[2] = s[3 * (n / 4) + 3 * (n % 4) / 4];  // floor(3n/4) without overflowing 3n
}

long double TsAnomalyDetection::IQR(const TsDataVec<long double> &q) {
  if (q.Size() < 3) return std::numeric_limits<long double>::quiet_NaN();
  return q[2] - q[0];
}

size_t TsAnomalyDetection::Outliers(double kLow, double kHigh) {
  if (data.Empty()) return result.Size();
  TsDataVec<long double> q;
  Quartiles(q);
  const long double r = IQR(q);
  const long double low = q[0] - r * kLow;
  const long double high = q[2] + r * kHigh;
  for (size_t i = 0; i < data.Size(); ++i) {
    const long double x = data[i];
    if ((kLow > 0 && x < low) || (kHigh > 0 && x > high))
      result.Append(static_cast<long double>(i));
  }
  return result.Size();
}
