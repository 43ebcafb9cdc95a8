// The frame shared by the gradient minimisers: scaling, the checked start, the default
// step bound and the stop at a start that already satisfies the gradient test. Dennis and
// Schnabel, "Numerical Methods for Unconstrained Optimization and Nonlinear Equations"
// (1983), appendix A: the driver UMDRIVER and the stop test at the start UMSTOP0.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/minimizer_internal.h"
#include "core/optim/newton_internal.h"

using namespace tsf_optim;

namespace {

/* x <- x*dx and dx <- 1/dx. */
void scale(double *x, double *dx, int N) {
  for (int i = 0; i < N; ++i) {
    x[i] = x[i] * dx[i];
    dx[i] = 1.0 / dx[i];
  }
}

/* Gives the caller x and dx back (up to rounding): either scale again, or restore dx and
   divide x by it. */
void unscale(double *x, double *dx, int N, bool by_division) {
  if (!by_division) {
    scale(x, dx, N);
    return;
  }
  for (int i = 0; i < N; ++i) {
    dx[i] = 1.0 / dx[i];
    x[i] /= dx[i];
  }
}

int start_gradient(minimizer_run &r) { return grad_fd(r.f, r.g, r.x0, r.N, r.dx, r.h, r.grad) == 15 ? 15 : 0; }

/* f and the forward-difference gradient at the start, in the method's order; 15 (already
   announced) when either fails. */
int evaluate_start(minimizer_run &r, start_order order) {
  if (r.src != nullptr) return r.src->start(r.x0, r.N, r.dx, r.h, &r.f0, r.grad);
  int code = order == start_order::gradient_then_value ? start_gradient(r) : 0;
  r.f0 = eval_f(r.f, r.x0, r.N);
  if (check_value(r.f0)) code = 15;
  if (order == start_order::value_then_gradient && start_gradient(r) == 15) code = 15;
  if (order == start_order::gradient_if_value_finite && code == 0) code = start_gradient(r);
  return code;
}

}  // namespace

int tsf_optim::minimize(minimizer_run &r, minimizer_steps &steps) {
  *r.iter = 0;
  if (!steps.alloc(r.N)) return 0;
  std::vector<double> grad(static_cast<std::size_t>(r.N));
  r.grad = grad.data();
  r.h = std::sqrt(r.eps);
  if (r.scaled) scale(r.x0, r.dx, r.N);
  int code = evaluate_start(r, steps.start);
  if (r.maxstep <= 0.0) r.maxstep = 1000.0 * std::max(l2norm(r.dx, r.N), scaled_norm(r.x0, r.dx, r.N));
  if (code == 0 && steps.start_test &&
      relative_gradient(r.grad, r.x0, r.dx, r.N, r.f0, r.fsval) <= r.gtol * 0.001) {
    code = 1;
    std::copy(r.x0, r.x0 + r.N, r.xf);
  }
  code = steps.set(r, code);
  while (code == 0 && *r.iter < r.maxiter) {
    *r.iter += 1;
    code = steps.iterate(r);
  }
  if (code == 0) code = 4;
  if (r.scaled) unscale(r.x0, r.dx, r.N, steps.unscale_by_division);
  return code;
}
