// Euclidean norm with scaling of small and large components; More, Garbow and Hillstrom,
// "User Guide for MINPACK-1" (1980), routine ENORM.
#include <cmath>

#include "core/optim/nls_internal.h"

extern "C" double enorm(int n, const double *x) {
  const double rdwarf = 3.834e-20, rgiant = 1.304e19;
  double s1 = 0.0, s2 = 0.0, s3 = 0.0, x1max = 0.0, x3max = 0.0;
  double agiant = rgiant / n;
  for (int i = 0; i < n; ++i) {
    double xabs = std::fabs(x[i]);
    if (xabs > rdwarf && xabs < agiant) {
      s2 += xabs * xabs;
    } else if (xabs > rdwarf) {
      if (xabs > x1max) {
        s1 = 1.0 + s1 * (x1max / xabs) * (x1max / xabs);
        x1max = xabs;
      } else {
        s1 += (xabs / x1max) * (xabs / x1max);
      }
    } else if (xabs > x3max) {
      s3 = 1.0 + s3 * (x3max / xabs) * (x3max / xabs);
      x3max = xabs;
    } else if (xabs != 0.0) {
      s3 += (xabs / x3max) * (xabs / x3max);
    }
  }
  if (s1 != 0.0) return x1max * std::sqrt(s1 + (s2 / x1max) / x1max);
  if (s2 != 0.0) {
    if (s2 >= x3max) return std::sqrt(s2 * (1.0 + (x3max / s2) * (x3max * s3)));
    return std::sqrt(x3max * ((s2 / x3max) + (x3max * s3)));
  }
  return x3max * std::sqrt(s3);
}
