/* Pieces shared by the Newton, trust-region and quasi-Newton minimisers (never installed). */
#ifndef TSFORGE_CORE_OPTIM_NEWTON_INTERNAL_H
#define TSFORGE_CORE_OPTIM_NEWTON_INTERNAL_H

#include <cmath>
#include <vector>

#include "core/optim/optim_internal.h"

namespace tsf_optim {

/* x <- x*dx and dx <- 1/dx; applying it twice gives x and dx back (up to rounding). */
inline void swap_scaling(double *x, double *dx, int N) {
  for (int i = 0; i < N; ++i) {
    x[i] = x[i] * dx[i];
    dx[i] = 1.0 / dx[i];
  }
}

/* Step bound chosen when the caller gives none: 1000 max(||dx||, ||dx*x||). */
inline double default_maxstep(const double *x, const double *dx, int N) {
  double sd = 0.0, sx = 0.0;
  for (int i = 0; i < N; ++i) {
    sd += dx[i] * dx[i];
    sx += (dx[i] * x[i]) * (dx[i] * x[i]);
  }
  sd = std::sqrt(sd);
  sx = std::sqrt(sx);
  return 1000.0 * (sd > sx ? sd : sx);
}

/* Typical magnitude of variable i: max(|x_i|, 1/|dx_i|). */
inline double typical_x(double x, double dx) {
  double a = std::fabs(x), b = 1.0 / std::fabs(dx);
  return a > b ? a : b;
}

/* max_i |g_i| max(|x_i|, 1/|dx_i|) / max(|f|, |fsval|): the relative gradient. */
inline double relative_gradient(const double *g, const double *x, const double *dx, int N, double f,
                                double fsval) {
  double af = std::fabs(f), as = std::fabs(fsval);
  double den = af > as ? af : as;
  double m = 0.0;
  for (int i = 0; i < N; ++i) {
    double t = std::fabs(g[i]) * typical_x(x[i], dx[i]) / den;
    if (t > m) m = t;
  }
  return m;
}

/* ||dx*v||, the length of v in scaled units. */
inline double scaled_norm(const double *v, const double *dx, int N) {
  double s = 0.0;
  for (int i = 0; i < N; ++i) s += (dx[i] * v[i]) * (dx[i] * v[i]);
  return std::sqrt(s);
}

/* p solves L L^T p = -g (g is negated around the solve and restored). */
inline void newton_direction(double *L, double *g, int N, double *p) {
  for (int i = 0; i < N; ++i) g[i] = -g[i];
  linsolve_lower(L, N, g, p);
  for (int i = 0; i < N; ++i) g[i] = -g[i];
}

/* Forward substitution L t = b with the lower triangle of L. */
inline void solve_lower(const double *L, int N, const double *b, double *t) {
  for (int i = 0; i < N; ++i) {
    double s = b[i];
    for (int j = 0; j < i; ++j) s -= L[i * N + j] * t[j];
    t[i] = s / L[i * N + i];
  }
}

/* The end of a Newton or trust-region iteration that accepted xf: the value and gradient at
   xf, the stopping test for the step's code, the Hessian at xf when another iteration
   follows, then xc <- xf. Returns 15 (already announced) on a non-finite value or failed
   derivative, else the stopping code. */
inline int finish_newton_iteration(objective_function *funcval, gradient_function *grad, int N, double *dx,
                                   double fsval, double gtol, double stol, double eps, double h, int stepcode,
                                   bool another, double *xc, double *xf, double *g, double *A) {
  double fx = eval_f(funcval, xf, N);
  if (check_value(fx)) return 15;
  if (grad_fd(funcval, grad, xf, N, dx, h, g) == 15) return 15;
  int code = stopcheck(fx, N, xc, xf, g, dx, fsval, gtol, stol, stepcode);
  if (code == 0 && another && hessian_opt(funcval, grad, xf, N, g, dx, eps, h, A) == 15) code = 15;
  for (int i = 0; i < N; ++i) xc[i] = xf[i];
  return code;
}

}  // namespace tsf_optim

#endif /* TSFORGE_CORE_OPTIM_NEWTON_INTERNAL_H */
