#include <cstdio>
#include <random>
#include <unistd.h>
#include <vector>

#include "core/filter/filter.h"
#include "support/test_util.h"

namespace {

using ConvFn = void (*)(double *, int, double *, int, double *);

std::vector<double> Random(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(n);
  for (auto &x : v) x = u(gen);
  return v;
}

}  // namespace

TEST(Convolution, SmallExampleEveryRoutineEitherOrder) {
  double a[2] = {1, 2}, b[3] = {1, 1, 1};
  const double expect[4] = {1, 3, 3, 2};
  for (ConvFn f : {conv_direct, conv_directx, conv, convx}) {
    double o1[4], o2[4];
    f(a, 2, b, 3, o1);
    f(b, 3, a, 2, o2);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(o1[i], expect[i]) << i;
      EXPECT_EQ(o2[i], expect[i]) << i;
    }
  }
}

// Integer-valued inputs: every routine is exact, so all four must agree bit for bit with a
// plain double loop.
TEST(Convolution, IntegerInputsExactAllShapes) {
  std::mt19937 gen(3);
  std::uniform_int_distribution<int> d(-9, 9);
  for (auto [N, L] : std::vector<std::pair<int, int>>{{1, 1}, {1, 7}, {7, 1}, {5, 5}, {13, 4}, {4, 13}, {100, 3}}) {
    std::vector<double> a(N), b(L), ref(N + L - 1, 0.0), o(N + L - 1);
    for (auto &v : a) v = d(gen);
    for (auto &v : b) v = d(gen);
    for (int i = 0; i < N; ++i)
      for (int j = 0; j < L; ++j) ref[i + j] += a[i] * b[j];
    for (ConvFn f : {conv_direct, conv_directx, conv, convx}) {
      f(a.data(), N, b.data(), L, o.data());
      for (int i = 0; i < N + L - 1; ++i) ASSERT_EQ(o[i], ref[i]) << N << " " << L << " " << i;
    }
  }
}

TEST(Convolution, SummationOrders) {
  // conv_direct sums over the longer input; conv_directx over the first one. With N >= L
  // conv equals conv_direct and convx equals conv_directx bit for bit.
  std::vector<double> a = Random(37, 1), b = Random(11, 2);
  std::vector<double> o1(47), o2(47), o3(47), o4(47);
  conv_direct(b.data(), 11, a.data(), 37, o1.data());
  conv(b.data(), 11, a.data(), 37, o2.data());
  conv_directx(a.data(), 37, b.data(), 11, o3.data());
  convx(b.data(), 11, a.data(), 37, o4.data());
  for (int i = 0; i < 47; ++i) {
    EXPECT_EQ(o1[i], o2[i]) << i;
    EXPECT_EQ(o3[i], o4[i]) << i;
    EXPECT_NEAR(o1[i], o3[i], 1e-14) << i;
  }
}

TEST(Convolution, RejectsEmptyInputs) {
  double a[1] = {1}, o[4];
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); conv(a, 0, a, 1, o); }, ::testing::ExitedWithCode(255),
              "conv: the lengths N and L must be at least 1");
  EXPECT_EXIT({ fflush(stdout); dup2(2, 1); conv_direct(a, 1, a, -3, o); }, ::testing::ExitedWithCode(255),
              "conv_direct: the lengths N and L must be at least 1");
}
