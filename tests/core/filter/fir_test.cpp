#include <cstdio>
#include <unistd.h>
#include <vector>

#include "core/filter/filter.h"
#include "support/test_util.h"

TEST(Fir, FilterExamples) {
  double x[5] = {3, -1, 4, 1, -5}, o[5];
  double one[1] = {1};
  filter(x, 5, one, 1, o);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(o[i], x[i]);
  double half[2] = {0.5, 0.5};
  filter(x, 5, half, 2, o);
  EXPECT_EQ(o[0], 0.5 * x[0]);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(o[i], (x[i] + x[i - 1]) / 2) << i;
  // More coefficients than samples: only the first N outputs of the convolution.
  double b[7] = {1, 2, 3, 4, 5, 6, 7}, full[11];
  conv_direct(x, 5, b, 7, full);
  filter(x, 5, b, 7, o);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(o[i], full[i]) << i;
}

TEST(Fir, ExpfilterExamples) {
  double x[4] = {2, 4, -6, 8}, o[4];
  expfilter(x, 4, 1.0, o);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(o[i], x[i]);
  expfilter(x, 4, 0.0, o);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(o[i], 2.0);
  expfilter(x, 4, 0.5, o);
  const double expect[4] = {2, 3, -1.5, 3.25};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(o[i], expect[i]);
}

TEST(Fir, Norm2) {
  double v[2] = {3, 4};
  EXPECT_EQ(norm2(v, 2), 5.0);
  EXPECT_EQ(norm2(v, 0), 0.0);
}

TEST(Fir, RejectsEmptyInputs) {
  double x[1] = {1}, o[1];
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); filter(x, 1, x, 0, o); }, ::testing::ExitedWithCode(255),
              "filter: the lengths N and L must be at least 1");
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); expfilter(x, 0, 0.5, o); }, ::testing::ExitedWithCode(255),
              "expfilter: the length N must be at least 1");
}
