/* BFGS with a factored Hessian approximation H = L L^T and the More-Thuente line search.
   The secant update works on the factor directly (Dennis and Schnabel (1983), "Numerical
   Methods for Unconstrained Optimization and Nonlinear Equations", algorithms A9.4.2
   BFGSFAC, A3.4.1 QRUPDATE and A3.4.1.1 JACROTATE). */
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/newton_internal.h"
#include "core/optim/optim.h"

using tsf_optim::dot;

namespace {

double relative_change(double fx, double fo, double eps) {
  return std::fabs(fo) >= eps ? std::fabs((fx - fo) / fo) : std::fabs(fx - fo);
}

/* BFGS on the factor L with the More-Thuente line search (bfgs_min2). The gradient at
   the start is taken only after a finite value (a second message would only repeat the
   first); no parameters at all is a run of one evaluation (code 1); the scaling is undone
   by dividing by the restored scales. */
class factored_bfgs final : public tsf_optim::minimizer_steps {
 public:
  factored_bfgs() : minimizer_steps(tsf_optim::start_order::gradient_if_value_finite, true, true) {}

  bool alloc(int N) override {
    if (N < 0) return false;
    // One block for every vector of the run: the iterations allocate nothing.
    const std::size_t n = static_cast<std::size_t>(N);
    block_.assign(n * n + 8 * n, 0.0);
    L_ = block_.data();
    g_old_ = L_ + n * n;
    xc_ = g_old_ + n;
    p_ = xc_ + n;
    wa_ = p_ + n;
    upd_ = wa_ + n;  // 4 N for the factored update
    return true;
  }

  int set(tsf_optim::minimizer_run &r, int code) override {
    inithess_lower(L_, r.N, r.f0, r.fsval, r.dx);
    std::copy(r.x0, r.x0 + r.N, xc_);
    fx_ = fo_ = r.f0;
    stp_ = 1.0;
    return code;
  }

  int iterate(tsf_optim::minimizer_run &r) override {
    const int N = r.N;
    double *g = r.grad;
    tsf_optim::newton_direction(L_, g, N, p_);
    std::copy(g, g + N, g_old_);
    std::copy(xc_, xc_ + N, r.xf);
    int lscode = cvsrch_ws(r.f, r.g, r.xf, &fx_, g, &stp_, p_, N, r.dx, r.maxstep, r.maxiter, r.h, r.ftol, r.gtol,
                           r.xtol, wa_, r.src);
    int code = stopcheck2_mt(fx_, N, fo_, g, r.dx, r.eps, r.gtol, r.ftol, lscode);
    fo_ = fx_;
    bfgs_factored_ws(L_, N, r.eps, xc_, r.xf, g_old_, g, upd_);
    std::copy(r.xf, r.xf + N, xc_);
    return code;
  }

 private:
  std::vector<double> block_;
  double *L_ = nullptr, *g_old_ = nullptr, *xc_ = nullptr, *p_ = nullptr, *wa_ = nullptr, *upd_ = nullptr;
  double fx_ = 0.0, fo_ = 0.0, stp_ = 1.0;
};

}  // namespace

void inithess_lower(double *L, int N, double fx, double fsval, double *dx) {
  double t = std::sqrt(std::max(fsval, std::fabs(fx)));
  for (int i = 0; i < N; ++i) {
    L[i * N + i] = dx[i] * t;
    for (int j = 0; j < i; ++j) L[i * N + j] = 0.0;
  }
}

void jrotate(double *R, int N, double a, double b, int i) {
  double c, s;
  if (a == 0.0) {
    c = 0.0;
    s = b >= 0.0 ? 1.0 : -1.0;
  } else {
    double den = std::sqrt(a * a + b * b);
    c = a / den;
    s = b / den;
  }
  double *ri = R + i * N, *rn = R + (i + 1) * N;
  for (int j = i; j < N; ++j) {
    double y = ri[j], w = rn[j];
    ri[j] = c * y - s * w;
    rn[j] = s * y + c * w;
  }
}

void qrupdate(double *R, int N, double *u, double *v) {
  for (int i = 1; i < N; ++i) R[i * N + i - 1] = 0.0;
  int k = N - 1;
  while (k > 0 && u[k] == 0.0) --k;
  // Rotate u into a multiple of e_0; R becomes upper Hessenberg.
  for (int i = k - 1; i >= 0; --i) {
    jrotate(R, N, u[i], -u[i + 1], i);
    u[i] = u[i] == 0.0 ? std::fabs(u[i + 1]) : std::sqrt(u[i] * u[i] + u[i + 1] * u[i + 1]);
  }
  for (int j = 0; j < N; ++j) R[j] += u[0] * v[j];
  // Restore the triangular form.
  for (int i = 0; i < k; ++i) jrotate(R, N, R[i * N + i], -R[(i + 1) * N + i], i);
}

void bfgs_factored_ws(double *L, int N, double eps, double *xi, double *xf, double *gi, double *gf,
                      double *work) {
  double *s = work, *y = work + N, *t = work + 2 * N, *u = work + 3 * N;
  for (int i = 0; i < N; ++i) {
    s[i] = xf[i] - xi[i];
    y[i] = gf[i] - gi[i];
  }
  double rt = std::sqrt(eps);
  double ys = dot(y, s, N);
  // Curvature too small for a positive definite update.
  if (ys < rt * l2norm(s, N) * l2norm(y, N)) return;

  for (int i = 0; i < N; ++i) {
    double sum = 0.0;
    for (int j = i; j < N; ++j) sum += L[j * N + i] * s[j];
    t[i] = sum;
  }
  double tt = dot(t, t, N);
  double alpha = std::sqrt(ys / tt);
  bool skip = true;
  for (int i = 0; i < N; ++i) {
    double w = 0.0;
    for (int j = 0; j <= i; ++j) w += L[i * N + j] * t[j];
    // Updates within the noise of the gradient differences are skipped.
    if (std::fabs(y[i] - w) >= rt * std::max(gi[i], gf[i])) skip = false;
    u[i] = y[i] - alpha * w;
  }
  if (skip) return;

  double scl = std::sqrt(ys * tt);
  for (int i = 0; i < N; ++i) t[i] /= scl;
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < i; ++j) L[j * N + i] = L[i * N + j];
  qrupdate(L, N, t, u);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < i; ++j) L[i * N + j] = L[j * N + i];
}

void bfgs_factored(double *L, int N, double eps, double *xi, double *xf, double *gi, double *gf) {
  std::vector<double> work(4 * static_cast<size_t>(N > 0 ? N : 0));
  bfgs_factored_ws(L, N, eps, xi, xf, gi, gf, work.data());
}

void linsolve_lower(double *L, int N, double *b, double *x) {
  for (int i = 0; i < N; ++i) {
    if (L[i * N + i] == 0.0) {
      std::printf("The Matrix system does not have a unique solution");
      std::exit(1);
    }
  }
  // Forward substitution L y = b into x, then L^T x = y in place.
  for (int i = 0; i < N; ++i) {
    double sum = b[i];
    for (int j = 0; j < i; ++j) sum -= L[i * N + j] * x[j];
    x[i] = sum / L[i * N + i];
  }
  for (int i = N - 1; i >= 0; --i) {
    double sum = x[i];
    for (int j = i + 1; j < N; ++j) sum -= L[j * N + i] * x[j];
    x[i] = sum / L[i * N + i];
  }
}

int stopcheck2_mt(double fx, int N, double fo, double *jac, double *dx, double eps, double gtol, double ftol,
                  int lscode) {
  (void)dx;
  if (lscode == 3) return 4;
  if (lscode == 15) return 15;
  double num = l2norm(jac, N) / N;
  if (num < gtol) return 1;
  if (relative_change(fx, fo, eps) < ftol) return 6;
  return 0;
}

int stopcheck_mt(double fx, int N, double *xc, double *xf, double *jac, double *dx, double fsval, double gtol,
                 double steptol, int lscode) {
  if (lscode == 3) return 4;
  if (lscode == 15) return 15;
  if (tsf_optim::relative_gradient(jac, xf, dx, N, fx, fsval) <= gtol) return 1;
  double stepmax = 0.0;
  for (int i = 0; i < N; ++i)
    stepmax = std::max(stepmax, std::fabs(xf[i] - xc[i]) / tsf_optim::typical_x(xf[i], dx[i]));
  return stepmax <= steptol ? 2 : 0;
}

int stopcheck3_mt(double *xc, double *xf, double fx, int N, double fo, double *jac, double *dx, double eps,
                  double gtol, double ftol, int lscode) {
  (void)dx;
  if (lscode == 3) return 4;
  if (lscode == 15) return 15;
  if (l2norm(jac, N) / N < gtol) return 1;
  if (relative_change(fx, fo, eps) < ftol) return 6;
  double stepmax = 0.0;
  for (int i = 0; i < N; ++i) stepmax = std::max(stepmax, std::fabs(xf[i] - xc[i]) / (std::fabs(xf[i]) + 1.0));
  return stepmax <= gtol ? 2 : 0;
}

int bfgs_min2(objective_function *funcval, gradient_function *grad, double *xi, int N, int m, double *dx,
              double fsval, double maxstep, int maxiter, int *iter, double eps, double gtol, double ftol,
              double xtol, double *xf) {
  (void)m;
  return tsf_optim::bfgs_min2_from(funcval, grad, xi, N, dx, fsval, maxstep, maxiter, iter, eps, gtol, ftol, xtol,
                                   xf, nullptr);
}

int tsf_optim::bfgs_min2_from(objective_function *funcval, gradient_function *grad, double *xi, int N,
                              double *dx, double fsval, double maxstep, int maxiter, int *iter, double eps,
                              double gtol, double ftol, double xtol, double *xf, point_source *src) {
  factored_bfgs steps;
  minimizer_run run(funcval, grad, xi, N, dx, fsval, maxstep, maxiter, iter, eps, gtol, xf);
  run.ftol = ftol;
  run.xtol = xtol;
  run.src = src;
  return minimize(run, steps);
}
