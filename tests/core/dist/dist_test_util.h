// Tolerances of the dist tests, one per kind of algorithm, and a relative comparison.
// References are 40-digit mpmath values unless a table says otherwise.
#ifndef TSFORGE_TESTS_CORE_DIST_TEST_UTIL_H
#define TSFORGE_TESTS_CORE_DIST_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cmath>

namespace dist_test {

// Rational approximations (Cody, TOMS 708, the inverse error functions).
constexpr double kRational = 2e-15;
// Results through exp of a large argument: gamma near 171, far-tail densities.
constexpr double kExp = 5e-14;
// Series and continued fractions whose prefactor loses eps * a ln a (a up to 1000).
constexpr double kIncomplete = 2e-12;
// betainv stops when its Newton step is below about 1e-7 (AS 109).
constexpr double kAs109 = 5e-7;
// ibeta_appx: gamma-tail and cube-root normal approximations.
constexpr double kApprox = 1e-3;

}  // namespace dist_test

#define EXPECT_REL(actual, expected, tol) EXPECT_NEAR(actual, expected, (tol) * std::fabs(expected))

#endif  // TSFORGE_TESTS_CORE_DIST_TEST_UTIL_H
