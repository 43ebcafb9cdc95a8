// The bare include form the host uses ("Forecast/ARIMA.h"): the C core, the forecaster and
// the CSV loader with the host status object.
#include <cstdio>
#include <vector>

#include "CSVLoader/CSVLoader.h"
#include "Forecast/ARIMA.h"
#include "core/transform/transform.h"

int main() {
  double s[4] = {1, 4, 9, 16};
  double y[2];
  if (diff(s, 4, 2, y) != 2 || y[0] != 2.0 || y[1] != 2.0) return 1;

  std::vector<double> series, forecasts;
  for (int t = 0; t < 60; ++t) series.push_back(10.0 + (t % 7) + 0.1 * t);
  std::vector<int> order;
  CalculateOrderAndGetPredictions(series, forecasts, 3, order);
  if (order.size() != 3 || forecasts.size() != 3) return 1;

  TsCSVLoader csv;
  CNbError status = csv.Load("/nonexistent/file.csv", true, ',', 0);
  if (!status.IsError()) return 1;
  std::printf("consumer ok\n");
  return 0;
}
