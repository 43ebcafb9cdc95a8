// Inverse error function and inverse complementary error function: rational starting
// approximations on |x| <= 0.75, 0.75 < |x| <= 0.9375 and in t = sqrt(-ln(1 - |x|))
// beyond, refined by one Halley step on erf (or erfc), whose second derivative is
// -2y times the first, so that the step is y - u / (1 + y u) with u the Newton step.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>
#include <limits>

namespace {

const double kTwoOverSqrtPi = 1.1283791670955126;
const double kSqrtPiOverTwo = 0.88622692545275801;

// The inverse in t = sqrt(-ln q), q = 1 - |x| (or erfc's argument), for q < 0.0625.
double tail_rational(double t) {
  const double u = 1.0 / t;
  return (0.1550470003116 * t + 1.382719649631 +
          u * (0.690969348887 + u * (-1.128081391617 + u * (0.680544246825 - 0.16444156791 * u)))) /
         (u * (u + 1.385228141995) + 0.155024849822);
}

// The same below q = 1e-100.
double far_tail_rational(double t) {
  const double u = 1.0 / t;
  return (0.00980456202915 * t + 0.363667889171 + u * (0.97302949837 - 0.5374947401 * u)) /
         (u * (u + 0.363699971544) + 0.00980451277802);
}

double halley(double y, double u) { return y - u / (1.0 + y * u); }

}  // namespace

double erfinv(double x) {
  const double ax = std::fabs(x);
  if (ax > 1.0) tsf_dist::fail("The Input takes values between -1 and +1");
  const double s = x > 0.0 ? 1.0 : -1.0;
  double y;
  if (ax <= 0.75) {
    const double z = x * x - 0.5625;
    y = x * ((((0.236997019142 * z - 5.4309342907266) * z + 17.6230176190819) * z - 16.6805947126248) * z +
             4.62680202125696) /
        ((((z - 9.9016863476727) * z + 22.7331464544494) * z - 17.5930726990431) * z + 4.26606447606664);
  } else if (ax <= 0.9375) {
    const double z = x * x - 0.87890625;
    y = x *
        (((((0.302601149432 * z - 3.65953596495117) * z + 6.24518431579026) * z - 3.28902674093993) * z +
          0.643729854003468) * z - 0.041199817067782) /
        (((((z - 5.40640580412825) * z + 6.65393051963183) * z - 2.90144687299145) * z + 0.501148500527886) * z -
         0.029324540620124);
  } else if (ax < 1.0) {
    // Here erf(y) - x = s (q - erfc|y|) with q = 1 - |x| exact: erf(y) itself carries an
    // absolute rounding of 1e-16, as large as q near 1, and would leave the step idle.
    const double q = 1.0 - ax;
    y = s * tail_rational(std::sqrt(-std::log(q)));
    const double u = s * (q - ts_erfc(s * y)) / (kTwoOverSqrtPi * std::exp(-y * y));
    return halley(y, u);
  } else if (ax == 1.0) {
    return s * tsf_dist::kHuge;
  } else {
    return std::numeric_limits<double>::quiet_NaN();
  }
  const double u = (ts_erf(y) - x) / (kTwoOverSqrtPi * std::exp(-y * y));
  return halley(y, u);
}

double erfcinv(double x) {
  if (x > 2.0 || x < 0.0) tsf_dist::fail("The Input takes values between 0.0 and 2.0");
  if (x >= 0.0625 && x < 2.0) return erfinv(1.0 - x);
  if (x == 0.0) return tsf_dist::kHuge;
  if (x == 2.0) return -tsf_dist::kHuge;
  if (!(x > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  const double t = std::sqrt(-std::log(x));
  const double y = x >= 1e-100 ? tail_rational(t) : far_tail_rational(t);
  // Newton step on erfc: u = (erfc(y) - x) / (-(2 / sqrt pi) exp(-y^2)), written with
  // erfcx and exp(y^2 + ln x), both of order one, so that it holds where exp(-y^2)
  // underflows.
  const double u = -kSqrtPiOverTwo * (erfcx(y) - std::exp(y * y + std::log(x)));
  return halley(y, u);
}
