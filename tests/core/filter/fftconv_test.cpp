#include <cstdio>
#include <random>
#include <unistd.h>
#include <vector>

#include "core/filter/filter.h"
#include "support/test_util.h"

namespace {

std::vector<double> Random(int n, std::mt19937 &gen) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(n);
  for (auto &x : v) x = u(gen);
  return v;
}

int ClenOf(int N, int L) {
  conv_object *c = conv_init(N, L);
  int clen = c->clen;
  free_conv(c);
  return clen;
}

}  // namespace

TEST(FftConv, FactorfAndFindnext) {
  EXPECT_EQ(factorf(1), 1);
  EXPECT_EQ(factorf(7 * 7 * 3 * 5 * 5 * 2), 1);
  EXPECT_EQ(factorf(11 * 8), 11);
  EXPECT_EQ(factorf(2 * 13 * 17), 221);
  EXPECT_EQ(factorf(0), 0);
  EXPECT_EQ(factorf(-6), 0);
  EXPECT_EQ(findnext(11), 12);
  EXPECT_EQ(findnext(1), 1);
  EXPECT_EQ(findnext(0), 1);
  EXPECT_EQ(findnext(97), 98);
  EXPECT_EQ(findnext(211), 216);
  EXPECT_EQ(findnexte(11), 12);
  EXPECT_EQ(findnexte(1), 2);
  EXPECT_EQ(findnexte(13), 14);
  EXPECT_EQ(findnexte(15), 16);
  EXPECT_EQ(findnexte(21), 24);
  EXPECT_EQ(findnexte(22), 24);
  EXPECT_EQ(findnexte(2001), 2016);
  EXPECT_EQ(findnexte(2147483647), 0);
}

TEST(FftConv, InitLengths) {
  EXPECT_EQ(ClenOf(5, 4), 8);
  EXPECT_EQ(ClenOf(6, 6), 12);
  EXPECT_EQ(ClenOf(6, 7), 12);
  EXPECT_EQ(ClenOf(1, 11), 12);
  EXPECT_EQ(ClenOf(20, 3), 24);
  EXPECT_EQ(ClenOf(1, 1), 2);
  conv_object *c = conv_init(5, 4);
  EXPECT_EQ(c->ilen1, 5);
  EXPECT_EQ(c->ilen2, 4);
  EXPECT_EQ(c->fobj->cobj->sgn, 1);
  EXPECT_EQ(c->iobj->cobj->sgn, -1);
  EXPECT_EQ(c->fobj->cobj->N, 4);
  free_conv(c);
}

TEST(FftConv, SmallExample) {
  double a[2] = {1, 2}, b[3] = {1, 1, 1}, o[4];
  const double expect[4] = {1, 3, 3, 2};
  conv_object *c = conv_init(2, 3);
  conv_fft(c, a, b, o);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(o[i], expect[i], 1e-15);
  free_conv(c);
  c = conv_init(3, 2);
  conv_fft(c, b, a, o);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(o[i], expect[i], 1e-15);
  free_conv(c);
}

TEST(FftConv, MatchesDirectOnRandomLengths) {
  std::mt19937 gen(2024);
  std::vector<std::pair<int, int>> shapes = {{97, 89}, {1009, 3}, {2, 1013}, {1, 1}, {5000, 17}, {331, 331}};
  std::uniform_int_distribution<int> len(1, 400);
  for (int i = 0; i < 20; ++i) shapes.push_back({len(gen), len(gen)});
  for (auto [N, L] : shapes) {
    std::vector<double> a = Random(N, gen), b = Random(L, gen), ref(N + L - 1), o(N + L - 1);
    conv_direct(a.data(), N, b.data(), L, ref.data());
    conv_object *c = conv_init(N, L);
    conv_fft(c, a.data(), b.data(), o.data());
    conv_fft(c, a.data(), b.data(), o.data());  // an object serves any number of pairs
    double err = 0, scale = 0;
    for (int k = 0; k < N + L - 1; ++k) {
      err = std::fmax(err, std::fabs(o[k] - ref[k]));
      scale = std::fmax(scale, std::fabs(ref[k]));
    }
    EXPECT_LE(err, 1e-13 * std::fmax(scale, 1.0)) << N << " x " << L << " clen " << c->clen;
    free_conv(c);
  }
}

TEST(FftConv, RejectsInvalidLengths) {
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); conv_init(0, 4); }, ::testing::ExitedWithCode(255),
              "conv_init: the lengths N and L must be at least 1");
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); conv_init(2147483000, 2000); }, ::testing::ExitedWithCode(255),
              "conv_init: the lengths N and L are too large");
}
