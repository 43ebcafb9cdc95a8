#include <cmath>

#include "core/dist/dist.h"
#include "core/dist/dist_test_util.h"

// {x, a, b, pdf, cdf} and {p, a, b, quantile}, scipy gamma with scale b. The density
// loses eps * a ln a.
TEST(GammaDistribution, AgainstReference) {
  const double ref[][5] = {{0.01, 0.5, 1, 5.585758033944685, 0.11246291601828491},
                           {3.0, 2.5, 0.5, 0.05480924000176417, 0.9652122194937581},
                           {150.0, 200, 1, 2.005070383770961e-05, 5.709688574208249e-05},
                           {6000.0, 3000, 2, 0.0036417269414990385, 0.5024278898940543}};
  for (const auto &r : ref) {
    EXPECT_REL(gammapdf(r[0], r[1], r[2]), r[3], 1e-11) << r[0];
    EXPECT_REL(gammacdf(r[0], r[1], r[2]), r[4], 1e-13) << r[0];
  }
  EXPECT_EQ(gammacdf(-3.0, 2, 1), 0.0);
  EXPECT_EQ(gammapdf(0.0, 1, 2), 0.5);
  const double q[][4] = {{1e-10, 0.5, 1, 7.85398163397448e-21}, {0.5, 2.5, 0.5, 1.0878650477738816},
                         {0.95, 10, 3, 47.11564926634638}, {0.3, 3000, 2, 5942.075054424262}};
  for (const auto &r : q) EXPECT_REL(gammainv(r[0], r[1], r[2]), r[3], 1e-13) << r[0];
  EXPECT_EQ(gammainv(1.0, 2, 1), 1.79e308);
}

namespace {

// The quantile iteration run to its limit: up to 1000 Newton steps while |dx| > tol x.
double gammainv_all_steps(double p, double a, double b) {
  const double s = std::log(a + 1.0) - std::log(a), m = std::log(a) - s / 2.0;
  double x = std::exp(m - std::sqrt(2.0 * s) * erfcinv(2.0 * p)), dx = 1.0;
  const double tol = eps(2.2251e-308);
  for (int k = 0; k < 1000 && std::fabs(dx) > tol * x; ++k) {
    dx = (gammacdf(x, a, 1.0) - p) / r8_max(gammapdf(x, a, 1.0), 2.2251e-308);
    double next = x - dx;
    if (next <= 0.0) {
      next = x / 10.0;
      dx = x - next;
    }
    if (next == 0.0) return 0.0;
    x = next;
  }
  return x * b;
}

}  // namespace

// The tolerance 2^-1074 is almost never met: the iterates settle on a fixed point with a
// non-zero step or on a cycle (periods 13, 37, 48 and 58 among the cases below); the
// quantile now stops at the first repetition with the value the 1000th step gives.
TEST(GammaDistribution, QuantileStopsAtRepetitionWithTheSameResult) {
  for (double a : {0.05, 0.085, 0.1445, 0.5, 1.0, 2.5, 10.0, 300.0, 703.1542226033863, 5000.0})
    for (double p : {1e-10, 0.005, 0.1, 0.1905, 0.5, 0.9, 0.999})
      EXPECT_EQ(gammainv(p, a, 1.7), gammainv_all_steps(p, a, 1.7)) << a << " " << p;
}

// The quantile of shape 0.001 at 0.1 is about 1e-1000: the iterates used to reach 0, where
// gammapdf ends the process.
TEST(GammaDistribution, QuantileBelowSmallestDouble) {
  const double x = gammainv(0.1, 0.001, 1.0);
  EXPECT_GE(x, 0.0);
  EXPECT_LT(x, 1e-300);
}

// {x, df, pdf, cdf} and {p, df, quantile}, scipy chi2.
TEST(ChiSquare, AgainstReference) {
  const double ref[][4] = {{0.1, 1, 1.200038948430136, 0.24817036595415076},
                           {2.0, 2, 0.18393972058572117, 0.6321205588285577},
                           {5200.0, 5000, 0.0005467166579774867, 0.9761810019792594}};
  for (const auto &r : ref) {
    EXPECT_REL(chipdf(r[0], static_cast<int>(r[1])), r[2], 1e-12) << r[0];
    EXPECT_REL(chicdf(r[0], static_cast<int>(r[1])), r[3], 1e-13) << r[0];
  }
  EXPECT_REL(chiinv(0.95, 1), 3.841458820694124, 1e-13);
  EXPECT_REL(chiinv(0.001, 100), 61.91793920693662, 1e-13);
}

// Regression: the density at 0 ended the process for any shape but 1, although its value
// there is the limit from the right: 0 above shape 1, a pole below it.
TEST(GammaDistribution, DensityAtZeroIsItsLimitInsteadOfAnExit) {
  EXPECT_EQ(gammapdf(0.0, 2.0, 1.0), 0.0);
  EXPECT_EQ(gammapdf(0.0, 1.0, 4.0), 0.25);
  EXPECT_EQ(gammapdf(0.0, 0.5, 3.0), HUGE_VAL);
  EXPECT_EQ(chipdf(0.0, 3), 0.0);
  EXPECT_EQ(chipdf(0.0, 2), 0.5);
  EXPECT_EQ(chipdf(0.0, 1), HUGE_VAL);
}
