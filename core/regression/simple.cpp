// Simple least-squares regression y = b0 + b1 x from centred sums of products, with its
// coefficient and residual-variance intervals, ANOVA and t tests.
#include "core/regression/regression.h"
#include "core/regression/regression_internal.h"

#include <cmath>
#include <cstdio>

#include "core/dist/dist.h"
#include "core/stats/stats.h"

namespace tsf_regression {

void coefficient_limits(double b, double t, double se, double *lower, double *upper) {
  const double half = std::fabs(t) * se;
  *lower = b - half;
  *upper = b + half;
}

void variance_limits(double sigma2, int df, double alpha, double *lower, double *upper) {
  const double lo = df * sigma2 / chiinv(1.0 - alpha / 2.0, df);
  const double hi = df * sigma2 / chiinv(alpha / 2.0, df);
  *lower = lo <= hi ? lo : hi;
  *upper = lo <= hi ? hi : lo;
}

double unit_interval(double x) {
  if (x < 0.0) return 0.0;
  if (x > 1.0) return 1.0;
  return x;
}

double one_tailed_p(double b, double se, int df, double *t) {
  *t = std::fabs(b) / se;
  return 1.0 - tcdf(*t, df);
}

}  // namespace tsf_regression

void linreg_clrm(double *x, double *y, int N, double *b, double *var, double *res, double alpha, double *anv,
                 double *ci_low, double *ci_high) {
  const double xm = mean(x, N), ym = mean(y, N);
  double sxy = 0.0, sxx = 0.0, sx2 = 0.0, syy = 0.0;
  for (int i = 0; i < N; ++i) {
    const double dx = x[i] - xm, dy = y[i] - ym;
    sxy += dx * dy;
    sxx += dx * dx;
    sx2 += x[i] * x[i];
    syy += dy * dy;
  }
  b[1] = sxy / sxx;
  b[0] = ym - b[1] * xm;
  double rss = 0.0;
  for (int i = 0; i < N; ++i) {
    res[i] = y[i] - b[0] - b[1] * x[i];
    rss += res[i] * res[i];
  }
  const int df = N - 2;
  const double sigma2 = rss / df;
  var[0] = sigma2;
  var[1] = sigma2 * sx2 / (N * sxx);
  var[2] = sigma2 / sxx;
  var[3] = -xm * var[2];
  var[4] = tsf_regression::unit_interval(b[1] * b[1] * sxx / syy);

  const double t = tinv(alpha / 2.0, df);
  for (int k = 0; k < 2; ++k)
    tsf_regression::coefficient_limits(b[k], t, std::sqrt(var[k + 1]), &ci_low[k], &ci_high[k]);
  tsf_regression::variance_limits(sigma2, df, alpha, &ci_low[2], &ci_high[2]);

  anv[0] = syy;
  anv[2] = sigma2 * df;
  // Syy - RSS is the regression sum of squares; rounding may take it below 0 when the
  // slope explains nothing, and a negative F would be rejected by fcdf.
  anv[1] = anv[0] - anv[2] < 0.0 ? 0.0 : anv[0] - anv[2];
  anv[3] = 1.0;
  anv[4] = df;
  anv[5] = (anv[1] / anv[3]) / (anv[2] / anv[4]);
  std::printf("%lf \n", sigma2);
  anv[6] = 1.0 - fcdf(anv[5], 1, df);
}

void zerohyp_clrm(int N, double *b, double *var, double *tval, double *pval) {
  for (int k = 0; k < 2; ++k) pval[k] = tsf_regression::one_tailed_p(b[k], std::sqrt(var[k + 1]), N - 2, &tval[k]);
}
