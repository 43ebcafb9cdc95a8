// BFGS methods besides bfgs_min2: BFGS on a Cholesky factor with a backtracking line
// search, limited-memory BFGS (Nocedal 1980; two-loop recursion, Nocedal and Wright,
// "Numerical Optimization", algorithm 7.4) and BFGS on the unfactored Hessian (Dennis and
// Schnabel 1983, algorithm A9.4.1).
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/optim/newton_internal.h"

using namespace tsf_optim;

namespace {

/* f at the starting point with the announcement of a non-finite value: 0 or 15. */
int start_value(objective_function *f, double *x, int N, double *fx) {
  *fx = eval_f(f, x, N);
  return check_value(*fx);
}

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

}  // namespace

extern "C" {

int bfgs_min(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx, double fsval,
             double maxstep, int maxiter, int *iter, double eps, double gtol, double stol, double *xf) {
  *iter = 0;
  if (N < 1) return 0;
  const double h = std::sqrt(eps);
  std::vector<double> g(N), gnew(N), L(N * N, 0.0), p(N), xc(N);
  swap_scaling(xi, dx, N);
  if (maxstep <= 0.0) maxstep = default_maxstep(xi, dx, N);
  double fx;
  // A non-finite start ends the run: the factor and the line search would work on it.
  int code = start_value(funcval, xi, N, &fx);
  if (code == 0 && grad_fd(funcval, grad, xi, N, dx, h, g.data()) == 15) code = 15;
  if (code == 0 && relative_gradient(g.data(), xi, dx, N, fx, fsval) <= 0.001 * gtol) {
    code = 1;
    for (int i = 0; i < N; ++i) xf[i] = xi[i];
  }
  inithess_lower(L.data(), N, fx, fsval, dx);
  for (int i = 0; i < N; ++i) xc[i] = xi[i];
  while (code == 0 && *iter < maxiter) {
    *iter += 1;
    newton_direction(L.data(), g.data(), N, p.data());
    int lscode = lnsrch(funcval, xc.data(), g.data(), p.data(), N, dx, maxstep, stol, xf);
    if (lscode == 15) {  // already announced by the line search
      code = 15;
      break;
    }
    fx = eval_f(funcval, xf, N);
    if (check_value(fx) || grad_fd(funcval, grad, xf, N, dx, h, gnew.data()) == 15) {
      code = 15;
      break;
    }
    code = stopcheck(fx, N, xc.data(), xf, gnew.data(), dx, fsval, gtol, stol, lscode);
    bfgs_factored(L.data(), N, eps, xc.data(), xf, g.data(), gnew.data());
    for (int i = 0; i < N; ++i) {
      xc[i] = xf[i];
      g[i] = gnew[i];
    }
  }
  if (code == 0 && *iter >= maxiter) code = 4;
  swap_scaling(xi, dx, N);
  return code;
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
  *iter = 0;
  if (N < 1 || m < 1) return 0;
  const double h = std::sqrt(eps);
  std::vector<double> g(N), gold(N), p(N), r(N), xc(N), s(N, 0.0), y(N, 0.0), H0(N * N), S(m * N, 0.0),
      Y(m * N, 0.0);
  swap_scaling(xi, dx, N);
  if (maxstep <= 0.0) maxstep = default_maxstep(xi, dx, N);
  double fx;
  int code = start_value(funcval, xi, N, &fx);
  if (grad_fd(funcval, grad, xi, N, dx, h, g.data()) == 15) code = 15;
  if (code == 0 && relative_gradient(g.data(), xi, dx, N, fx, fsval) <= 0.001 * gtol) {
    code = 1;
    for (int i = 0; i < N; ++i) xf[i] = xi[i];
  }
  for (int i = 0; i < N; ++i) xc[i] = xi[i];
  double stp = 1.0;
  while (code == 0 && *iter < maxiter) {
    int k = *iter;
    inithess_l(H0.data(), N, k, s.data(), y.data(), dx);
    bfgs_rec(H0.data(), N, k, m, g.data(), S.data(), Y.data(), r.data());
    for (int i = 0; i < N; ++i) {
      p[i] = -r[i];
      gold[i] = g[i];
    }
    double fo = fx;
    int lscode = lnsrchmt(funcval, grad, xc.data(), &fx, g.data(), &stp, p.data(), N, dx, maxstep, maxiter, h,
                          ftol, gtol, xtol, xf);
    code = stopcheck2_mt(fx, N, fo, g.data(), dx, eps, gtol, ftol, lscode);
    for (int i = 0; i < N; ++i) {
      s[i] = xf[i] - xc[i];
      y[i] = g[i] - gold[i];
    }
    store_pair(S.data(), Y.data(), m, N, k, s.data(), y.data());
    for (int i = 0; i < N; ++i) xc[i] = xf[i];
    *iter += 1;
  }
  if (code == 0 && *iter >= maxiter) code = 4;
  swap_scaling(xi, dx, N);
  return code;
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
  if (ys < rt * std::sqrt(dot(s.data(), s.data(), N)) * std::sqrt(dot(y.data(), y.data(), N))) return;
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
  if (N < 1) return 0;
  const double gtol = std::pow(eps, 1.0 / 3.0);
  const double stol = gtol * gtol;
  const double h = std::sqrt(eps);
  std::vector<double> g(N), gnew(N), H(N * N), L(N * N), p(N), xc(N);
  swap_scaling(xi, dx, N);
  double f0;
  int code = start_value(funcval, xi, N, &f0);
  if (grad_fd(funcval, grad, xi, N, dx, h, g.data()) == 15) code = 15;
  if (maxstep <= 0.0) maxstep = default_maxstep(xi, dx, N);
  if (code == 0 && relative_gradient(g.data(), xi, dx, N, f0, fsval) <= 0.001 * gtol) {
    for (int i = 0; i < N; ++i) xf[i] = xi[i];
    swap_scaling(xi, dx, N);
    return 1;
  }
  inithess_naive(H.data(), N, f0, fsval, dx);
  for (int i = 0; i < N; ++i) xc[i] = xi[i];
  int k = 0;
  while (code == 0 && k < maxiter) {
    k += 1;
    modelhess(H.data(), N, dx, eps, L.data());
    newton_direction(L.data(), g.data(), N, p.data());
    int lscode = lnsrch(funcval, xc.data(), g.data(), p.data(), N, dx, maxstep, stol, xf);
    if (lscode == 15) {  // already announced by the line search
      code = 15;
      break;
    }
    double fx = eval_f(funcval, xf, N);
    if (check_value(fx) || grad_fd(funcval, grad, xf, N, dx, h, gnew.data()) == 15) {
      code = 15;
      break;
    }
    code = stopcheck(fx, N, xc.data(), xf, gnew.data(), dx, fsval, gtol, stol, lscode);
    bfgs_naive(H.data(), N, eps, xc.data(), xf, g.data(), gnew.data());
    for (int i = 0; i < N; ++i) {
      xc[i] = xf[i];
      g[i] = gnew[i];
    }
  }
  if (code == 0 && k >= maxiter) code = 4;
  swap_scaling(xi, dx, N);
  return code;
}

}  // extern "C"
