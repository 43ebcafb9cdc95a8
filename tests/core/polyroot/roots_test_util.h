// Zeros of real or complex polynomials, and their comparison with expected ones as multisets.
#ifndef TSFORGE_TESTS_POLYROOT_ROOTS_TEST_UTIL_H
#define TSFORGE_TESTS_POLYROOT_ROOTS_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "core/polyroot/polyroot.h"

using cplx = std::complex<double>;

struct Zeros {
  int rc;
  std::vector<cplx> z;
};

// polyroot of the real parts of coeff (ascending) when real, else cpolyroot; zeros not
// written stay 99 + 99i.
inline Zeros find_zeros(const std::vector<cplx> &coeff, bool real = true) {
  const int n = static_cast<int>(coeff.size()) - 1;
  std::vector<double> re, im, zr(n, 99.0), zi(n, 99.0);
  for (const cplx &c : coeff) re.push_back(c.real()), im.push_back(c.imag());
  Zeros out{real ? polyroot(re.data(), n, zr.data(), zi.data()) : cpolyroot(re.data(), im.data(), n, zr.data(), zi.data()),
            {}};
  for (int i = 0; i < n; ++i) out.z.emplace_back(zr[i], zi[i]);
  return out;
}

// Every expected zero w matched to a distinct computed one within rel * max(1, |w|), each
// taking the nearest computed zero not taken yet.
inline ::testing::AssertionResult SameZeros(const std::vector<cplx> &got, const std::vector<cplx> &want, double rel) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "sizes differ";
  std::vector<bool> used(got.size(), false);
  for (const cplx &w : want) {
    size_t best = got.size();
    for (size_t i = 0; i < got.size(); ++i)
      if (!used[i] && (best == got.size() || std::abs(got[i] - w) < std::abs(got[best] - w))) best = i;
    if (std::abs(got[best] - w) > rel * std::fmax(1.0, std::abs(w)))
      return ::testing::AssertionFailure() << "zero " << w << " nearest " << got[best] << " off by "
                                           << std::abs(got[best] - w);
    used[best] = true;
  }
  return ::testing::AssertionSuccess();
}

#endif  // TSFORGE_TESTS_POLYROOT_ROOTS_TEST_UTIL_H
