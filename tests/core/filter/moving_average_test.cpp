#include <cstdio>
#include <unistd.h>
#include <vector>

#include "core/filter/filter.h"
#include "support/test_util.h"

TEST(MovingAverage, MafilterExamples) {
  double x[3] = {1, 2, 3}, o[3];
  mafilter(x, 3, 3, o);
  EXPECT_REL_NEAR(o[0], 4.0 / 3, 1e-15);
  EXPECT_EQ(o[1], 2.0);
  EXPECT_REL_NEAR(o[2], 8.0 / 3, 1e-15);
  mafilter(x, 3, 2, o);
  EXPECT_EQ(o[0], 1.25);
  EXPECT_EQ(o[1], 2.0);
  EXPECT_EQ(o[2], 2.75);
  detrend_ma(x, 3, 2, o);
  EXPECT_EQ(o[0], 1.25);
  mafilter(x, 3, 1, o);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(o[i], x[i]);
  // A window longer than the series reads the end values repeatedly.
  mafilter(x, 3, 7, o);
  EXPECT_REL_NEAR(o[1], (1 + 1 + 1 + 2 + 3 + 3 + 3) / 7.0, 1e-15);
}

TEST(MovingAverage, Mafilter2Examples) {
  double x[3] = {1, 2, 3}, o[3];
  mafilter2(x, 3, 3, o);
  EXPECT_EQ(o[0], 1.0);
  EXPECT_EQ(o[1], 2.0);
  EXPECT_EQ(o[2], 3.0);
  double y[6] = {1, 5, 2, 8, 3, 9}, o6[6];
  mafilter2(y, 6, 4, o6);  // p = 2: positions 2 and 3 are 2x4 averages
  EXPECT_EQ(o6[0], 1.0);
  EXPECT_EQ(o6[1], 5.0);
  EXPECT_EQ(o6[2], (0.5 * 1 + 5 + 2 + 8 + 0.5 * 3) / 4);
  EXPECT_EQ(o6[3], (0.5 * 5 + 2 + 8 + 3 + 0.5 * 9) / 4);
  EXPECT_EQ(o6[4], 3.0);
  EXPECT_EQ(o6[5], 9.0);
  // Window wider than the series: nothing is interior, x is copied (no read outside x).
  mafilter2(x, 3, 9, o);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(o[i], x[i]);
}

TEST(MovingAverage, WeightedWindowStartsPPlacesBefore) {
  double x[4] = {1, 2, 4, 8}, o[4];
  double w3[3] = {1, 10, 100};  // odd: x[i-1], x[i], x[i+1]
  mafilter_wt(x, 4, w3, 3, o);
  EXPECT_EQ(o[0], 1 + 10 * 1 + 100 * 2);
  EXPECT_EQ(o[1], 1 + 10 * 2 + 100 * 4);
  EXPECT_EQ(o[3], 4 + 10 * 8 + 100 * 8);
  double w2[2] = {1, 10};  // even: x[i-1], x[i]
  mafilter_wt(x, 4, w2, 2, o);
  EXPECT_EQ(o[0], 1 + 10 * 1);
  EXPECT_EQ(o[2], 2 + 10 * 4);
  EXPECT_EQ(o[3], 4 + 10 * 8);
  double w4[4] = {1, 10, 100, 1000};  // even: x[i-2] .. x[i+1]
  mafilter_wt(x, 4, w4, 4, o);
  EXPECT_EQ(o[0], 1 + 10 + 100 * 1 + 1000 * 2);
  EXPECT_EQ(o[3], 2 + 10 * 4 + 100 * 8 + 1000 * 8);
}

TEST(MovingAverage, DeseasonExample) {
  double x[6] = {1, -1, 1, -1, 1, -1}, trend[6], o[6];
  mafilter2(x, 6, 2, trend);
  const double t[6] = {1, 0, 0, 0, 0, -1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(trend[i], t[i]);
  deseason_ma(x, 6, 2, o);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(o[i], 0.0);
}

TEST(MovingAverage, DeseasonRemovesAPureSeasonOnATrend) {
  // Linear trend plus a centred period-4 pattern: the 2x4 average reproduces the trend in
  // the interior, so the estimated season is the pattern and the output the trend.
  const int N = 24, s = 4;
  const double pat[4] = {3, -1, -4, 2};
  std::vector<double> x(N), o(N);
  for (int i = 0; i < N; ++i) x[i] = 0.5 * i + pat[i % s];
  deseason_ma(x.data(), N, s, o.data());
  for (int i = 0; i < N; ++i) EXPECT_NEAR(o[i], 0.5 * i, 1e-12) << i;
}

TEST(MovingAverage, RejectsInvalidArguments) {
  double x[3] = {1, 2, 3}, o[3];
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); mafilter(x, 3, 0, o); }, ::testing::ExitedWithCode(255),
              "mafilter: the window M must be at least 1");
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); deseason_ma(x, 3, 2, o); }, ::testing::ExitedWithCode(255),
              "deseason_ma: the series must hold at least s \\+ 2\\*\\(s/2\\) values");
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); deseason_ma(x, 3, 0, o); }, ::testing::ExitedWithCode(255),
              "deseason_ma: the period s must be at least 1");
}
