// The seasonal series of the seasonal ARIMA tests: the logarithms of the bundled
// AirPassengers counts and their differences at lag 12.
#ifndef TSFORGE_TESTS_CORE_ARIMA_SEASONAL_SERIES_H
#define TSFORGE_TESTS_CORE_ARIMA_SEASONAL_SERIES_H

#include <cmath>
#include <vector>

#include "support/test_util.h"

namespace tsf_test {

// log(AirPassengers).
inline std::vector<double> LogAirPassengers() {
  std::vector<double> x = LoadSeries("airpassengers.csv");
  for (double &v : x) v = std::log(v);
  return x;
}

// diff(log(AirPassengers), lag = 12).
inline std::vector<double> SeasonalDifferenceOfLogAirPassengers() {
  std::vector<double> x = LogAirPassengers(), y;
  for (std::size_t t = 12; t < x.size(); ++t) y.push_back(x[t] - x[t - 12]);
  return y;
}

}  // namespace tsf_test

#endif  // TSFORGE_TESTS_CORE_ARIMA_SEASONAL_SERIES_H
