// Brent's zero finder and local minimiser.
#include <cmath>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "support/test_util.h"

namespace {

struct Count {
  int evals = 0;
};

double sq_minus_two(double x, void *p) {
  ++static_cast<Count *>(p)->evals;
  return x * x - 2.0;
}

double cos_minus_x(double x, void *) { return std::cos(x) - x; }
double cubic(double x, void *) { return (x - 1.0) * (x + 2.0) * (x - 3.5); }
double shifted_square(double x, void *) { return (x - 1.0) * (x - 1.0); }
double increasing(double x, void *) { return std::exp(x); }
double decreasing(double x, void *) { return -x * x * x; }
double quartic(double x, void *) { return x * x * x * x - 3.0 * x * x + x; }

}  // namespace

TEST(Brent, ZeroOfSquareMinusTwo) {
  Count c;
  univariate_function f{sq_minus_two, &c};
  double eps = macheps(), t = 1e-10;
  double z = brent_zero(&f, 0.0, 2.0, t, eps);
  EXPECT_LE(std::fabs(z - std::sqrt(2.0)), t + 2.0 * eps * std::sqrt(2.0));
  EXPECT_LT(c.evals, 20);
}

TEST(Brent, ZeroAtEndIsReturnedAtOnce) {
  univariate_function g{[](double x, void *) { return x - 0.5; }, nullptr};
  EXPECT_EQ(brent_zero(&g, 0.5, 3.0, 1e-12, macheps()), 0.5);
  EXPECT_EQ(brent_zero(&g, -1.0, 0.5, 1e-12, macheps()), 0.5);
}

TEST(Brent, KnownRoots) {
  double eps = macheps();
  univariate_function f{cos_minus_x, nullptr};
  EXPECT_NEAR(brent_zero(&f, 0.0, 1.0, 1e-14, eps), 0.7390851332151607, 1e-13);
  univariate_function g{cubic, nullptr};
  EXPECT_NEAR(brent_zero(&g, 0.0, 2.0, 1e-14, eps), 1.0, 1e-13);
  EXPECT_NEAR(brent_zero(&g, -5.0, 0.0, 1e-14, eps), -2.0, 1e-13);
  EXPECT_NEAR(brent_zero(&g, 2.0, 10.0, 1e-14, eps), 3.5, 1e-13);
}

TEST(Brent, ZeroWithoutSignChangeStillEnds) {
  int n = 0;
  univariate_function f{[](double x, void *p) {
                          ++*static_cast<int *>(p);
                          return x * x + 1.0;
                        },
                        &n};
  double z = brent_zero(&f, -1.0, 2.0, 1e-12, macheps());
  EXPECT_GE(z, -1.0);
  EXPECT_LE(z, 2.0);
  EXPECT_LT(n, 100);
}

TEST(Brent, LocalMinimum) {
  double eps = macheps(), x = 0.0;
  univariate_function f{shifted_square, nullptr};
  double fx = brent_local_min(&f, 0.0, 3.0, 1e-10, eps, &x);
  EXPECT_NEAR(x, 1.0, 1e-8);
  EXPECT_NEAR(fx, 0.0, 1e-16);
  EXPECT_EQ(fx, (x - 1.0) * (x - 1.0));
  // x^4 - 3x^2 + x: minima at the outer roots of 4x^3 - 6x + 1 = 0 (by bisection).
  univariate_function q{quartic, nullptr};
  brent_local_min(&q, -2.0, 0.0, 1e-12, eps, &x);
  EXPECT_NEAR(x, -1.3008395659415772, 1e-7);
  brent_local_min(&q, 0.5, 2.0, 1e-12, eps, &x);
  EXPECT_NEAR(x, 1.1309011226299857, 1e-7);
}

TEST(Brent, MonotoneGoesToLowerEnd) {
  double eps = macheps(), x = 0.0;
  univariate_function f{increasing, nullptr};
  brent_local_min(&f, -1.0, 2.0, 1e-9, eps, &x);
  EXPECT_NEAR(x, -1.0, 1e-8);
  univariate_function g{decreasing, nullptr};
  brent_local_min(&g, -1.0, 2.0, 1e-9, eps, &x);
  EXPECT_NEAR(x, 2.0, 1e-8);
}

TEST(Brent, FminbndUsesTightTolerance) {
  univariate_function f{shifted_square, nullptr};
  // t = 1e-12: the abscissa is limited by sqrt(eps) from the flat bottom only.
  EXPECT_NEAR(fminbnd(&f, -10.0, 10.0), 1.0, 1e-7);
}
