// Nonlinear least squares: the settings object and the drivers around the Levenberg-
// Marquardt routines (More 1978).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/nls_internal.h"

namespace {

const char *const kTermination[9] = {
    "Termination Message : improper input parameters. ",
    "Termination Message : both actual and predicted relative reductions in the sum of squares are at most "
    "ftol. ",
    "Termination Message : relative error between two consecutive iterates is at most xtol. ",
    "Termination Message : conditions for info = 1 and info = 2 both hold. ",
    "Termination Message : the cosine of the angle between fvec and any column of the jacobian is at most gtol "
    "in absolute value. ",
    "Termination Message : number of calls to fcn has reached or exceeded maxfev. ",
    "Termination Message : ftol is too small. no further reduction in the sum of squares is possible. ",
    "Termination Message : xtol is too small. no further improvement inthe approximate solution x is "
    "possible. ",
    "Termination Message : gtol is too small. fvec is orthogonal to thecolumns of the jacobian to machine "
    "precision. ",
};

/* One solve with the object's settings and the scale factors in diag (input in mode 2,
   work in mode 1). */
void solve(nls_object obj, residual_function *fcn, residual_function *jac, double *diag, double *xi) {
  int M = obj->M, N = obj->N;
  for (int j = 0; j < N; ++j) obj->xopt[j] = xi[j];
  lm_problem pb = {M, N, obj->ftol, obj->xtol, obj->gtol, obj->epsfcn, obj->eps, obj->factor,
                   obj->MaxFev, obj->mode, obj->ldfjac};
  // Improper sizes are rejected by the solver before any allocation is used.
  size_t nm = (M > 0 && N > 0) ? static_cast<size_t>(M) * N : 0;
  std::vector<double> fvec(M > 0 ? M : 0), fjac(nm);
  int nfev = 0, njev = 0;
  obj->retval = jac ? lmder(fcn, jac, &pb, obj->xopt, fvec.data(), diag, fjac.data(), &nfev, &njev)
                    : lmdif(fcn, &pb, obj->xopt, fvec.data(), diag, fjac.data(), &nfev);
  obj->nfev = nfev;
  obj->njev = njev;
  obj->Iter = nfev;
}

}  // namespace

extern "C" {

nls_object nls_init(int M, int N) {
  int n = N > 0 ? N : 0;
  nls_object obj = static_cast<nls_object>(std::malloc(sizeof(nls_set) + sizeof(double) * n));
  if (!obj) return nullptr;
  double eps = macheps();
  obj->M = M;
  obj->N = N;
  obj->eps = eps;
  obj->epsfcn = eps;
  obj->factor = 100.0;
  obj->gtol = std::pow(eps, 0.3333333333333333);
  obj->ftol = obj->gtol * obj->gtol;
  obj->xtol = eps;
  obj->Maxiter = 1000;
  obj->MaxFev = 1000;
  obj->Iter = 0;
  obj->nfev = 0;
  obj->njev = 0;
  obj->ldfjac = M;
  obj->mode = 1;
  obj->retval = 0;
  obj->xopt = reinterpret_cast<double *>(obj + 1);
  for (int j = 0; j < n; ++j) obj->xopt[j] = 0.0;
  return obj;
}

void setnlsTOL(nls_object obj, double gtol, double ftol, double xtol) {
  obj->gtol = gtol;
  obj->ftol = ftol;
  obj->xtol = xtol;
}

void nls(nls_object obj, residual_function *funcval, residual_function *funcjac, double *xi) {
  std::vector<double> diag(obj->N > 0 ? obj->N : 0);
  obj->mode = 1;
  solve(obj, funcval, funcjac, diag.data(), xi);
}

void nls_scale(nls_object obj, residual_function *funcval, residual_function *funcjac, double *diag,
               double *xi) {
  std::vector<double> d(diag, diag + (obj->N > 0 ? obj->N : 0));
  obj->mode = 2;
  solve(obj, funcval, funcjac, d.data(), xi);
}

void nlssummary(nls_object obj) {
  std::puts("\n");
  std::printf("Return Value : %d \n", obj->retval);
  if (obj->retval >= 0 && obj->retval <= 8) std::puts(kTermination[obj->retval]);
  std::printf("Iterations : %d \n", obj->Iter);
  std::printf("Function Minimized At : [ ");
  for (int j = 0; j < obj->N; ++j) std::printf("%g ", obj->xopt[j]);
  std::puts(" ] ");
}

void free_nls(nls_object obj) { std::free(obj); }

int levmar(residual_function *funcval, residual_function *funcjac, double *xi, int M, int N, double *xf) {
  nls_object obj = nls_init(M, N);
  if (!obj) return 0;
  nls(obj, funcval, funcjac, xi);
  for (int j = 0; j < N; ++j) xf[j] = obj->xopt[j];
  int code = obj->retval;
  free_nls(obj);
  return code;
}

}  // extern "C"
