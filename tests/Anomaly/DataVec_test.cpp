#include "Anomaly/DataVec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

using Vec = TsDataVec<long double>;

Vec make(std::vector<long double> v) { return Vec(std::move(v)); }

std::vector<long double> values(const Vec &v) { return v.Data(); }

}  // namespace

TEST(DataVec, SumAndDifferenceOfEqualLengths) {
  EXPECT_TRUE((Vec() + Vec()).Empty());
  EXPECT_TRUE((Vec() - Vec()).Empty());
  Vec a = make({5, 7}), b = make({2, 10});
  EXPECT_EQ(values(a - b), (std::vector<long double>{3, -3}));
  EXPECT_EQ(values(b - a), (std::vector<long double>{-3, 3}));
  EXPECT_EQ(values(a + b), (std::vector<long double>{7, 17}));
  EXPECT_EQ(values(a), (std::vector<long double>{5, 7}));  // operands untouched
}

TEST(DataVec, OpUsKeepsTailOfFirstOperand) {
  Vec a = make({1, 2, 3}), b = make({10});
  EXPECT_EQ(values(OpUs(a, b, Vec::Multiply)), (std::vector<long double>{10, 2, 3}));
  EXPECT_EQ(values(OpUs(a, b, Vec::Subtract)), (std::vector<long double>{-9, 2, 3}));
  EXPECT_EQ(values(OpUs(a, b, Vec::Add)), (std::vector<long double>{11, 2, 3}));
  EXPECT_EQ(values(OpUs(a, make({4, 8}), Vec::Divide)), (std::vector<long double>{0.25, 0.25, 3}));
  // Any other operation value adds.
  EXPECT_EQ(values(OpUs(a, b, static_cast<Vec::Operation>(7))),
            (std::vector<long double>{11, 2, 3}));
  EXPECT_EQ(values(OpUs(a, b, static_cast<Vec::Operation>(-1))),
            (std::vector<long double>{11, 2, 3}));
}

TEST(DataVec, OpUsDivisionByZeroIsIeee) {
  Vec r = OpUs(make({1, -1, 0}), make({0, 0, 0}), Vec::Divide);
  EXPECT_TRUE(std::isinf(r[0]) && r[0] > 0);
  EXPECT_TRUE(std::isinf(r[1]) && r[1] < 0);
  EXPECT_TRUE(std::isnan(r[2]));
}

TEST(DataVec, OpUsIgnoresElementsBeyondFirstOperand) {
  Vec r = OpUs(make({1, 2}), make({1, 1, 1, 1}), Vec::Subtract);
  EXPECT_EQ(values(r), (std::vector<long double>{0, 1}));
  EXPECT_TRUE(OpUs(Vec(), make({1, 2}), Vec::Add).Empty());
}

TEST(DataVec, OperatorsOnDifferentLengthsPadWithZero) {
  Vec longer = make({1, 2, 3}), shorter = make({1});
  EXPECT_EQ(values(longer - shorter), (std::vector<long double>{0, 2, 3}));
  EXPECT_EQ(values(shorter - longer), (std::vector<long double>{0, -2, -3}));
  EXPECT_EQ(values(longer + shorter), (std::vector<long double>{2, 2, 3}));
  EXPECT_EQ(values(shorter + longer), (std::vector<long double>{2, 2, 3}));
  EXPECT_EQ(values(Vec() - longer), (std::vector<long double>{-1, -2, -3}));
}

TEST(DataVec, ResizeAppendClear) {
  Vec v;
  EXPECT_TRUE(v.Empty());
  EXPECT_EQ(v.Size(), 0u);
  v.Append(1.5L);
  const long double two = 2;
  v.Append(two);
  v.Resize(4);
  EXPECT_EQ(values(v), (std::vector<long double>{1.5, 2, 0, 0}));
  v.Resize(1);
  EXPECT_EQ(values(v), (std::vector<long double>{1.5}));
  v.Resize(0);
  EXPECT_TRUE(v.Empty());
  v.Append(3.0L);
  v.Clear();
  EXPECT_TRUE(v.Empty());
  EXPECT_EQ(v.Size(), 0u);
}

TEST(DataVec, ElementAccessIteratorsAndData) {
  Vec v = make({3, 1, 2});
  std::sort(v.begin(), v.end());
  EXPECT_EQ(values(v), (std::vector<long double>{1, 2, 3}));
  v[1] = 7;
  const Vec &c = v;
  EXPECT_EQ(c[1], 7);
  EXPECT_EQ(&v.Data(), &c.Data());
  v.Data().push_back(9);
  EXPECT_EQ(v.Size(), 4u);
  EXPECT_EQ(c[3], 9);
  EXPECT_EQ(v.end() - v.begin(), 4);
}

TEST(DataVec, CopyAndMoveSemantics) {
  std::vector<long double> raw{1, 2, 3};
  const long double *storage = raw.data();
  Vec a(std::move(raw));
  EXPECT_TRUE(raw.empty());
  EXPECT_EQ(a.Data().data(), storage);  // storage taken over, no element copy

  Vec copy(a);
  copy[0] = 10;
  EXPECT_EQ(a[0], 1);  // copies are independent

  Vec moved(std::move(a));
  EXPECT_TRUE(a.Empty());
  EXPECT_EQ(moved.Data().data(), storage);

  Vec assigned;
  assigned = moved;
  EXPECT_EQ(values(assigned), (std::vector<long double>{1, 2, 3}));
  EXPECT_EQ(moved.Size(), 3u);

  Vec target = make({4});
  Vec &ret = (target = std::move(moved));
  EXPECT_EQ(&ret, &target);
  EXPECT_TRUE(moved.Empty());
  EXPECT_EQ(values(target), (std::vector<long double>{1, 2, 3}));

  Vec &self = target;
  target = std::move(self);
  EXPECT_EQ(values(target), (std::vector<long double>{1, 2, 3}));
}
