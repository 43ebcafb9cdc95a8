// Ordinary and seasonal differencing of a series.
//
// Order 0 copies the series (the identity operator) and returns N. When the series is
// not longer than the lag span (N <= d, or N <= D*s) nothing is written and 0 is
// returned: there is no difference to form, and no element outside x or y is touched.
#include <cstddef>
#include <vector>

#include "core/transform/transform.h"

namespace {
// y[i - span] = sum_{j=0..span, c[j] != 0 on the visited lags} c[j] * x[i - j], visiting
// lags 0, step, 2*step, ..., span.
int apply_difference(const double *x, int N, const std::vector<double> &c, int span, int step, double *y) {
  for (int i = span; i < N; ++i) {
    double s = 0.0;
    for (int j = step; j <= span; j += step) s += x[i - j] * c[j];
    y[i - span] = c[0] * x[i] + s;
  }
  return N - span;
}

int copy_series(const double *x, int N, double *y) {
  for (int i = 0; i < N; ++i) y[i] = x[i];
  return N > 0 ? N : 0;
}
}  // namespace

int diff(double *x, int N, int d, double *y) {
  if (d <= 0) return copy_series(x, N, y);
  if (N <= d) return 0;
  std::vector<double> c(static_cast<std::size_t>(d) + 1);
  deld(d, c.data());
  return apply_difference(x, N, c, d, 1, y);
}

int diffs(double *x, int N, int D, int s, double *y) {
  if (D <= 0 || s <= 0) return copy_series(x, N, y);
  long span = static_cast<long>(D) * s;
  if (N <= span) return 0;
  std::vector<double> c(static_cast<std::size_t>(span) + 1);
  delds(D, s, c.data());
  return apply_difference(x, N, c, static_cast<int>(span), s, y);
}
