/* Helpers shared by the sources of the optimisation family (never installed). */
#ifndef TSFORGE_CORE_OPTIM_INTERNAL_H
#define TSFORGE_CORE_OPTIM_INTERNAL_H

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "core/optim/optim.h"

namespace tsf_optim {

/* The minimisers' names by method number 0..7, as optimize stores them. */
extern const char *const kMethodNames[8];

/* The two announcements of a non-finite objective (printed without newline). */
constexpr const char *kMsgOverflow = "Program Exiting as the function value exceeds the maximum double value";
constexpr const char *kMsgNaN = "Program Exiting as the function returns NaN";

inline double eval_f(objective_function *f, double *x, int N) { return f->funcpt(x, N, f->params); }
inline void eval_g(gradient_function *g, double *x, int N, double *out) { g->funcpt(x, N, out, g->params); }

/* 0 for a usable value; otherwise prints the matching message and returns 15. Values of
   magnitude DBL_MAX count as overflow too. */
inline int check_value(double v) {
  if (v >= DBL_MAX || v <= -DBL_MAX) {
    std::printf("%s", kMsgOverflow);
    return 15;
  }
  if (std::isnan(v)) {
    std::printf("%s", kMsgNaN);
    return 15;
  }
  return 0;
}

inline double dot(const double *a, const double *b, int N) {
  double s = 0.0;
  for (int i = 0; i < N; ++i) s += a[i] * b[i];
  return s;
}

/* Finite-difference base of one variable: x when |x| >= 1/|dx|, else signx(x)/|dx|. */
inline double step_base(double x, double dx) {
  double typ = 1.0 / std::fabs(dx);
  if (std::fabs(x) >= typ) return x;
  return (x >= 0.0 ? 1.0 : -1.0) * typ;
}

/* Where bfgs_min2 and its line search take values and finite-difference gradients from,
   when not from the scalar calls (the objective, then grad_fd / grad_cd): each returns 0,
   or 15 after printing what the scalar calls print, and leaves f and g as they would. */
class point_source {
 public:
  /* f(x) and the forward-difference gradient with relative step h. */
  virtual int start(double *x, int N, double *dx, double h, double *f, double *g) = 0;
  /* f(x) and the central-difference gradient with relative step h (x is not changed). */
  virtual int trial(double *x, int N, double *dx, double h, double *f, double *g) = 0;

 protected:
  ~point_source() = default;
};

/* fminunc and bfgs_min2 with their values from src when src is not null (fminunc: for
   method 7 only). */
int fminunc_from(objective_function *funcval, gradient_function *grad, int N, double *xi, double maxstep,
                 int method, double *xf, point_source *src);
int bfgs_min2_from(objective_function *funcval, gradient_function *grad, double *xi, int N, double *dx,
                   double fsval, double maxstep, int maxiter, int *iter, double eps, double gtol, double ftol,
                   double xtol, double *xf, point_source *src);

}  // namespace tsf_optim

/* Family-internal routines (hidden symbols, C linkage like the rest of the family). */
extern "C" {
/* Initial factor of the BFGS methods: L[i][i] = dx[i] sqrt(max(fsval, |fx|)), strict lower
   triangle zero, upper triangle untouched. */
void inithess_lower(double *L, int N, double fx, double fsval, double *dx);
/* R (upper triangle of the row-major array) becomes the triangular factor of R + u v^T;
   u is overwritten. */
void qrupdate(double *R, int N, double *u, double *v);
/* Givens rotation of rows i and i+1 of R, columns i..N-1. */
void jrotate(double *R, int N, double a, double b, int i);
/* cvsrch with the caller's work vector wa (N doubles), for minimisers that run many line
   searches without allocating, and the trial values from src when it is not null. */
int cvsrch_ws(objective_function *funcval, gradient_function *grad, double *x, double *fx, double *grad_x,
              double *stp, double *s, int N, double *dx, double stpmax, int maxfev, double eps2, double ftol,
              double gtol, double xtol, double *wa, tsf_optim::point_source *src);
/* bfgs_factored with the caller's work vector (4 N doubles). */
void bfgs_factored_ws(double *L, int N, double eps, double *xi, double *xf, double *gi, double *gf,
                      double *work);
}

#endif /* TSFORGE_CORE_OPTIM_INTERNAL_H */
