/* Unconstrained minimisation: the function records through which every minimiser calls
   the caller's objective, the optimiser object and its dispatch by method number,
   finite-difference derivatives, the minimisers themselves, nonlinear least squares and
   one-dimensional root finding and minimisation.

   Vectors are double arrays of N entries; matrices are N x N row-major (element (i, j) at
   i*N + j). Return codes of the minimisers: 0 input error, 1 probable success, 4 iteration
   or evaluation limit reached, 6 relative change of f below ftol, 15 f returned an
   infinite or NaN value (announced on standard output; the process continues).

   Argument errors (unknown method number, a size other than the object's, a zero pivot
   in linsolve_lower) print a message to standard output and end the process with exit
   status 1. */
#ifndef TSFORGE_CORE_OPTIM_H
#define TSFORGE_CORE_OPTIM_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* f(x) at the N parameters in x; must not change x. params is handed back unchanged. */
typedef struct objective_function {
  double (*funcpt)(double *x, int N, void *params);
  void *params;
} objective_function;

/* Writes the N partial derivatives of f at x into g. A null record pointer where a
   gradient_function is expected means: use finite differences. */
typedef struct gradient_function {
  void (*funcpt)(double *x, int N, double *g, void *params);
  void *params;
} gradient_function;

/* A function of one variable (fminbnd, brent_zero, brent_local_min). */
typedef struct univariate_function {
  double (*funcpt)(double x, void *params);
  void *params;
} univariate_function;

/* Settings and result of optimize. One heap block from opt_init, released by free_opt;
   xopt points to the N doubles at the end of the same block, so an object made for N
   parameters serves only problems of size N. */
typedef struct opt_set {
  int N;
  double fval;         /* f(xopt) after optimize */
  double eps;          /* machine epsilon handed to the minimisers */
  double gtol;         /* gradient tolerance, eps^(1/3) */
  double steptol;      /* step tolerance (methods 1, 2, 3, 5), eps^(2/3) */
  double ftol;         /* function tolerance (methods 4, 6, 7), eps^(2/3) */
  double xtol;         /* parameter tolerance (methods 4, 6, 7), eps */
  double maxstep;      /* largest step; <= 0 lets the minimiser choose */
  int maxiter;         /* iteration limit: 200 N, at least 1000 */
  int iter;            /* iterations of the last optimize */
  int method;          /* method number of the last optimize */
  int retval;          /* return code of the last optimize */
  char method_name[48];
  double *xopt;        /* N doubles: solution of the last optimize */
} opt_set;

typedef opt_set *opt_object;

/* ---- Optimiser object and dispatch ---------------------------------------------------

   Method numbers: 0 Nelder-Mead (nel_min), 1 Newton line search (newton_min_func),
   2 Newton trust region with hook step, 3 with double dog-leg (newton_min_trust),
   4 conjugate gradient (conjgrad_min_lin), 5 BFGS (bfgs_min), 6 limited-memory BFGS
   (bfgs_l_min), 7 BFGS with More-Thuente line search (bfgs_min2). */

TSFORGE_API opt_object opt_init(int N);
/* Stores maxiter as given (the floor of 1000 applies only in opt_init and fminunc). */
TSFORGE_API void setMaxIter(opt_object obj, int maxiter);
TSFORGE_API void setMaxStep(opt_object obj, double maxstep);
/* Stores the four tolerances; eps is not changed. */
TSFORGE_API void setTOL(opt_object obj, double gtol, double steptol, double ftol, double xtol);
/* Minimises f from xi with the object's settings; results (xopt, fval = f(xopt), iter,
   retval, method, method_name) in the object. N must equal the object's N. */
TSFORGE_API void optimize(opt_object obj, objective_function *funcval, gradient_function *grad, int N,
                          double *xi, int method);
/* Prints return value, method, iterations, solution and function value. */
TSFORGE_API void optsummary(opt_object obj);
TSFORGE_API void free_opt(opt_object obj);

/* Minimises f from xi with the default tolerances; the solution goes to xf (N).
   maxstep <= 0 lets the minimiser choose. Returns the minimiser's code. */
TSFORGE_API int fminunc(objective_function *funcval, gradient_function *grad, int N, double *xi,
                        double maxstep, int method, double *xf);
/* Nelder-Mead with 200 N iterations. */
TSFORGE_API int fminsearch(objective_function *funcval, int N, double *xi, double *xf);
/* Newton methods 1, 2 or 3 with the caller's trust radius delta, scales dx, typical
   function value fsval and step bound. */
TSFORGE_API int fminnewt(objective_function *funcval, gradient_function *grad, int N, double *xi,
                         double delta, double *dx, double fsval, double maxstep, int method, double *xf);
/* Abscissa of the minimum of f found in [a, b] (Brent, t = 1e-12). */
TSFORGE_API double fminbnd(univariate_function *funcval, double a, double b);
/* Correction pairs kept by the limited-memory methods for N parameters. */
TSFORGE_API int mvalue(int N);

/* ---- Finite-difference derivatives -----------------------------------------------------

   Step base b_i = x_i when |x_i| >= 1/|dx_i|, else signx(x_i)/|dx_i|; gradient and
   Jacobian steps eps*b_i, Hessian steps eps^(1/3)*b_i. Status 0, or 15 (after a message)
   when a non-finite value stopped the computation. */

/* Forward differences, or grad itself when given (status 0). */
TSFORGE_API int grad_fd(objective_function *funcval, gradient_function *grad, double *x, int N, double *dx,
                        double eps, double *f);
/* Central differences, or grad itself when given (status 0). */
TSFORGE_API int grad_cd(objective_function *funcval, gradient_function *grad, double *x, int N, double *dx,
                        double eps, double *f);
/* Forward-difference gradient, 2N evaluations; x is not modified. */
TSFORGE_API int grad_calc(objective_function *funcval, double *x, int N, double *dx, double eps, double *f);
/* Central-difference gradient, 2N evaluations; x is perturbed in place and restored. */
TSFORGE_API int grad_calc2(objective_function *funcval, double *x, int N, double *dx, double eps, double *f);
/* Full forward-difference Hessian from function values, 4N^2 evaluations, the last one at
   x itself; x is not modified. */
TSFORGE_API int hessian_fd(objective_function *funcval, double *x, int N, double *dx, double eps,
                           double *H);
/* Forward-difference Hessian with shared evaluations, 1 + 2N + N(N-1)/2 evaluations;
   writes the diagonal and upper triangle only. x is perturbed in place and restored. */
TSFORGE_API int hessian_fd2(objective_function *funcval, double *x, int N, double *dx, double eps,
                            double *H);
/* Forward-difference Jacobian J of the gradient g, with gx = g(x); x restored. */
TSFORGE_API void fdjac(gradient_function *funcgrad, double *x, int N, double *gx, double *dx, double eps,
                       double *J);
/* Symmetric part of fdjac's Jacobian. */
TSFORGE_API void hessian_fdg(gradient_function *funcgrad, double *x, int N, double *gx, double *dx,
                             double eps, double *H);
/* hessian_fd with eps_f when grad is null (its status), else hessian_fdg with eps_g (0). */
TSFORGE_API int hessian_opt(objective_function *funcval, gradient_function *grad, double *x, int N,
                            double *gx, double *dx, double eps_f, double eps_g, double *H);

/* ---- BFGS with More-Thuente line search ------------------------------------------------ */

/* Method 7. m is accepted and not used. xi and dx are returned unchanged. */
TSFORGE_API int bfgs_min2(objective_function *funcval, gradient_function *grad, double *xi, int N, int m,
                          double *dx, double fsval, double maxstep, int maxiter, int *iter, double eps,
                          double gtol, double ftol, double xtol, double *xf);
/* Copies xi into x and runs cvsrch along p from there (maxfev = maxiter). */
TSFORGE_API int lnsrchmt(objective_function *funcval, gradient_function *grad, double *xi, double *fx,
                         double *grad_x, double *stp, double *p, int N, double *dx, double maxstep,
                         int maxiter, double eps2, double ftol, double gtol, double xtol, double *x);
/* More-Thuente search along s for a step satisfying the strong Wolfe conditions. On
   return x, *fx and grad_x describe the last point evaluated. Codes: 1 conditions hold,
   2 interval below xtol, 3 maxfev evaluations, 4 step at stpmin, 5 step at stpmax,
   6 rounding errors prevent progress, 0 improper input or no descent direction,
   15 non-finite f. */
TSFORGE_API int cvsrch(objective_function *funcval, gradient_function *grad, double *x, double *fx,
                       double *grad_x, double *stp, double *s, int N, double *dx, double stpmax, int maxfev,
                       double eps2, double ftol, double gtol, double xtol);
/* Safeguarded cubic/quadratic step; returns the case 1 to 4, or 0 on improper input. */
TSFORGE_API int cstep(double *stx, double *fx, double *dx, double *sty, double *fy, double *dy, double *stp,
                      double *fp, double *dp, int *brackt, double stpmin, double stpmax);
/* Stop test of bfgs_min2: 4 after lscode 3, 15 after lscode 15, 1 when ||g||/N < gtol,
   6 when the relative change of f is below ftol, else 0. */
TSFORGE_API int stopcheck2_mt(double fx, int N, double fo, double *jac, double *dx, double eps,
                              double gtol, double ftol, int lscode);
/* Alternative stop tests on the scaled gradient and step. */
TSFORGE_API int stopcheck_mt(double fx, int N, double *xc, double *xf, double *jac, double *dx,
                             double fsval, double gtol, double steptol, int lscode);
TSFORGE_API int stopcheck3_mt(double *xc, double *xf, double fx, int N, double fo, double *jac,
                              double *dx, double eps, double gtol, double ftol, int lscode);
/* Factored BFGS secant update of H = L L^T (lower triangle of L) for the step xi -> xf
   with gradients gi, gf. The strict upper triangle of L is scratch. */
TSFORGE_API void bfgs_factored(double *L, int N, double eps, double *xi, double *xf, double *gi,
                               double *gf);
/* Solves L L^T x = b from the lower triangle of L; a zero diagonal ends the process. */
TSFORGE_API void linsolve_lower(double *L, int N, double *b, double *x);

/* ---- Nelder-Mead simplex --------------------------------------------------------------- */

/* Downhill simplex from x0 with first-simplex edges dx; fsval is not used. Returns 1 on
   convergence of the spread of f below eps, 4 at the iteration limit. */
TSFORGE_API int nel_min(objective_function *funcval, double *x0, int N, double *dx, double fsval,
                        int maxiter, int *iter, double eps, double *xf);

/* ---- One-dimensional root and minimum (Brent 1973) -------------------------------------- */

/* A zero of f in [a, b] (f(a), f(b) of opposite signs), to 2 eps |x| + t. */
TSFORGE_API double brent_zero(univariate_function *funcval, double a, double b, double t, double eps);
/* Local minimum of f in [a, b]; the abscissa goes to *x, the value is returned. */
TSFORGE_API double brent_local_min(univariate_function *funcval, double a, double b, double t, double eps,
                                   double *x);

/* ---- Newton, quasi-Newton, conjugate-gradient and least-squares methods ---- */

TSFORGE_API int newton_min_func(objective_function *funcval, gradient_function *grad, double *xi, int N,
                                double *dx, double fsval, double maxstep, int maxiter, int *iter,
                                double eps, double gtol, double stol, double *xf);
TSFORGE_API int newton_min_trust(objective_function *funcval, gradient_function *grad, double *xi, int N,
                                 double *dx, double fsval, double delta, int method, int maxiter, int *iter,
                                 double eps, double gtol, double stol, double *xf);
TSFORGE_API int conjgrad_min_lin(objective_function *funcval, gradient_function *grad, double *xi, int N,
                                 double *dx, double maxstep, int maxiter, int *iter, double eps,
                                 double gtol, double ftol, double xtol, double *xf);
TSFORGE_API int bfgs_min(objective_function *funcval, gradient_function *grad, double *xi, int N,
                         double *dx, double fsval, double maxstep, int maxiter, int *iter, double eps,
                         double gtol, double stol, double *xf);
TSFORGE_API int bfgs_l_min(objective_function *funcval, gradient_function *grad, double *xi, int N, int m,
                           double *dx, double fsval, double maxstep, int maxiter, int *iter, double eps,
                           double gtol, double ftol, double xtol, double *xf);

/* ---- end of Newton, quasi-Newton, conjugate-gradient and least-squares methods ---- */

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_OPTIM_H */
