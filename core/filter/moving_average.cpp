// Centred and weighted moving averages, the moving-average trend and the classical additive
// seasonal adjustment (decomposition by moving averages, as in Kendall and Stuart).
//
// The extended series of the padded averages is never formed: a position t outside [0, N)
// reads x[0] or x[N - 1], which is what the copies of the end values would hold.
#include <vector>

#include "core/filter/filter.h"
#include "core/filter/filter_internal.h"

namespace {

inline double clamped(const double *x, int N, long long t) {
  if (t < 0) return x[0];
  if (t >= N) return x[N - 1];
  return x[t];
}

void check_window(const char *fn, int N, int M) {
  if (N < 1) tsf_filter::reject(fn, "the length N must be at least 1");
  if (M < 1) tsf_filter::reject(fn, "the window M must be at least 1");
}

// Centred average at i of window M over positions i - p .. i + p (p = M/2), read through
// at(t). Odd M: the mean of the M values; even M: the end values at half weight, over M.
template <class At>
double centred_average(long long i, int M, At at) {
  const int p = M / 2;
  double sum;
  if (M % 2 == 1) {
    sum = 0.0;
    for (long long t = i - p; t <= i + p; ++t) sum += at(t);
  } else {
    sum = 0.5 * at(i - p);
    for (long long t = i - p + 1; t < i + p; ++t) sum += at(t);
    sum += 0.5 * at(i + p);
  }
  return sum / M;
}

}  // namespace

void mafilter(double *x, int N, int M, double *oup) {
  check_window("mafilter", N, M);
  auto at = [x, N](long long t) { return clamped(x, N, t); };
  for (int i = 0; i < N; ++i) oup[i] = centred_average(i, M, at);
}

void mafilter2(double *x, int N, int M, double *oup) {
  check_window("mafilter2", N, M);
  const int p = M / 2;
  auto at = [x](long long t) { return x[t]; };
  for (int i = 0; i < N; ++i) {
    const bool interior = i >= p && static_cast<long long>(i) + p < N;
    oup[i] = interior ? centred_average(i, M, at) : x[i];
  }
}

void mafilter_wt(double *x, int N, double *wts, int M, double *oup) {
  check_window("mafilter_wt", N, M);
  const int p = M / 2;
  for (int i = 0; i < N; ++i) {
    double sum = 0.0;
    for (int k = 0; k < M; ++k) sum += wts[k] * clamped(x, N, static_cast<long long>(i) - p + k);
    oup[i] = sum;
  }
}

void detrend_ma(double *x, int N, int M, double *oup) {
  check_window("detrend_ma", N, M);
  mafilter(x, N, M, oup);
}

void deseason_ma(double *x, int N, int s, double *oup) {
  if (N < 1) tsf_filter::reject("deseason_ma", "the length N must be at least 1");
  if (s < 1) tsf_filter::reject("deseason_ma", "the period s must be at least 1");
  const int p = s / 2;
  const int n = N - 2 * p;  // positions with a centred trend value
  if (n < s) tsf_filter::reject("deseason_ma", "the series must hold at least s + 2*(s/2) values");
  std::vector<double> trend(N), seasonal(s);
  mafilter2(x, N, s, trend.data());
  for (int k = 0; k < s; ++k) {
    double sum = 0.0;
    int count = 0;
    for (int i = k; i < n; i += s) {
      sum += x[p + i] - trend[p + i];
      ++count;
    }
    seasonal[(k + p) % s] = sum / count;
  }
  double centre = 0.0;
  for (int k = 0; k < s; ++k) centre += seasonal[k];
  centre /= s;
  for (int k = 0; k < s; ++k) seasonal[k] -= centre;
  for (int i = 0; i < N; ++i) oup[i] = x[i] - seasonal[i % s];
}
