#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "core/regression/regression.h"
#include "core/regression/regression_test_util.h"

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
}

TEST(Report, ZeroHypothesisWithoutDegreesOfFreedom) {
  reg_object *obj = reg_init(3, 3);
  double t[3] = {7, 7, 7}, p[3];
  EXPECT_EQ(tsf_test::CaptureStdout([&] { zerohyp_val(obj, t, p); }),
            "\nZero Hypothesis Test t values and Probabilities (One-tailed) \n"
            "Coefficients             t Value             Probability          \n"
            "degrees of freedom cannot be non-positive");
  EXPECT_EQ(t[0], 7.0);
  free_reg(obj);
}

TEST(RegressionDeathTest, ArgumentErrorsEndTheProcess) {
  double x[2] = {1, 2}, y[2] = {3, 4}, b[2], var[5], res[2], anv[7], lo[3], hi[3];
  reg_object bad{};
  bad.N = 4;
  bad.p = 1;
  const struct {
    std::function<void()> call;
    const char *pattern;
  } cases[] = {
      {[] { reg_init(10, 1); },
       "^The base case is p = 2 corresonding to y = b0 \\+ b1 \\*x \\+ u \n"
       "p = Number of Independent Variables \\(p-1\\) \\+ Dependent Variable \\(1\\) \n$"},
      {[&] { regress_poly(&bad, x, y, res, b, 0.05); }, "^The Value of p should be greater than or equal to 2$"},
      {[&] { linreg_clrm(x, y, 2, b, var, res, 0.05, anv, lo, hi); },
       "^Degree Of Freedom should be a positive real integer$"},
  };
  for (const auto &c : cases) {
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          dup2(2, 1);
          c.call();
        },
        ::testing::ExitedWithCode(1), c.pattern);
  }
}
