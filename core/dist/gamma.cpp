// Gamma function and its logarithm by W. J. Cody's rational Chebyshev approximations:
// GAMMA and ALGAMA of ACM TOMS Algorithm 715 (Cody 1993; ALGAMA after Cody and Hillstrom,
// Math. Comp. 21, 1967), with their published coefficients. The beta function from
// the log-gamma function.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>
#include <limits>

namespace {

const double kLnSqrt2Pi = 0.9189385332046728;
const double kPi = 3.1415926535897932384626434;

// Stirling series for x >= 12, shared by both functions: C(6) ~ 1/12 leads.
const double kStirling[7] = {-1.910444077728e-03,          8.4171387781295e-04,
                             -5.952379913043012e-04,       7.93650793500350248e-04,
                             -2.777777777777681622553e-03, 8.333333333333333331554247e-02,
                             5.7083835261e-03};

// sum / y with sum = C(6) + C(5)/y^2 + ... + C(7)/y^12.
double stirling_correction(double y) {
  const double ysq = y * y;
  double sum = kStirling[6];
  for (int i = 0; i < 6; ++i) sum = sum / ysq + kStirling[i];
  return sum / y;
}

// Gamma(1 + z) for z in [0, 1): 1 + N(z) / D(z).
double gamma_near_one(double z) {
  static const double p[8] = {-1.71618513886549492533811e+0, 2.47656508055759199108314e+1,
                              -3.79804256470945635097577e+2, 6.29331155312818442661052e+2,
                              8.66966202790413211295064e+2,  -3.14512729688483675254357e+4,
                              -3.61444134186911729807069e+4, 6.64561438202405440627855e+4};
  static const double q[8] = {-3.08402300119738975254353e+1, 3.15350626979604161529144e+2,
                              -1.01515636749021914166146e+3, -3.10777167157231109440444e+3,
                              2.25381184209801510330112e+4,  4.75584627752788110767815e+3,
                              -1.34659959864969306392456e+5, -1.15132259675553483497211e+5};
  double xnum = 0.0, xden = 1.0;
  for (int i = 0; i < 8; ++i) {
    xnum = (xnum + p[i]) * z;
    xden = xden * z + q[i];
  }
  return xnum / xden + 1.0;
}

// Gamma(y) for y > 0 (no reflection): 1.79e308 on overflow.
double gamma_positive(double y) {
  if (y < 2.22e-16) return y >= 1.79e-308 ? 1.0 / y : tsf_dist::kHuge;
  if (y < 12.0) {
    if (y < 1.0) return gamma_near_one(y) / y;
    const int n = static_cast<int>(y) - 1;
    double z = y - n;  // in [1, 2)
    double res = gamma_near_one(z - 1.0);
    for (int i = 0; i < n; ++i) {
      res *= z;
      z += 1.0;
    }
    return res;
  }
  if (y > 171.624) return tsf_dist::kHuge;
  return std::exp(stirling_correction(y) - y + kLnSqrt2Pi + (y - 0.5) * std::log(y));
}

// One of Cody's rational forms: xnum / xden with xden's leading coefficient lead.
double rational8(const double *p, const double *q, double lead, double t) {
  double xnum = 0.0, xden = lead;
  for (int i = 0; i < 8; ++i) {
    xnum = xnum * t + p[i];
    xden = xden * t + q[i];
  }
  return xnum / xden;
}

const double kP1[8] = {4.945235359296727046734888e0, 2.018112620856775083915565e2,
                       2.290838373831346393026739e3, 1.131967205903380828685045e4,
                       2.855724635671635335736389e4, 3.848496228443793359990269e4,
                       2.637748787624195437963534e4, 7.225813979700288197698961e3};
const double kQ1[8] = {6.748212550303777196073036e1, 1.113332393857199323513008e3,
                       7.738757056935398733233834e3, 2.763987074403340708898585e4,
                       5.499310206226157329794414e4, 6.161122180066002127833352e4,
                       3.635127591501940507276287e4, 8.785536302431013170870835e3};
const double kP2[8] = {4.974607845568932035012064e0, 5.424138599891070494101986e2,
                       1.550693864978364947665077e4, 1.847932904445632425417223e5,
                       1.088204769468828767498470e6, 3.338152967987029735917223e6,
                       5.106661678927352456275255e6, 3.074109054850539556250927e6};
const double kQ2[8] = {1.830328399370592604055942e2, 7.765049321445005871323047e3,
                       1.331903827966074194402448e5, 1.136705821321969608938755e6,
                       5.267964117437946917577538e6, 1.346701454311101692290052e7,
                       1.782736530353274213975932e7, 9.533095591844353613395747e6};
const double kP4[8] = {1.474502166059939948905062e4, 2.426813369486704502836312e6,
                       1.214755574045093227939592e8, 2.663432449630976949898078e9,
                       2.940378956634553899906876e10, 1.702665737765398868392998e11,
                       4.926125793377430887588120e11, 5.606251856223951465078242e11};
const double kQ4[8] = {2.690530175870899333379843e3, 6.393885654300092398984238e5,
                       4.135599930241388052042842e7, 1.120872109616147941376570e9,
                       1.488613728678813811542398e10, 1.016803586272438228077304e11,
                       3.417476345507377132798597e11, 4.463158187419713286462081e11};
const double kD1 = -0.5772156649015329;   // -Euler's gamma
const double kD2 = 0.42278433509846713;   // 1 - Euler's gamma
const double kD4 = 1.791759469228055;     // ln 6

}  // namespace

double ts_gamma(double x) {
  if (std::isnan(x)) return x;
  if (x >= 0.0) return gamma_positive(x);
  // Reflection: Gamma(x) = -pi / (sin(pi res) Gamma(1 - x)), the sign from the parity of
  // the integer part of -x.
  double y = -x;
  const double y1 = fix(y);
  const double res = y - y1;
  if (res == 0.0) return tsf_dist::kHuge;
  const bool negative = fix(y1 / 2.0) * 2.0 != y1;
  const double fact = -kPi / std::sin(kPi * res);
  y = y + 1.0;
  double g;
  if (y <= 171.624) {
    g = gamma_positive(y);
  } else {
    // Gamma(1 - x) overflows, its reciprocal does not: the result is tiny, not 1.79e308.
    const double r = fact * std::exp(-gamma_log(y));
    return negative ? -r : r;
  }
  if (negative) g = -g;
  return fact / g;
}

double gamma_log(double x) {
  if (x < 0.0) tsf_dist::fail("Input must be Positive and Real");
  if (x > 1.79e308) tsf_dist::fail("Overflow");
  if (x <= 2.22e-16) return -std::log(x);
  if (x <= 0.5) return -std::log(x) + x * (kD1 + x * rational8(kP1, kQ1, 1.0, x));
  if (x <= 0.6796875) {
    const double m = (x - 0.5) - 0.5;
    return -std::log(x) + m * (kD2 + m * rational8(kP2, kQ2, 1.0, m));
  }
  if (x <= 1.5) {
    const double m = (x - 0.5) - 0.5;
    return m * (kD1 + m * rational8(kP1, kQ1, 1.0, m));
  }
  if (x <= 4.0) {
    const double m = x - 2.0;
    return m * (kD2 + m * rational8(kP2, kQ2, 1.0, m));
  }
  if (x <= 12.0) {
    const double m = x - 4.0;
    return kD4 + m * rational8(kP4, kQ4, -1.0, m);
  }
  // Above 1.1567e77 the series term is below the rounding of the others.
  const double s = x <= 1.1567e77 ? stirling_correction(x) : 0.0;
  const double lnx = std::log(x);
  return s + kLnSqrt2Pi - 0.5 * lnx + x * (lnx - 1.0);
}

double beta_log(double a, double b) {
  if (a < 0.0 || b < 0.0) tsf_dist::fail(" The Two Inputs should be nonnegative and real");
  return gamma_log(a) + gamma_log(b) - gamma_log(a + b);
}

double beta(double a, double b) { return std::exp(beta_log(a, b)); }
