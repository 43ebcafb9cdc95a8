#include "core/transform/transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/test_util.h"

using Vec = std::vector<double>;

TEST(Polynomial, ProductOfFactors) {
  Vec a = {1, -1}, b = {1, -1}, c(3, 99);
  EXPECT_EQ(poly(a.data(), b.data(), c.data(), 2, 2), 3);
  EXPECT_EQ(c, (Vec{1, -2, 1}));
  Vec p = {2, 0, 3}, q = {1, 4}, r(4, 99);
  EXPECT_EQ(poly(p.data(), q.data(), r.data(), 3, 2), 4);
  EXPECT_EQ(r, (Vec{2, 8, 3, 12}));
}

TEST(Polynomial, DifferenceOperatorsAreSignedBinomials) {
  Vec c(3);
  deld(2, c.data());
  EXPECT_EQ(c, (Vec{1, -2, 1}));
  Vec c3(4);
  deld(3, c3.data());
  EXPECT_EQ(c3, (Vec{1, -3, 3, -1}));
  for (int d = 1; d <= 12; ++d) {
    Vec cd(d + 1);
    deld(d, cd.data());
    double binom = 1;
    for (int j = 0; j <= d; ++j) {
      EXPECT_EQ(cd[j], (j % 2 ? -binom : binom)) << "d=" << d << " j=" << j;
      binom = binom * (d - j) / (j + 1);
    }
  }
}

TEST(Polynomial, SeasonalOperators) {
  Vec c(5, 99);
  delds(1, 4, c.data());
  EXPECT_EQ(c, (Vec{1, 0, 0, 0, -1}));
  Vec c2(5, 99);
  delds(2, 2, c2.data());
  EXPECT_EQ(c2, (Vec{1, 0, -2, 0, 1}));
  Vec c12(25, 99);
  delds(2, 12, c12.data());
  for (int j = 0; j <= 24; ++j) EXPECT_EQ(c12[j], j == 0 || j == 24 ? 1.0 : j == 12 ? -2.0 : 0.0);
}

TEST(Polynomial, OrderZeroWritesNothing) {
  Vec c = {7, 7};
  deld(0, c.data());
  delds(0, 4, c.data());
  delds(1, 0, c.data());
  EXPECT_EQ(c, (Vec{7, 7}));
}

TEST(Difference, OrdinaryExamples) {
  Vec x = {1, 4, 9, 16}, y(3, 99);
  EXPECT_EQ(diff(x.data(), 4, 1, y.data()), 3);
  EXPECT_EQ(y, (Vec{3, 5, 7}));
  Vec y2(2);
  EXPECT_EQ(diff(x.data(), 4, 2, y2.data()), 2);
  EXPECT_EQ(y2, (Vec{2, 2}));
}

TEST(Difference, SeasonalExample) {
  Vec x = {1, 2, 3, 4, 5, 6}, y(4);
  EXPECT_EQ(diffs(x.data(), 6, 1, 2, y.data()), 4);
  EXPECT_EQ(y, (Vec{2, 2, 2, 2}));
}

TEST(Difference, RepeatedFirstDifferencesEqualHigherOrder) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-100, 100);
  Vec x(50);
  for (double &v : x) v = std::round(u(rng));  // integers: every sum below is exact
  Vec once(49), twice(48), thrice(47), direct(47);
  diff(x.data(), 50, 1, once.data());
  diff(once.data(), 49, 1, twice.data());
  diff(twice.data(), 48, 1, thrice.data());
  EXPECT_EQ(diff(x.data(), 50, 3, direct.data()), 47);
  EXPECT_EQ(direct, thrice);
}

TEST(Difference, SeasonalThenOrdinaryOnAirPassengers) {
  Vec x = tsf_test::LoadSeries("airpassengers.csv");
  ASSERT_EQ(x.size(), 144u);
  Vec s(132), w(131);
  EXPECT_EQ(diffs(x.data(), 144, 1, 12, s.data()), 132);
  EXPECT_EQ(diff(s.data(), 132, 1, w.data()), 131);
  for (int t = 0; t < 131; ++t) {
    int i = t + 13;
    double expected = (x[i] - x[i - 12]) - (x[i - 1] - x[i - 13]);
    EXPECT_EQ(w[t], expected) << t;
  }
}

TEST(Difference, DegenerateOrdersAndShortSeries) {
  Vec x = {5, 6, 7}, y(3, 99);
  EXPECT_EQ(diff(x.data(), 3, 0, y.data()), 3);  // identity
  EXPECT_EQ(y, x);
  Vec z(1, 99);
  EXPECT_EQ(diff(x.data(), 3, 3, z.data()), 0);  // N == d: nothing to form
  EXPECT_EQ(diff(x.data(), 3, 5, z.data()), 0);
  EXPECT_EQ(diffs(x.data(), 3, 1, 3, z.data()), 0);
  EXPECT_EQ(diffs(x.data(), 3, 2, 2, z.data()), 0);
  EXPECT_EQ(z[0], 99.0);
  Vec w(3, 99);
  EXPECT_EQ(diffs(x.data(), 3, 0, 12, w.data()), 3);
  EXPECT_EQ(w, x);
  EXPECT_EQ(diff(x.data(), 0, 1, z.data()), 0);
}

TEST(Resample, UpsampleExamples) {
  Vec x = {1, 2, 3}, y(5, 99);
  EXPECT_EQ(upsample(x.data(), 3, 2, y.data()), 5);
  EXPECT_EQ(y, (Vec{1, 0, 2, 0, 3}));
  Vec c(3, 99);
  EXPECT_EQ(upsample(x.data(), 3, 0, c.data()), 3);
  EXPECT_EQ(c, x);
  Vec one(3, 99);
  EXPECT_EQ(upsample(x.data(), 3, 1, one.data()), 3);
  EXPECT_EQ(one, x);
  Vec untouched(1, 99);
  EXPECT_EQ(upsample(x.data(), 3, -1, untouched.data()), -1);
  EXPECT_EQ(untouched[0], 99.0);
}

TEST(Resample, DownsampleExamples) {
  Vec x = {0, 1, 2, 3, 4, 5}, y(3, 99);
  EXPECT_EQ(downsample(x.data(), 5, 2, y.data()), 3);
  EXPECT_EQ(y, (Vec{0, 2, 4}));
  Vec z(2, 99);
  EXPECT_EQ(downsample(x.data(), 6, 4, z.data()), 2);
  EXPECT_EQ(z, (Vec{0, 4}));
  Vec c(6);
  EXPECT_EQ(downsample(x.data(), 6, 0, c.data()), 6);
  EXPECT_EQ(c, x);
  EXPECT_EQ(downsample(x.data(), 6, -3, z.data()), -1);
}

TEST(Resample, DownsampleUndoesUpsample) {
  Vec p = {1, -0.5, 0.25, 0.125}, up(37), back(4);
  int n = upsample(p.data(), 4, 12, up.data());
  EXPECT_EQ(n, 37);
  EXPECT_EQ(downsample(up.data(), n, 12, back.data()), 4);
  EXPECT_EQ(back, p);
}
