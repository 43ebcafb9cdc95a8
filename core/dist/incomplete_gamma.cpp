// Regularised incomplete gamma function P(a, x).
//
// Below a = 1000: the power series of P for x < a + 1 and Legendre's continued fraction
// of Q otherwise (Abramowitz and Stegun 6.5.29 and 6.5.31; the fraction is evaluated by
// the recurrences of Press et al., Numerical Recipes, 1st ed., section 6.2), each with a
// bound on its terms. Their prefactor exp(a ln x - x - ln Gamma(a + 1)) loses about
// eps * a ln a to cancellation, and the number of terms grows like sqrt(a).
//
// From a = 1000 on: Temme's uniform asymptotic expansion (N. M. Temme, The asymptotic
// expansion of the incomplete gamma functions, SIAM J. Math. Anal. 10, 1979, 757-766;
// in the form of DiDonato and Morris, ACM TOMS 12, 1986, 377-393):
//   Q(a, x) = erfc(eta sqrt(a/2)) / 2 + exp(-a eta^2 / 2) / sqrt(2 pi a) sum_k C_k(eta) a^-k,
// with lambda = x / a, mu = lambda - 1, eta^2 / 2 = mu - ln(1 + mu), eta of the sign of mu.
// Five terms leave a relative error below 1e-18 at a = 1000. C_k(eta) are evaluated from
// their Taylor series in eta, whose radius is 2 sqrt(pi); the coefficients are exact
// rationals, rounded, derived from C_0 = 1/mu - 1/eta and the recursion
// C_k = eta^-1 dC_{k-1}/deta + (-1)^k gamma_k / mu (gamma_k the Stirling coefficients of
// Gamma(a) / (sqrt(2 pi / a) (a/e)^a): 1, 1/12, 1/288, -139/51840, -571/2488320) by
// reversion of the series of eta^2 / 2 = mu - ln(1 + mu). For |eta| >= 1.25 and
// a >= 1000 the tail is below exp(-781): P is then exactly 0 or 1 in double precision.
#include "core/dist/dist.h"
#include "core/dist/dist_internal.h"

#include <cmath>
#include <limits>

namespace {

const int kMaxTerms = 10000;
const double kTemmeFrom = 1000.0;
const double kEtaLimit = 1.25;
const double kTwoPi = 6.283185307179586;

const double kC0[38] = {
    -0.33333333333333331, 0.083333333333333329, -0.014814814814814815, 0.0011574074074074073,
    0.00035273368606701942, -0.0001787551440329218, 3.9192631785224377e-05, -2.185448510679992e-06,
    -1.85406221071516e-06, 8.2967113409530865e-07, -1.7665952736826078e-07, 6.7078535434014984e-09,
    1.0261809784240309e-08, -4.3820360184533529e-09, 9.1476995822367902e-10,
    -2.5514193994946248e-11, -5.8307721325504256e-11, 2.4361948020667415e-11,
    -5.0276692801141755e-12, 1.1004392031956135e-13, 3.3717632624009851e-13,
    -1.3923887224181621e-13, 2.8534893807047445e-14, -5.1391118342425723e-16,
    -1.9752288294349442e-15, 8.0995211567045613e-16, -1.6522531216398162e-16,
    2.5305430097478883e-18, 1.1686939738559576e-17, -4.7700370498204847e-18,
    9.6991260590562365e-19, -1.2932565538038175e-20, -6.9692302531856932e-20,
    2.8351454321769368e-20, -5.7509821590070474e-21, 6.7929537834889146e-23,
    4.1821254261113358e-22, -1.6971539620047604e-22};
const double kC1[32] = {
    -0.0018518518518518519, -0.003472222222222222, 0.0026455026455026454, -0.00099022633744855963,
    0.00020576131687242798, -4.018775720164609e-07, -1.8098550334489977e-05,
    7.6491609160811098e-06, -1.6120900894563446e-06, 4.647127802807434e-09, 1.3786334469157209e-07,
    -5.7525456035177047e-08, 1.1951628599778148e-08, -1.7543241719747647e-11,
    -1.0091543710600413e-09, 4.1627929918425828e-10, -8.5639070264929801e-11,
    6.0672151016047582e-14, 7.1624989648114856e-12, -2.9331866437714371e-12,
    5.9966963656836885e-13, -2.1671786527323313e-16, -4.9783399723692617e-14,
    2.0291628823713425e-14, -4.1312557138106099e-15, 8.2865162398830967e-19,
    3.4100308869333327e-16, -1.3854195302893971e-16, 2.8123466532288747e-17,
    -3.4064441941430288e-21, -2.3109797315115572e-18, 9.3667570641322564e-19};
const double kC2[26] = {
    0.0041335978835978834, -0.0026813271604938273, 0.0007716049382716049, 2.0093878600823047e-06,
    -0.0001073665322636516, 5.2923448829120125e-05, -1.2760635188618728e-05,
    3.4235787340961378e-08, 1.3721957309062934e-06, -6.2989921383800548e-07,
    1.4280614206064242e-07, -2.0477098421990866e-10, -1.409252991086752e-08,
    6.2289740849220218e-09, -1.3670488396617114e-09, 9.428356159014678e-13, 1.2872252400089318e-10,
    -5.5645956134363323e-11, 1.1975935546366981e-11, -4.1689782251838634e-15,
    -1.0940640427884595e-12, 4.6622399463901356e-13, -9.9051057639069066e-14,
    1.8931876768373515e-17, 8.8592218725911265e-15, -3.7378203980464053e-15};
const double kC3[20] = {
    0.00064943415637860077, 0.00022947209362139917, -0.0004691894943952557, 0.00026772063206283885,
    -7.5618016718839766e-05, -2.3965051138672968e-07, 1.1082654115347302e-05,
    -5.6749528269915965e-06, 1.4230900732435883e-06, -2.7861080291528143e-11,
    -1.6958404091930278e-07, 8.0994649053880827e-08, -1.9111168485973655e-08,
    2.3928620439808118e-12, 2.0620131815488797e-09, -9.460496661855133e-10, 2.1541049775774907e-10,
    -1.388823336813903e-14, -2.1894761681963938e-11, 9.7909989511716844e-12};
const double kC4[12] = {
    -0.00086188829091671173, 0.00078403922172006662, -0.00029907248030319018,
    -1.4638452578843418e-06, 6.6414982154651219e-05, -3.9683650471794347e-05,
    1.1375726970678419e-05, 2.5074972262375329e-10, -1.6954149536558305e-06,
    8.9075075322053094e-07, -2.2929348340008049e-07, 2.9567941375440492e-11};

double horner(const double *c, int n, double t) {
  double s = c[n - 1];
  for (int i = n - 2; i >= 0; --i) s = s * t + c[i];
  return s;
}

// mu - ln(1 + mu), without cancellation for small mu: with r = mu / (2 + mu),
// ln(1 + mu) = 2 atanh(r) and mu = 2r / (1 - r), so the difference is
// 2r^2 / (1 - r) - 2 (r^3/3 + r^5/5 + ...).
double mu_minus_log1p(double mu) {
  if (std::fabs(mu) >= 0.5) return mu - ts_log1p(mu);
  const double r = mu / (2.0 + mu);
  const double r2 = r * r;
  const double lead = 2.0 * r2 / (1.0 - r);
  double term = r * r2, sum = 0.0;
  for (int k = 3; k < 80; k += 2) {
    const double t = term / k;
    sum += t;
    if (std::fabs(t) <= 1e-17 * lead) break;
    term *= r2;
  }
  return lead - 2.0 * sum;
}

double temme_lower(double x, double a) {
  const double mu = (x - a) / a;
  const double f = mu_minus_log1p(mu);
  const double eta = std::copysign(std::sqrt(2.0 * f), mu);
  if (eta <= -kEtaLimit) return 0.0;
  if (eta >= kEtaLimit) return 1.0;
  const double ia = 1.0 / a;
  const double c34 = horner(kC3, 20, eta) + ia * horner(kC4, 12, eta);
  const double sum = horner(kC0, 38, eta) + ia * (horner(kC1, 32, eta) + ia * (horner(kC2, 26, eta) + ia * c34));
  // exp(-a f) factored out of both terms: erfc(z) = erfcx(z) exp(-z^2) with z^2 = a f.
  const double e = std::exp(-a * f);
  const double r = e * sum / std::sqrt(kTwoPi * a);
  const double z = std::sqrt(a * f);
  if (eta < 0.0) return 0.5 * erfcx(z) * e - r;
  return 1.0 - (0.5 * erfcx(z) * e + r);
}

double lower_series(double x, double a) {
  double n = a, term = 1.0, sum = 1.0;
  for (int k = 0; k < kMaxTerms && std::fabs(term) >= 100.0 * eps(sum); ++k) {
    n = n + 1.0;
    term = x * term / n;
    sum = sum + term;
  }
  double p = sum * std::exp(a * std::log(x) - x - gamma_log(a + 1.0));
  if (x > 0.0 && p > 1.0) p = 1.0;
  return p;
}

double upper_fraction(double x, double a) {
  double a0 = 1.0, a1 = x, b0 = 0.0, b1 = 1.0, fac = 1.0 / x, g = fac, previous = 0.0, n = 1.0;
  for (int k = 0; k < kMaxTerms && std::fabs(g - previous) >= 100.0 * eps(std::fabs(g)); ++k) {
    previous = g;
    const double t = n - a;
    a0 = (a1 + a0 * t) * fac;
    b0 = (b1 + b0 * t) * fac;
    const double u = n * fac;
    a1 = x * a0 + u * a1;
    b1 = x * b0 + u * b1;
    fac = 1.0 / a1;
    g = b1 * fac;
    n = n + 1.0;
  }
  return 1.0 - std::exp(a * std::log(x) - x - gamma_log(a)) * g;
}

}  // namespace

double pgamma(double x, double a) {
  if (a < 0.0) tsf_dist::fail("a must be non-negative");
  if (std::isnan(x) || std::isnan(a)) return std::numeric_limits<double>::quiet_NaN();
  if (a == 0.0) return 1.0;
  if (x == 0.0) return 0.0;
  if (x == HUGE_VAL) return 1.0;
  if (a >= kTemmeFrom) return temme_lower(x, a);
  if (x < a + 1.0) return lower_series(x, a);
  return upper_fraction(x, a);
}

double qgamma(double x, double a) { return 1.0 - pgamma(x, a); }
