// Sample mean and variance (divisor N).
#include "core/stats/stats.h"

double mean(double *x, int N) {
  double sum = 0.0;
  for (int i = 0; i < N; ++i) sum += x[i];
  return sum / N;
}

double var(double *x, int N) {
  const double m = mean(x, N);
  double sum = 0.0;
  for (int i = 0; i < N; ++i) {
    const double d = x[i] - m;
    sum += d * d;
  }
  return sum / N;
}
