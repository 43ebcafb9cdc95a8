// Nonlinear conjugate gradient, Polak-Ribiere with restarts at negative beta and every N
// steps, with the More-Thuente line search (Nocedal and Wright, "Numerical Optimization",
// section 5.2).
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/optim/newton_internal.h"

using namespace tsf_optim;

extern "C" {

int cgpr_mt(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx, double maxstep,
            int maxiter, int *iter, double eps, double gtol, double ftol, double xtol, double *xf) {
  *iter = 0;
  if (N < 1) return 0;
  const double h = std::sqrt(eps);
  std::vector<double> g(N), gold(N), p(N), xc(xi, xi + N);
  if (maxstep <= 0.0) maxstep = default_maxstep(xi, dx, N);
  double stp = 1.0;
  int code = grad_fd(funcval, grad, xc.data(), N, dx, h, g.data()) == 15 ? 15 : 0;
  for (int i = 0; i < N; ++i) {
    p[i] = -g[i];
    xf[i] = xc[i];
  }
  double fx = eval_f(funcval, xc.data(), N);
  if (check_value(fx)) code = 15;
  int k = 0;
  while (code == 0 && *iter < maxiter) {
    *iter += 1;
    k += 1;
    double gg = dot(g.data(), g.data(), N);
    for (int i = 0; i < N; ++i) gold[i] = g[i];
    double fo = fx;
    int lscode = lnsrchmt(funcval, grad, xc.data(), &fx, g.data(), &stp, p.data(), N, dx, maxstep, maxiter, h,
                          ftol, gtol, xtol, xf);
    if (lscode == 100) {
      std::printf("The Linesearch Algorithm didn't converge");
      break;
    }
    double beta = gg > 0.0 ? (dot(g.data(), g.data(), N) - dot(gold.data(), g.data(), N)) / gg : 0.0;
    if (beta < 0.0) beta = 0.0;
    if (k == N) {
      for (int i = 0; i < N; ++i) p[i] = -g[i];
      k = 0;
    } else {
      for (int i = 0; i < N; ++i) p[i] = beta * p[i] - g[i];
    }
    code = stopcheck2_mt(fx, N, fo, g.data(), dx, eps, gtol, ftol, lscode);
    for (int i = 0; i < N; ++i) xc[i] = xf[i];
  }
  if (code == 0 && *iter >= maxiter) code = 4;
  return code;
}

int conjgrad_min_lin(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx,
                     double maxstep, int maxiter, int *iter, double eps, double gtol, double ftol, double xtol,
                     double *xf) {
  swap_scaling(xi, dx, N);
  int code = cgpr_mt(funcval, grad, xi, N, dx, maxstep, maxiter, iter, eps, gtol, ftol, xtol, xf);
  swap_scaling(xi, dx, N);
  return code;
}

}  // extern "C"
