#include "core/matrix/matrix.h"
#include "support/test_util.h"

#include <cmath>
#include <limits>
#include <vector>

TEST(Utility, MachepsIsTwoToMinus52) {
  EXPECT_EQ(macheps(), std::ldexp(1.0, -52));
  EXPECT_EQ(macheps(), 2.220446049250313e-16);
}

TEST(Utility, ScalarChoicesOnTiesAndSignedZero) {
  EXPECT_EQ(pmax(3.0, -2.0), 3.0);
  EXPECT_EQ(pmin(3.0, -2.0), -2.0);
  EXPECT_EQ(imax(9, 7), 9);
  EXPECT_EQ(imin(9, 7), 7);
  // Ties return b, visible through the sign of zero.
  EXPECT_TRUE(std::signbit(pmax(0.0, -0.0)));
  EXPECT_FALSE(std::signbit(pmin(-0.0, 0.0)));
  EXPECT_EQ(signx(0.0), 1.0);
  EXPECT_EQ(signx(-0.0), 1.0);
  EXPECT_EQ(signx(-1e-300), -1.0);
}

TEST(Utility, Reductions) {
  std::vector<double> x{3.0, -4.0, 1.5, -0.5};
  EXPECT_EQ(l2norm(x.data(), 2), 5.0);
  EXPECT_EQ(l2norm(x.data(), 0), 0.0);
  EXPECT_EQ(array_max_abs(x.data(), 4), 4.0);
  EXPECT_EQ(array_max_abs(x.data(), 0), 0.0);
  EXPECT_EQ(array_max(x.data(), 4), 3.0);
  EXPECT_EQ(array_min(x.data(), 4), -4.0);
  std::vector<double> neg{-3.0, -1.0, -2.0};
  EXPECT_EQ(array_max(neg.data(), 3), -1.0);
  EXPECT_EQ(array_max_abs(neg.data(), 3), 3.0);
  // Empty input reads nothing: the identities of max and min.
  EXPECT_EQ(array_max(nullptr, 0), -HUGE_VAL);
  EXPECT_EQ(array_min(nullptr, 0), HUGE_VAL);
}

TEST(Utility, Sort1dDescendingIndices) {
  std::vector<double> x{3.0, 1.0, 2.0};
  std::vector<int> idx(3, -1);
  sort1d(x.data(), 3, idx.data());
  EXPECT_EQ(idx, (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(x, (std::vector<double>{3.0, 1.0, 2.0}));

  std::vector<double> y{-1.0, 5.0, 0.0, 4.5, -7.0, 5.5};
  std::vector<int> iy(6);
  sort1d(y.data(), 6, iy.data());
  EXPECT_EQ(iy, (std::vector<int>{5, 1, 3, 2, 0, 4}));

  int untouched = 42;
  sort1d(y.data(), 0, &untouched);
  EXPECT_EQ(untouched, 42);
}

TEST(Utility, Sort1dPutsNanLast) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> x{1.0, nan, 3.0, nan, 2.0};
  std::vector<int> idx(5);
  sort1d(x.data(), 5, idx.data());
  EXPECT_EQ(idx[0], 2);
  EXPECT_EQ(idx[1], 4);
  EXPECT_EQ(idx[2], 0);
  EXPECT_TRUE((idx[3] == 1 && idx[4] == 3) || (idx[3] == 3 && idx[4] == 1));
}

TEST(Utility, CompareOrdersLargerFirst) {
  struct rec {
    double *value;
    int index;
  };
  double a = 2.0, b = 1.0, c = 2.0;
  rec ra{&a, 0}, rb{&b, 1}, rc{&c, 2};
  EXPECT_EQ(compare(&ra, &rb), -1);
  EXPECT_EQ(compare(&rb, &ra), 1);
  EXPECT_EQ(compare(&ra, &rc), 0);
}
