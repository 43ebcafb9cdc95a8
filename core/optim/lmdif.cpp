// Levenberg-Marquardt least squares with a forward-difference Jacobian; More, Garbow and
// Hillstrom, "User Guide for MINPACK-1" (1980), routine LMDIF.
#include "core/optim/nls_internal.h"

extern "C" int lmdif(residual_function *fcn, const lm_problem *pb, double *x, double *fvec, double *diag,
                     double *fjac, int *nfev) {
  int njev = 0;
  return lm_iterate(fcn, nullptr, pb, x, fvec, diag, fjac, nfev, &njev);
}
