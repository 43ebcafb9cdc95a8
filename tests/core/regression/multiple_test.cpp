#include <cmath>
#include <vector>

#include "core/regression/regression.h"
#include "core/regression/regression_test_util.h"

using regression_test::kLimits;
using regression_test::kNormal;

namespace {

// A fitted object with its residuals and covariance; released on exit.
struct Fit {
  reg_object *obj;
  std::vector<double> res, vc;
  Fit(int N, int p) : obj(reg_init(N, p)), res(N), vc(static_cast<size_t>(p) * p) {}
  ~Fit() { free_reg(obj); }
};

// ref: p rows of {value, standard error, lower, upper}.
void ExpectCoefficients(const reg_object *obj, const double (*ref)[4]) {
  for (int i = 0; i < obj->p; ++i) {
    EXPECT_REL(obj->beta[i].value, ref[i][0], kNormal) << i;
    EXPECT_REL(obj->beta[i].stdErr, ref[i][1], kNormal) << i;
    EXPECT_REL(obj->beta[i].lower, ref[i][2], kLimits) << i;
    EXPECT_REL(obj->beta[i].upper, ref[i][3], kLimits) << i;
  }
}

}  // namespace

// lm(ppm ~ t + sin(2 pi t) + cos(2 pi t)) on co2, confint(level = 0.9), anova and
// predict(se.fit = TRUE) at t = 1980.3. Through Strassen's product the coefficients were
// 1e-5 off.
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
  const double ref[4][4] = {{-2256.2505811762467, 13.914165135421886, -2279.1831320000915, -2233.3180303524018},
                            {1.3107701401251897, 0.0070327182131145602, 1.2991792062615792, 1.3223610739888001},
                            {2.7723969818551182, 0.11197092300251429, 2.5878527524632253, 2.956941211247011},
                            {-0.38893848096296785, 0.11195109287479565, -0.57345002744450835, -0.20442693448142749}};
  ExpectCoefficients(f.obj, ref);
  const double got[] = {f.obj->sigma, f.obj->R2, f.obj->R2adj, f.obj->ESS, f.obj->RSS, f.obj->FStat};
  const double want[] = {2.9326526729860647, 0.98699119222193521, 0.98690708355095635,
                         103241.52044242679, 1360.7508402655342,  11734.713921111896};
  for (int k = 0; k < 6; ++k) EXPECT_REL(got[k], want[k], kNormal) << k;
  double inp[] = {1980.3, std::sin(2 * M_PI * 1980.3), std::cos(2 * M_PI * 1980.3)}, v[2];
  EXPECT_REL(fitted(f.obj, inp, f.vc.data(), v), 342.22442212940081, kNormal);
  EXPECT_REL(v[0], 0.019019607084614126, 1e-7);  // x' V x cancels: V's entries reach 190
  EXPECT_EQ(v[1] - v[0], f.obj->sigma);
}

// lm(ppm ~ u + I(u^2) + I(u^3)), u = t - 1959 (non-integer), through regress_poly; the
// fitted value at an observation is that observation's fit.
TEST(MultipleRegression, CubicInNonIntegerXAgainstR) {
  std::vector<double> u, y;
  regression_test::LoadColumns("co2.csv", &u, &y);
  for (double &v : u) v -= 1959.0;
  Fit f(static_cast<int>(u.size()), 4);
  regress_poly(f.obj, u.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  const double ref[4][4] = {{316.29465302211577, 0.3871072066223164, 315.5339526091247, 317.05535343510684},
                            {0.35563152546993254, 0.086236426054219759, 0.18616920652549718, 0.52509384441436791},
                            {0.04203592703369604, 0.0051524136270251399, 0.031910971706261476, 0.052160882361130603},
                            {-0.00050148025312986202, 8.702439019056432e-05, -0.00067249099234053199,
                             -0.00033046951391919204}};
  ExpectCoefficients(f.obj, ref);
  EXPECT_REL(f.obj->sigma, 4.4537894380775409, kNormal);
  EXPECT_REL(f.obj->R2, 0.98024365748538078, kNormal);
  double inp[] = {u[100], u[100] * u[100], u[100] * u[100] * u[100]}, v[2];
  EXPECT_NEAR(fitted(f.obj, inp, f.vc.data(), v), y[100] - f.res[100], 1e-10);
}

// Above 1000 residual degrees of freedom tinv is signed, and the limits came out with
// lower > upper. N = 1200, x = i / 100, y = 1 + x / 2 + 0.3 sin(0.7 i); R's confint.
TEST(MultipleRegression, LimitsOrderedAboveThousandDegreesOfFreedom) {
  const int N = 1200;
  std::vector<double> x(N), y(N);
  for (int i = 0; i < N; ++i) {
    x[i] = i / 100.0;
    y[i] = 1 + 0.5 * x[i] + 0.3 * std::sin(0.7 * i);
  }
  Fit f(N, 2);
  regress(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  const double ref[2][4] = {{1.0008864719520247, 0.012243472532780329, 0.97686543820685035, 1.0249075056971992},
                            {0.49994962281236338, 0.0017682982654685742, 0.49648031684605121, 0.50341892877867556}};
  ExpectCoefficients(f.obj, ref);
  EXPECT_REL(f.obj->sigma_lower, 0.041628040628227711, kNormal);
  EXPECT_REL(f.obj->sigma_upper, 0.048862175793209402, kNormal);
}

// Points exactly on a plane: rounding made y'y - b'X y = -4e-14 (sigma^2 < 0, NaN
// standard errors) and R^2 = 1 + 4e-16 (F < 0, which fcdf rejects by ending the process).
TEST(MultipleRegression, PerfectPlane) {
  const double x1[] = {1.4, 3.3, 8.1, 4, 4.2, 4.1}, x2[] = {7.9, 7.1, 0.2, 3.2, 5.6, 7.5};
  std::vector<double> x(x1, x1 + 6), y(6);
  x.insert(x.end(), x2, x2 + 6);
  for (int j = 0; j < 6; ++j) y[j] = 1.5 + 0.3 * x1[j] - 2.1 * x2[j];
  Fit f(6, 3);
  regress(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  EXPECT_EQ(f.obj->sigma, 0.0);
  EXPECT_EQ(f.obj->R2, 1.0);
  EXPECT_EQ(f.obj->FStat, HUGE_VAL);
  EXPECT_EQ(f.obj->PVal, 0.0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f.obj->beta[i].stdErr, 0.0);
}

// The mirror case: R^2 below 0 by rounding.
TEST(MultipleRegression, UncorrelatedDataGiveZeroF) {
  std::vector<double> x, y;
  regression_test::UncorrelatedData(&x, &y);
  Fit f(5, 2);
  regress(f.obj, x.data(), y.data(), f.res.data(), f.vc.data(), 0.05);
  EXPECT_EQ(f.obj->R2, 0.0);
  EXPECT_EQ(f.obj->PVal, 1.0);
}
