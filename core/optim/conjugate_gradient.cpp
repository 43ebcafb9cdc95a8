// Nonlinear conjugate gradient, Polak-Ribiere with restarts at negative beta and every N
// steps, with the More-Thuente line search (Nocedal and Wright, "Numerical Optimization",
// section 5.2).
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/optim/minimizer_internal.h"

using namespace tsf_optim;

namespace {

/* The conjugate-gradient iteration; k_ counts the steps since the last restart. It has
   no stop at the start, and takes the gradient there before the value. */
class conjugate_gradient final : public minimizer_steps {
 public:
  conjugate_gradient() : minimizer_steps(start_order::gradient_then_value, false, false) {}

  bool alloc(int N) override {
    if (N < 1) return false;
    gold_.resize(N);
    p_.resize(N);
    xc_.resize(N);
    return true;
  }

  int set(minimizer_run &r, int code) override {
    for (int i = 0; i < r.N; ++i) {
      xc_[i] = r.x0[i];
      p_[i] = -r.grad[i];
      r.xf[i] = r.x0[i];
    }
    fx_ = r.f0;
    stp_ = 1.0;
    k_ = 0;
    return code;
  }

  int iterate(minimizer_run &r) override {
    const int N = r.N;
    double *g = r.grad;
    k_ += 1;
    double gg = dot(g, g, N);
    std::copy(g, g + N, gold_.begin());
    double fo = fx_;
    int lscode = lnsrchmt(r.f, r.g, xc_.data(), &fx_, g, &stp_, p_.data(), N, r.dx, r.maxstep, r.maxiter, r.h,
                          r.ftol, r.gtol, r.xtol, r.xf);
    double beta = gg > 0.0 ? (dot(g, g, N) - dot(gold_.data(), g, N)) / gg : 0.0;
    if (beta < 0.0) beta = 0.0;
    if (k_ == N) {
      for (int i = 0; i < N; ++i) p_[i] = -g[i];
      k_ = 0;
    } else {
      for (int i = 0; i < N; ++i) p_[i] = beta * p_[i] - g[i];
    }
    int code = stopcheck2_mt(fx_, N, fo, g, r.dx, r.eps, r.gtol, r.ftol, lscode);
    std::copy(r.xf, r.xf + N, xc_.begin());
    return code;
  }

 private:
  double fx_ = 0.0, stp_ = 1.0;
  int k_ = 0;
  std::vector<double> gold_, p_, xc_;
};

int run_conjugate_gradient(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx,
                           double maxstep, int maxiter, int *iter, double eps, double gtol, double ftol, double xtol,
                           double *xf, bool scaled) {
  conjugate_gradient steps;
  // fsval plays no part: there is no relative-gradient test.
  minimizer_run run(funcval, grad, xi, N, dx, 1.0, maxstep, maxiter, iter, eps, gtol, xf);
  run.ftol = ftol;
  run.xtol = xtol;
  run.scaled = scaled;
  return minimize(run, steps);
}

}  // namespace

extern "C" {

int cgpr_mt(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx, double maxstep,
            int maxiter, int *iter, double eps, double gtol, double ftol, double xtol, double *xf) {
  return run_conjugate_gradient(funcval, grad, xi, N, dx, maxstep, maxiter, iter, eps, gtol, ftol, xtol, xf, false);
}

int conjgrad_min_lin(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx,
                     double maxstep, int maxiter, int *iter, double eps, double gtol, double ftol, double xtol,
                     double *xf) {
  return run_conjugate_gradient(funcval, grad, xi, N, dx, maxstep, maxiter, iter, eps, gtol, ftol, xtol, xf, true);
}

}  // extern "C"
