/* Ordinary least-squares regression: simple regression of y on one regressor, multiple
   regression on p - 1 regressors plus an intercept, polynomial regression, t tests of the
   coefficients, an ANOVA table, confidence intervals for the coefficients and the
   residual variance, and the fitted value with its variances at a new point.

   Regressors are a row-major (p - 1) x N matrix: row k holds the k-th regressor for all N
   observations. The coefficients solve the normal equations X X' b = X y (products by
   direct loops, LU factors). The ANOVA vector anv holds 7 values: TSS, ESS, RSS,
   regression df, residual df, F and the upper-tail probability of F.

   Rounding: the residual variance is at least 0 and R-squared lies in [0, 1], so that a
   perfect fit has zero-width intervals, F = inf and P = 0, and no rounding can make F
   negative. Intervals: the coefficient limits are b -/+ |t| s and every lower limit is at
   most its upper limit, also above 1000 residual degrees of freedom, where tinv is signed.

   Fewer observations than N = p + 1 (N < 3 for linreg_clrm) end the process through tinv
   with "Degree Of Freedom should be a positive real integer" (status 1). A singular
   X X' prints linsolve's message and gives zero coefficients. */
#ifndef TSFORGE_CORE_REGRESSION_H
#define TSFORGE_CORE_REGRESSION_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* One coefficient of a fitted regression. */
typedef struct reg_coefficient {
  double value;
  double lower;  /* confidence limits at level 1 - alpha */
  double upper;
  double stdErr;
} reg_coefficient;

/* The regression object: one heap block, this header followed by the p + 1 records that
   beta points to (only the first p are filled). free_reg releases it. */
typedef struct reg_object {
  int N;      /* number of observations */
  int p;      /* number of coefficients, intercept included; at least 2 */
  double alpha;
  double sigma; /* residual variance */
  double sigma_lower;
  double sigma_upper;
  double R2;
  double R2adj;
  int df;     /* N - p */
  double TSS;
  double ESS;
  double RSS;
  int df_ESS; /* p - 1 */
  int df_RSS; /* N - p */
  double FStat;
  double PVal;
  reg_coefficient *beta;
} reg_object;

/* New object for N observations and p coefficients, alpha 0.05, every result zero; NULL
   when the block cannot be allocated. p < 2 prints "The base case is p = 2 corresonding
   to y = b0 + b1 *x + u " and "p = Number of Independent Variables (p-1) + Dependent
   Variable (1) " (one line each) and exits with status 1. */
TSFORGE_API reg_object *reg_init(int N, int p);
/* Fits y (N) on the regressors x ((p - 1) x N) with an intercept and fills the object;
   res (N) receives the residuals and varcovar (p x p) the covariance of the
   coefficients. */
TSFORGE_API void regress(reg_object *obj, double *x, double *y, double *res, double *varcovar, double alpha);
/* Fits y = b0 + b1 x + ... + b(p-1) x^(p-1) on x (N) through regress. An object with
   p < 2 prints "The Value of p should be greater than or equal to 2" and exits with
   status 1. */
TSFORGE_API void regress_poly(reg_object *obj, double *x, double *y, double *res, double *varcovar,
                              double alpha);
/* Simple regression y = b[0] + b[1] x. var (5): residual variance, variance of b[0], of
   b[1], their covariance, R-squared. ci_low and ci_high (3): limits of b[0], b[1] and of
   the residual variance. Prints the residual variance ("%lf \n"). */
TSFORGE_API void linreg_clrm(double *x, double *y, int N, double *b, double *var, double *res, double alpha,
                             double *anv, double *ci_low, double *ci_high);
/* Multiple regression. b (p); var (1): residual variance; varcovar (p x p); R2 (2):
   R-squared and adjusted R-squared; res (N); ci_low and ci_high (p + 1): coefficient
   limits, then the limits of the residual variance. */
TSFORGE_API void linreg_multi(int p, double *x, double *y, int N, double *b, double *var, double *varcovar,
                              double *R2, double *res, double alpha, double *anv, double *ci_low,
                              double *ci_high);
/* t = |b| / standard error and the one-tailed probability 1 - tcdf(t, df) of each
   coefficient: from linreg_clrm's var (df = N - 2), from a covariance matrix
   (df = N - p), from the object (df = N - p; prints the table, or after the header
   "degrees of freedom cannot be non-positive" when N - p < 1, computing nothing). */
TSFORGE_API void zerohyp_clrm(int N, double *b, double *var, double *tval, double *pval);
TSFORGE_API void zerohyp_multi(int N, double *b, int p, double *varcovar, double *tval, double *pval);
TSFORGE_API void zerohyp_val(reg_object *obj, double *tval, double *pval);
/* Printed reports of a fitted object: coefficients with standard errors and R-squared;
   the ANOVA table with F and its P value; the confidence intervals. */
TSFORGE_API void summary(reg_object *obj);
TSFORGE_API void anova(reg_object *obj);
TSFORGE_API void confint(reg_object *obj);
/* Fitted value at the regressor values inp (p - 1); var (2) receives the variance of the
   fitted mean, x' varcovar x with x = (1, inp), and that of a new observation (plus the
   residual variance). */
TSFORGE_API double fitted(reg_object *obj, double *inp, double *varcovar, double *var);
TSFORGE_API void free_reg(reg_object *obj);

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_REGRESSION_H */
