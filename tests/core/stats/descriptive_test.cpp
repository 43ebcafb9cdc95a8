#include <vector>

#include "core/stats/stats.h"
#include "support/test_util.h"

TEST(Descriptive, MeanAndVariance) {
  double x[4] = {1, 2, 3, 4};
  EXPECT_EQ(mean(x, 4), 2.5);
  EXPECT_EQ(var(x, 4), 1.25);
  double c[3] = {7, 7, 7};
  EXPECT_EQ(mean(c, 3), 7.0);
  EXPECT_EQ(var(c, 3), 0.0);
  EXPECT_EQ(var(c, 1), 0.0);
}

TEST(Descriptive, NileAgainstLongDouble) {
  std::vector<double> x = tsf_test::LoadSeries("nile.csv");
  ASSERT_EQ(x.size(), 100u);
  long double s = 0, ss = 0;
  for (double v : x) s += v;
  long double m = s / x.size();
  for (double v : x) ss += (v - m) * (v - m);
  EXPECT_REL_NEAR(mean(x.data(), 100), static_cast<double>(m), 1e-15);
  EXPECT_REL_NEAR(var(x.data(), 100), static_cast<double>(ss / x.size()), 1e-14);
  EXPECT_EQ(mean(x.data(), 100), 919.35);  // the 100 flows sum to 91935
}
