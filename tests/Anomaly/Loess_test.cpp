#include "Anomaly/Loess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace {

using LVec = std::vector<long double>;
using DVec = std::vector<double>;

struct LowessCase {
  double f = 0, delta = 0;
  long nsteps = 0;
  DVec x, y, ys;
};

std::map<std::string, LowessCase> load_lowess_cases() {
  std::map<std::string, LowessCase> cases;
  auto rows = tsf_test::LoadTable(tsf_test::ReferencePath("r-lowess.csv"));
  for (size_t r = 1; r < rows.size(); ++r) {
    const auto &row = rows[r];
    if (row.size() < 8) continue;
    LowessCase &c = cases[row[0]];
    c.f = std::stod(row[1]);
    c.nsteps = std::stol(row[2]);
    c.delta = std::stod(row[3]);
    c.x.push_back(std::stod(row[5]));
    c.y.push_back(std::stod(row[6]));
    c.ys.push_back(std::stod(row[7]));
  }
  return cases;
}

// Local-linear fit at x[i] over all points with tricube weights scaled by the largest
// distance, as a centred weighted least-squares line: a second way to compute one
// Smooth point with the whole series as neighbourhood and no robustness pass.
long double global_tricube_fit(const LVec &x, const LVec &y, size_t i) {
  TsLoess t;
  const long double h = std::max(x.back() - x[i], x[i] - x.front());
  long double sw = 0, sx = 0, sy = 0;
  LVec w(x.size());
  for (size_t j = 0; j < x.size(); ++j) {
    w[j] = t.Tricube(std::fabs(x[j] - x[i]) / h);
    sw += w[j];
    sx += w[j] * x[j];
    sy += w[j] * y[j];
  }
  const long double mx = sx / sw, my = sy / sw;
  long double sxy = 0, sxx = 0;
  for (size_t j = 0; j < x.size(); ++j) {
    sxy += w[j] * (x[j] - mx) * (y[j] - my);
    sxx += w[j] * (x[j] - mx) * (x[j] - mx);
  }
  return my + sxy / sxx * (x[i] - mx);
}

}  // namespace

TEST(Loess, TricubeValues) {
  TsLoess t;
  EXPECT_EQ(t.Tricube(0), 1);
  EXPECT_EQ(t.Tricube(0.5L), 0.669921875L);
  EXPECT_EQ(t.Tricube(-0.5L), 0.669921875L);
  EXPECT_EQ(t.Tricube(1), 0);
  EXPECT_EQ(t.Tricube(-1), 0);
  EXPECT_EQ(t.Tricube(3.5L), 0);
  EXPECT_EQ(t.Tricube(std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(Loess, NextNonZeroSkipsZeroWeights) {
  TsLoess t;
  LVec w{1, 0, 0, 2, 0};
  EXPECT_EQ(t.NextNonZero(w, 0), 3u);
  EXPECT_EQ(t.NextNonZero(w, 1), 3u);
  EXPECT_EQ(t.NextNonZero(w, 3), 5u);
  EXPECT_EQ(t.NextNonZero(w, 4), 5u);
  EXPECT_EQ(t.NextNonZero(w, 9), 10u);
}

TEST(Loess, BandwidthIntervalMovesOneStepWhenCloser) {
  TsLoess t;
  LVec x{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, w(10, 1.0L);
  std::vector<size_t> iv{0, 3};
  t.UpdateBandwidthInterval(x, w, 2, iv);  // x[4] - x[2] = x[2] - x[0]: stays
  EXPECT_EQ(iv, (std::vector<size_t>{0, 3}));
  t.UpdateBandwidthInterval(x, w, 3, iv);
  EXPECT_EQ(iv, (std::vector<size_t>{1, 4}));
  t.UpdateBandwidthInterval(x, w, 9, iv);  // one step only, however far point 9 is
  EXPECT_EQ(iv, (std::vector<size_t>{2, 5}));

  w[1] = w[4] = 0;
  iv = {0, 3};
  t.UpdateBandwidthInterval(x, w, 3, iv);  // zero-weight points never become ends
  EXPECT_EQ(iv, (std::vector<size_t>{2, 5}));

  iv = {6, 9};
  t.UpdateBandwidthInterval(x, w, 9, iv);  // no point beyond the right end
  EXPECT_EQ(iv, (std::vector<size_t>{6, 9}));

  std::vector<size_t> short_iv{0};
  t.UpdateBandwidthInterval(x, w, 3, short_iv);
  EXPECT_EQ(short_iv, (std::vector<size_t>{0}));
  iv = {0, 10};
  t.UpdateBandwidthInterval(x, w, 3, iv);
  EXPECT_EQ(iv, (std::vector<size_t>{0, 10}));
  iv = {0, 3};
  t.UpdateBandwidthInterval(x, w, 10, iv);
  EXPECT_EQ(iv, (std::vector<size_t>{0, 3}));
}

TEST(Loess, SmoothReproducesStraightLine) {
  // Exact residuals 0: the robustness step must stop (a median of 0 would zero every
  // weight and every later fit).
  LVec x, y, w;
  for (int i = 0; i < 60; ++i) {
    x.push_back(i + (i % 3) * 0.25L);
    y.push_back(3 - 2 * x.back());
    w.push_back(1);
  }
  TsLoess t;
  LVec fit = t.Smooth(x, y, w, 0.3L);
  ASSERT_EQ(fit.size(), x.size());
  for (size_t i = 0; i < x.size(); ++i) EXPECT_REL_NEAR(double(fit[i]), double(y[i]), 1e-13);
  EXPECT_EQ(t.span, 0.3L);
}

TEST(Loess, SmoothShortAndMismatchedInputs) {
  TsLoess t;
  LVec one{1}, y1{5}, w1{1};
  EXPECT_EQ(t.Smooth(one, y1, w1, 0.3L), y1);
  LVec two{1, 2}, y2{5, -4}, w2{0, 0};
  EXPECT_EQ(t.Smooth(two, y2, w2, 0.3L), y2);
  EXPECT_EQ(t.span, 0.5L);  // untouched when nothing is fitted
  LVec none;
  EXPECT_TRUE(t.Smooth(none, none, none, 0.5L).empty());
  LVec x{1, 2, 3, 4}, y{1, 2, 3}, w{1, 1, 1, 1};
  EXPECT_TRUE(t.Smooth(x, y, w, 0.5L).empty());
  EXPECT_TRUE(t.Smooth(x, w, y, 0.5L).empty());
}

TEST(Loess, SmoothAllEqualAbscissae) {
  LVec x(4, 2.0L), y{1, 2, 3, 6}, w(4, 1.0L);
  TsLoess t;
  t.iterations = 0;
  EXPECT_EQ(t.Smooth(x, y, w, 0.5L), LVec(4, 1.5L));  // mean of the neighbourhood {0, 1}
  EXPECT_EQ(t.Smooth(x, y, w, 1.0L), LVec(4, 3.0L));  // the mean of all y
  // One robustness pass: residuals {2, 1, 0, 3}, median (upper middle) 2, bisquare
  // weights at 6 * 2.
  t.iterations = 1;
  long double sw = 0, swy = 0;
  for (size_t j = 0; j < 4; ++j) {
    const long double u = std::fabs(y[j] - 3) / 12;
    const long double r = (1 - u * u) * (1 - u * u);
    sw += r;
    swy += r * y[j];
  }
  LVec fit = t.Smooth(x, y, w, 1.0L);
  for (long double v : fit) EXPECT_REL_NEAR(double(v), double(swy / sw), 1e-15);
}

TEST(Loess, SmoothMatchesCentredWeightedLine) {
  LVec x, y, w;
  for (int i = 0; i < 41; ++i) {
    x.push_back(i * i / 40.0L);
    y.push_back(std::sin(x.back()) + 0.1L * x.back());
    w.push_back(1);
  }
  TsLoess t;
  t.iterations = 0;
  LVec fit = t.Smooth(x, y, w, 1.0L);
  for (size_t i = 0; i < x.size(); ++i)
    EXPECT_REL_NEAR(double(fit[i]), double(global_tricube_fit(x, y, i)), 1e-12);
}

TEST(Loess, SmoothZeroPriorWeights) {
  LVec x, y, w;
  for (int i = 0; i < 30; ++i) {
    x.push_back(i);
    const bool dropped = (i % 4 == 1);
    y.push_back(dropped ? 1000 : 0.5L * i + 2);
    w.push_back(dropped ? 0 : 1);
  }
  TsLoess t;
  LVec fit = t.Smooth(x, y, w, 0.4L);
  for (size_t i = 0; i < x.size(); ++i) EXPECT_REL_NEAR(double(fit[i]), 0.5 * i + 2, 1e-12);

  LVec zero(30, 0.0L);
  EXPECT_EQ(t.Smooth(x, y, zero, 0.4L), zero);  // no weight anywhere: fitted value 0
}

TEST(Loess, SmoothRobustnessDownweightsSpike) {
  LVec x, y, w;
  for (int i = 0; i < 50; ++i) {
    x.push_back(i);
    y.push_back(0.2L * i + 0.3L * std::sin(1.7L * i) + (i == 20 ? 25 : 0));
    w.push_back(1);
  }
  TsLoess plain;
  plain.iterations = 0;
  TsLoess robust;
  const long double line = 0.2L * 20;
  const long double err_plain = std::fabs(plain.Smooth(x, y, w, 0.3L)[20] - line);
  const long double err_robust = std::fabs(robust.Smooth(x, y, w, 0.3L)[20] - line);
  EXPECT_GT(err_plain, 2);
  EXPECT_LT(err_robust, 0.5);
}

TEST(Loess, SmoothSpanOutsideUnitInterval) {
  LVec x, y, w(25, 1.0L);
  for (int i = 0; i < 25; ++i) {
    x.push_back(i);
    y.push_back(std::cos(0.7L * i));
  }
  TsLoess t;
  // span * n below 1: a one-point neighbourhood that fits each point itself.
  for (long double s : {0.0L, -2.0L, 0.01L, std::numeric_limits<long double>::quiet_NaN()}) {
    EXPECT_EQ(t.Smooth(x, y, w, s), y);
  }
  EXPECT_EQ(t.Smooth(x, y, w, 7.0L), t.Smooth(x, y, w, 1.0L));
  EXPECT_EQ(t.Smooth(x, y, w, std::numeric_limits<long double>::infinity()),
            t.Smooth(x, y, w, 1.0L));
}

TEST(Loess, LowessMatchesR) {
  auto cases = load_lowess_cases();
  ASSERT_EQ(cases.size(), 5u);
  TsLoess t;
  for (const auto &[name, c] : cases) {
    SCOPED_TRACE(name);
    DVec ys, rw, res;
    t.Lowess(c.x, c.y, c.f, c.nsteps, c.delta, ys, rw, res);
    ASSERT_EQ(ys.size(), c.ys.size());
    for (size_t i = 0; i < ys.size(); ++i) {
      EXPECT_REL_NEAR(ys[i], c.ys[i], 1e-9);
      EXPECT_EQ(res[i], c.y[i] - ys[i]);
    }
    if (c.delta == 0) {
      DVec short_ys;
      t.Lowess(c.x, c.y, c.f, c.nsteps, short_ys);
      EXPECT_EQ(short_ys, ys);
    }
  }
}

TEST(Loess, LowessStraightLineAndTies) {
  DVec x{0, 1, 1, 2, 3, 3, 3, 4, 5, 6, 7, 7, 8, 9, 10}, y;
  for (double v : x) y.push_back(1.5 * v - 4);
  TsLoess t;
  DVec ys, rw, res;
  t.Lowess(x, y, 0.5, 3, 0.0, ys, rw, res);
  for (size_t i = 0; i < x.size(); ++i) EXPECT_REL_NEAR(ys[i], y[i], 1e-12);

  DVec noisy = y;
  for (size_t i = 0; i < noisy.size(); ++i) noisy[i] += std::sin(3.0 * i);
  t.Lowess(x, noisy, 0.4, 2, 0.0, ys, rw, res);
  EXPECT_EQ(ys[1], ys[2]);  // tied abscissae share the fit
  EXPECT_EQ(ys[4], ys[5]);
  EXPECT_EQ(ys[4], ys[6]);
  EXPECT_EQ(ys[10], ys[11]);
}

TEST(Loess, LowessInterpolatesWithinDelta) {
  DVec x, y;
  for (int i = 0; i < 40; ++i) {
    x.push_back(i);
    y.push_back(std::sin(0.3 * i) * 5 + 0.1 * i * i);
  }
  TsLoess t;
  DVec exact, ys, rw, res;
  t.Lowess(x, y, 0.3, 0, 0.0, exact, rw, res);
  t.Lowess(x, y, 0.3, 0, 3.5, ys, rw, res);
  // Fitted points 0, 3, 6, ...: the two are equal there, the others lie on chords.
  for (size_t i = 0; i < x.size(); i += 3) EXPECT_EQ(ys[i], exact[i]);
  EXPECT_EQ(ys[39], exact[39]);
  for (size_t i = 1; i + 2 < x.size(); i += 3) {
    const size_t a = i - 1, b = i + 2;
    EXPECT_REL_NEAR(ys[i], exact[a] + (exact[b] - exact[a]) / 3, 1e-12);
  }
}

TEST(Loess, LowessRobustnessWeightsFromMedianResidual) {
  DVec x, y;
  for (int i = 0; i < 31; ++i) {
    x.push_back(i);
    y.push_back(std::cos(0.4 * i) + (i == 12 ? 8 : 0));
  }
  TsLoess t;
  DVec ys0, rw0, res0, ys1, rw1, res1;
  t.Lowess(x, y, 0.5, 0, 0.0, ys0, rw0, res0);
  t.Lowess(x, y, 0.5, 1, 0.0, ys1, rw1, res1);
  DVec a(res0.size());
  for (size_t i = 0; i < a.size(); ++i) a[i] = std::fabs(res0[i]);
  std::sort(a.begin(), a.end());
  const double cmad = 6 * a[a.size() / 2];
  for (size_t i = 0; i < a.size(); ++i) {
    const double r = std::fabs(res0[i]);
    const double u = r / cmad;
    const double want = r <= 0.001 * cmad ? 1 : r <= 0.999 * cmad ? (1 - u * u) * (1 - u * u) : 0;
    EXPECT_REL_NEAR(rw1[i], want, 1e-15);
  }
  EXPECT_EQ(rw1[12], 0);  // the spike
}

TEST(Loess, LowessDegenerateArguments) {
  TsLoess t;
  DVec x{1, 2, 3}, y{4, 5}, ys{7, 7}, rw, res;
  t.Lowess(x, y, 0.5, 2, 0.0, ys, rw, res);
  EXPECT_EQ(ys, (DVec{7, 7}));
  EXPECT_TRUE(rw.empty() && res.empty());
  DVec none;
  t.Lowess(none, none, 0.5, 2, 0.0, ys, rw, res);
  EXPECT_EQ(ys, (DVec{7, 7}));
  t.Lowess(DVec{2}, DVec{9}, 0.5, 2, 0.0, ys, rw, res);
  EXPECT_EQ(ys, (DVec{9}));
  EXPECT_EQ(rw.size(), 1u);
  EXPECT_EQ(res.size(), 1u);

  // nsteps = 0 only resizes rw.
  DVec xs, yv;
  for (int i = 0; i < 20; ++i) {
    xs.push_back(i);
    yv.push_back(std::sin(double(i)));
  }
  DVec ysa, rwa(20, 9.0), resa, ysb, rwb, resb;
  t.Lowess(xs, yv, 0.5, 0, 0.0, ysa, rwa, resa);
  EXPECT_EQ(rwa, DVec(20, 9.0));
  t.Lowess(xs, yv, 0.5, -3, 0.0, ysb, rwb, resb);  // negative nsteps counts as 0
  EXPECT_EQ(ysb, ysa);

  // floor(n f) is clamped to [2, n] before it becomes an integer.
  DVec full, big, tiny, two;
  t.Lowess(xs, yv, 1.0, 1, full);
  t.Lowess(xs, yv, 1e300, 1, big);
  EXPECT_EQ(big, full);
  t.Lowess(xs, yv, 0.1, 1, two);
  for (double f : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), -1e300}) {
    t.Lowess(xs, yv, f, 1, tiny);
    EXPECT_EQ(tiny, two);
  }
}

TEST(Loess, LowestSinglePointFit) {
  TsLoess t;
  DVec x{0, 1, 2, 3, 4}, y{2, 2, 2, 2, 2}, w(5), rw(5, 1.0);
  double ys = -1;
  bool ok = false;
  t.Lowest(x, y, 2.0, ys, 0, 4, w, false, rw, ok);
  EXPECT_TRUE(ok);
  EXPECT_REL_NEAR(ys, 2.0, 1e-15);

  DVec line{1, 3, 5, 7, 9};
  t.Lowest(x, line, 1.5, ys, 0, 3, w, false, rw, ok);
  EXPECT_TRUE(ok);
  EXPECT_REL_NEAR(ys, 4.0, 1e-14);

  // Zero total weight, and arguments outside the vectors: ok = false, ys untouched.
  DVec zero(5, 0.0);
  ys = -1;
  t.Lowest(x, y, 2.0, ys, 0, 4, w, true, zero, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ys, -1);
  DVec short_w(3);
  const long bad[][2] = {{-1, 2}, {3, 2}, {0, 5}};
  for (const auto &b : bad) {
    ok = true;
    t.Lowest(x, y, 2.0, ys, b[0], b[1], w, false, rw, ok);
    EXPECT_FALSE(ok);
  }
  ok = true;
  t.Lowest(x, y, 2.0, ys, 0, 4, short_w, false, rw, ok);
  EXPECT_FALSE(ok);
  ok = true;
  t.Lowest(x, y, 2.0, ys, 0, 4, w, true, short_w, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ys, -1);
}
