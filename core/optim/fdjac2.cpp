// Forward-difference Jacobian of a residual vector; More, Garbow and Hillstrom, "User
// Guide for MINPACK-1" (1980), routine FDJAC2, row-major.
#include <cmath>

#include "core/optim/nls_internal.h"

extern "C" void fdjac2(residual_function *fcn, int m, int n, double *x, const double *fvec, double *fjac,
                       double epsfcn, double eps, double *wa) {
  double s = std::sqrt(epsfcn > eps ? epsfcn : eps);
  for (int j = 0; j < n; ++j) {
    double temp = x[j];
    double h = s * std::fabs(temp);
    if (h == 0.0) h = s;
    x[j] = temp + h;
    fcn->funcpt(x, m, n, wa, fcn->params);
    x[j] = temp;
    for (int i = 0; i < m; ++i) fjac[i * n + j] = (wa[i] - fvec[i]) / h;
  }
}
