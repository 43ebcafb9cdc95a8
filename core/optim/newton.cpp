// Newton's method with a backtracking line search, the perturbed Cholesky decomposition
// of the model Hessian and the stop test shared with bfgs_min. Dennis and Schnabel,
// "Numerical Methods for Unconstrained Optimization and Nonlinear Equations" (1983),
// algorithms A6.3.1 (line search), A5.5.1 and A5.5.2 (model Hessian, perturbed Cholesky)
// and A7.2.1 (stop test).
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/optim/newton_internal.h"

using namespace tsf_optim;

namespace {

constexpr double kArmijo = 1e-4;
constexpr int kLineSearchPasses = 1000;

/* Next backtracking step: quadratic after the full step, cubic through the last two
   trial values afterwards, kept in [0.1 lambda, 0.5 lambda]. */
double backtrack_step(double lambda, double lambda_prev, double f1, double fprev, double f0, double slope) {
  double lt;
  if (lambda == 1.0) {
    lt = -slope / (2.0 * (f1 - f0 - slope));
  } else {
    double t1 = f1 - f0 - lambda * slope;
    double t2 = fprev - f0 - lambda_prev * slope;
    double d = lambda - lambda_prev;
    double a = (t1 / (lambda * lambda) - t2 / (lambda_prev * lambda_prev)) / d;
    double b = (-lambda_prev * t1 / (lambda * lambda) + lambda * t2 / (lambda_prev * lambda_prev)) / d;
    if (a == 0.0) {
      lt = -slope / (2.0 * b);
    } else {
      double disc = b * b - 3.0 * a * slope;
      // A negative discriminant (cubic without a local minimum) falls back to halving.
      lt = disc < 0.0 ? 0.5 * lambda : (-b + std::sqrt(disc)) / (3.0 * a);
    }
  }
  // Written so that a NaN trial step also ends at 0.5 lambda.
  if (!(lt < 0.5 * lambda)) lt = 0.5 * lambda;
  return lt > 0.1 * lambda ? lt : 0.1 * lambda;
}

/* Shortens p to maxstep in scaled units; returns its scaled length afterwards. */
double cap_step(double *p, const double *dx, int N, double maxstep) {
  double sln = scaled_norm(p, dx, N);
  if (sln > maxstep) {
    for (int i = 0; i < N; ++i) p[i] *= maxstep / sln;
    sln = maxstep;
  }
  return sln;
}

double relative_length(const double *p, const double *x, const double *dx, int N) {
  double r = 0.0;
  for (int i = 0; i < N; ++i) {
    double t = std::fabs(p[i]) / typical_x(x[i], dx[i]);
    if (t > r) r = t;
  }
  return r;
}

void step_point(const double *xi, const double *p, double lambda, int N, double *x) {
  for (int i = 0; i < N; ++i) x[i] = xi[i] + lambda * p[i];
}

/* At an accepted step lambda (point x) of lnsrchmod and lnsrchcg: the gradient there into
   jacf; a full step that fails the curvature test newslope >= beta * slope is doubled
   while the decrease test still holds, up to maxstep (sln: the scaled length of p). */
int meet_curvature(objective_function *f, gradient_function *g, const double *xi, const double *p, int N,
                   double *dx, double maxstep, double eps2, double sln, double slope, double f0, double lambda,
                   double beta, double *x, double *jacf) {
  if (grad_fd(f, g, x, N, dx, eps2, jacf) == 15) return 15;
  double newslope = dot(jacf, p, N);
  std::vector<double> xt(N), gt(N);
  while (lambda >= 1.0 && newslope < beta * slope && lambda * sln < maxstep) {
    double lt = 2.0 * lambda;
    if (lt * sln > maxstep) lt = maxstep / sln;
    step_point(xi, p, lt, N, xt.data());
    double ft = eval_f(f, xt.data(), N);
    if (check_value(ft)) return 15;
    if (ft > f0 + kArmijo * lt * slope) break;
    if (grad_fd(f, g, xt.data(), N, dx, eps2, gt.data()) == 15) return 15;
    lambda = lt;
    for (int i = 0; i < N; ++i) {
      x[i] = xt[i];
      jacf[i] = gt[i];
    }
    newslope = dot(jacf, p, N);
  }
  return 0;
}

/* Backtracking from xi along p, shortened to maxstep in scaled units, to the first step
   with sufficient decrease (lnsrch). With jacf given, the step then meets the curvature
   test of meet_curvature (lnsrchmod, lnsrchcg). */
int backtracking_search(objective_function *f, gradient_function *g, double *xi, double *jac, double *p, int N,
                        double *dx, double maxstep, double eps2, double stol, double *x, double *jacf, double beta) {
  double sln = cap_step(p, dx, N, maxstep);
  double slope = dot(jac, p, N);
  double minlambda = stol / relative_length(p, xi, dx, N);
  double f0 = eval_f(f, xi, N);
  if (check_value(f0)) return 15;
  double lambda = 1.0, lambda_prev = 1.0, fprev = f0;
  for (int pass = 0; pass < kLineSearchPasses; ++pass) {
    step_point(xi, p, lambda, N, x);
    double f1 = eval_f(f, x, N);
    if (check_value(f1)) return 15;
    if (f1 <= f0 + kArmijo * lambda * slope) {
      if (jacf == nullptr) return 0;
      return meet_curvature(f, g, xi, p, N, dx, maxstep, eps2, sln, slope, f0, lambda, beta, x, jacf);
    }
    if (lambda < minlambda) {
      for (int i = 0; i < N; ++i) x[i] = xi[i];
      return 1;
    }
    double lt = backtrack_step(lambda, lambda_prev, f1, fprev, f0, slope);
    lambda_prev = lambda;
    fprev = f1;
    lambda = lt;
  }
  return 100;
}

/* Largest and smallest diagonal and the largest off-diagonal magnitude of A. */
void diagonal_bounds(const double *A, int N, double *maxdiag, double *mindiag, double *maxoff) {
  *maxdiag = *mindiag = A[0];
  *maxoff = 0.0;
  for (int i = 0; i < N; ++i) {
    double d = A[i * N + i];
    if (d > *maxdiag) *maxdiag = d;
    if (d < *mindiag) *mindiag = d;
    for (int j = i + 1; j < N; ++j) {
      double a = std::fabs(A[i * N + j]);
      if (a > *maxoff) *maxoff = a;
    }
  }
}

void add_to_diagonal(double *A, int N, double mu) {
  for (int i = 0; i < N; ++i) A[i * N + i] += mu;
}

/* The shift that makes the Gershgorin lower bound of A safely positive. */
double gershgorin_shift(const double *A, int N, double s) {
  double maxev = A[0], minev = A[0];
  for (int i = 0; i < N; ++i) {
    double offrow = 0.0;
    for (int j = 0; j < N; ++j)
      if (j != i) offrow += std::fabs(A[i * N + j]);
    double d = A[i * N + i];
    if (d + offrow > maxev) maxev = d + offrow;
    if (d - offrow < minev) minev = d - offrow;
  }
  double sdd = (maxev - minev) * s - minev;
  return sdd > 0.0 ? sdd : 0.0;
}

/* Newton's method with the backtracking line search lnsrch. */
class newton_line_search final : public newton_steps {
  int global_step(minimizer_run &r) override {
    return lnsrch(r.f, xc_.data(), r.grad, p_.data(), r.N, r.dx, r.maxstep, r.steptol, r.xf);
  }
};

}  // namespace

bool tsf_optim::newton_steps::alloc(int N) {
  if (N < 1) return false;
  A_.resize(static_cast<std::size_t>(N) * N);
  L_.resize(static_cast<std::size_t>(N) * N);
  p_.resize(N);
  xc_.resize(N);
  return true;
}

int tsf_optim::newton_steps::set(minimizer_run &r, int code) {
  if (code == 0 && hessian_opt(r.f, r.g, r.x0, r.N, r.grad, r.dx, r.eps, r.h, A_.data()) == 15) code = 15;
  std::copy(r.x0, r.x0 + r.N, xc_.begin());
  return code;
}

int tsf_optim::newton_steps::iterate(minimizer_run &r) {
  const int N = r.N;
  modelhess(A_.data(), N, r.dx, r.eps, L_.data());
  newton_direction(L_.data(), r.grad, N, p_.data());
  int stepcode = global_step(r);
  if (stepcode == 15) return 15;
  double fx = eval_f(r.f, r.xf, N);
  if (check_value(fx)) return 15;
  if (grad_fd(r.f, r.g, r.xf, N, r.dx, r.h, r.grad) == 15) return 15;
  int code = stopcheck(fx, N, xc_.data(), r.xf, r.grad, r.dx, r.fsval, r.gtol, r.steptol, stepcode);
  // The Hessian at the new point is needed only for another iteration.
  if (code == 0 && *r.iter < r.maxiter &&
      hessian_opt(r.f, r.g, r.xf, N, r.grad, r.dx, r.eps, r.h, A_.data()) == 15)
    code = 15;
  std::copy(r.xf, r.xf + N, xc_.begin());
  return code;
}

extern "C" {

double cholmod(double *A, int N, double *L, double eps, double maxoffl) {
  double minl = std::sqrt(std::sqrt(eps)) * maxoffl;
  double maxadd = 0.0;
  for (int i = 0; i < N * N; ++i) L[i] = 0.0;
  if (maxoffl == 0.0) {
    for (int i = 0; i < N; ++i) {
      double a = std::fabs(A[i * N + i]);
      if (a > maxoffl) maxoffl = a;
    }
    maxoffl = std::sqrt(maxoffl);
  }
  double minl2 = std::sqrt(eps) * maxoffl;
  for (int j = 0; j < N; ++j) {
    double d = A[j * N + j];
    for (int k = 0; k < j; ++k) d -= L[j * N + k] * L[j * N + k];
    L[j * N + j] = d;
    double minljj = 0.0;
    for (int i = j + 1; i < N; ++i) {
      double v = A[j * N + i];
      for (int k = 0; k < j; ++k) v -= L[i * N + k] * L[j * N + k];
      L[i * N + j] = v;
      if (std::fabs(v) > minljj) minljj = std::fabs(v);
    }
    double q = minljj / maxoffl;
    minljj = q > minl ? q : minl;
    if (L[j * N + j] > minljj * minljj) {
      L[j * N + j] = std::sqrt(L[j * N + j]);
    } else {
      if (minl2 > minljj) minljj = minl2;
      double add = minljj * minljj - L[j * N + j];
      if (add > maxadd) maxadd = add;
      L[j * N + j] = minljj;
    }
    for (int i = j + 1; i < N; ++i) L[i * N + j] /= L[j * N + j];
  }
  return maxadd;
}

double modelhess(double *A, int N, double *dx, double eps, double *L) {
  double s = std::sqrt(eps);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) A[i * N + j] /= dx[i] * dx[j];
  double maxdiag, mindiag, maxoff;
  diagonal_bounds(A, N, &maxdiag, &mindiag, &maxoff);
  double maxposdiag = maxdiag > 0.0 ? maxdiag : 0.0;
  double mu = 0.0;
  if (mindiag <= s * maxposdiag) {
    mu = 2.0 * (maxposdiag - mindiag) * s - mindiag;
    maxdiag += mu;
  }
  if (maxoff * (1.0 + 2.0 * s) > maxdiag) {
    mu += (maxoff - maxdiag) + 2.0 * s * maxoff;
    maxdiag = maxoff * (1.0 + 2.0 * s);
  }
  if (maxdiag == 0.0) {
    mu = 1.0;
    maxdiag = 1.0;
  }
  if (mu > 0.0) add_to_diagonal(A, N, mu);
  double off = maxoff / N;
  double maxoffl = std::sqrt(maxdiag > off ? maxdiag : off);
  double maxadd = cholmod(A, N, L, eps, maxoffl);
  if (maxadd > 0.0) {
    double sdd = gershgorin_shift(A, N, s);
    add_to_diagonal(A, N, maxadd < sdd ? maxadd : sdd);
  }
  maxadd = cholmod(A, N, L, eps, 0.0);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) {
      A[i * N + j] *= dx[i] * dx[j];
      if (j <= i) L[i * N + j] *= dx[i];
    }
  return maxadd;
}

int lnsrch(objective_function *funcval, double *xi, double *jac, double *p, int N, double *dx, double maxstep,
           double stol, double *x) {
  return backtracking_search(funcval, nullptr, xi, jac, p, N, dx, maxstep, 0.0, stol, x, nullptr, 0.0);
}

int lnsrchmod(objective_function *funcval, gradient_function *grad, double *xi, double *jac, double *p, int N,
              double *dx, double maxstep, double eps2, double stol, double *x, double *jacf) {
  return backtracking_search(funcval, grad, xi, jac, p, N, dx, maxstep, eps2, stol, x, jacf, 0.9);
}

int lnsrchcg(objective_function *funcval, gradient_function *grad, double *xi, double *jac, double *p, int N,
             double *dx, double maxstep, double eps2, double stol, double *x, double *jacf) {
  return backtracking_search(funcval, grad, xi, jac, p, N, dx, maxstep, eps2, stol, x, jacf, 0.4);
}

int stopcheck(double fx, int N, double *xc, double *xf, double *jac, double *dx, double fsval, double gtol,
              double stol, int code) {
  if (code == 1) return 3;
  if (code == 5) return 5;
  if (code == 15) return 15;
  if (relative_gradient(jac, xf, dx, N, fx, fsval) <= gtol) return 1;
  double rel = 0.0;
  for (int i = 0; i < N; ++i) {
    double t = std::fabs(xf[i] - xc[i]) / typical_x(xf[i], dx[i]);
    if (t > rel) rel = t;
  }
  return rel <= stol ? 2 : 0;
}

int newton_min_func(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx,
                    double fsval, double maxstep, int maxiter, int *iter, double eps, double gtol, double stol,
                    double *xf) {
  newton_line_search steps;
  minimizer_run run(funcval, grad, xi, N, dx, fsval, maxstep, maxiter, iter, eps, gtol, xf);
  run.steptol = stol;
  return minimize(run, steps);
}

}  // extern "C"
