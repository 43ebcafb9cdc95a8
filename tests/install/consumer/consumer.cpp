// Uses the installed headers and library as an outside project would: the C core, the
// forecaster and the CSV loader with the host status object.
#include <cstdio>
#include <vector>

#include "CSVLoader/CSVLoader.h"
#include "Forecast/ARIMA.h"
#include "core/matrix/matrix.h"
#include "core/transform/transform.h"

int main() {
  double a[4] = {2, 1, 1, 3};
  double b[2] = {3, 5};
  double x[2];
  int ipiv[2];
  ludecomp(a, 2, ipiv);
  linsolve(a, 2, b, ipiv, x);
  double y[3];
  double s[4] = {1, 4, 9, 16};
  int n = diff(s, 4, 1, y);
  if (n != 3 || y[2] != 7.0) return 1;
  if (x[0] < 0.79 || x[0] > 0.81) return 1;

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
