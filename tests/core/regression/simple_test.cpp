#include <cmath>
#include <vector>

#include "core/regression/regression.h"
#include "core/regression/regression_test_util.h"

namespace {

struct SimpleFit {
  double b[2], var[5], anv[7], lo[3], hi[3], t[2], p[2];
  std::string printed;
};

SimpleFit FitSimple(std::vector<double> x, std::vector<double> y) {
  SimpleFit f;
  const int N = static_cast<int>(x.size());
  std::vector<double> res(N);
  f.printed = tsf_test::CaptureStdout(
      [&] { linreg_clrm(x.data(), y.data(), N, f.b, f.var, res.data(), 0.05, f.anv, f.lo, f.hi); });
  zerohyp_clrm(N, f.b, f.var, f.t, f.p);
  return f;
}

}  // namespace

// lm(level ~ time) on LakeHuron: coefficients, variances, R^2, confint, the residual
// variance interval from qchisq, anova and the one-tailed t probability of the slope.
TEST(SimpleRegression, LakeHuronAgainstR) {
  std::vector<double> t, y;
  regression_test::LoadColumns("lakehuron.csv", &t, &y);
  SimpleFit f = FitSimple(t, y);
  EXPECT_EQ(f.printed, "1.277548 \n");
  const double got[] = {f.b[0],   f.b[1],   f.var[0], std::sqrt(f.var[1]), std::sqrt(f.var[2]),
                       f.var[4], f.anv[1], f.anv[5]};
  const double ref[] = {625.55491791468216, -0.024201110622318247, 1.2775482023979499, 7.7642930945364093,
                        0.0040361079032228383, 0.27247275621645961, 45.932739916734931, 35.953821413954842};
  for (int k = 0; k < 8; ++k) EXPECT_REL(got[k], ref[k], 1e-13) << k;
  const double lo[] = {610.14291793196526, -0.03221272148982738, 0.98115644894786358};
  const double hi[] = {640.96691789739907, -0.016189499754809114, 1.7326891550311534};
  for (int k = 0; k < 3; ++k) {
    EXPECT_REL(f.lo[k], lo[k], regression_test::kLimits);
    EXPECT_REL(f.hi[k], hi[k], regression_test::kLimits);
  }
  EXPECT_NEAR(f.anv[6], 3.5452296148295485e-08, 1e-15);
  EXPECT_REL(f.t[1], 5.9961505496405643, 1e-13);
  EXPECT_NEAR(f.p[1], 1.7726148074147742e-08, 1e-15);
}

// Points exactly on a line: zero residual variance, zero-width intervals, F = inf, P = 0.
TEST(SimpleRegression, PerfectLine) {
  SimpleFit f = FitSimple({0, 1, 2, 3}, {1, 3, 5, 7});
  EXPECT_EQ(f.b[1], 2.0);
  EXPECT_EQ(f.var[0], 0.0);
  EXPECT_EQ(f.var[4], 1.0);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(f.lo[k], f.hi[k]);
  EXPECT_EQ(f.anv[5], HUGE_VAL);
  EXPECT_EQ(f.anv[6], 0.0);
  EXPECT_EQ(f.p[1], 0.0);
}

// Uncorrelated data: a negative regression sum of squares made F negative, which fcdf
// rejects by ending the process.
TEST(SimpleRegression, UncorrelatedDataGiveZeroF) {
  std::vector<double> x, y;
  regression_test::UncorrelatedData(&x, &y);
  SimpleFit f = FitSimple(x, y);
  EXPECT_EQ(f.anv[5], 0.0);
  EXPECT_EQ(f.anv[6], 1.0);
}
