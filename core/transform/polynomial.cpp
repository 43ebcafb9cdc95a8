// Polynomial products and the difference operators (1 - B)^d and (1 - B^s)^D.
#include <cstddef>
#include <vector>

#include "core/transform/transform.h"

int poly(double *A, double *B, double *C, int la, int lb) {
  int lc = la + lb - 1;
  for (int i = 0; i < lc; ++i) C[i] = 0.0;
  // j outer, k inner: each C[i] accumulates its terms in increasing j.
  for (int j = 0; j < la; ++j)
    for (int k = 0; k < lb; ++k) C[j + k] += A[j] * B[k];
  return lc;
}

namespace {
// Raises the factor F (lf coefficients) to the power `times` into C; W is working space
// large enough for the result.
void power_of_factor(std::vector<double> &F, int times, double *C) {
  int lf = static_cast<int>(F.size());
  int deg = lf - 1;
  std::vector<double> W(static_cast<std::size_t>(deg) * times + 1, 0.0);
  W[0] = 1.0;
  for (int i = 0; i < times; ++i) {
    int len = poly(W.data(), F.data(), C, deg * i + 1, lf);
    for (int j = 0; j < len; ++j) W[j] = C[j];
  }
}
}  // namespace

void deld(int d, double *C) {
  if (d < 1) return;  // order 0: nothing written, callers use the operator {1} themselves
  std::vector<double> F = {1.0, -1.0};
  power_of_factor(F, d, C);
}

void delds(int D, int s, double *C) {
  if (D < 1 || s < 1) return;
  std::vector<double> F(static_cast<std::size_t>(s) + 1, 0.0);
  F[0] = 1.0;
  F[s] = -1.0;
  power_of_factor(F, D, C);
}
