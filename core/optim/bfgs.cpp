/* BFGS with a factored Hessian approximation H = L L^T and the More-Thuente line search.
   The secant update works on the factor directly (Dennis and Schnabel (1983), "Numerical
   Methods for Unconstrained Optimization and Nonlinear Equations", algorithms A9.4.2
   BFGSFAC, A3.4.1 QRUPDATE and A3.4.1.1 JACROTATE). */
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/optim/optim.h"
#include "core/optim/optim_internal.h"

using tsf_optim::check_value;
using tsf_optim::dot;
using tsf_optim::eval_f;

namespace {

double norm2(const double *a, int N) { return std::sqrt(dot(a, a, N)); }

/* Scaled gradient test: max_i |g_i| max(|x_i|, 1/|dx_i|) / max(|f|, |fsval|). */
double scaled_gradient(const double *g, const double *x, const double *dx, int N, double f, double fsval) {
  double d = std::max(std::fabs(f), std::fabs(fsval));
  double m = 0.0;
  for (int i = 0; i < N; ++i)
    m = std::max(m, std::fabs(g[i]) * std::max(std::fabs(x[i]), 1.0 / std::fabs(dx[i])) / d);
  return m;
}

double relative_change(double fx, double fo, double eps) {
  return std::fabs(fo) >= eps ? std::fabs((fx - fo) / fo) : std::fabs(fx - fo);
}

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
  if (ys < rt * norm2(s, N) * norm2(y, N)) return;

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
  double num = norm2(jac, N) / N;
  if (num < gtol) return 1;
  if (relative_change(fx, fo, eps) < ftol) return 6;
  return 0;
}

int stopcheck_mt(double fx, int N, double *xc, double *xf, double *jac, double *dx, double fsval, double gtol,
                 double steptol, int lscode) {
  if (lscode == 3) return 4;
  if (lscode == 15) return 15;
  if (scaled_gradient(jac, xf, dx, N, fx, fsval) <= gtol) return 1;
  double stepmax = 0.0;
  for (int i = 0; i < N; ++i)
    stepmax = std::max(stepmax, std::fabs(xf[i] - xc[i]) / std::max(std::fabs(xf[i]), 1.0 / std::fabs(dx[i])));
  return stepmax <= steptol ? 2 : 0;
}

int stopcheck3_mt(double *xc, double *xf, double fx, int N, double fo, double *jac, double *dx, double eps,
                  double gtol, double ftol, int lscode) {
  (void)dx;
  if (lscode == 3) return 4;
  if (lscode == 15) return 15;
  if (norm2(jac, N) / N < gtol) return 1;
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
  // One block for every vector of the run: the iterations allocate nothing.
  const size_t n = static_cast<size_t>(N);
  std::vector<double> block(n * n + 9 * n);
  double *L = block.data();
  double *g = L + n * n, *g_old = g + n, *xc = g_old + n, *p = xc + n;
  double *wa = p + n, *upd = wa + n;  // upd: 4 N for the factored update

  int code = 0;
  *iter = 0;
  double h = std::sqrt(eps);
  double stp = 1.0;
  for (int i = 0; i < N; ++i) {
    xi[i] *= dx[i];
    dx[i] = 1.0 / dx[i];
  }

  double f0;
  if (src != nullptr) {
    code = src->start(xi, N, dx, h, &f0, g);
  } else {
    f0 = eval_f(funcval, xi, N);
    code = check_value(f0);
    // After a non-finite start value the gradient would only repeat the message.
    if (code == 0 && grad_fd(funcval, grad, xi, N, dx, h, g) == 15) code = 15;
  }

  if (maxstep <= 0.0) {
    double sdx = 0.0, sx = 0.0;
    for (int i = 0; i < N; ++i) {
      sdx += dx[i] * dx[i];
      sx += (dx[i] * xi[i]) * (dx[i] * xi[i]);
    }
    maxstep = 1000.0 * std::max(std::sqrt(sdx), std::sqrt(sx));
  }

  if (code == 0 && scaled_gradient(g, xi, dx, N, f0, fsval) <= gtol * 0.001) {
    code = 1;
    std::copy(xi, xi + N, xf);
  }

  inithess_lower(L, N, f0, fsval, dx);
  std::copy(xi, xi + N, xc);
  double fx = f0, fo = f0;

  while (code == 0 && *iter < maxiter) {
    *iter += 1;
    for (int i = 0; i < N; ++i) g[i] = -g[i];
    linsolve_lower(L, N, g, p);
    for (int i = 0; i < N; ++i) g[i] = -g[i];
    std::copy(g, g + N, g_old);

    std::copy(xc, xc + N, xf);
    int lscode = cvsrch_ws(funcval, grad, xf, &fx, g, &stp, p, N, dx, maxstep, maxiter, h, ftol, gtol, xtol, wa,
                           src);
    code = stopcheck2_mt(fx, N, fo, g, dx, eps, gtol, ftol, lscode);
    fo = fx;
    bfgs_factored_ws(L, N, eps, xc, xf, g_old, g, upd);
    std::copy(xf, xf + N, xc);
  }
  if (code == 0) code = 4;

  for (int i = 0; i < N; ++i) {
    dx[i] = 1.0 / dx[i];
    xi[i] /= dx[i];
  }
  return code;
}
