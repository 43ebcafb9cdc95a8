// Data and tolerances shared by the regression tests. References are R 4.2's lm,
// confint, anova and predict(se.fit = TRUE) on the same data.
#ifndef TSFORGE_TESTS_CORE_REGRESSION_TEST_UTIL_H
#define TSFORGE_TESTS_CORE_REGRESSION_TEST_UTIL_H

#include <string>
#include <vector>

#include "support/test_util.h"

namespace regression_test {

// The normal equations lose eps * cond(X X') in the coefficients, and R^2 and the residual
// variance lose y'y / RSS through y'y - b'X y: about 1e-10 on these series.
constexpr double kNormal = 1e-9;
// Interval limits go through tinv, whose inverse incomplete beta stops on a Newton step
// below 1e-7.
constexpr double kLimits = 1e-6;

// Both columns of a time,value example file.
inline void LoadColumns(const std::string &name, std::vector<double> *time, std::vector<double> *value) {
  auto rows = tsf_test::LoadTable(tsf_test::DataPath(name));
  for (size_t i = 1; i < rows.size(); ++i) {
    time->push_back(std::stod(rows[i][0]));
    value->push_back(std::stod(rows[i][1]));
  }
}

// y even about the centre of x, so that the slope explains nothing: rounding makes the
// regression sum of squares -7e-15 in the simple form and R^2 = -5e-16 in the multiple one.
inline void UncorrelatedData(std::vector<double> *x, std::vector<double> *y) {
  const double off[] = {-2, -1, 0, 1, 2}, even[] = {4, 1, 0, 1, 4};
  for (int j = 0; j < 5; ++j) {
    x->push_back(5.75 + off[j] * 5.9);
    y->push_back(0.65 + 1.9 * even[j]);
  }
}

}  // namespace regression_test

#define EXPECT_REL(actual, expected, tol) EXPECT_NEAR(actual, expected, (tol) * std::fabs(expected))

#endif  // TSFORGE_TESTS_CORE_REGRESSION_TEST_UTIL_H
