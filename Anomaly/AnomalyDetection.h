// TsAnomalyDetection: interquartile-range outlier test (Tukey's fences).
//
// A value is an outlier when it lies more than kLow interquartile ranges below the first
// quartile or more than kHigh above the third (1.5 and 1.5 in FindAnomaly). The first and
// third quartiles are the single order statistics at positions n/4 and 3n/4 (integer
// division) of the sorted data, the median is the usual middle value or mean of the two
// middle values. The result lists the anomalous points in increasing order of position,
// as positions (0-based) or, when an index series of the data's length is set through
// GetIndex, as the index values of those points.
//
// Detect replaces the data, empties the result and runs FindAnomaly through the virtual
// table. FindAnomaly and Outliers append to the result; a direct FindAnomaly call
// without Detect therefore adds to the previous result (only the points found by that
// call are translated through the index).
//
// Empty data: there are no anomalies; Quartiles fills q with three NaN (the quartiles are
// undefined). NaN data values are ordered after every number when sorting and are never
// outliers.
#ifndef TSFORGE_ANOMALY_ANOMALYDETECTION_H
#define TSFORGE_ANOMALY_ANOMALYDETECTION_H

#include <cstddef>

#include "Anomaly/DataVec.h"
#include "core/export.h"

class TSFORGE_API TsAnomalyDetection {
 public:
  TsAnomalyDetection() = default;
  explicit TsAnomalyDetection(const TsDataVec<long double> &data);
  explicit TsAnomalyDetection(TsDataVec<long double> &&data);
  virtual ~TsAnomalyDetection();

  TsDataVec<long double> &Detect(const TsDataVec<long double> &data);
  TsDataVec<long double> &Detect(TsDataVec<long double> &&data);

  // The outlier test with factors 1.5 and 1.5, positions mapped through a matching index.
  virtual TsDataVec<long double> &FindAnomaly();

  // q becomes {first quartile, median, third quartile} of the data.
  void Quartiles(TsDataVec<long double> &q);
  // q[2] - q[0] of a vector filled by Quartiles (NaN when q has fewer than 3 elements).
  long double IQR(const TsDataVec<long double> &q);
  // Appends the positions of the outliers (strictly beyond a fence; a factor of zero or
  // less switches its side off) and returns the length of the result afterwards.
  size_t Outliers(double kLow, double kHigh);

  TsDataVec<long double> &GetData() { return data; }
  TsDataVec<long double> &GetIndex() { return index; }
  TsDataVec<long double> &GetResult() { return result; }

 protected:
  TsDataVec<long double> data;
  TsDataVec<long double> index;
  TsDataVec<long double> result;
};

#endif  // TSFORGE_ANOMALY_ANOMALYDETECTION_H
