/* Finite-difference gradients, Hessians and Jacobians (Dennis and Schnabel (1983),
   "Numerical Methods for Unconstrained Optimization and Nonlinear Equations",
   algorithms A5.6.3, A5.6.4 and A5.6.2). */
#include <cmath>
#include <vector>

#include "core/optim/optim.h"
#include "core/optim/optim_internal.h"

using tsf_optim::check_value;
using tsf_optim::eval_f;
using tsf_optim::eval_g;
using tsf_optim::step_base;

int grad_fd(objective_function *funcval, gradient_function *grad, double *x, int N, double *dx, double eps,
            double *f) {
  if (grad != nullptr) {
    eval_g(grad, x, N, f);
    return 0;
  }
  return grad_calc(funcval, x, N, dx, eps, f);
}

int grad_cd(objective_function *funcval, gradient_function *grad, double *x, int N, double *dx, double eps,
            double *f) {
  if (grad != nullptr) {
    eval_g(grad, x, N, f);
    return 0;
  }
  return grad_calc2(funcval, x, N, dx, eps, f);
}

int grad_calc(objective_function *funcval, double *x, int N, double *dx, double eps, double *f) {
  std::vector<double> t(x, x + N);
  for (int i = 0; i < N; ++i) {
    t.assign(x, x + N);
    double h = eps * step_base(x[i], dx[i]);
    t[i] = x[i] + h;
    double f1 = eval_f(funcval, t.data(), N);
    // f(x) again for every component: the last evaluation of the call is then at x itself.
    double f0 = eval_f(funcval, x, N);
    f[i] = (f1 - f0) / h;
    if (check_value(f[i]) != 0) return 15;
  }
  return 0;
}

int grad_calc2(objective_function *funcval, double *x, int N, double *dx, double eps, double *f) {
  for (int i = 0; i < N; ++i) {
    double v = x[i];
    x[i] = v + eps * step_base(v, dx[i]);
    double s = x[i] - v;  // the step actually representable at x[i]
    double fp = eval_f(funcval, x, N);
    if (check_value(fp) != 0) {
      x[i] = v;
      return 15;
    }
    x[i] = v - s;
    double fm = eval_f(funcval, x, N);
    x[i] = v;
    if (check_value(fm) != 0) return 15;
    f[i] = (fp - fm) / (2.0 * s);
  }
  return 0;
}

int hessian_fd(objective_function *funcval, double *x, int N, double *dx, double eps, double *H) {
  double eta = std::pow(eps, 1.0 / 3.0);
  std::vector<double> xi(N), xj(N), xij(N), h(N);
  for (int k = 0; k < N; ++k) h[k] = eta * step_base(x[k], dx[k]);
  for (int i = 0; i < N; ++i) {
    xi.assign(x, x + N);
    xj.assign(x, x + N);
    xij.assign(x, x + N);
    xi[i] += h[i];
    xij[i] += h[i];
    for (int j = 0; j < N; ++j) {
      xj[j] += h[j];
      xij[j] += h[j];
      double fij = eval_f(funcval, xij.data(), N);
      double fi = eval_f(funcval, xi.data(), N);
      double fj = eval_f(funcval, xj.data(), N);
      double f0 = eval_f(funcval, x, N);
      double hij = ((fij - fi) - (fj - f0)) / (h[i] * h[j]);
      H[i * N + j] = hij;
      if (check_value(hij) != 0) return 15;
      xj[j] -= h[j];
      xij[j] -= h[j];
    }
  }
  return 0;
}

int hessian_fd2(objective_function *funcval, double *x, int N, double *dx, double eps, double *H) {
  double eta = std::pow(eps, 1.0 / 3.0);
  std::vector<double> s(N), F(N);
  double f0 = eval_f(funcval, x, N);
  if (check_value(f0) != 0) return 15;
  for (int i = 0; i < N; ++i) {
    double v = x[i];
    x[i] = v + eta * step_base(v, dx[i]);
    s[i] = x[i] - v;
    F[i] = eval_f(funcval, x, N);
    x[i] = v;
    if (check_value(F[i]) != 0) return 15;
  }
  for (int i = 0; i < N; ++i) {
    double v = x[i];
    x[i] = v + 2.0 * s[i];
    double fii = eval_f(funcval, x, N);
    if (check_value(fii) != 0) {
      x[i] = v;
      return 15;
    }
    H[i * N + i] = ((f0 - F[i]) + fii - F[i]) / (s[i] * s[i]);
    x[i] = v + s[i];
    for (int j = i + 1; j < N; ++j) {
      double w = x[j];
      x[j] = w + s[j];
      double fij = eval_f(funcval, x, N);
      x[j] = w;
      if (check_value(fij) != 0) {
        x[i] = v;
        return 15;
      }
      H[i * N + j] = ((f0 - F[i]) + fij - F[j]) / (s[i] * s[j]);
    }
    x[i] = v;
  }
  return 0;
}

void fdjac(gradient_function *funcgrad, double *x, int N, double *gx, double *dx, double eps, double *J) {
  std::vector<double> gnew(N);
  for (int j = 0; j < N; ++j) {
    double v = x[j];
    x[j] = v + eps * step_base(v, dx[j]);
    double s = x[j] - v;
    eval_g(funcgrad, x, N, gnew.data());
    for (int i = 0; i < N; ++i) J[i * N + j] = (gnew[i] - gx[i]) / s;
    x[j] = v;
  }
}

void hessian_fdg(gradient_function *funcgrad, double *x, int N, double *gx, double *dx, double eps,
                 double *H) {
  fdjac(funcgrad, x, N, gx, dx, eps, H);
  for (int i = 0; i < N; ++i) {
    for (int j = i + 1; j < N; ++j) {
      double sym = (H[i * N + j] + H[j * N + i]) / 2.0;
      H[i * N + j] = sym;
      H[j * N + i] = sym;
    }
  }
}

int hessian_opt(objective_function *funcval, gradient_function *grad, double *x, int N, double *gx,
                double *dx, double eps_f, double eps_g, double *H) {
  if (grad == nullptr) return hessian_fd(funcval, x, N, dx, eps_f, H);
  hessian_fdg(grad, x, N, gx, dx, eps_g, H);
  return 0;
}
