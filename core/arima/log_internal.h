/* The natural logarithm used by every likelihood, variance and information criterion of
   the ARIMA family (never installed). The C library's log differs between targets (glibc
   picks a fused multiply-add variant on some processors and not on others), and its last
   bit decides which model an order search picks; this one is written with plain IEEE
   double operations only (no fused multiply-add, no extended precision), so its bits are
   the same on every target, and in a scalar form (tsf_log) and a lane form that agree bit
   for bit.

   Method. x = 2^k m with m in [sqrt(1/2), sqrt(2)); m falls in one of 16 intervals (the
   bits 48..51 of x's pattern past that of sqrt(1/2)), whose centre c is tabled with
   ln c. Then ln x = k ln 2 + ln c + 2 atanh(s), s = (m - c) / (m + c), |s| < 0.0193,
   and 2 atanh(s) = 2s + s^3 (2/3 + 2s^2/5 + 2s^4/7 + 2s^6/9 + 2s^8/11) to a relative
   2^-60 (the Taylor series; the next term is below 2^-45 of the polynomial, which itself
   is at most 2^-11 of the result). m - c is exact; s is carried as s_hi + s_lo with
   Dekker's exact product for the remainder of the quotient; k ln 2 + ln(c)_hi is exact
   (ln 2 and ln(c)_hi are multiples of 2^-42 with at most 42 significant bits), so the
   sum rounds once, at the end, with an error below 2^-62 relative before that rounding:
   the result is within 0.5001 ulp, and correctly rounded for all but a few inputs in a
   million.

   The interval whose centre is 1 (k = 0, c = 1, ln c = 0) has a path of its own, where
   the variances of the Kalman filter mostly lie: the same operations on the same values,
   less the table lookups and the additions of zeros, so the same bits (tested). */
#ifndef TSFORGE_CORE_ARIMA_LOG_INTERNAL_H
#define TSFORGE_CORE_ARIMA_LOG_INTERNAL_H

#include <cmath>

#include "core/arima/lanes_internal.h"

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace tsf_lanes {

// Interval centres c (20 significant bits; 1 itself for the interval holding 1, so that
// no table term cancels near x = 1), ln(c) rounded to a multiple of 2^-42, and the rest.
inline constexpr double kLogCentre[16] = {
    0x1.71f3cp-1, 0x1.81f4ap-1, 0x1.91f58p-1, 0x1.a1f64p-1, 0x1.b1f7p-1,  0x1.c1f7cp-1,
    0x1.d1f86p-1, 0x1.e1f8ep-1, 0x1.f1f98p-1, 0x1p+0,       0x1.11ecp+0, 0x1.21edap+0,
    0x1.31ef2p+0, 0x1.41f08p+0, 0x1.51f1ap+0, 0x1.61f2cp+0};
inline constexpr double kLogCentreHi[16] = {
    -0x1.4cbff188a9p-2, -0x1.2162845bf5p-2, -0x1.ef905d1798p-3, -0x1.9f9c0633d8p-3,
    -0x1.52a8d70fc8p-3, -0x1.087f17a45ap-3, -0x1.81dae8fec8p-4, -0x1.ef1c355408p-5,
    -0x1.c71309152p-6,  0.0,                0x1.1528699b68p-4,  0x1.fdc582f2a4p-4,
    0x1.6cf00a6354p-3,  0x1.d55f7ede3ap-3,  0x1.1c5dfe494ep-2,  0x1.4bbfa4bcc0p-2};
inline constexpr double kLogCentreLo[16] = {
    0x1.02e5b52664c7bp-44,  0x1.ff8a06a622fa5p-45,  0x1.8b1ce817e48fep-44, 0x1.a44f64263de87p-44,
    -0x1.b138d7610f4ddp-44, 0x1.07a675cf8d0dfp-44,  -0x1.c277c4e016c84p-45, 0x1.656dd8598f00dp-46,
    0x1.c8fd5cb4e8107p-44,  0.0,                    0x1.890035d6897e4p-45, -0x1.57c1a862814c9p-44,
    -0x1.e4c76396fd661p-45, 0x1.3f93a986e4209p-44,  0x1.4acc6b9501ef8p-44, -0x1.aa3526c00b11cp-45};
// ln 2 = kLn2Hi + kLn2Lo; kLn2Hi has 42 significant bits, so k kLn2Hi is exact.
constexpr double kLn2Hi = 0x1.62e42fefa38p-1;
constexpr double kLn2Lo = 0x1.ef35793c76730p-45;

/* Dekker's splitting: a = hi + lo with hi of at most 26 significant bits. */
template <class L>
TSF_LANE_INLINE void split_halves(const L &a, L &hi, L &lo) {
  const L c = a * 134217729.0;  // 2^27 + 1
  hi = c - (c - a);
  lo = a - hi;
}

/* 2 atanh(num / (c2 + num)) = s2 + odd for c2 = 2c: s2 = 2 s_hi and odd the rest,
   2 s_lo + the series past its first term, rounded to odd. */
template <class L>
TSF_LANE_INLINE void twice_atanh(const L &num, const L &c2, L &s2, L &odd) {
  // u + ulo = c2 + num exactly (|num| < 0.04 c2 / 2, so the fast two-sum is exact).
  const L u = c2 + num;
  const L ulo = num - (u - c2);
  // s = num / u as sh + sl, the rest from the exact remainder num - sh (u + ulo) (Dekker's
  // product of sh and u).
  const L inv = 1.0 / u;
  const L sh = num * inv;
  L shh, shl, uh, ul;
  split_halves(sh, shh, shl);
  split_halves(u, uh, ul);
  const L p = sh * u;
  const L perr = ((shh * uh - p) + shh * ul + shl * uh) + shl * ul;
  const L sl = (((num - p) - perr) - sh * ulo) * inv;

  const L z = sh * sh;
  L poly = splat<L>(0x1.745d1745d1746p-3);  // 2/11
  poly = poly * z + 0x1.c71c71c71c71cp-3;   // 2/9
  poly = poly * z + 0x1.2492492492492p-2;   // 2/7
  poly = poly * z + 0x1.999999999999ap-2;   // 2/5
  poly = poly * z + 0x1.5555555555555p-1;   // 2/3
  const L tail = (sh * z) * poly;
  s2 = 2.0 * sh;
  // 2 s_lo + tail rounded to odd (its last bit set when the sum was inexact), so that it
  // cannot fall on a tie of the final rounding it does not lie on: near x = 1, where the
  // other terms are zero, log(1 + f) for f a few units of 2^-52 lies within f^3/3 of a
  // midpoint.
  const L s2l = 2.0 * sl;
  const L v = s2l + tail;
  const L vb = v - s2l;
  const L verr = (s2l - (v - vb)) + (tail - vb);
  typedef typename lanes<L>::bits B;
  const B vbits = bits_of(v);
  // One unit in the last place towards the exact sum: +1 on the pattern when the error has
  // v's sign, -1 otherwise; applied where the sum was inexact and v is even.
  const B step = (B{} + 1) | (B{} - ((vbits ^ bits_of(verr)) >> 63));
  const B sticky = mask_bits(verr != 0.0) & (B{} - ((vbits & 1) ^ 1));
  odd = from_bits<L>(vbits + (step & sticky));
}

/* ln x for positive normal x; kshift is subtracted from the exponent (a scaled subnormal). */
template <class L>
TSF_LANE_INLINE L log_normal(const L &x, const L *kshift) {
  typedef typename lanes<L>::bits B;
  const B b = bits_of(x);
  // k + 1023 from the exponent of x / sqrt(1/2); m keeps x's mantissa with exponent -k.
  const B ebias = (b + 0x00095F619980C433ull) >> 52;
  const B idx = ((b - 0x3FE6A09E667F3BCDull) >> 48) & 15u;
  const L m = from_bits<L>(b - (ebias << 52) + (1023ull << 52));
  L k = from_bits<L>(ebias | 0x4330000000000000ull) - 4503599627371519.0;
  if (kshift != nullptr) k = k - *kshift;

  const L c = lookup16(kLogCentre, idx);
  L s2, odd;
  twice_atanh(m - c, c + c, s2, odd);
  // top is exact; |top| > |2s| unless top = 0, so the fast two-sum is exact too.
  const L top = k * kLn2Hi + lookup16(kLogCentreHi, idx);
  const L hi = top + s2;
  const L hierr = s2 - (hi - top);
  const L lo = ((k * kLn2Lo + lookup16(kLogCentreLo, idx)) + hierr) + odd;
  return hi + lo;
}

/* Lanes in the interval whose centre is 1 (index 9, k = 0): about 0.988 <= x < 1.039. */
constexpr std::uint64_t kNearOneFirst = 0x3FE6A09E667F3BCDull + (9ull << 48);
constexpr std::uint64_t kNearOneWidth = 1ull << 48;
template <class L>
TSF_LANE_INLINE typename lanes<L>::mask near_one(const L &x) {
  return (bits_of(x) - kNearOneFirst) < kNearOneWidth;
}

/* log_normal(x) for x in that interval, where k = +0 and the table holds 1, +0 and +0:
   there top = +0, hi = s2 (s2 is never -0) and hierr = +0, and lo = odd (odd is never -0:
   v = -0 would need s2l and tail both -0, and tail is -0 nowhere), so hi + lo = s2 + odd. */
template <class L>
TSF_LANE_INLINE L log_near_one(const L &x) {
  L s2, odd;
  twice_atanh(x - 1.0, splat<L>(2.0), s2, odd);
  return s2 + odd;
}

/* Lanes of x other than positive normal numbers: subnormals are scaled by 2^54 first, 0
   gives -inf, negative values NaN, +inf and NaN themselves. Kept out of line (rare), with
   the vectors passed by address. */
template <class L>
__attribute__((noinline)) void log_special(const L &x, L &r) {
  const auto tiny = x < 0x1p-1022;
  const L kshift = tiny ? splat<L>(54.0) : splat<L>(0.0);
  const L scaled = log_normal<L>(x * 0x1p54, &kshift);
  r = tiny ? scaled : r;
  r = (x == __builtin_inf()) ? x : r;
  r = (x == 0.0) ? splat<L>(-__builtin_inf()) : r;
  r = (x < 0.0) ? splat<L>(__builtin_nan("")) : r;
  r = (x != x) ? x + x : r;
}

template <class L>
TSF_LANE_INLINE L log_lanes(const L &x) {
  if (all(near_one(x))) return log_near_one(x);
  L r = log_normal<L>(x, nullptr);
  // Positive normal numbers have patterns from 0x0010... up to (not including) 0x7FF0....
  if (!all((bits_of(x) - 0x0010000000000000ull) < 0x7FE0000000000000ull)) log_special(x, r);
  return r;
}

}  // namespace tsf_lanes

inline double tsf_log(double x) { return tsf_lanes::log_lanes(x); }

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif  // TSFORGE_CORE_ARIMA_LOG_INTERNAL_H
