// BFGS methods besides bfgs_min2: BFGS on a Cholesky factor with a backtracking line
// search, limited-memory BFGS (Nocedal 1980; two-loop recursion, Nocedal and Wright,
// "Numerical Optimization", algorithm 7.4) and BFGS on the unfactored Hessian (Dennis and
// Schnabel 1983, algorithm A9.4.1).
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/newton_internal.h"

using namespace tsf_optim;

namespace {

/* Stores the newest pair (s, y) as row k of S and Y, or, once all m rows are in use,
   drops the oldest row and appends it as row m-1. */
void store_pair(double *S, double *Y, int m, int N, int k, const double *s, const double *y) {
  int row = k;
  if (k >= m) {
    for (int r = 0; r + 1 < m; ++r)
      for (int i = 0; i < N; ++i) {
        S[r * N + i] = S[(r + 1) * N + i];
        Y[r * N + i] = Y[(r + 1) * N + i];
      }
    row = m - 1;
  }
  for (int i = 0; i < N; ++i) {
    S[row * N + i] = s[i];
    Y[row * N + i] = y[i];
  }
}

/* BFGS with the backtracking line search lnsrch: on the Cholesky factor L of the
   Hessian approximation (bfgs_min), or on the approximation H itself, perturbed and
   factored afresh at every iteration (bfgs_min_naive). */
class backtracking_bfgs final : public minimizer_steps {
 public:
  // bfgs_min takes no gradient after a non-finite start value; either run ends there.
  explicit backtracking_bfgs(bool naive)
      : minimizer_steps(naive ? start_order::value_then_gradient : start_order::gradient_if_value_finite, true,
                        false),
        naive_(naive) {}

  bool alloc(int N) override {
    if (N < 1) return false;
    const std::size_t n = static_cast<std::size_t>(N);
    gnew_.resize(n);
    L_.assign(n * n, 0.0);
    if (naive_) H_.resize(n * n);
    p_.resize(n);
    xc_.resize(n);
    return true;
  }

  int set(minimizer_run &r, int code) override {
    if (naive_)
      inithess_naive(H_.data(), r.N, r.f0, r.fsval, r.dx);
    else
      inithess_lower(L_.data(), r.N, r.f0, r.fsval, r.dx);
    std::copy(r.x0, r.x0 + r.N, xc_.begin());
    return code;
  }

  int iterate(minimizer_run &r) override {
    const int N = r.N;
    if (naive_) modelhess(H_.data(), N, r.dx, r.eps, L_.data());
    newton_direction(L_.data(), r.grad, N, p_.data());
    int lscode = lnsrch(r.f, xc_.data(), r.grad, p_.data(), N, r.dx, r.maxstep, r.steptol, r.xf);
    if (lscode == 15) return 15;  // already announced by the line search
    double fx = eval_f(r.f, r.xf, N);
    if (check_value(fx) || grad_fd(r.f, r.g, r.xf, N, r.dx, r.h, gnew_.data()) == 15) return 15;
    int code = stopcheck(fx, N, xc_.data(), r.xf, gnew_.data(), r.dx, r.fsval, r.gtol, r.steptol, lscode);
    if (naive_)
      bfgs_naive(H_.data(), N, r.eps, xc_.data(), r.xf, r.grad, gnew_.data());
    else
      bfgs_factored(L_.data(), N, r.eps, xc_.data(), r.xf, r.grad, gnew_.data());
    std::copy(r.xf, r.xf + N, xc_.begin());
    std::copy(gnew_.begin(), gnew_.end(), r.grad);
    return code;
  }

 private:
  bool naive_;
  std::vector<double> gnew_, H_, L_, p_, xc_;
};

/* Limited-memory BFGS with m correction pairs and the More-Thuente line search. */
class limited_memory_bfgs final : public minimizer_steps {
 public:
  explicit limited_memory_bfgs(int m) : minimizer_steps(start_order::value_then_gradient, true, false), m_(m) {}

  bool alloc(int N) override {
    if (N < 1 || m_ < 1) return false;
    const std::size_t n = static_cast<std::size_t>(N);
    gold_.resize(n);
    p_.resize(n);
    r_.resize(n);
    xc_.resize(n);
    s_.assign(n, 0.0);
    y_.assign(n, 0.0);
    H0_.resize(n * n);
    S_.assign(static_cast<std::size_t>(m_) * n, 0.0);
    Y_.assign(static_cast<std::size_t>(m_) * n, 0.0);
    return true;
  }

  int set(minimizer_run &r, int code) override {
    std::copy(r.x0, r.x0 + r.N, xc_.begin());
    fx_ = r.f0;
    stp_ = 1.0;
    return code;
  }

  int iterate(minimizer_run &r) override {
    const int N = r.N, k = *r.iter - 1;  // pairs stored so far
    inithess_l(H0_.data(), N, k, s_.data(), y_.data(), r.dx);
    bfgs_rec(H0_.data(), N, k, m_, r.grad, S_.data(), Y_.data(), r_.data());
    for (int i = 0; i < N; ++i) {
      p_[i] = -r_[i];
      gold_[i] = r.grad[i];
    }
    double fo = fx_;
    int lscode = lnsrchmt(r.f, r.g, xc_.data(), &fx_, r.grad, &stp_, p_.data(), N, r.dx, r.maxstep, r.maxiter, r.h,
                          r.ftol, r.gtol, r.xtol, r.xf);
    int code = stopcheck2_mt(fx_, N, fo, r.grad, r.dx, r.eps, r.gtol, r.ftol, lscode);
    for (int i = 0; i < N; ++i) {
      s_[i] = r.xf[i] - xc_[i];
      y_[i] = r.grad[i] - gold_[i];
    }
    store_pair(S_.data(), Y_.data(), m_, N, k, s_.data(), y_.data());
    std::copy(r.xf, r.xf + N, xc_.begin());
    return code;
  }

 private:
  int m_;
  double fx_ = 0.0, stp_ = 1.0;
  std::vector<double> gold_, p_, r_, xc_, s_, y_, H0_, S_, Y_;
};

}  // namespace

extern "C" {

int bfgs_min(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx, double fsval,
             double maxstep, int maxiter, int *iter, double eps, double gtol, double stol, double *xf) {
  backtracking_bfgs steps(false);
  minimizer_run run(funcval, grad, xi, N, dx, fsval, maxstep, maxiter, iter, eps, gtol, xf);
  run.steptol = stol;
  return minimize(run, steps);
}

void inithess_l(double *H, int N, int k, double *stemp, double *ytemp, double *dx) {
  double gamma = 1.0;
  if (k >= 1) {
    double yy = dot(ytemp, ytemp, N);
    // A zero y (no change of the gradient) gives no curvature information.
    if (yy > 0.0) gamma = dot(stemp, ytemp, N) / yy;
  }
  for (int i = 0; i < N * N; ++i) H[i] = 0.0;
  for (int i = 0; i < N; ++i) H[i * N + i] = dx[i] * gamma * dx[i];
}

void bfgs_rec(double *H, int N, int iter, int m, double *jac, double *sk, double *yk, double *r) {
  int kk = iter < m ? iter : m;
  std::vector<double> q(jac, jac + N), alpha(kk > 0 ? kk : 1), rho(kk > 0 ? kk : 1);
  for (int i = kk - 1; i >= 0; --i) {
    rho[i] = 1.0 / dot(yk + i * N, sk + i * N, N);
    alpha[i] = rho[i] * dot(sk + i * N, q.data(), N);
    for (int j = 0; j < N; ++j) q[j] -= alpha[i] * yk[i * N + j];
  }
  for (int i = 0; i < N; ++i) {
    double t = 0.0;
    for (int j = 0; j < N; ++j) t += H[i * N + j] * q[j];
    r[i] = t;
  }
  for (int i = 0; i < kk; ++i) {
    double beta = rho[i] * dot(yk + i * N, r, N);
    for (int j = 0; j < N; ++j) r[j] += (alpha[i] - beta) * sk[i * N + j];
  }
}

int bfgs_l_min(objective_function *funcval, gradient_function *grad, double *xi, int N, int m, double *dx,
               double fsval, double maxstep, int maxiter, int *iter, double eps, double gtol, double ftol,
               double xtol, double *xf) {
  limited_memory_bfgs steps(m);
  minimizer_run run(funcval, grad, xi, N, dx, fsval, maxstep, maxiter, iter, eps, gtol, xf);
  run.ftol = ftol;
  run.xtol = xtol;
  return minimize(run, steps);
}

void inithess_naive(double *H, int N, double fx, double fsval, double *dx) {
  double t = std::fabs(fx) > fsval ? std::fabs(fx) : fsval;
  for (int i = 0; i < N * N; ++i) H[i] = 0.0;
  for (int i = 0; i < N; ++i) H[i * N + i] = t * dx[i] * dx[i];
}

void bfgs_naive(double *H, int N, double eps, double *xi, double *xf, double *gi, double *gf) {
  std::vector<double> s(N), y(N), t(N);
  for (int i = 0; i < N; ++i) {
    s[i] = xf[i] - xi[i];
    y[i] = gf[i] - gi[i];
  }
  double rt = std::sqrt(eps);
  double ys = dot(y.data(), s.data(), N);
  if (ys < rt * l2norm(s.data(), N) * l2norm(y.data(), N)) return;
  for (int i = 0; i < N; ++i) {
    double v = 0.0;
    for (int j = 0; j < i; ++j) v += H[j * N + i] * s[j];
    for (int j = i; j < N; ++j) v += H[i * N + j] * s[j];
    t[i] = v;
  }
  bool skip = true;
  for (int i = 0; i < N; ++i) {
    double gmax = gi[i] > gf[i] ? gi[i] : gf[i];
    if (std::fabs(y[i] - t[i]) >= rt * gmax) skip = false;
  }
  if (skip) return;
  double ts = dot(s.data(), t.data(), N);
  for (int i = 0; i < N; ++i)
    for (int j = i; j < N; ++j) H[i * N + j] += y[i] * y[j] / ys - t[i] * t[j] / ts;
}

int bfgs_min_naive(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx,
                   double fsval, double maxstep, int maxiter, double eps, double *xf) {
  const double gtol = std::pow(eps, 1.0 / 3.0);
  backtracking_bfgs steps(true);
  int iter = 0;  // not returned by this method
  minimizer_run run(funcval, grad, xi, N, dx, fsval, maxstep, maxiter, &iter, eps, gtol, xf);
  run.steptol = gtol * gtol;
  return minimize(run, steps);
}

}  // extern "C"
