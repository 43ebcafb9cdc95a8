// The stationarity test of an AR polynomial against two independent descriptions of the
// stationary region: the AR(2) triangle, and polynomials built from chosen roots.
#include <cmath>
#include <complex>
#include <vector>

#include "core/arima/stationarity_internal.h"
#include "support/test_util.h"

using tsf_arima::ar_polynomial_is_stationary;

namespace {

// phi of 1 - phi[0] z - ... = prod (1 - a z) over the inverse roots a (complex ones
// come with their conjugates, so the product is real).
std::vector<double> PhiFromInverseRoots(const std::vector<std::complex<double>> &roots) {
  std::vector<std::complex<double>> c{1.0};
  for (const auto &a : roots) {
    c.push_back(0.0);
    for (std::size_t i = c.size() - 1; i > 0; --i) c[i] -= a * c[i - 1];
  }
  std::vector<double> phi;
  for (std::size_t i = 1; i < c.size(); ++i) phi.push_back(-c[i].real());
  return phi;
}

}  // namespace

// 1 - phi1 z - phi2 z^2 is stationary exactly when phi1 + phi2 < 1, phi2 - phi1 < 1 and
// |phi2| < 1. The grid keeps off the edges, where rounding decides.
TEST(ArPolynomial, SecondOrderIsStationaryExactlyInsideTheTriangle) {
  for (double phi1 = -2.513; phi1 < 2.5; phi1 += 0.1)
    for (double phi2 = -1.4871; phi2 < 1.5; phi2 += 0.1) {
      const double phi[2] = {phi1, phi2};
      const bool inside = phi1 + phi2 < 1.0 && phi2 - phi1 < 1.0 && std::fabs(phi2) < 1.0;
      EXPECT_EQ(ar_polynomial_is_stationary(phi, 2), inside) << phi1 << " " << phi2;
    }
}

// Up to order 7, real and complex roots on either side of the unit circle: stationary
// exactly when every inverse root lies inside it.
TEST(ArPolynomial, PolynomialsBuiltFromTheirRoots) {
  const double radii[] = {0.2, 0.7, 0.95, 0.999, 1.001, 1.05, 1.8};
  for (double inner : radii)
    for (double outer : radii)
      for (double angle : {0.0, 0.4, 2.0, 3.14159}) {
        std::vector<std::complex<double>> roots{std::polar(inner, angle), std::polar(inner, -angle),
                                                {0.5 * inner, 0.0}, {-0.3, 0.0}};
        if (outer < 1.5) roots.push_back({-outer, 0.0});
        if (angle > 1.0) roots.push_back(std::polar(outer, 1.1)), roots.push_back(std::polar(outer, -1.1));
        const std::vector<double> phi = PhiFromInverseRoots(roots);
        double largest = 0.0;
        for (const auto &a : roots) largest = std::max(largest, std::abs(a));
        EXPECT_EQ(ar_polynomial_is_stationary(phi.data(), static_cast<int>(phi.size())), largest < 1.0)
            << inner << " " << outer << " " << angle;
      }
}

TEST(ArPolynomial, NoArPartIsStationaryAndNonFiniteIsNot) {
  EXPECT_TRUE(ar_polynomial_is_stationary(nullptr, 0));
  const double nan[2] = {0.1, NAN}, inf[2] = {INFINITY, 0.1}, hidden[2] = {NAN, 0.1};
  EXPECT_FALSE(ar_polynomial_is_stationary(nan, 2));
  EXPECT_FALSE(ar_polynomial_is_stationary(inf, 2));
  EXPECT_FALSE(ar_polynomial_is_stationary(hidden, 2));
}
