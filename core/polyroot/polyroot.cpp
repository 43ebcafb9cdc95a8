// Entry points with ascending coefficients, real or complex: both reverse the coefficients
// into the descending order of cpoly.
#include <vector>

#include "core/polyroot/polyroot.h"

int polyroot(double *coeff, int degree, double *zeror, double *zeroi) {
  if (degree < 0) return 1;
  std::vector<double> desc(degree + 1), im(degree + 1, 0.0);
  for (int k = 0; k <= degree; ++k) desc[k] = coeff[degree - k];
  return cpoly(desc.data(), im.data(), degree, zeror, zeroi);
}

int cpolyroot(double *re, double *im, int degree, double *zeror, double *zeroi) {
  if (degree < 0) return 1;
  std::vector<double> dre(degree + 1), dim(degree + 1);
  for (int k = 0; k <= degree; ++k) {
    dre[k] = re[degree - k];
    dim[k] = im[degree - k];
  }
  return cpoly(dre.data(), dim.data(), degree, zeror, zeroi);
}
