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
  char method_name[48]; /* name of the last method (longest: 36 characters) */
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
/* Central-difference gradient, 2N evaluations; x is perturbed in place and restored, on
   the status-15 path as well. */
TSFORGE_API int grad_calc2(objective_function *funcval, double *x, int N, double *dx, double eps, double *f);
/* Full forward-difference Hessian from function values, 4N^2 evaluations, the last one at
   x itself; x is not modified. */
TSFORGE_API int hessian_fd(objective_function *funcval, double *x, int N, double *dx, double eps,
                           double *H);
/* Forward-difference Hessian with shared evaluations, 1 + 2N + N(N-1)/2 evaluations;
   writes the diagonal and upper triangle only. x is perturbed in place and restored (also
   when it stops with status 15). */
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

/* Method 7. m is accepted and not used. xi and dx are returned unchanged. A non-finite
   f(xi) is announced once and returns 15 without iterating (no gradient is taken there).
   N = 0 returns 1 after one evaluation; N < 0 returns 0. */
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
   6 rounding errors prevent progress, 0 improper input or no descent direction (a NaN
   slope included), 15 non-finite f at a trial point or at one of its central-difference
   points. */
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
   convergence of the spread of f below eps, 4 at the iteration limit. The restarts are
   bounded by maxiter too (with eps >= 1 no pass iterates); 4 also when they run out while
   the probe still improves. maxiter <= 0 returns 4 with xf = x0. */
TSFORGE_API int nel_min(objective_function *funcval, double *x0, int N, double *dx, double fsval,
                        int maxiter, int *iter, double eps, double *xf);

/* ---- One-dimensional root and minimum (Brent 1973) -------------------------------------- */

/* A zero of f in [a, b] (f(a), f(b) of opposite signs), to 2 eps |x| + t. Signs are not
   checked: with equal signs the search still ends, on some point of [a, b]. */
TSFORGE_API double brent_zero(univariate_function *funcval, double a, double b, double t, double eps);
/* Local minimum of f in [a, b]; the abscissa goes to *x, the value is returned. */
TSFORGE_API double brent_local_min(univariate_function *funcval, double a, double b, double t, double eps,
                                   double *x);

/* ---- Newton, quasi-Newton, conjugate-gradient and least-squares methods ---- */

/* Newton methods (Dennis and Schnabel 1983). Each iteration takes a finite-difference (or
   gradient-based) Hessian, perturbs it to be safely positive definite (modelhess) and
   globalises the Newton step by a backtracking line search (method 1) or a trust region
   with the hook step (variant 0) or the double dog-leg step (variant 1). dx are scale
   factors (1/typical magnitude), fsval a typical |f|; xi and dx are returned unchanged.
   Codes: 1 scaled gradient below gtol, 2 relative step below stol, 3 no acceptable point
   along the global step, 4 iteration limit, 15 non-finite f or derivative. */
TSFORGE_API int newton_min_func(objective_function *funcval, gradient_function *grad, double *xi, int N,
                                double *dx, double fsval, double maxstep, int maxiter, int *iter,
                                double eps, double gtol, double stol, double *xf);
/* delta: first trust radius (<= 0: the Cauchy step length). A variant other than 0 or 1
   prints a message and ends the process with exit status 1. */
TSFORGE_API int newton_min_trust(objective_function *funcval, gradient_function *grad, double *xi, int N,
                                 double *dx, double fsval, double delta, int method, int maxiter, int *iter,
                                 double eps, double gtol, double stol, double *xf);
/* Perturbs the symmetric A (in place) just enough to be safely positive definite and writes
   its Cholesky factor to L (lower triangle, strict upper part zero). Returns the last
   diagonal addition of cholmod. */
TSFORGE_API double modelhess(double *A, int N, double *dx, double eps, double *L);
/* Cholesky factor L of A (read from the diagonal and upper triangle) with diagonal
   additions bounded by maxoffl (0: sqrt of the largest |A[i][i]|); returns the largest
   addition made. */
TSFORGE_API double cholmod(double *A, int N, double *L, double eps, double maxoffl);
/* Backtracking line search with cubic interpolation from xi along p (shortened to maxstep)
   for sufficient decrease; the point goes to x. Codes: 0 accepted, 1 no acceptable point
   distinct from xi (x = xi), 15 non-finite f, 100 pass limit. */
TSFORGE_API int lnsrch(objective_function *funcval, double *xi, double *jac, double *p, int N, double *dx,
                       double maxstep, double stol, double *x);
/* lnsrch with a curvature test: once sufficient decrease holds the new directional
   derivative must be at least 0.9 (lnsrchmod) or 0.4 (lnsrchcg) of the initial slope,
   and a full step that fails it is lengthened (doubling, up to maxstep) while the
   sufficient decrease holds. The gradient at x, forward differences with step eps2
   unless grad is given, goes to jacf. Codes as lnsrch. */
TSFORGE_API int lnsrchmod(objective_function *funcval, gradient_function *grad, double *xi, double *jac,
                          double *p, int N, double *dx, double maxstep, double eps2, double stol, double *x,
                          double *jacf);
TSFORGE_API int lnsrchcg(objective_function *funcval, gradient_function *grad, double *xi, double *jac,
                         double *p, int N, double *dx, double maxstep, double eps2, double stol, double *x,
                         double *jacf);
/* Stop test of the Newton methods and bfgs_min: 3 after code 1, 5 after 5, 15 after 15;
   else 1 (scaled gradient <= gtol), 2 (scaled step <= stol) or 0. */
TSFORGE_API int stopcheck(double fx, int N, double *xc, double *xf, double *jac, double *dx, double fsval,
                          double gtol, double stol, int code);
/* Trust-region state: 8 doubles, element 0 the radius (-1.0: not yet set); see trsrch and
   trsrch_ddl. Hook-step search from xi with Newton step sN; H is the model Hessian, L its
   factor (overwritten by the hook steps). Returns 0 (xf accepted), 1 (xf = xi) or 15. */
TSFORGE_API int trsrch(objective_function *funcval, double *xi, double *jac, double *sN, int N, double *dx,
                       double maxstep, int iter, double *L, double *hess, double stol, double *ioval,
                       double eps, double *xf);
/* One hook step s for the radius in the state (elements 1-5: mu, previous radius, phi,
   phi', phi' at mu = 0; 6: full Newton step taken; 7: first step of the search). */
TSFORGE_API void trstep(double *jac, double *sN, int N, double *dx, double *L, double *hess, double nlen,
                        double *ioval, double eps, double *step);
/* Double dog-leg search; as trsrch (state elements 1, 2: Cauchy length and eta). */
TSFORGE_API int trsrch_ddl(objective_function *funcval, double *xi, double *jac, double *sN, int N,
                           double *dx, double maxstep, int iter, double *L, double *hess, double stol,
                           double *ioval, double *xf);
/* One double dog-leg step s; ssd and v are N-vector work kept across the steps of one
   search (the Cauchy step and the dog-leg direction, both scaled). */
TSFORGE_API void trstep_ddl(double *jac, double *sN, int N, double *dx, double maxstep, double *L,
                            double *hess, double nlen, double *ioval, double *ssd, double *v, double *step);
/* Accepts, retries (3: larger radius, 2: smaller radius) or rejects (1) the trial xc + s,
   updating the radius in the state; xprev and *fprev keep a tentatively accepted point.
   variant 0 predicts the decrease with hess, 1 with L. */
TSFORGE_API int trupdate(objective_function *funcval, double *xc, double *jac, double *step, int N,
                         double *dx, double maxstep, int retcode, double *L, double *hess, double stol,
                         int method, double *ioval, double *xprev, double *funcprev, double *xf);

/* Polak-Ribiere conjugate gradient with the More-Thuente line search, restarted every N
   steps and whenever beta < 0 (method 4). xi and dx are returned unchanged. Codes as
   bfgs_min2. */
TSFORGE_API int conjgrad_min_lin(objective_function *funcval, gradient_function *grad, double *xi, int N,
                                 double *dx, double maxstep, int maxiter, int *iter, double eps,
                                 double gtol, double ftol, double xtol, double *xf);
/* The worker of conjgrad_min_lin, on already scaled xi and dx. */
TSFORGE_API int cgpr_mt(objective_function *funcval, gradient_function *grad, double *xi, int N,
                        double *dx, double maxstep, int maxiter, int *iter, double eps, double gtol,
                        double ftol, double xtol, double *xf);
/* BFGS on a Cholesky factor with the backtracking line search lnsrch (method 5). Codes
   as newton_min_func. */
TSFORGE_API int bfgs_min(objective_function *funcval, gradient_function *grad, double *xi, int N,
                         double *dx, double fsval, double maxstep, int maxiter, int *iter, double eps,
                         double gtol, double stol, double *xf);
/* Limited-memory BFGS with m correction pairs and the More-Thuente line search (method 6).
   Codes as bfgs_min2; 0 for N < 1 or m < 1. */
TSFORGE_API int bfgs_l_min(objective_function *funcval, gradient_function *grad, double *xi, int N, int m,
                           double *dx, double fsval, double maxstep, int maxiter, int *iter, double eps,
                           double gtol, double ftol, double xtol, double *xf);
/* Diagonal initial inverse Hessian of step k: H[i][i] = dx[i]^2 (s.y)/(y.y) (1 for k = 0). */
TSFORGE_API void inithess_l(double *H, int N, int k, double *stemp, double *ytemp, double *dx);
/* r = H g by the two-loop recursion over the min(k, m) pairs in rows of S and Y (m x N,
   oldest first), with H0 the initial inverse Hessian. */
TSFORGE_API void bfgs_rec(double *H, int N, int iter, int m, double *jac, double *sk, double *yk,
                          double *r);
/* BFGS on the Hessian itself, factored afresh by modelhess each iteration, with lnsrch.
   Tolerances from eps (gtol eps^(1/3), stol eps^(2/3)); at most maxiter iterations.
   xi and dx are returned unchanged. Codes as bfgs_min. */
TSFORGE_API int bfgs_min_naive(objective_function *funcval, gradient_function *grad, double *xi, int N,
                               double *dx, double fsval, double maxstep, int maxiter, double eps,
                               double *xf);
/* Diagonal H[i][i] = max(|fx|, fsval) dx[i]^2. */
TSFORGE_API void inithess_naive(double *H, int N, double fx, double fsval, double *dx);
/* Unfactored BFGS update of the upper triangle (with diagonal) of H for the step xi -> xf
   with gradients gi, gf; the strict lower triangle is never written. */
TSFORGE_API void bfgs_naive(double *H, int N, double eps, double *xi, double *xf, double *gi, double *gf);

/* Residuals f_i(x), i < M, of N parameters into fvec; the same shape fills the M x N
   Jacobian row-major (element (i, j) = d f_i / d x_j at i*N + j). */
typedef struct residual_function {
  void (*funcpt)(double *x, int M, int N, double *fvec, void *params);
  void *params;
} residual_function;

/* Nonlinear least squares (More 1978, MINPACK LMDIF/LMDER). One heap block from
   nls_init, released by free_nls; xopt points to the N doubles at its end. */
typedef struct nls_set {
  int M;          /* residuals */
  int N;          /* parameters */
  double eps;     /* machine epsilon of the termination tests */
  double epsfcn;  /* relative step of the forward-difference Jacobian */
  double factor;  /* initial step bound factor, 100 */
  double gtol;    /* orthogonality tolerance, eps^(1/3) */
  double ftol;    /* relative sum-of-squares tolerance, eps^(2/3) */
  double xtol;    /* relative parameter tolerance, eps */
  int Maxiter;    /* iteration limit, 1000 (kept for callers; the solves are bounded by MaxFev) */
  int MaxFev;     /* limit on residual-function calls, 1000 */
  int Iter;       /* residual-function calls of the last solve */
  int nfev;       /* residual-function calls of the last solve */
  int njev;       /* Jacobian calls of the last solve */
  int ldfjac;     /* leading dimension of the Jacobian, M */
  int mode;       /* scaling of the last solve: 1 internal (nls), 2 the caller's (nls_scale) */
  int retval;     /* termination code of the last solve */
  double *xopt;   /* N doubles: solution of the last solve */
} nls_set;

typedef nls_set *nls_object;

/* Termination codes: 0 improper input, 1 relative reduction of the sum of squares at
   most ftol, 2 relative change of x at most xtol, 3 both, 4 fvec orthogonal to the
   Jacobian's columns within gtol, 5 MaxFev calls reached, 6, 7, 8 ftol, xtol, gtol too
   small for further progress. */
TSFORGE_API nls_object nls_init(int M, int N);
TSFORGE_API void setnlsTOL(nls_object obj, double gtol, double ftol, double xtol);
/* Solves from xi with the object's settings: LMDIF when jac is null, LMDER otherwise.
   Result in xopt, retval and Iter (= nfev). */
TSFORGE_API void nls(nls_object obj, residual_function *funcval, residual_function *funcjac, double *xi);
/* nls with the caller's N positive scale factors in diag (mode 2). */
TSFORGE_API void nls_scale(nls_object obj, residual_function *funcval, residual_function *funcjac,
                           double *diag, double *xi);
TSFORGE_API void nlssummary(nls_object obj);
TSFORGE_API void free_nls(nls_object obj);
/* One solve with the default settings of nls_init; the solution goes to xf (N). Returns
   the termination code. */
TSFORGE_API int levmar(residual_function *funcval, residual_function *funcjac, double *xi, int M, int N,
                       double *xf);

/* ---- end of Newton, quasi-Newton, conjugate-gradient and least-squares methods ---- */

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_OPTIM_H */
