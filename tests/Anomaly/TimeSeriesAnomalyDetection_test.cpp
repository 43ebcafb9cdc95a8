#include "Anomaly/TimeSeriesAnomalyDetection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "support/test_util.h"

namespace {

using Vec = TsDataVec<long double>;
using Values = std::vector<long double>;

Vec make(Values v) { return Vec(std::move(v)); }

Vec iota_vec(size_t n) {
  Vec v;
  for (size_t i = 0; i < n; ++i) v.Append(static_cast<long double>(i));
  return v;
}

// 1, 2, ..., 9 followed by last.
Vec one_to_nine_then(long double last) {
  Vec v = iota_vec(10);
  for (size_t i = 0; i < 9; ++i) v[i] += 1;
  v[9] = last;
  return v;
}

TsTimeSeriesAnomalyDetection quartile_detector(size_t n) {
  TsTimeSeriesAnomalyDetection d(iota_vec(n));
  d.SetLowerQuantile(0.25);
  d.SetUpperQuantile(0.75);
  d.SetLagDiffTimes(1.5);
  return d;
}

// A trend with a small wiggle and one spike of +20 at position 50.
Vec trend_with_spike(size_t n) {
  Vec v;
  for (size_t i = 0; i < n; ++i)
    v.Append(0.5L * i + 0.1L * std::sin(1.3L * i) + (i == 50 ? 20 : 0));
  return v;
}

// Type-7 quantile from a sorted copy, x[j] + (h - j)(x[j+1] - x[j]).
double type7(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const double h = (v.size() - 1) * p;
  const size_t j = static_cast<size_t>(std::floor(h));
  if (j + 1 >= v.size()) return v.back();
  return v[j] + (h - j) * (v[j + 1] - v[j]);
}

}  // namespace

TEST(TimeSeriesAnomalyDetection, SeriesQuantileExamples) {
  TsTimeSeriesAnomalyDetection d(Vec{});
  Vec v = make({5, 3, 1, 4, 2});
  EXPECT_EQ(d.SeriesQuantile(v, 0.5), 3);
  EXPECT_REL_NEAR(double(d.SeriesQuantile(v, 0.1)), 1.4, 1e-15);
  EXPECT_EQ(d.SeriesQuantile(v, 1), 5);
  EXPECT_EQ(d.SeriesQuantile(v, 0), 1);
  EXPECT_EQ(v.Data(), (Values{5, 3, 1, 4, 2}));  // v is not reordered
  EXPECT_EQ(d.SeriesQuantile(Vec(), 0.3), 0);
  for (double p : {0.0, 0.2, 1.0, -4.0, 7.0}) EXPECT_EQ(d.SeriesQuantile(make({-8}), p), -8);
}

TEST(TimeSeriesAnomalyDetection, SeriesQuantileOutsideUnitInterval) {
  TsTimeSeriesAnomalyDetection d(Vec{});
  Vec v = make({5, 3, 1, 4, 2});
  EXPECT_EQ(d.SeriesQuantile(v, -0.5), 1);
  EXPECT_EQ(d.SeriesQuantile(v, 1.5), 5);
  EXPECT_EQ(d.SeriesQuantile(v, std::numeric_limits<double>::infinity()), 5);
  EXPECT_TRUE(std::isnan(d.SeriesQuantile(v, std::numeric_limits<double>::quiet_NaN())));
  // An exact position does not touch the next value, even an infinite one.
  const long double inf = std::numeric_limits<long double>::infinity();
  EXPECT_EQ(d.SeriesQuantile(make({1, 2, inf}), 0.5), 2);
}

TEST(TimeSeriesAnomalyDetection, SeriesQuantileMatchesType7) {
  TsTimeSeriesAnomalyDetection d(Vec{});
  std::mt19937_64 gen(2024);
  std::normal_distribution<double> normal(3, 10);
  std::uniform_real_distribution<double> unit(0, 1);
  for (size_t n : {2u, 3u, 7u, 10u, 64u, 101u, 1000u}) {
    std::vector<double> raw(n);
    for (auto &x : raw) x = normal(gen);
    if (n > 5) raw[1] = raw[4];  // ties
    Vec v;
    for (double x : raw) v.Append(x);
    for (int k = 0; k < 25; ++k) {
      const double p = (k == 0) ? 0.0 : (k == 1) ? 1.0 : unit(gen);
      EXPECT_REL_NEAR(double(d.SeriesQuantile(v, p)), type7(raw, p), 1e-13);
    }
  }
}

TEST(TimeSeriesAnomalyDetection, QuantileFence) {
  TsTimeSeriesAnomalyDetection d = quartile_detector(10);
  // qlow 3.25, qhigh 7.75, R 4.5, fence 14.5.
  EXPECT_EQ(d.Detect(one_to_nine_then(100)).Data(), (Values{9}));
  EXPECT_TRUE(d.Detect(one_to_nine_then(14.5L)).Empty());  // on the fence
  EXPECT_EQ(d.Detect(one_to_nine_then(14.501L)).Data(), (Values{9}));

  // {-100, 1, ..., 9}: qlow 2.25, qhigh 6.75, fence 13.5; low values are never reported.
  Vec low = iota_vec(10);
  low[0] = -100;
  EXPECT_EQ(d.SeriesQuantile(low, 0.25), 2.25L);
  EXPECT_EQ(d.SeriesQuantile(low, 0.75), 6.75L);
  EXPECT_TRUE(d.Detect(low).Empty());
}

TEST(TimeSeriesAnomalyDetection, DefaultQuantilesIncludeTheSpike) {
  TsTimeSeriesAnomalyDetection d(iota_vec(10));
  Vec data = one_to_nine_then(100);
  EXPECT_REL_NEAR(double(d.SeriesQuantile(data, 0.99)), 91.81, 1e-14);
  EXPECT_TRUE(d.Detect(data).Empty());
}

TEST(TimeSeriesAnomalyDetection, ZeroRangeAndEmptySeries) {
  TsTimeSeriesAnomalyDetection d = quartile_detector(8);
  EXPECT_TRUE(d.Detect(make(Values(8, 4.0L))).Empty());
  EXPECT_TRUE(d.Detect(make({1, 1, 1, 1, 1, 1, 1, 50})).Empty());  // R = 0 despite the 50
  EXPECT_TRUE(d.Detect(Vec()).Empty());
  d.SetLowerQuantile(0.9);  // qlow above qhigh: R < 0
  EXPECT_TRUE(d.Detect(one_to_nine_then(100)).Empty());
}

TEST(TimeSeriesAnomalyDetection, ProbabilitiesOutsideUnitInterval) {
  TsTimeSeriesAnomalyDetection d(iota_vec(10));
  d.SetLowerQuantile(-1);   // as 0: qlow = 1
  d.SetUpperQuantile(0.5);  // qhigh 5.5, R 4.5, fence 10
  d.SetLagDiffTimes(1);
  EXPECT_EQ(d.Detect(one_to_nine_then(100)).Data(), (Values{9}));
  d.SetUpperQuantile(3);  // as 1: nothing lies above the maximum
  EXPECT_TRUE(d.Detect(one_to_nine_then(100)).Empty());
  d.SetUpperQuantile(std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(d.Detect(one_to_nine_then(100)).Empty());
}

TEST(TimeSeriesAnomalyDetection, IndexValuesReplacePositions) {
  TsTimeSeriesAnomalyDetection d = quartile_detector(10);
  Vec idx = iota_vec(10);
  for (size_t i = 0; i < 10; ++i) idx[i] += 1000;
  d.GetIndex() = idx;
  EXPECT_EQ(d.Detect(one_to_nine_then(100)).Data(), (Values{1009}));
  d.GetIndex() = iota_vec(9);
  EXPECT_EQ(d.Detect(one_to_nine_then(100)).Data(), (Values{9}));
}

TEST(TimeSeriesAnomalyDetection, RunsThroughBaseDetect) {
  TsTimeSeriesAnomalyDetection d(iota_vec(10));
  TsAnomalyDetection &base = d;
  // The interquartile test would report position 9; this detector's defaults do not.
  EXPECT_TRUE(base.Detect(one_to_nine_then(100)).Empty());
  TsAnomalyDetection plain;
  EXPECT_EQ(plain.Detect(one_to_nine_then(100)).Data(), (Values{9}));

  TsTimeSeriesAnomalyDetection q = quartile_detector(10);
  Vec data = one_to_nine_then(100);
  EXPECT_EQ(q.Detect(std::move(data)).Data(), (Values{9}));
  EXPECT_TRUE(data.Empty());
  EXPECT_EQ(q.FindAnomaly().Data(), (Values{9}));  // each run starts from an empty result
  EXPECT_EQ(q.FindAnomaly().Data(), (Values{9}));
}

TEST(TimeSeriesAnomalyDetection, SmoothingRemovesTrend) {
  const size_t n = 100;
  TsTimeSeriesAnomalyDetection d(iota_vec(n));
  d.SetSmooth(true);
  d.SetWeights(make(Values(n, 1.0L)));
  Vec linear;
  for (size_t i = 0; i < n; ++i) linear.Append(3 + 0.25L * i);
  EXPECT_TRUE(d.Detect(linear).Empty());
  EXPECT_EQ(d.Detect(trend_with_spike(n)).Data(), (Values{50}));
  d.SetSmooth(false);  // on the raw series the trend dominates the quantile range
  EXPECT_TRUE(d.Detect(trend_with_spike(n)).Empty());
}

TEST(TimeSeriesAnomalyDetection, SmoothingNeedsMatchingLengths) {
  const size_t n = 100;
  TsTimeSeriesAnomalyDetection d(iota_vec(n));
  d.SetSmooth(true);
  EXPECT_TRUE(d.Detect(trend_with_spike(n)).Empty());  // no weights
  d.SetWeights(make(Values(n - 1, 1.0L)));
  EXPECT_TRUE(d.Detect(trend_with_spike(n)).Empty());
  d.SetWeights(make(Values(n, 1.0L)));
  d.SetTimeReference(iota_vec(n + 1));
  EXPECT_TRUE(d.Detect(trend_with_spike(n)).Empty());
  d.SetTimeReference(iota_vec(n));
  EXPECT_EQ(d.Detect(trend_with_spike(n)).Data(), (Values{50}));
  EXPECT_TRUE(d.Detect(Vec()).Empty());  // lengths of an empty run do not match either
}

TEST(TimeSeriesAnomalyDetection, ConstructorsAndSettersCopyOrMove) {
  const size_t n = 100;
  Vec time = iota_vec(n), data = trend_with_spike(n), weights = make(Values(n, 1.0L));
  auto check = [&](TsTimeSeriesAnomalyDetection &d, bool has_data) {
    d.SetSmooth(true);
    d.SetWeights(weights);
    EXPECT_EQ(d.GetData().Size(), has_data ? n : 0u);
    EXPECT_TRUE(d.GetIndex().Empty());
    EXPECT_TRUE(d.GetResult().Empty());
    if (has_data) {
      EXPECT_EQ(d.FindAnomaly().Data(), (Values{50}));
    }
    EXPECT_EQ(d.Detect(trend_with_spike(n)).Data(), (Values{50}));
  };
  {
    TsTimeSeriesAnomalyDetection d(time);
    check(d, false);
    Vec t = time;
    TsTimeSeriesAnomalyDetection m(std::move(t));
    EXPECT_TRUE(t.Empty());
    check(m, false);
  }
  {
    TsTimeSeriesAnomalyDetection cc(data, time);
    check(cc, true);
    Vec t = time;
    TsTimeSeriesAnomalyDetection cm(data, std::move(t));
    EXPECT_TRUE(t.Empty());
    check(cm, true);
    Vec x = data;
    TsTimeSeriesAnomalyDetection mc(std::move(x), time);
    EXPECT_TRUE(x.Empty());
    check(mc, true);
    Vec x2 = data, t2 = time;
    TsTimeSeriesAnomalyDetection mm(std::move(x2), std::move(t2));
    EXPECT_TRUE(x2.Empty() && t2.Empty());
    check(mm, true);
  }
  EXPECT_EQ(time.Size(), n);
  EXPECT_EQ(data.Size(), n);

  TsTimeSeriesAnomalyDetection d(Vec{});
  d.SetSmooth(true);
  Vec w = weights, t = time;
  d.SetWeights(std::move(w));
  d.SetTimeReference(std::move(t));
  EXPECT_TRUE(w.Empty() && t.Empty());
  EXPECT_EQ(d.Detect(data).Data(), (Values{50}));
  d.SetTimeReference(time);
  EXPECT_EQ(time.Size(), n);
  EXPECT_EQ(d.Detect(data).Data(), (Values{50}));
}

TEST(TimeSeriesAnomalyDetection, NileWithAndWithoutTrend) {
  // The Nile flows have no point far above the 0.99 quantile; a drop added to a copy is
  // below the fence too, while a surge is found with smoothing on and off.
  std::vector<double> nile = tsf_test::LoadSeries("nile.csv");
  ASSERT_EQ(nile.size(), 100u);
  Vec data;
  for (double v : nile) data.Append(v);
  TsTimeSeriesAnomalyDetection d(iota_vec(100));
  d.SetWeights(make(Values(100, 1.0L)));
  d.SetLowerQuantile(0.25);
  d.SetUpperQuantile(0.75);
  d.SetLagDiffTimes(3);
  EXPECT_TRUE(d.Detect(data).Empty());
  d.SetSmooth(true);
  EXPECT_TRUE(d.Detect(data).Empty());
  data[70] += 2500;
  EXPECT_EQ(d.Detect(data).Data(), (Values{70}));
  d.SetSmooth(false);
  EXPECT_EQ(d.Detect(data).Data(), (Values{70}));
}
