#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "core/polyroot/roots_test_util.h"
#include "core/transform/transform.h"
#include "support/test_util.h"

namespace {

using Vec = std::vector<double>;

// Zeros of 1 + sign * (c[0] x + ... + c[n-1] x^n).
std::vector<cplx> zeros_of(const Vec &c, double sign) {
  std::vector<cplx> coeff = {1.0};
  for (double v : c) coeff.push_back(sign * v);
  const Zeros z = find_zeros(coeff);
  EXPECT_EQ(z.rc, 0);
  return z.z;
}

}  // namespace

// R 4.2: c(1, ARMAtoMA(ar = c(0.5, -0.3), ma = c(0.4, 0.2), 9)) and, for the pi weights,
// c(1, ARMAtoMA(ar = -c(0.4, 0.2), ma = -c(0.5, -0.3), 9)); those of an AR(1) and an MA(1)
// are powers. j = 0 once wrote psi[0] and piw[0] all the same.
TEST(ArmaWeights, MatchRArmaToMaAndZeroWeightsWriteNothing) {
  Vec phi = {0.5, -0.3}, theta = {0.4, 0.2}, psi(10), piw(10);
  const Vec rpsi = {1, 0.90000000000000002, 0.35000000000000003, -0.095000000000000001, -0.15250000000000002,
                    -0.047750000000000015, 0.021874999999999999, 0.025262500000000004, 0.0060687500000000021,
                    -0.0045443749999999998};
  const Vec rpi = {1, -0.90000000000000002, 0.46000000000000002, -0.0040000000000000036, -0.090400000000000008,
                   0.036960000000000007, 0.0032959999999999986, -0.0087104000000000018, 0.0028249600000000014,
                   0.00061209599999999991};
  psiweight(phi.data(), theta.data(), psi.data(), 2, 2, 10);
  piweight(phi.data(), theta.data(), piw.data(), 2, 2, 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_NEAR(psi[i], rpsi[i], 1e-16) << i;
    EXPECT_NEAR(piw[i], rpi[i], 1e-16) << i;
  }
  Vec w(4), out = {7};
  psiweight(phi.data(), nullptr, w.data(), 1, 0, 4);  // phi = 0.5
  EXPECT_EQ(w, (Vec{1, 0.5, 0.25, 0.125}));
  piweight(nullptr, phi.data(), w.data(), 0, 1, 4);  // theta = 0.5
  EXPECT_EQ(w, (Vec{1, -0.5, 0.25, -0.125}));
  psiweight(phi.data(), theta.data(), out.data(), 1, 1, 0);
  piweight(phi.data(), theta.data(), out.data(), 1, 1, 0);
  EXPECT_EQ(out[0], 7.0);
}

// statsmodels 0.13: arma_acovf(np.r_[1, -phi], np.r_[1, theta], nobs, sigma2), the AR(1)
// closed form 1/(1 - phi^2), phi/(1 - phi^2), and cases checked by the AR recursion only.
// Every lag past max(p, q) follows that recursion. arma_autocovar wrote the p + 1 values
// of its linear system even when fewer lags were asked for.
TEST(ArmaAutocovar, MatchesStatsmodelsFollowsTheRecursionAndWritesOnlyTheLagsAskedFor) {
  struct Case {
    Vec phi, theta;
    double sigma2;
    Vec acov;
  };
  const Case cases[] = {
      {{0.5, -0.3}, {0.4}, 2.0, {3.7857142857142856, 2.0714285714285716, -0.10000000000000006, -0.67142857142857149,
                                  -0.30571428571428572, 0.048571428571428571, 0.11599999999999999, 0.043428571428571427}},
      {{0.7}, {0.3, -0.2, 0.1}, 1.5, {3.9705882352941169, 3.0044117647058819, 1.953088235294117, 1.5171617647058819,
                                        1.0620132352941172, 0.74340926470588198}},
      {{}, {0.6, 0.3}, 1.0, {1.45, 0.77999999999999992, 0.29999999999999999, 0}},
      {{0.5}, {}, 1.0, {4.0 / 3.0, 2.0 / 3.0}},
      {{0.4, 0.25, -0.3}, {0.5}, 0.7, {}},
      {{0.5, 0.2, -0.1}, {}, 1.0, {}},
  };
  for (const Case &c : cases) {
    Vec phi = c.phi, theta = c.theta, g(12);
    const int p = static_cast<int>(phi.size()), q = static_cast<int>(theta.size());
    arma_autocovar(phi.data(), theta.data(), p, q, c.sigma2, g.data(), 12);
    for (size_t i = 0; i < c.acov.size(); ++i) EXPECT_NEAR(g[i], c.acov[i], 1e-14) << "p=" << p << " q=" << q << " lag " << i;
    for (int i = std::max(p, q + 1); i < 12; ++i) {
      double r = 0;
      for (int j = 0; j < p; ++j) r += phi[j] * g[i - 1 - j];
      EXPECT_NEAR(g[i], r, 1e-15) << "p=" << p << " q=" << q << " lag " << i;
    }
    for (int lag = 0; lag <= p + 1; ++lag) {
      Vec acov(p + 2, 99.0);
      arma_autocovar(phi.data(), theta.data(), p, q, c.sigma2, acov.data(), lag);
      for (int i = 0; i < p + 2; ++i) EXPECT_EQ(acov[i], i < lag ? g[i] : 99.0) << "p=" << p << " lag " << lag;
    }
  }
}

// transall transforms the blocks of a seasonal model one by one.
TEST(ArTrans, RoundTripsBlockwiseAndGivesStationaryCoefficients) {
  std::mt19937 gen(5);
  std::normal_distribution<double> nd(0.0, 1.5);
  for (int p = 1; p <= 10; ++p) {
    Vec raw(p), phi(p), back(p);
    for (double &v : raw) v = nd(gen);
    artrans(p, raw.data(), phi.data());
    EXPECT_TRUE(p != 1 || phi[0] == std::tanh(raw[0]));
    for (const auto &z : zeros_of(phi, -1.0)) EXPECT_GT(std::abs(z), 1.0) << "p=" << p;
    arinvtrans(p, phi.data(), back.data());
    for (int i = 0; i < p; ++i) EXPECT_NEAR(back[i], raw[i], 1e-9 * std::cosh(raw[i]) * std::cosh(raw[i])) << p;
  }
  Vec raw = {0.3, -1.2, 0.8, 0.5, -0.4}, all(5), back(5), one(5);  // p = 2, q = 1, P = 0, Q = 2
  transall(2, 1, 0, 2, raw.data(), all.data());
  artrans(2, raw.data(), one.data());
  artrans(1, raw.data() + 2, one.data() + 2);
  artrans(2, raw.data() + 3, one.data() + 3);
  EXPECT_EQ(all, one);
  invtransall(2, 1, 0, 2, all.data(), back.data());
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(back[i], raw[i], 1e-14);
}

// arinvtrans divided by 1 - a^2 = 0 or took atanh of |x| >= 1 and returned inf or NaN;
// arma_autocovar solved a singular system or returned a negative variance. Both now stop.
TEST(ArmaDeathTest, NonStationaryCoefficientsAreRejected) {
  Vec unit = {1.0}, outside = {0.5, 0.6}, out(4);
  Vec seasonal = {0.2, 0.3, 1.5};  // p = 1, q = 1, P = 1: the P block is not stationary
  const char *ar = "arinvtrans: the coefficients are not stationary\n";
  const std::pair<std::function<void()>, const char *> cases[] = {
      {[&] { arinvtrans(1, unit.data(), out.data()); }, ar},
      {[&] { arinvtrans(2, outside.data(), out.data()); }, ar},
      {[&] { invtransall(1, 1, 1, 0, seasonal.data(), out.data()); }, ar},
      {[&] { arma_autocovar(unit.data(), nullptr, 1, 0, 1.0, out.data(), 4); },
       "arma_autocovar: the AR part is not stationary\n"}};
  for (const auto &[call, message] : cases)
    EXPECT_EXIT((std::fflush(stdout), dup2(2, 1), call()), ::testing::ExitedWithCode(255),
                std::string("^") + message + "$");
}

TEST(InvertRoot, Examples) {
  struct Case {
    Vec ma;
    int rc;
    Vec after;
  };
  const Case cases[] = {{{2.0}, 1, {0.5}}, {{0.5}, 0, {0.5}}, {{0, 0, 0}, 0, {0, 0, 0}},
                        {{2.0, 0, 0}, 1, {0.5, 0, 0}},        // degree 1 inside a longer vector
                        {{-2.25, 0.5}, 1, {-0.75, 0.125}}};  // (1 - 2x)(1 - x/4) to (1 - x/2)(1 - x/4)
  for (Case c : cases) {
    EXPECT_EQ(invertroot(static_cast<int>(c.ma.size()), c.ma.data()), c.rc) << c.ma[0];
    for (size_t i = 0; i < c.ma.size(); ++i) EXPECT_NEAR(c.ma[i], c.after[i], 1e-15) << c.ma[0];
  }
}

// invertroot printed its intermediate polynomials (reading one value past them) and
// returned 0, "nothing to do", when the zeros could not be found.
TEST(InvertRoot, LeavesEveryZeroOutsideSilentlyAndReportsFailure) {
  std::mt19937 gen(9);
  std::uniform_real_distribution<double> u(-1.5, 1.5);
  int inverted = 0;
  for (int q = 1; q <= 12; ++q) {
    Vec ma(q);
    for (double &v : ma) v = u(gen);
    const auto before = zeros_of(ma, 1.0);
    int rc = 0;
    EXPECT_EQ(tsf_test::CaptureStdout([&] { rc = invertroot(q, ma.data()); }), "");
    bool inside = false;
    for (const auto &z : before) inside = inside || std::norm(z) < 1.0;
    EXPECT_EQ(rc, inside ? 1 : 0) << q;
    std::vector<cplx> expected;
    for (const auto &z : before) expected.push_back(std::norm(z) < 1.0 ? 1.0 / z : z);
    EXPECT_TRUE(SameZeros(zeros_of(ma, 1.0), expected, 1e-10)) << "q=" << q;
    inverted += rc;
  }
  EXPECT_GE(inverted, 8);
  Vec bad = {0.5, NAN};
  EXPECT_EQ(invertroot(2, bad.data()), -1);
  EXPECT_EQ(bad[0], 0.5);
}
