#include "Anomaly/AnomalyDetection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace {

using Vec = TsDataVec<long double>;
using Values = std::vector<long double>;

Vec make(Values v) { return Vec(std::move(v)); }

Values quartiles_of(Values data) {
  TsAnomalyDetection d(make(std::move(data)));
  Vec q;
  d.Quartiles(q);
  return q.Data();
}

}  // namespace

TEST(AnomalyDetection, QuartilesAreOrderStatistics) {
  EXPECT_EQ(quartiles_of({10, 1, 2, 3, 4}), (Values{2, 3, 4}));
  EXPECT_EQ(quartiles_of({8, 7, 6, 5, 4, 3, 2, 1}), (Values{3, 4.5, 7}));
  EXPECT_EQ(quartiles_of({42}), (Values{42, 42, 42}));
  EXPECT_EQ(quartiles_of({2, 1}), (Values{1, 1.5, 2}));
  EXPECT_EQ(quartiles_of({3, 1, 2}), (Values{1, 2, 3}));

  TsAnomalyDetection d(make({10, 1, 2, 3, 4}));
  Vec q = make({9, 9, 9, 9, 9});
  d.Quartiles(q);
  EXPECT_EQ(q.Size(), 3u);
  EXPECT_EQ(d.IQR(q), 2);
  EXPECT_EQ(d.GetData().Data(), (Values{10, 1, 2, 3, 4}));  // data keeps its order
}

TEST(AnomalyDetection, EmptyDataHasNoQuartilesAndNoAnomalies) {
  TsAnomalyDetection d;
  Vec q;
  d.Quartiles(q);
  ASSERT_EQ(q.Size(), 3u);
  EXPECT_TRUE(std::isnan(q[0]) && std::isnan(q[1]) && std::isnan(q[2]));
  EXPECT_TRUE(d.Detect(Vec()).Empty());
  EXPECT_EQ(d.Outliers(1.5, 1.5), 0u);
  EXPECT_TRUE(std::isnan(d.IQR(make({1, 2}))));  // too short to be quartiles
}

TEST(AnomalyDetection, FencesAtOneAndAHalfIqr) {
  TsAnomalyDetection d;
  EXPECT_EQ(d.Detect(make({10, 1, 2, 3, 4})).Data(), (Values{0}));
  EXPECT_TRUE(d.Detect(make({1, 2, 3, 4, 5, 6, 7, 8})).Empty());
  // Fences -1 and 7: values exactly on them are not outliers.
  EXPECT_TRUE(d.Detect(make({1, 2, 3, 4, 7})).Empty());
  EXPECT_TRUE(d.Detect(make({-1, 2, 3, 4, 5})).Empty());
  EXPECT_EQ(d.Detect(make({1, 2, 3, 4, 7.000001L})).Data(), (Values{4}));
  EXPECT_EQ(d.Detect(make({-1.000001L, 2, 3, 4, 5})).Data(), (Values{0}));
}

TEST(AnomalyDetection, ConstantSeriesHasZeroIqr) {
  TsAnomalyDetection d;
  EXPECT_TRUE(d.Detect(make(Values(9, 5.0L))).Empty());
  EXPECT_EQ(d.Detect(make({5, 5, 5, 5, 5, 5, 5, 9})).Data(), (Values{7}));
  EXPECT_EQ(d.Detect(make({5, 5, 4, 5, 5, 5, 5, 5})).Data(), (Values{2}));
}

TEST(AnomalyDetection, IndexValuesReplacePositions) {
  TsAnomalyDetection d;
  d.GetIndex() = make({100, 101, 102, 103, 104});
  EXPECT_EQ(d.Detect(make({10, 1, 2, 3, 4})).Data(), (Values{100}));
  EXPECT_EQ(d.Detect(make({1, 2, 3, 4, 20})).Data(), (Values{104}));
  EXPECT_EQ(d.GetIndex().Size(), 5u);  // the index survives every run
  d.GetIndex() = make({100, 101, 102, 103});
  EXPECT_EQ(d.Detect(make({10, 1, 2, 3, 4})).Data(), (Values{0}));
}

TEST(AnomalyDetection, OutlierFactorsSwitchSidesOff) {
  // Sorted {-50, 1, ..., 7, 50}: quartiles 2 and 6, IQR 4, fences -4 and 12.
  TsAnomalyDetection d(make({-50, 1, 2, 3, 4, 5, 6, 7, 50}));
  EXPECT_EQ(d.Outliers(0, 1.5), 1u);
  EXPECT_EQ(d.GetResult().Data(), (Values{8}));
  EXPECT_EQ(d.Outliers(1.5, -1), 2u);  // appended, not replaced
  EXPECT_EQ(d.GetResult().Data(), (Values{8, 0}));
  EXPECT_EQ(d.Outliers(0, 0), 2u);
  d.GetResult().Clear();
  EXPECT_EQ(d.Outliers(1.5, 1.5), 2u);
  EXPECT_EQ(d.GetResult().Data(), (Values{0, 8}));
  d.GetResult().Clear();
  EXPECT_EQ(d.Outliers(15, 15), 0u);  // fences -58 and 66
}

TEST(AnomalyDetection, RepeatedRuns) {
  TsAnomalyDetection d(make({10, 1, 2, 3, 4}));
  EXPECT_EQ(d.FindAnomaly().Data(), (Values{0}));
  EXPECT_EQ(d.FindAnomaly().Data(), (Values{0, 0}));  // direct calls append
  Vec data = make({10, 1, 2, 3, 4});
  EXPECT_EQ(d.Detect(data).Data(), (Values{0}));
  EXPECT_EQ(d.Detect(data).Data(), (Values{0}));
  EXPECT_EQ(&d.Detect(data), &d.GetResult());
}

TEST(AnomalyDetection, RepeatedFindAnomalyTranslatesOnlyNewPositions) {
  // The first call's result already holds index values; translating them again would read
  // index[100].
  TsAnomalyDetection d(make({10, 1, 2, 3, 4}));
  d.GetIndex() = make({100, 101, 102, 103, 104});
  EXPECT_EQ(d.FindAnomaly().Data(), (Values{100}));
  EXPECT_EQ(d.FindAnomaly().Data(), (Values{100, 100}));
}

TEST(AnomalyDetection, ConstructorsAndDetectCopyOrMove) {
  Vec data = make({10, 1, 2, 3, 4});
  TsAnomalyDetection copied(data);
  EXPECT_EQ(data.Size(), 5u);
  EXPECT_EQ(copied.GetData().Data(), data.Data());
  EXPECT_TRUE(copied.GetIndex().Empty());
  EXPECT_TRUE(copied.GetResult().Empty());

  TsAnomalyDetection moved(std::move(data));
  EXPECT_TRUE(data.Empty());
  EXPECT_EQ(moved.GetData().Size(), 5u);

  Vec again = make({1, 2, 3, 4, 20});
  EXPECT_EQ(moved.Detect(std::move(again)).Data(), (Values{4}));
  EXPECT_TRUE(again.Empty());
  EXPECT_EQ(moved.GetData().Data(), (Values{1, 2, 3, 4, 20}));
  EXPECT_EQ(moved.Detect(make({10, 1, 2, 3, 4})).Data(), (Values{0}));  // a temporary
}

TEST(AnomalyDetection, NanDataStaysInBoundsAndIsNeverAnOutlier) {
  std::mt19937_64 gen(7);
  std::normal_distribution<double> normal;
  Values v(2000);
  for (auto &x : v) x = normal(gen);
  for (size_t i = 0; i < v.size(); i += 10) v[i] = std::numeric_limits<long double>::quiet_NaN();
  v[1] = 1000;
  TsAnomalyDetection d;
  const Values r = d.Detect(make(v)).Data();
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.front(), 1);
  for (long double p : r) EXPECT_FALSE(std::isnan(v[static_cast<size_t>(p)]));
}
