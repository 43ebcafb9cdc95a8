// Shared helpers of the test suite: relative-tolerance comparison, stdout capture,
// reading the bundled example series and reference tables.
#ifndef TSFORGE_TESTS_TEST_UTIL_H
#define TSFORGE_TESTS_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace tsf_test {

// |actual - expected| <= rel * max(|expected|, floor): one tolerance per comparison.
inline ::testing::AssertionResult RelNear(const char *ae, const char *ee, const char *re,
                                          double actual, double expected, double rel) {
  double scale = std::fabs(expected) > 1.0 ? std::fabs(expected) : 1.0;
  if (std::fabs(actual - expected) <= rel * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << ae << " = " << actual << " differs from " << ee << " = " << expected << " by "
         << std::fabs(actual - expected) << ", more than " << re << " = " << rel << " (scaled by "
         << scale << ")";
}

// Runs fn with standard output redirected and returns what it printed (printf, puts and
// std::cout alike, since the descriptor itself is captured).
inline std::string CaptureStdout(const std::function<void()> &fn) {
  ::testing::internal::CaptureStdout();
  fn();
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

// Path of a bundled example file (examples/) or reference table (tests/reference/).
inline std::string DataPath(const std::string &name) { return std::string(TSFORGE_DATA_DIR) + "/" + name; }
inline std::string ReferencePath(const std::string &name) {
  return std::string(TSFORGE_REFERENCE_DIR) + "/" + name;
}

// The value column (second field) of a time,value example series.
inline std::vector<double> LoadSeries(const std::string &name) {
  std::ifstream in(DataPath(name));
  std::vector<double> values;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    auto comma = line.find(',');
    if (comma == std::string::npos) continue;
    values.push_back(std::stod(line.substr(comma + 1)));
  }
  return values;
}

// A CSV table as rows of fields (no quoting), header included as row 0.
inline std::vector<std::vector<std::string>> LoadTable(const std::string &path) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string f;
    while (std::getline(ss, f, ',')) fields.push_back(f);
    rows.push_back(fields);
  }
  return rows;
}

}  // namespace tsf_test

#define EXPECT_REL_NEAR(actual, expected, rel) EXPECT_PRED_FORMAT3(::tsf_test::RelNear, actual, expected, rel)
#define ASSERT_REL_NEAR(actual, expected, rel) ASSERT_PRED_FORMAT3(::tsf_test::RelNear, actual, expected, rel)

#endif  // TSFORGE_TESTS_TEST_UTIL_H
