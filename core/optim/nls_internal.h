/* The Levenberg-Marquardt routines behind nls, nls_scale and levmar (never installed).
   Row-major throughout: the M x N Jacobian has element (i, j) at i*N + j, and the N x N
   triangular factor R lives in its first N rows (row stride ldr = N). */
#ifndef TSFORGE_CORE_OPTIM_NLS_INTERNAL_H
#define TSFORGE_CORE_OPTIM_NLS_INTERNAL_H

#include "core/optim/optim.h"

extern "C" {

/* Euclidean norm of x[0..n-1], scaled against overflow and underflow. */
double enorm(int n, const double *x);

/* Forward-difference Jacobian of fcn at x (fvec = f(x)) into fjac (m x n); the step of
   x_j is sqrt(max(epsfcn, eps)) |x_j|, or the root itself when x_j = 0. wa: m doubles. */
void fdjac2(residual_function *fcn, int m, int n, double *x, const double *fvec, double *fjac, double epsfcn,
            double eps, double *wa);

/* Householder QR of the m x n matrix a (row stride lda) with column pivoting when pivot is
   1 (ipvt receives the permutation, 0-based); pivot other than 0 or 1 prints a message and
   ends the process with exit status -1. On return the strict upper triangle of the first n
   rows holds R, the lower trapezoid the Householder vectors, rdiag the diagonal of R and
   acnorm the column norms of the input. wa: n doubles. */
void qrfac(int m, int n, double *a, int lda, int pivot, int *ipvt, double *rdiag, double *acnorm, double eps,
           double *wa);

/* Least-squares solution x of A x = b, D x = 0 from the QR factors of A P (R in the upper
   triangle of r, permutation ipvt), diag = D and qtb = the first n entries of Q^T b. The
   strict lower triangle of r receives S^T, sdiag the diagonal of S, with
   P^T (A^T A + D D) P = S^T S. wa: n doubles. */
void qrsolv(int n, double *r, int ldr, const int *ipvt, const double *diag, const double *qtb, double *x,
            double *sdiag, double *wa);

/* Levenberg-Marquardt parameter par for which the step x of min ||A x - b||, D x = 0 in
   the least-squares sense has ||D x|| within 10% of delta (or par = 0 when the Gauss-Newton
   step is shorter). r, ipvt, qtb as for qrsolv. wa1, wa2: n doubles. */
void lmpar(int n, double *r, int ldr, const int *ipvt, const double *diag, const double *qtb, double delta,
           double *par, double *x, double *sdiag, double *wa1, double *wa2);

/* Settings and work of one solve. ldfjac is the number of rows of the Jacobian array
   (at least m); the row stride is n. */
struct lm_problem {
  int m, n;
  double ftol, xtol, gtol, epsfcn, eps, factor;
  int maxfev, mode, ldfjac;
};

/* Levenberg-Marquardt with a forward-difference Jacobian (LMDIF) or the caller's Jacobian
   (LMDER). x: n starting values in, solution out; fvec: m residuals at x on return; diag:
   n scale factors (output in mode 1, input in mode 2); fjac: m x n. Returns the
   termination code 0-8; *nfev counts residual calls (the difference Jacobians included),
   *njev Jacobian calls. */
/* The iteration shared by lmdif and lmder: jac null takes forward differences. */
int lm_iterate(residual_function *fcn, residual_function *jac, const lm_problem *pb, double *x, double *fvec,
               double *diag, double *fjac, int *nfev, int *njev);
int lmdif(residual_function *fcn, const lm_problem *pb, double *x, double *fvec, double *diag, double *fjac,
          int *nfev);
int lmder(residual_function *fcn, residual_function *jac, const lm_problem *pb, double *x, double *fvec,
          double *diag, double *fjac, int *nfev, int *njev);
}

#endif /* TSFORGE_CORE_OPTIM_NLS_INTERNAL_H */
