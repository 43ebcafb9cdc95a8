// Causal FIR filtering, simple exponential smoothing and the Euclidean norm.
#include "core/filter/filter.h"
#include "core/filter/filter_internal.h"
#include "core/matrix/matrix.h"

void filter(double *x, int N, double *b, int L, double *oup) {
  if (N < 1 || L < 1) tsf_filter::reject("filter", "the lengths N and L must be at least 1");
  // The first N values of the full convolution, summed in the order of conv_direct.
  tsf_filter::direct_convolution(x, N, b, L, oup, N);
}

void expfilter(double *x, int N, double alpha, double *oup) {
  if (N < 1) tsf_filter::reject("expfilter", "the length N must be at least 1");
  oup[0] = x[0];
  for (int i = 1; i < N; ++i) oup[i] = alpha * x[i] + (1.0 - alpha) * oup[i - 1];
}

double norm2(double *x, int N) { return l2norm(x, N); }
