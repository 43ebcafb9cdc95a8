// Multiple least-squares regression with an intercept by the normal equations: the
// design matrix X (p x N, first row ones), X X' factored by LU, the coefficients and the
// covariance sigma^2 (X X')^-1 from the same factors; intervals, ANOVA and t tests.
#include "core/regression/regression.h"
#include "core/regression/regression_internal.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "core/dist/dist.h"
#include "core/matrix/matrix.h"

namespace {

using std::size_t;

// ANOVA vector from R^2, S = y'y - N ybar^2 and the degrees of freedom.
void fill_anova(double r2, double S, int p, int df, double *anv) {
  anv[1] = r2 * S;
  anv[2] = (1.0 - r2) * S;
  anv[0] = anv[1] + anv[2];
  anv[3] = p - 1;
  anv[4] = df;
  anv[5] = (r2 / anv[3]) / ((1.0 - r2) / anv[4]);
  anv[6] = 1.0 - fcdf(anv[5], p - 1, df);
}

}  // namespace

void linreg_multi(int p, double *x, double *y, int N, double *b, double *var, double *varcovar, double *R2,
                  double *res, double alpha, double *anv, double *ci_low, double *ci_high) {
  const size_t n = static_cast<size_t>(N), q = static_cast<size_t>(p);
  std::vector<double> X(q * n), Xt(n * q), A(q * q), c(q), fit(n);
  std::vector<int> ipiv(q);
  for (size_t j = 0; j < n; ++j) X[j] = 1.0;
  for (size_t k = 1; k < q; ++k)
    for (size_t j = 0; j < n; ++j) X[k * n + j] = x[(k - 1) * n + j];
  mtranspose(X.data(), p, N, Xt.data());
  // Direct products throughout: Strassen's error is normwise, of the order of eps times
  // the largest entry, and for regressors of different scales (a year next to a sine) it
  // swamps the small entries of X X' and moves the coefficients in the fifth digit.
  nmult(X.data(), Xt.data(), A.data(), p, N, p);
  nmult(X.data(), y, c.data(), p, N, 1);
  ludecomp(A.data(), p, ipiv.data());
  linsolve(A.data(), p, c.data(), ipiv.data(), b);

  double yy = 0.0, bc = 0.0, ysum = 0.0;
  for (size_t j = 0; j < n; ++j) {
    yy += y[j] * y[j];
    ysum += y[j];
  }
  for (size_t k = 0; k < q; ++k) bc += b[k] * c[k];
  const int df = N - p;
  // y'y - b'X y is the residual sum of squares up to rounding, which can make it negative
  // for a perfect fit.
  const double sigma2 = bc > yy ? 0.0 : (yy - bc) / df;
  var[0] = sigma2;
  minverse(A.data(), p, ipiv.data(), varcovar);
  for (size_t k = 0; k < q * q; ++k) varcovar[k] *= sigma2;

  const double ym = ysum / N;
  const double S = yy - N * ym * ym;
  R2[0] = tsf_regression::unit_interval((bc - N * ym * ym) / S);
  R2[1] = 1.0 - (1.0 - R2[0]) * (N - 1) / df;

  const double t = tinv(alpha / 2.0, df);
  for (size_t k = 0; k < q; ++k)
    tsf_regression::coefficient_limits(b[k], t, std::sqrt(varcovar[k * (q + 1)]), &ci_low[k], &ci_high[k]);
  tsf_regression::variance_limits(sigma2, df, alpha, &ci_low[p], &ci_high[p]);

  nmult(Xt.data(), b, fit.data(), N, p, 1);
  for (size_t j = 0; j < n; ++j) res[j] = y[j] - fit[j];
  fill_anova(R2[0], S, p, df, anv);
}

void zerohyp_multi(int N, double *b, int p, double *varcovar, double *tval, double *pval) {
  const size_t q = static_cast<size_t>(p);
  for (size_t k = 0; k < q; ++k)
    pval[k] = tsf_regression::one_tailed_p(b[k], std::sqrt(varcovar[k * (q + 1)]), N - p, &tval[k]);
}
