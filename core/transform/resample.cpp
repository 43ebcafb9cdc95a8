// Up- and down-sampling of a coefficient sequence (a polynomial in B^s to one in B and
// back).
#include "core/transform/transform.h"

int upsample(double *x, int N, int M, double *y) {
  if (M < 0) return -1;
  if (N <= 0) return 0;
  if (M == 0) {
    for (int i = 0; i < N; ++i) y[i] = x[i];
    return N;
  }
  int len = M * (N - 1) + 1;
  for (int i = 0; i < len; ++i) y[i] = 0.0;
  for (int k = 0; k < N; ++k) y[M * k] = x[k];
  return len;
}

int downsample(double *x, int N, int M, double *y) {
  if (M < 0) return -1;
  if (N <= 0) return 0;
  if (M == 0) {
    for (int i = 0; i < N; ++i) y[i] = x[i];
    return N;
  }
  int n = (N - 1) / M + 1;
  for (int k = 0; k < n; ++k) y[k] = x[M * k];
  return n;
}
