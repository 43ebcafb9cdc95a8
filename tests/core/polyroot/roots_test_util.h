// Comparison of computed zeros with expected ones as multisets.
#ifndef TSFORGE_TESTS_POLYROOT_ROOTS_TEST_UTIL_H
#define TSFORGE_TESTS_POLYROOT_ROOTS_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

using cplx = std::complex<double>;

// Every expected zero w[i] matched to a distinct computed one within tol[i], each taking
// the nearest computed zero not taken yet.
inline ::testing::AssertionResult SameZeros(const std::vector<cplx> &got, const std::vector<cplx> &want,
                                            const std::vector<double> &tol) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "sizes differ";
  std::vector<bool> used(got.size(), false);
  for (size_t k = 0; k < want.size(); ++k) {
    const cplx &w = want[k];
    int best = -1;
    for (size_t i = 0; i < got.size(); ++i)
      if (!used[i] && (best < 0 || std::abs(got[i] - w) < std::abs(got[best] - w))) best = static_cast<int>(i);
    if (std::abs(got[best] - w) > tol[k])
      return ::testing::AssertionFailure() << "zero " << w << " nearest " << got[best] << " off by "
                                           << std::abs(got[best] - w) << " > " << tol[k];
    used[best] = true;
  }
  return ::testing::AssertionSuccess();
}

// The same with the tolerance rel * max(1, |w|) for every zero.
inline ::testing::AssertionResult SameZeros(const std::vector<cplx> &got, const std::vector<cplx> &want,
                                            double rel) {
  std::vector<double> tol;
  for (const cplx &w : want) tol.push_back(rel * std::fmax(1.0, std::abs(w)));
  return SameZeros(got, want, tol);
}

#endif  // TSFORGE_TESTS_POLYROOT_ROOTS_TEST_UTIL_H
