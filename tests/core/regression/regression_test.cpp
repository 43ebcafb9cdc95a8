#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/regression/regression.h"
#include "support/test_util.h"

// References are R 4.2's lm, confint, anova and predict(se.fit = TRUE) on the same data.
namespace {

using V = std::vector<double>;

// The normal equations lose eps * cond(X X') in the coefficients, and R^2 and the residual
// variance lose y'y / RSS through y'y - b'X y: about 1e-10 on these series.
constexpr double kNormal = 1e-9;
// Interval limits go through tinv, whose inverse incomplete beta stops on a Newton step
// below 1e-7.
constexpr double kLimits = 1e-6;

void ExpectRel(const V &got, const V &want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], want[k], tol * std::fabs(want[k])) << k;
}

// Both columns of a time,value example file.
void LoadColumns(const std::string &name, V *time, V *value) {
  auto rows = tsf_test::LoadTable(tsf_test::DataPath(name));
  for (size_t i = 1; i < rows.size(); ++i) {
    time->push_back(std::stod(rows[i][0]));
    value->push_back(std::stod(rows[i][1]));
  }
}

struct SimpleFit {
  double b[2], var[5], anv[7], lo[3], hi[3], t[2], p[2];
  std::string printed;
};

SimpleFit FitSimple(V x, V y) {
  SimpleFit f;
  const int N = static_cast<int>(x.size());
  V res(N);
  f.printed = tsf_test::CaptureStdout(
      [&] { linreg_clrm(x.data(), y.data(), N, f.b, f.var, res.data(), 0.05, f.anv, f.lo, f.hi); });
  zerohyp_clrm(N, f.b, f.var, f.t, f.p);
  return f;
}

// A multiple fit (regressors x, (p - 1) x N, or the powers of x with regress_poly) with its
// residuals and covariance; released on exit.
struct Fit {
  reg_object *obj;
  V res, vc;
  Fit(V x, V y, int p, double alpha, bool poly = false)
      : obj(reg_init(static_cast<int>(y.size()), p)), res(y.size()), vc(static_cast<size_t>(p) * p) {
    (poly ? regress_poly : regress)(obj, x.data(), y.data(), res.data(), vc.data(), alpha);
  }
  ~Fit() { free_reg(obj); }
  // ref: p rows of {value, standard error, lower, upper}.
  void ExpectCoefficients(const double (*ref)[4]) const {
    for (int i = 0; i < obj->p; ++i) {
      const reg_coefficient &b = obj->beta[i];
      ExpectRel({b.value, b.stdErr}, {ref[i][0], ref[i][1]}, kNormal);
      ExpectRel({b.lower, b.upper}, {ref[i][2], ref[i][3]}, kLimits);
    }
  }
};

}  // namespace

// lm(level ~ time) on LakeHuron: coefficients, variances, R^2, confint, the residual
// variance interval from qchisq, anova and the one-tailed t probability of the slope.
TEST(SimpleRegression, LakeHuronAgainstR) {
  V t, y;
  LoadColumns("lakehuron.csv", &t, &y);
  SimpleFit f = FitSimple(t, y);
  EXPECT_EQ(f.printed, "1.277548 \n");
  ExpectRel({f.b[0], f.b[1], f.var[0], std::sqrt(f.var[1]), std::sqrt(f.var[2]), f.var[4], f.anv[1], f.anv[5], f.t[1]},
            {625.55491791468216, -0.024201110622318247, 1.2775482023979499, 7.7642930945364093, 0.0040361079032228383,
             0.27247275621645961, 45.932739916734931, 35.953821413954842, 5.9961505496405643},
            1e-13);
  ExpectRel(V(f.lo, f.lo + 3), {610.14291793196526, -0.03221272148982738, 0.98115644894786358}, kLimits);
  ExpectRel(V(f.hi, f.hi + 3), {640.96691789739907, -0.016189499754809114, 1.7326891550311534}, kLimits);
  EXPECT_NEAR(f.anv[6], 3.5452296148295485e-08, 1e-15);
  EXPECT_NEAR(f.p[1], 1.7726148074147742e-08, 1e-15);
}

// On co2: lm(ppm ~ t + sin(2 pi t) + cos(2 pi t)), confint(level = 0.9), anova and predict
// at t = 1980.3 (through Strassen's product the coefficients were 1e-5 off); and
// lm(ppm ~ u + I(u^2) + I(u^3)), u = t - 1959 (non-integer), through regress_poly, whose
// fitted value at an observation is that observation's fit.
TEST(MultipleRegression, Co2AgainstR) {
  V t, y;
  LoadColumns("co2.csv", &t, &y);
  const size_t N = t.size();
  V x(3 * N), u(t);
  for (size_t j = 0; j < N; ++j) {
    x[j] = t[j];
    x[N + j] = std::sin(2 * M_PI * t[j]);
    x[2 * N + j] = std::cos(2 * M_PI * t[j]);
    u[j] -= 1959.0;
  }
  Fit f(x, y, 4, 0.1);
  const double ref[4][4] = {{-2256.2505811762467, 13.914165135421886, -2279.1831320000915, -2233.3180303524018},
                            {1.3107701401251897, 0.0070327182131145602, 1.2991792062615792, 1.3223610739888001},
                            {2.7723969818551182, 0.11197092300251429, 2.5878527524632253, 2.956941211247011},
                            {-0.38893848096296785, 0.11195109287479565, -0.57345002744450835, -0.20442693448142749}};
  f.ExpectCoefficients(ref);
  double inp[] = {1980.3, std::sin(2 * M_PI * 1980.3), std::cos(2 * M_PI * 1980.3)}, v[2];
  const double fit = fitted(f.obj, inp, f.vc.data(), v);
  ExpectRel({f.obj->sigma, f.obj->R2, f.obj->R2adj, f.obj->ESS, f.obj->RSS, f.obj->FStat, fit},
            {2.9326526729860647, 0.98699119222193521, 0.98690708355095635, 103241.52044242679, 1360.7508402655342,
             11734.713921111896, 342.22442212940081},
            kNormal);
  ExpectRel({v[0]}, {0.019019607084614126}, 1e-7);  // x' V x cancels: V's entries reach 190
  EXPECT_EQ(v[1] - v[0], f.obj->sigma);

  Fit c(u, y, 4, 0.05, true);
  const double cubic[4][4] = {
      {316.29465302211577, 0.3871072066223164, 315.5339526091247, 317.05535343510684},
      {0.35563152546993254, 0.086236426054219759, 0.18616920652549718, 0.52509384441436791},
      {0.04203592703369604, 0.0051524136270251399, 0.031910971706261476, 0.052160882361130603},
      {-0.00050148025312986202, 8.702439019056432e-05, -0.00067249099234053199, -0.00033046951391919204}};
  c.ExpectCoefficients(cubic);
  ExpectRel({c.obj->sigma, c.obj->R2}, {4.4537894380775409, 0.98024365748538078}, kNormal);
  double at[] = {u[100], u[100] * u[100], u[100] * u[100] * u[100]};
  EXPECT_NEAR(fitted(c.obj, at, c.vc.data(), v), y[100] - c.res[100], 1e-10);
}

// Above 1000 residual degrees of freedom tinv is signed, and the limits came out with
// lower > upper. N = 1200, x = i / 100, y = 1 + x / 2 + 0.3 sin(0.7 i); R's confint.
TEST(MultipleRegression, LimitsOrderedAboveThousandDegreesOfFreedom) {
  V x(1200), y(1200);
  for (int i = 0; i < 1200; ++i) {
    x[i] = i / 100.0;
    y[i] = 1 + 0.5 * x[i] + 0.3 * std::sin(0.7 * i);
  }
  Fit f(x, y, 2, 0.05);
  const double ref[2][4] = {{1.0008864719520247, 0.012243472532780329, 0.97686543820685035, 1.0249075056971992},
                            {0.49994962281236338, 0.0017682982654685742, 0.49648031684605121, 0.50341892877867556}};
  f.ExpectCoefficients(ref);
  ExpectRel({f.obj->sigma_lower, f.obj->sigma_upper}, {0.041628040628227711, 0.048862175793209402}, kNormal);
}

// Points exactly on a line or a plane: rounding made y'y - b'X y = -4e-14 (sigma^2 < 0, NaN
// standard errors) and R^2 = 1 + 4e-16 (F < 0, which fcdf rejects by ending the process);
// now sigma^2 = 0, zero-width intervals, F = inf, P = 0. The mirror case, y even about the
// centre of x so that the slope explains nothing: the regression sum of squares was -7e-15
// in the simple form and R^2 = -5e-16 in the multiple one; now F = 0, P = 1.
TEST(Regression, PerfectAndUncorrelatedFitsKeepFAndPInRange) {
  const double inf = HUGE_VAL;
  SimpleFit line = FitSimple({0, 1, 2, 3}, {1, 3, 5, 7});  // slope, sigma^2, R^2, F, P, t probability
  EXPECT_EQ((V{line.b[1], line.var[0], line.var[4], line.anv[5], line.anv[6], line.p[1]}), (V{2, 0, 1, inf, 0, 0}));
  EXPECT_EQ(V(line.lo, line.lo + 3), V(line.hi, line.hi + 3));

  const double x1[] = {1.4, 3.3, 8.1, 4, 4.2, 4.1}, x2[] = {7.9, 7.1, 0.2, 3.2, 5.6, 7.5};
  V x(x1, x1 + 6), y(6);
  x.insert(x.end(), x2, x2 + 6);
  for (int j = 0; j < 6; ++j) y[j] = 1.5 + 0.3 * x1[j] - 2.1 * x2[j];
  Fit plane(x, y, 3, 0.05);
  const reg_object &o = *plane.obj;  // sigma^2, R^2, F, P, standard errors
  EXPECT_EQ((V{o.sigma, o.R2, o.FStat, o.PVal, o.beta[0].stdErr, o.beta[1].stdErr, o.beta[2].stdErr}),
            (V{0, 1, inf, 0, 0, 0, 0}));

  V ux, uy;
  for (double d : {-2.0, -1.0, 0.0, 1.0, 2.0}) {
    ux.push_back(5.75 + d * 5.9);
    uy.push_back(0.65 + 1.9 * (d * d));
  }
  SimpleFit s = FitSimple(ux, uy);
  Fit m(ux, uy, 2, 0.05);  // F and P of the simple form, R^2 and P of the multiple one
  EXPECT_EQ((V{s.anv[5], s.anv[6], m.obj->R2, m.obj->PVal}), (V{0, 1, 0, 1}));
}

// x = 1..5, y = 2, 4, 5, 4, 5: every printed figure agrees with R's lm, anova and confint
// to the printed digits. One exact text per report.
TEST(Report, EveryLayout) {
  double x[5] = {1, 2, 3, 4, 5}, y[5] = {2, 4, 5, 4, 5}, res[5], vc[4], t[2], p[2], tm[2], pm[2];
  reg_object *obj = reg_init(5, 2);
  regress(obj, x, y, res, vc, 0.05);
  EXPECT_EQ(tsf_test::CaptureStdout([&] { summary(obj); }),
            "\nRegression Summary        \n"
            "Coefficients             Value               Standard Error       \n"
            "B0                        2.200000            0.938083             \n"
            "B1                        0.600000            0.282843             \n"
            "\nResidual Variance = 0.800000 \n"
            "R-Squared = 0.600000 , Adjusted R-Squared = 0.466667 \n");
  EXPECT_EQ(tsf_test::CaptureStdout([&] { anova(obj); }),
            "\nANOVA : \n"
            "Source of Variation      df                  SS                  MSS                  \n"
            "Due to Regression        1                   3.600000            3.600000             \n"
            "Due to Residual          3                   2.400000            0.800000             \n"
            "Total                    4                   6.000000             \n"
            "\n F Statistics = 4.5 \n"
            "\n P Value (F)  = 0.124027 \n");
  EXPECT_EQ(tsf_test::CaptureStdout([&] { confint(obj); }),
            "\n95.000000 % Confidence Interval For Parameters And Residual Variance : \n"
            "Parameters               Value               Lower Limit         Upper Limit          \n"
            "B0                        2.200000            -0.785399           5.185399             \n"
            "B1                        0.600000            -0.300132           1.500132             \n"
            "Residual Variance        0.800000            0.256728            11.121652            \n");
  EXPECT_EQ(tsf_test::CaptureStdout([&] { zerohyp_val(obj, t, p); }),
            "\nZero Hypothesis Test t values and Probabilities (One-tailed) \n"
            "Coefficients             t Value             Probability          \n"
            "B0                        2.345208            0.0503717            \n"
            "B1                        2.121320            0.0620135            \n");
  double b[2] = {obj->beta[0].value, obj->beta[1].value};
  zerohyp_multi(5, b, 2, vc, tm, pm);
  EXPECT_EQ(pm[1], p[1]);
  free_reg(obj);
  // Without residual degrees of freedom the table stops after its header.
  obj = reg_init(3, 3);
  double t3[3] = {7, 7, 7}, p3[3];
  EXPECT_EQ(tsf_test::CaptureStdout([&] { zerohyp_val(obj, t3, p3); }),
            "\nZero Hypothesis Test t values and Probabilities (One-tailed) \n"
            "Coefficients             t Value             Probability          \n"
            "degrees of freedom cannot be non-positive");
  EXPECT_EQ(t3[0], 7.0);
  free_reg(obj);
}

// Every one exits with status 1 after its exact message.
TEST(RegressionDeathTest, ArgumentErrorsEndTheProcess) {
  double x[2] = {1, 2}, y[2] = {3, 4}, b[2], var[5], res[2], anv[7], lo[3], hi[3];
  reg_object bad{};
  bad.N = 4;
  bad.p = 1;
  const struct {
    std::function<void()> call;
    const char *message;
  } cases[] = {
      {[] { reg_init(10, 1); },
       "The base case is p = 2 corresonding to y = b0 + b1 *x + u \n"
       "p = Number of Independent Variables (p-1) + Dependent Variable (1) \n"},
      {[&] { regress_poly(&bad, x, y, res, b, 0.05); }, "The Value of p should be greater than or equal to 2"},
      {[&] { linreg_clrm(x, y, 2, b, var, res, 0.05, anv, lo, hi); },
       "Degree Of Freedom should be a positive real integer"},
  };
  for (const auto &c : cases) {
    EXPECT_EXIT({ std::fflush(stdout); dup2(2, 1); c.call(); }, ::testing::ExitedWithCode(1),
                ::testing::Eq(std::string(c.message)));
  }
}
