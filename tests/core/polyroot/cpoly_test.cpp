#include <gtest/gtest.h>

#include <vector>

#include "core/polyroot/polyroot.h"
#include "core/polyroot/roots_test_util.h"

// cpoly takes descending coefficients and does not change them.
TEST(Cpoly, DescendingOrderAndInputsKept) {
  std::vector<double> re = {1, -3, 2}, im = {0, 0, 0}, zr(2), zi(2);
  EXPECT_EQ(cpoly(re.data(), im.data(), 2, zr.data(), zi.data()), 0);
  EXPECT_TRUE(SameZeros({{zr[0], zi[0]}, {zr[1], zi[1]}}, {1.0, 2.0}, 1e-15));
  EXPECT_EQ(re, (std::vector<double>{1, -3, 2}));
  // (x - i)(x + 2): x^2 + (2 - i) x - 2i.
  std::vector<double> cre = {1, 2, 0}, cim = {0, -1, -2};
  EXPECT_EQ(cpoly(cre.data(), cim.data(), 2, zr.data(), zi.data()), 0);
  EXPECT_TRUE(SameZeros({{zr[0], zi[0]}, {zr[1], zi[1]}}, {cplx(0, 1), -2.0}, 1e-15));
  std::vector<double> lead0 = {0, 1, 1}, zero3(3, 0.0);
  EXPECT_EQ(cpoly(lead0.data(), zero3.data(), 2, zr.data(), zi.data()), 1);
}
