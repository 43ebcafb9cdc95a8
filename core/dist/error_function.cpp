// Error function and complementary error function: ERF, ERFC1 and EXPARG of ACM TOMS
// Algorithm 708 (DiDonato and Morris 1992), with their published coefficients: rational
// approximations on |x| <= 0.5 and 0.5 < |x| <= 4, an asymptotic form in 1/x^2 beyond.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>

namespace {

const double kC = 0.564189583547756;  // 1 / sqrt(pi) to the published digits
const double kA[5] = {.771058495001320e-04, -.133733772997339e-02, .323076579225834e-01,
                      .479137145607681e-01, .128379167095513e+00};
const double kB[3] = {.301048631703895e-02, .538971687740286e-01, .375795757275549e+00};
const double kP[8] = {-1.36864857382717e-07, 5.64195517478974e-01, 7.21175825088309e+00,
                      4.31622272220567e+01,  1.52989285046940e+02, 3.39320816734344e+02,
                      4.51918953711873e+02,  3.00459261020162e+02};
const double kQ[8] = {1.00000000000000e+00, 1.27827273196294e+01, 7.70001529352295e+01,
                      2.77585444743988e+02, 6.38980264465631e+02, 9.31354094850610e+02,
                      7.90950925327898e+02, 3.00459260956983e+02};
const double kR[5] = {2.10144126479064e+00, 2.62370141675169e+01, 2.13688200555087e+01,
                      4.65807828718470e+00, 2.82094791773523e-01};
const double kS[4] = {9.41537750555460e+01, 1.87114811799590e+02, 9.90191814623914e+01,
                      1.80124575948747e+01};

// erf(x) / x for |x| <= 0.5, in t = x^2.
double erf_small_ratio(double t) {
  const double top = (((kA[0] * t + kA[1]) * t + kA[2]) * t + kA[3]) * t + kA[4] + 1.0;
  const double bot = ((kB[0] * t + kB[1]) * t + kB[2]) * t + 1.0;
  return top / bot;
}

// exp(x^2) erfc(x) for 0.5 < x <= 4.
double erfcx_middle(double ax) {
  double top = kP[0], bot = kQ[0];
  for (int i = 1; i < 8; ++i) {
    top = top * ax + kP[i];
    bot = bot * ax + kQ[i];
  }
  return top / bot;
}

// R(t) / S(t) of the asymptotic form, t = 1/x^2.
double asymptotic_ratio(double t) {
  const double top = (((kR[0] * t + kR[1]) * t + kR[2]) * t + kR[3]) * t + kR[4];
  const double bot = (((kS[0] * t + kS[1]) * t + kS[2]) * t + kS[3]) * t + 1.0;
  return top / bot;
}

}  // namespace

namespace tsf_dist {

double exparg(int l) { return (l != 0 ? -1022.0 : 1024.0) * 0.69314718055995 * 0.99999; }

}  // namespace tsf_dist

double erf__(double x) {
  const double ax = std::fabs(x);
  if (ax <= 0.5) return x * erf_small_ratio(x * x);
  double r;
  if (ax <= 4.0) {
    r = 0.5 + (0.5 - std::exp(-x * x) * erfcx_middle(ax));
  } else {
    if (ax >= 5.8) return x > 0.0 ? 1.0 : -1.0;
    const double x2 = x * x;
    const double t = 1.0 / x2;
    r = 0.5 + (0.5 - std::exp(-x2) * ((kC - asymptotic_ratio(t) / x2) / ax));
  }
  return x < 0.0 ? -r : r;
}

double erfc1__(int ind, double x) {
  const double ax = std::fabs(x);
  if (ax <= 0.5) {
    const double t = x * x;
    const double r = 0.5 + (0.5 - x * erf_small_ratio(t));
    return ind != 0 ? r * std::exp(t) : r;
  }
  double r;  // exp(x^2) erfc(|x|)
  if (ax <= 4.0) {
    r = erfcx_middle(ax);
  } else {
    if (x <= -5.6) return ind != 0 ? 2.0 * std::exp(x * x) : 2.0;
    if (ind == 0 && (x > 100.0 || x * x > -tsf_dist::exparg(1))) return 0.0;
    const double t = (1.0 / x) * (1.0 / x);
    r = (kC - t * asymptotic_ratio(t)) / ax;
  }
  if (ind != 0) return x < 0.0 ? 2.0 * std::exp(x * x) - r : r;
  // exp(-x^2) with the rounding error e of w = x^2 restored, exp(-w)(1 - e), as the
  // published routine does; without it erfc(26) would carry a relative error of 700 eps.
  const double w = x * x;
  const double e = std::fma(x, x, -w);
  r = ((0.5 + (0.5 - e)) * std::exp(-w)) * r;
  return x < 0.0 ? 2.0 - r : r;
}

double ts_erf(double x) { return erf__(x); }

double ts_erfc(double x) { return erfc1__(0, x); }

double erfcx(double x) { return erfc1__(2, x); }
