#include <cmath>
#include <vector>

#include "core/regression/regression.h"
#include "core/regression/regression_test_util.h"

using regression_test::kLimits;
using regression_test::kNormal;

namespace {

// A fitted object with its residuals and covariance; the object is released on exit.
struct Fit {
  reg_object *obj;
  std::vector<double> res, vc;
  Fit(int N, int p) : obj(reg_init(N, p)), res(N), vc(static_cast<size_t>(p) * p) {}
  ~Fit() { free_reg(obj); }
};

void ExpectCoefficients(const reg_object *obj, const double *value, const double *se, const double *lo,
                        const double *hi) {
  for (int i = 0; i < obj->p; ++i) {
    EXPECT_REL(obj->beta[i].value, value[i], kNormal) << i;
    EXPECT_REL(obj->beta[i].stdErr, se[i], kNormal) << i;
    EXPECT_REL(obj->beta[i].lower, lo[i], kLimits) << i;
    EXPECT_REL(obj->beta[i].upper, hi[i], kLimits) << i;
  }
}

}  // namespace

// lm(ppm ~ t + sin(2 pi t) + cos(2 pi t)) on co2, confint(level = 0.9), and
// predict(se.fit = TRUE) at t = 1980.3.
TEST(MultipleRegression, Co2SeasonalAgainstR) {
  std::vector<double> t, y;
  regression_test::LoadColumns("co2.csv", &t, &y);
  const int N = static_cast<int>(t.size());
  std::vector<double> x(3 * static_cast<size_t>(N));
  for (int j = 0; j < N; ++j) {
    x[j] = t[j];
    x[N + j] = std::sin(2 * M_PI * t[j]);
    x[2 * N + j] = std::cos(2 * M_PI * t[j]);
  }
  Fit f(N, 4);
  regress(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.1);
  const double value[] = {-2256.2505811762467, 1.3107701401251897, 2.7723969818551182, -0.38893848096296785};
  const double se[] = {13.914165135421886, 0.0070327182131145602, 0.11197092300251429, 0.11195109287479565};
  const double lo[] = {-2279.1831320000915, 1.2991792062615792, 2.5878527524632253, -0.57345002744450835};
  const double hi[] = {-2233.3180303524018, 1.3223610739888001, 2.956941211247011, -0.20442693448142749};
  ExpectCoefficients(f.obj, value, se, lo, hi);
  EXPECT_REL(f.obj->sigma, 2.9326526729860647, kNormal);
  EXPECT_REL(f.obj->R2, 0.98699119222193521, kNormal);
  EXPECT_REL(f.obj->R2adj, 0.98690708355095635, kNormal);
  EXPECT_REL(f.obj->ESS, 103241.52044242679, kNormal);
  EXPECT_REL(f.obj->RSS, 1360.7508402655342, kNormal);
  EXPECT_REL(f.obj->FStat, 11734.713921111896, kNormal);
  EXPECT_EQ(f.obj->df_ESS, 3);
  EXPECT_EQ(f.obj->df_RSS, 464);
  double inp[] = {1980.3, std::sin(2 * M_PI * 1980.3), std::cos(2 * M_PI * 1980.3)}, v[2];
  EXPECT_REL(fitted(f.obj, inp, f.vc.data(), v), 342.22442212940081, kNormal);
  EXPECT_REL(v[0], 0.019019607084614126, 1e-7);  // x' V x cancels: V's entries reach 190
  EXPECT_EQ(v[1] - v[0], f.obj->sigma);
}

// lm(ppm ~ u + I(u^2) + I(u^3)), u = t - 1959 (non-integer), through regress_poly.
TEST(MultipleRegression, CubicInNonIntegerXAgainstR) {
  std::vector<double> t, y;
  regression_test::LoadColumns("co2.csv", &t, &y);
  const int N = static_cast<int>(t.size());
  for (double &v : t) v -= 1959.0;
  Fit f(N, 4);
  regress_poly(f.obj, t.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  const double value[] = {316.29465302211577, 0.35563152546993254, 0.04203592703369604, -0.00050148025312986202};
  const double se[] = {0.3871072066223164, 0.086236426054219759, 0.0051524136270251399, 8.702439019056432e-05};
  const double lo[] = {315.5339526091247, 0.18616920652549718, 0.031910971706261476, -0.00067249099234053199};
  const double hi[] = {317.05535343510684, 0.52509384441436791, 0.052160882361130603, -0.00033046951391919204};
  ExpectCoefficients(f.obj, value, se, lo, hi);
  EXPECT_REL(f.obj->sigma, 4.4537894380775409, kNormal);
  EXPECT_REL(f.obj->R2, 0.98024365748538078, kNormal);
  // The fitted value at an observation is that observation's fit.
  double inp[] = {t[100], t[100] * t[100], t[100] * t[100] * t[100]}, v[2];
  EXPECT_NEAR(fitted(f.obj, inp, f.vc.data(), v), y[100] - f.res[100], 1e-10);
}

// regress_poly builds exact powers: with x = 0.5 the second regressor is 0.25, so a
// quadratic through three points is recovered.
TEST(MultipleRegression, PolynomialUsesExactPowers) {
  std::vector<double> x = {0.5, 1.5, 2.5, 3.5}, y(4);
  for (int j = 0; j < 4; ++j) y[j] = 2.0 - x[j] + 0.25 * x[j] * x[j];
  Fit f(4, 3);
  regress_poly(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  EXPECT_NEAR(f.obj->beta[0].value, 2.0, 1e-13);
  EXPECT_NEAR(f.obj->beta[1].value, -1.0, 1e-13);
  EXPECT_NEAR(f.obj->beta[2].value, 0.25, 1e-13);
}

// Above 1000 residual degrees of freedom tinv is signed, and the limits used to come out
// with lower > upper. N = 1200, y = 1 + x/2 + 0.3 sin(0.7 i), x = i / 100; R's confint.
TEST(MultipleRegression, LimitsOrderedAboveThousandDegreesOfFreedom) {
  const int N = 1200;
  std::vector<double> x(N), y(N);
  for (int i = 0; i < N; ++i) {
    x[i] = i / 100.0;
    y[i] = 1 + 0.5 * x[i] + 0.3 * std::sin(0.7 * i);
  }
  Fit f(N, 2);
  regress(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  const double value[] = {1.0008864719520247, 0.49994962281236338};
  const double se[] = {0.012243472532780329, 0.0017682982654685742};
  const double lo[] = {0.97686543820685035, 0.49648031684605121};
  const double hi[] = {1.0249075056971992, 0.50341892877867556};
  ExpectCoefficients(f.obj, value, se, lo, hi);
  EXPECT_REL(f.obj->sigma_lower, 0.041628040628227711, kNormal);
  EXPECT_REL(f.obj->sigma_upper, 0.048862175793209402, kNormal);
  double b[2], var[5], anv[7], clo[3], chi[3];
  tsf_test::CaptureStdout([&] { linreg_clrm(x.data(), y.data(), N, b, var, f.res.data(), 0.05, anv, clo, chi); });
  for (int k = 0; k < 2; ++k) EXPECT_REL(clo[k], lo[k], kLimits);
}

// Points exactly on a plane: rounding made y'y - b'X y = -4e-14 (sigma^2 < 0, NaN
// standard errors) and R^2 = 1 + 4e-16 (F < 0, which fcdf rejects by ending the process).
TEST(MultipleRegression, PerfectPlane) {
  const double x1[] = {1.4, 3.3, 8.1, 4, 4.2, 4.1}, x2[] = {7.9, 7.1, 0.2, 3.2, 5.6, 7.5};
  std::vector<double> x(12), y(6);
  for (int j = 0; j < 6; ++j) {
    x[j] = x1[j];
    x[6 + j] = x2[j];
    y[j] = 1.5 + 0.3 * x1[j] - 2.1 * x2[j];
  }
  Fit f(6, 3);
  regress(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  EXPECT_EQ(f.obj->sigma, 0.0);
  EXPECT_EQ(f.obj->R2, 1.0);
  EXPECT_EQ(f.obj->FStat, HUGE_VAL);
  EXPECT_EQ(f.obj->PVal, 0.0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(f.obj->beta[i].stdErr, 0.0);
    EXPECT_EQ(f.obj->beta[i].lower, f.obj->beta[i].upper);
  }
}

// The mirror case: R^2 below 0 by rounding.
TEST(MultipleRegression, UncorrelatedDataGiveZeroF) {
  std::vector<double> x, y;
  regression_test::UncorrelatedData(&x, &y);
  Fit f(5, 2);
  regress(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  EXPECT_EQ(f.obj->R2, 0.0);
  EXPECT_EQ(f.obj->FStat, 0.0);
  EXPECT_EQ(f.obj->PVal, 1.0);
}
