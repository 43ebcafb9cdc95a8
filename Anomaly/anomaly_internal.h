// Helpers shared by the sources of the anomaly classes; not installed.
#ifndef TSFORGE_ANOMALY_INTERNAL_H
#define TSFORGE_ANOMALY_INTERNAL_H

#include <cmath>

namespace tsf_anomaly {

// Ascending order with NaN after every number: a strict weak order even for NaN data,
// which sorting and selection need to stay inside the array.
struct LessNanLast {
  template <typename T>
  bool operator()(T a, T b) const {
    return a < b || (!std::isnan(a) && std::isnan(b));
  }
};

}  // namespace tsf_anomaly

#endif  // TSFORGE_ANOMALY_INTERNAL_H
