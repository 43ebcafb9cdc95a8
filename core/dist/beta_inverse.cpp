// Inverse of the regularised incomplete beta function: Applied Statistics algorithm AS 109
// (G. W. Cran, K. J. Martin and G. E. Thomas, Appl. Statist. 26, 1977, 111-114, with the
// remark AS R19), a starting value from a normal approximation or a simpler power form,
// then Newton steps shortened by thirds to stay in [0, 1] and to shrink.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>

namespace {

const double kFpu = 1e-37;

// Starting value for I_x(pp, qq) = alpha, alpha <= 0.5.
double start_value(double alpha, double pp, double qq, double lbeta) {
  // -ln(alpha^2) as -2 ln(alpha): alpha^2 underflows below alpha = 1e-154.
  double r = std::sqrt(-2.0 * std::log(alpha));
  const double y = r - (2.30753 + 0.27061 * r) / (1.0 + (0.99229 + 0.04481 * r) * r);
  if (pp > 1.0 && qq > 1.0) {
    r = (y * y - 3.0) / 6.0;
    const double s = 1.0 / (pp + pp - 1.0);
    const double t = 1.0 / (qq + qq - 1.0);
    const double h = 2.0 / (s + t);
    const double w = y * std::sqrt(h + r) / h - (t - s) * (r + 5.0 / 6.0 - 2.0 / (3.0 * h));
    return pp / (pp + qq * std::exp(w + w));
  }
  r = qq + qq;
  double t = 1.0 / (9.0 * qq);
  t = r * std::pow(1.0 - t + y * std::sqrt(t), 3);
  if (t <= 0.0) return 1.0 - std::exp((std::log((1.0 - alpha) * qq) + lbeta) / qq);
  t = (4.0 * pp + r - 2.0) / t;
  if (t <= 1.0) return std::exp((std::log(alpha * pp) + lbeta) / pp);
  return 1.0 - 2.0 / (t + 1.0);
}

}  // namespace

double betainv(double p, double a, double b) {
  const double lbeta = beta_log(a, b);
  if (p < 0.0 || p > 1.0) tsf_dist::fail("probability values must lie between 0 and 1");
  if (p == 0.0 || p == 1.0) return p;
  const bool upper = p > 0.5;
  const double alpha = upper ? 1.0 - p : p;
  const double pp = upper ? b : a;
  const double qq = upper ? a : b;

  double x = start_value(alpha, pp, qq, lbeta);
  if (x < 0.0001) x = 0.0001;
  if (x > 0.9999) x = 0.9999;
  const double acu = std::pow(10.0, fix(r8_max(-5.0 / (pp * pp) - 1.0 / std::pow(alpha, 0.2) - 13.0, -37.0)));

  // The published iteration, bounded: a non-finite step would otherwise shrink by thirds
  // for ever, and 1000 steps are far more than it ever takes.
  double yprev = 0.0, sq = 1.0, prev = 1.0;
  for (int step = 0; step < 1000; ++step) {
    const double y = (betacdf(x, pp, qq) - alpha) *
                     std::exp(lbeta + (1.0 - pp) * std::log(x) + (1.0 - qq) * std::log(1.0 - x));
    if (!std::isfinite(y)) break;
    if (y * yprev <= 0.0) prev = r8_max(sq, kFpu);
    double g = 1.0;
    bool next = false;
    while (!next) {
      const double adj = g * y;
      sq = adj * adj;
      const double tx = x - adj;
      if (sq < prev && tx >= 0.0 && tx <= 1.0) {
        if (prev <= acu || y * y <= acu) return upper ? 1.0 - x : x;
        if (tx != 0.0 && tx != 1.0) {
          if (tx == x) return upper ? 1.0 - x : x;
          x = tx;
          yprev = y;
          next = true;
          continue;
        }
      }
      g /= 3.0;
    }
  }
  return upper ? 1.0 - x : x;
}
