/* Lanes of doubles for the likelihood kernels (never installed).

   A kernel is written once over a lane type L: double for one evaluation, or a vector of W
   doubles (GCC's vector extension) for W evaluations side by side. A vector operation is
   the same IEEE operation on each lane, and the build forbids fused multiply-add, so lane j
   of a vector evaluation has the bits of the scalar evaluation of the same point on every
   target. Masks are bool for double and vectors of 64-bit integers (all ones or zero) for
   vectors; `c ? a : b` selects lane by lane for both.

   The helpers are always inlined: a vector kernel is compiled for the instruction set of
   the function it is inlined into (see likelihood_batch.cpp), and no vector ever crosses a
   call between code compiled for different instruction sets. */
#ifndef TSFORGE_CORE_ARIMA_LANES_INTERNAL_H
#define TSFORGE_CORE_ARIMA_LANES_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#define TSF_LANE_INLINE inline __attribute__((always_inline))

/* Put before a loop over the state of a kernel: GCC unrolls it completely early enough to
   keep the arrays it walks in registers (for a state dimension known at compile time; it
   has no effect on the loops bound by a run-time dimension but to unroll them a little). */
#if defined(__GNUC__) && !defined(__clang__)
#define TSF_UNROLLED _Pragma("GCC unroll 16")
#else
#define TSF_UNROLLED
#endif

#if defined(__GNUC__) && !defined(__clang__)
// GCC notes that passing wide vectors by value changed its calling convention long ago;
// these functions are always inlined, so no such call exists.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace tsf_lanes {

template <int W>
struct vector_of;
#define TSF_VECTOR_OF(W)                                                       \
  template <>                                                                  \
  struct vector_of<W> {                                                        \
    typedef double real __attribute__((vector_size(8 * W)));                   \
    typedef std::int64_t mask __attribute__((vector_size(8 * W)));             \
    typedef std::uint64_t bits __attribute__((vector_size(8 * W)));           \
  };
TSF_VECTOR_OF(2)
TSF_VECTOR_OF(4)
TSF_VECTOR_OF(8)
#undef TSF_VECTOR_OF

/* width, and the mask and bit-pattern types of a lane type. */
template <class L>
struct lanes {
  static constexpr int width = sizeof(L) / sizeof(double);
  typedef typename vector_of<width>::mask mask;
  typedef typename vector_of<width>::bits bits;
};
template <>
struct lanes<double> {
  static constexpr int width = 1;
  typedef bool mask;
  typedef std::uint64_t bits;
};

/* c in every lane. (Through an array: GCC builds a vector assigned lane by lane, or c - 0,
   with one masked broadcast per lane.) */
template <class L>
TSF_LANE_INLINE L splat(double c) {
  if constexpr (sizeof(L) == sizeof(double)) {
    return c;
  } else {
    double lanes[sizeof(L) / sizeof(double)];
    for (double &v : lanes) v = c;
    L r;
    std::memcpy(&r, lanes, sizeof r);
    return r;
  }
}

/* The bit pattern of each lane, and back (a vector cast reinterprets the bits). */
TSF_LANE_INLINE std::uint64_t bits_of(const double &x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}
template <class L>
TSF_LANE_INLINE typename lanes<L>::bits bits_of(const L &x) {
  return (typename lanes<L>::bits)x;
}

template <class L>
TSF_LANE_INLINE L from_bits(const typename lanes<L>::bits &b) {
  if constexpr (lanes<L>::width == 1) {
    L x;
    std::memcpy(&x, &b, sizeof x);
    return x;
  } else {
    return (L)b;
  }
}

/* |x|: the sign bit cleared, as fabs does. */
template <class L>
TSF_LANE_INLINE L magnitude(const L &x) {
  return from_bits<L>(bits_of(x) & 0x7FFFFFFFFFFFFFFFull);
}

/* Lanes whose bit patterns are equal (unlike ==, which ignores the sign of zero and
   never holds for NaN). */
template <class L>
TSF_LANE_INLINE typename lanes<L>::mask same_bits(const L &x, const L &y) {
  return bits_of(x) == bits_of(y);
}

// Without short circuit: no branch on an unpredictable lane.
TSF_LANE_INLINE bool negate(bool m) { return !m; }
TSF_LANE_INLINE bool both(bool a, bool b) { return a & b; }
TSF_LANE_INLINE bool either(bool a, bool b) { return a | b; }
TSF_LANE_INLINE bool any(bool m) { return m; }
TSF_LANE_INLINE bool all(bool m) { return m; }
template <class M>
TSF_LANE_INLINE M negate(const M &m) {
  return ~m;
}
template <class M>
TSF_LANE_INLINE M both(const M &a, const M &b) {
  return a & b;
}
template <class M>
TSF_LANE_INLINE M either(const M &a, const M &b) {
  return a | b;
}
/* Whether any lane of m is set: the upper half is folded onto the lower one down to two
   lanes (log2 W - 1 narrower and narrower operations), whose two values are read. */
template <class M>
TSF_LANE_INLINE bool any(const M &m) {
  constexpr int W = static_cast<int>(sizeof(M) / 8);
  if constexpr (W == 2) {
    return (m[0] | m[1]) != 0;
  } else {
    typedef typename vector_of<W / 2>::mask H;
    H lo, hi;
    std::memcpy(&lo, &m, sizeof lo);
    std::memcpy(&hi, reinterpret_cast<const char *>(&m) + sizeof lo, sizeof hi);
    return any(lo | hi);
  }
}
template <class M>
TSF_LANE_INLINE bool all(const M &m) {
  return !any(~m);
}

/* A mask as bit patterns: all ones where set, zero elsewhere. */
TSF_LANE_INLINE std::uint64_t mask_bits(bool m) { return std::uint64_t{0} - static_cast<std::uint64_t>(m); }
template <class M>
TSF_LANE_INLINE auto mask_bits(const M &m) {
  return (typename vector_of<sizeof(M) / 8>::bits)m;
}

template <class L>
TSF_LANE_INLINE typename lanes<L>::mask no_lanes() {
  return splat<L>(0.0) != splat<L>(0.0);
}

/* Lane j of x. */
TSF_LANE_INLINE double lane_value(double x, int) { return x; }
template <class L>
TSF_LANE_INLINE double lane_value(const L &x, int j) {
  return x[j];
}

/* table[i] in each lane, for a table of 16 doubles and indices 0..15. */
TSF_LANE_INLINE double lookup16(const double *table, std::uint64_t i) { return table[i]; }
template <class B>
TSF_LANE_INLINE typename vector_of<sizeof(B) / 8>::real lookup16(const double *table, const B &i) {
  typedef typename vector_of<sizeof(B) / 8>::real L;
#if defined(__GNUC__) && !defined(__clang__)
  if constexpr (sizeof(B) == 64) {
    // Two vectors of eight hold the table: one permutation per lookup.
    L lo, hi;
    std::memcpy(&lo, table, sizeof lo);
    std::memcpy(&hi, table + 8, sizeof hi);
    return __builtin_shuffle(lo, hi, (typename vector_of<8>::mask)i);
  }
#endif
  L r;
  for (int j = 0; j < static_cast<int>(sizeof(B) / 8); ++j) r[j] = table[i[j]];
  return r;
}

}  // namespace tsf_lanes

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif  // TSFORGE_CORE_ARIMA_LANES_INTERNAL_H
