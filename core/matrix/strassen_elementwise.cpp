// The elementwise passes of Strassen's recursion (Strassen (1969)): the operand sums and
// the combinations of the seven products. They move more data than they compute, so
// they run in the widest vectors the processor offers (GCC's vector extension, which
// the library's compilers all have; two lanes elsewhere); an elementwise operation gives
// the same bits at any width.
#include "core/matrix/lanes_internal.h"
#include "core/matrix/matrix_internal.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(TSF_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

using std::ptrdiff_t;

using tsf_matrix::lanes;

// Vectors of L doubles at unaligned addresses; taken by reference, so no vector crosses
// a call boundary in a register whose convention depends on the instruction set.
template <int L>
struct vec {
  typename lanes<L>::type v;
  TSF_ALWAYS_INLINE explicit vec(const double *x) { std::memcpy(&v, x, sizeof v); }
  TSF_ALWAYS_INLINE explicit vec(typename lanes<L>::type x) : v(x) {}
  TSF_ALWAYS_INLINE void put(double *x) const { std::memcpy(x, &v, sizeof v); }
  TSF_ALWAYS_INLINE vec operator+(const vec &o) const { return vec(v + o.v); }
  TSF_ALWAYS_INLINE vec operator-(const vec &o) const { return vec(v - o.v); }
};

// c = x + y (sign > 0) or x - y over elements j..p-1: L at a time, then one step of each
// narrower width that fits (operand rows are often only a few elements long).
template <int L>
TSF_ALWAYS_INLINE void sum_row(int sign, const double *x, const double *y, double *c, int j, int p) {
  if (sign > 0) {
    for (; j + L <= p; j += L) (vec<L>(x + j) + vec<L>(y + j)).put(c + j);
  } else {
    for (; j + L <= p; j += L) (vec<L>(x + j) - vec<L>(y + j)).put(c + j);
  }
  if constexpr (L > 1) {
    sum_row<L / 2>(sign, x, y, c, j, p);
  }
}

template <int L>
TSF_ALWAYS_INLINE void sum_rows(int sign, const double *X, ptrdiff_t ldx, const double *Y, ptrdiff_t ldy,
                                double *C, ptrdiff_t ldc, int m, int p) {
  for (int i = 0; i < m; ++i) sum_row<L>(sign, X + i * ldx, Y + i * ldy, C + i * ldc, 0, p);
}

// Row i of the combination in place, elements j..p-1 (widths as in sum_row): with
// C11 = M7, C12 = M5, C21 = M2, C22 = M6 and X1, X2, X3 = M1, M3, M4,
// C11 = (X1 + C11) + (X3 - C12), C22 = (X1 + C22) + (X2 - C21), C12 = X2 + C12,
// C21 = X3 + C21, C12 and C21 read before they change.
template <int L>
TSF_ALWAYS_INLINE void combine_row(const double *x1, const double *x2, const double *x3, double *c11,
                                   double *c12, double *c21, double *c22, int j, int p) {
  for (; j + L <= p; j += L) {
    const vec<L> a1(x1 + j), a2(x2 + j), a3(x3 + j), old12(c12 + j), old21(c21 + j);
    ((a1 + vec<L>(c11 + j)) + (a3 - old12)).put(c11 + j);
    ((a1 + vec<L>(c22 + j)) + (a2 - old21)).put(c22 + j);
    (a2 + old12).put(c12 + j);
    (a3 + old21).put(c21 + j);
  }
  if constexpr (L > 1) combine_row<L / 2>(x1, x2, x3, c11, c12, c21, c22, j, p);
}

template <int L>
TSF_ALWAYS_INLINE void combine_rows(const double *X1, const double *X2, const double *X3, ptrdiff_t ldx,
                                    double *C, ptrdiff_t ldc, int m, int p) {
  for (int i = 0; i < m; ++i) {
    double *c11 = C + i * ldc, *c21 = C + (m + i) * ldc;
    combine_row<L>(X1 + i * ldx, X2 + i * ldx, X3 + i * ldx, c11, c11 + p, c21, c21 + p, 0, p);
  }
}

// to[j] = (a[j] + b[j]) + (c[j] - d[j]) and to[j] = a[j] + b[j], elements j..p-1
// (widths as in sum_row).
template <int L>
TSF_ALWAYS_INLINE void four_terms(const double *a, const double *b, const double *c, const double *d, double *to,
                                  int j, int p) {
  for (; j + L <= p; j += L) ((vec<L>(a + j) + vec<L>(b + j)) + (vec<L>(c + j) - vec<L>(d + j))).put(to + j);
  if constexpr (L > 1) four_terms<L / 2>(a, b, c, d, to, j, p);
}

template <int L>
TSF_ALWAYS_INLINE void two_terms(const double *a, const double *b, double *to, int j, int p) {
  for (; j + L <= p; j += L) (vec<L>(a + j) + vec<L>(b + j)).put(to + j);
  if constexpr (L > 1) two_terms<L / 2>(a, b, to, j, p);
}

#if defined(TSF_X86_KERNELS)
// four_terms and two_terms in 8 lanes with streaming stores, which need 64-byte aligned
// addresses: elements up to the first such boundary go one at a time.
__attribute__((target("avx512f"), always_inline)) inline int unaligned_head(const double *to, int p) {
  int j = 0;
  while (j < p && (reinterpret_cast<std::uintptr_t>(to + j) & 63) != 0) ++j;
  return j;
}

__attribute__((target("avx512f"), always_inline)) inline void four_terms_stream(const double *a, const double *b,
                                                                                const double *c, const double *d,
                                                                                double *to, int p) {
  const int head = unaligned_head(to, p);
  four_terms<1>(a, b, c, d, to, 0, head);
  int j = head;
  for (; j + 8 <= p; j += 8) {
    const vec<8> v = (vec<8>(a + j) + vec<8>(b + j)) + (vec<8>(c + j) - vec<8>(d + j));
    __m512d w;
    std::memcpy(&w, &v.v, sizeof w);
    _mm512_stream_pd(to + j, w);
  }
  four_terms<4>(a, b, c, d, to, j, p);
}

__attribute__((target("avx512f"), always_inline)) inline void two_terms_stream(const double *a, const double *b,
                                                                               double *to, int p) {
  const int head = unaligned_head(to, p);
  two_terms<1>(a, b, to, 0, head);
  int j = head;
  for (; j + 8 <= p; j += 8) {
    const vec<8> v = vec<8>(a + j) + vec<8>(b + j);
    __m512d w;
    std::memcpy(&w, &v.v, sizeof w);
    _mm512_stream_pd(to + j, w);
  }
  two_terms<4>(a, b, to, j, p);
}
#endif

// The row passes of the combination below: to = (a + b) + (c - d) and to = a + b.
template <int L>
struct plain_terms {
  static TSF_ALWAYS_INLINE void four(const double *a, const double *b, const double *c, const double *d, double *to,
                                     int p) {
    four_terms<L>(a, b, c, d, to, 0, p);
  }
  static TSF_ALWAYS_INLINE void two(const double *a, const double *b, double *to, int p) { two_terms<L>(a, b, to, 0, p); }
};

// The combination of the seven m x p products M1..M7 (row stride p) into the elements of
// the caller's M x P matrix C that exist.
template <class Terms>
TSF_ALWAYS_INLINE void combine_unpadded_rows(const double *const Mt[7], int m, int p, double *C, int M, int P) {
  const int left_cols = p < P ? p : P, right_cols = P - p;
  for (int i = 0; i < m && i < M; ++i) {
    const ptrdiff_t e = static_cast<ptrdiff_t>(i) * p;
    const double *M1 = Mt[0] + e, *M2 = Mt[1] + e, *M3 = Mt[2] + e, *M4 = Mt[3] + e;
    const double *M5 = Mt[4] + e, *M6 = Mt[5] + e, *M7 = Mt[6] + e;
    double *top = C + static_cast<ptrdiff_t>(i) * P;
    Terms::four(M1, M7, M4, M5, top, left_cols);
    Terms::two(M3, M5, top + p, right_cols);
    if (i + m >= M) continue;
    double *bottom = C + static_cast<ptrdiff_t>(i + m) * P;
    Terms::two(M4, M2, bottom, left_cols);
    Terms::four(M1, M6, M3, M2, bottom + p, right_cols);
  }
}

#if defined(TSF_X86_KERNELS)
#define TSF_PASSES(NAME, TARGET, L)                                                                        \
  __attribute__((target(TARGET))) void NAME##_sum(int sign, const double *X, ptrdiff_t ldx,               \
                                                  const double *Y, ptrdiff_t ldy, double *C,              \
                                                  ptrdiff_t ldc, int m, int p) {                          \
    sum_rows<L>(sign, X, ldx, Y, ldy, C, ldc, m, p);                                                      \
  }                                                                                                       \
  __attribute__((target(TARGET))) void NAME##_combine(const double *X1, const double *X2,                 \
                                                      const double *X3, ptrdiff_t ldx, double *C,         \
                                                      ptrdiff_t ldc, int m, int p) {                      \
    combine_rows<L>(X1, X2, X3, ldx, C, ldc, m, p);                                                       \
  }
TSF_PASSES(avx2, "avx2", 4)
TSF_PASSES(avx512, "avx512f", 8)
#undef TSF_PASSES

__attribute__((target("avx2"))) void avx2_combine_unpadded(const double *const Mt[7], int m, int p, double *C,
                                                           int M, int P) {
  combine_unpadded_rows<plain_terms<4>>(Mt, m, p, C, M, P);
}

// Called per row, not inlined: a function for AVX-512 cannot be inlined into the generic
// row loop.
struct streaming_terms {
  static __attribute__((target("avx512f"))) void four(const double *a, const double *b, const double *c,
                                                      const double *d, double *to, int p) {
    four_terms_stream(a, b, c, d, to, p);
  }
  static __attribute__((target("avx512f"))) void two(const double *a, const double *b, double *to, int p) {
    two_terms_stream(a, b, to, p);
  }
};

// The 8-lane form writes C with streaming stores: C is written once and not read back
// here, so its lines need not be fetched first.
__attribute__((target("avx512f"))) void avx512_combine_unpadded(const double *const Mt[7], int m, int p,
                                                                double *C, int M, int P) {
  combine_unpadded_rows<streaming_terms>(Mt, m, p, C, M, P);
  _mm_sfence();
}
#endif

#if defined(TSF_X86_KERNELS)
// The widest form this processor runs, chosen once.
tsf_matrix::product_kernel widest() {
  static const tsf_matrix::product_kernel kind = tsf_matrix::best_product_kernel();
  return kind;
}
#endif

}  // namespace

namespace tsf_matrix {

void strassen_sum(int sign, const double *X, std::ptrdiff_t ldx, const double *Y, std::ptrdiff_t ldy,
                  double *C, std::ptrdiff_t ldc, int m, int p) {
#if defined(TSF_X86_KERNELS)
  if (widest() == product_kernel::avx512) return avx512_sum(sign, X, ldx, Y, ldy, C, ldc, m, p);
  if (widest() == product_kernel::avx2) return avx2_sum(sign, X, ldx, Y, ldy, C, ldc, m, p);
#endif
  sum_rows<2>(sign, X, ldx, Y, ldy, C, ldc, m, p);
}

void strassen_combine(const double *X1, const double *X2, const double *X3, std::ptrdiff_t ldx, double *C,
                      std::ptrdiff_t ldc, int m, int p) {
#if defined(TSF_X86_KERNELS)
  if (widest() == product_kernel::avx512) return avx512_combine(X1, X2, X3, ldx, C, ldc, m, p);
  if (widest() == product_kernel::avx2) return avx2_combine(X1, X2, X3, ldx, C, ldc, m, p);
#endif
  combine_rows<2>(X1, X2, X3, ldx, C, ldc, m, p);
}

void strassen_combine_unpadded(const double *const Mt[7], int m, int p, double *C, int M, int P) {
#if defined(TSF_X86_KERNELS)
  if (widest() == product_kernel::avx512) return avx512_combine_unpadded(Mt, m, p, C, M, P);
  if (widest() == product_kernel::avx2) return avx2_combine_unpadded(Mt, m, p, C, M, P);
#endif
  combine_unpadded_rows<plain_terms<2>>(Mt, m, p, C, M, P);
}

}  // namespace tsf_matrix
