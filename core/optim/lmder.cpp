// Levenberg-Marquardt least squares with the caller's Jacobian; More, Garbow and
// Hillstrom, "User Guide for MINPACK-1" (1980), routine LMDER.
#include "core/optim/nls_internal.h"

extern "C" int lmder(residual_function *fcn, residual_function *jac, const lm_problem *pb, double *x,
                     double *fvec, double *diag, double *fjac, int *nfev, int *njev) {
  return lm_iterate(fcn, jac, pb, x, fvec, diag, fjac, nfev, njev);
}
