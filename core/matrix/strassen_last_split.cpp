// The last split of Strassen's recursion (Strassen (1969)) in one pass: for a few rows and
// a vector of columns at a time, the seven products are formed in registers and combined
// at once into the four quadrants of C. Formed one by one, each product would be written
// out and read back by the combination; when the inner dimension is small (the panel
// products of the blocked Cholesky) that traffic, not the arithmetic, was the cost.
// Every product element is summed from 0 in increasing k with a separate multiply and
// add, and the combination keeps its operand order, so the bits are those of forming the
// products one by one.
#include "core/matrix/lanes_internal.h"
#include "core/matrix/matrix_internal.h"

#include <cstddef>
#include <cstring>

namespace {

using std::ptrdiff_t;

#if defined(__GNUC__)
using tsf_matrix::lanes;

struct last_split {
  const double *left;   // seven m x n operands, row stride n
  const double *right;  // seven n x p operands, row stride p
  double *C;
  ptrdiff_t ldc;
  int m, n, p;
};

// Product t of the tile: rows i..i+R-1, columns j..j+L*W-1, summed from 0 in increasing
// k. K is the inner size when known at compile time (the k loop then unrolls), else 0.
template <int L, int R, int W, int K>
TSF_ALWAYS_INLINE void tile_product(const last_split &s, int t, int i, int j,
                                    typename lanes<L>::type (&acc)[R][W]) {
  typedef typename lanes<L>::type V;
  const int n = K > 0 ? K : s.n;
  const double *a = s.left + (static_cast<ptrdiff_t>(t) * s.m + i) * n;
  const double *b = s.right + static_cast<ptrdiff_t>(t) * n * s.p + j;
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) acc[r][w] = V{};
  }
#pragma GCC unroll 8
  for (int k = 0; k < n; ++k) {
    V bk[W];
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) std::memcpy(&bk[w], b + static_cast<ptrdiff_t>(k) * s.p + w * L, sizeof(V));
#pragma GCC unroll 16
    for (int r = 0; r < R; ++r) {
      const double ark = a[r * n + k];
#pragma GCC unroll 16
      for (int w = 0; w < W; ++w) acc[r][w] += ark * bk[w];
    }
  }
}

template <int L, int R, int W>
TSF_ALWAYS_INLINE void store_tile(double *c, ptrdiff_t ldc, const typename lanes<L>::type (&v)[R][W]) {
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) std::memcpy(c + r * ldc + w * L, &v[r][w], sizeof(v[r][w]));
  }
}

// Rows i..i+R-1 and columns j..j+L*W-1 of every quadrant. The products are formed in the
// order that lets each quadrant be finished and stored as soon as its terms exist, so
// fewer of them are live at once:
// C11 = (M1 + M7) + (M4 - M5), C12 = M3 + M5, C21 = M4 + M2, C22 = (M1 + M6) + (M3 - M2).
template <int L, int R, int W, int K>
TSF_ALWAYS_INLINE void seven_products_tile(const last_split &s, int i, int j) {
  typedef typename lanes<L>::type V;
  double *c11 = s.C + static_cast<ptrdiff_t>(i) * s.ldc + j, *c12 = c11 + s.p;
  double *c21 = c11 + static_cast<ptrdiff_t>(s.m) * s.ldc, *c22 = c21 + s.p;
  V m1[R][W], x[R][W], m4[R][W], m5[R][W], q[R][W];
  tile_product<L, R, W, K>(s, 0, i, j, m1);
  tile_product<L, R, W, K>(s, 6, i, j, x);
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) q[r][w] = m1[r][w] + x[r][w];
  }
  tile_product<L, R, W, K>(s, 3, i, j, m4);
  tile_product<L, R, W, K>(s, 4, i, j, m5);
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) q[r][w] = q[r][w] + (m4[r][w] - m5[r][w]);
  }
  store_tile<L, R, W>(c11, s.ldc, q);
  tile_product<L, R, W, K>(s, 2, i, j, x);  // M3
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) q[r][w] = x[r][w] + m5[r][w];
  }
  store_tile<L, R, W>(c12, s.ldc, q);
  tile_product<L, R, W, K>(s, 1, i, j, m5);  // M2, in M5's registers
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) {
      q[r][w] = m4[r][w] + m5[r][w];
      x[r][w] = x[r][w] - m5[r][w];  // M3 - M2
    }
  }
  store_tile<L, R, W>(c21, s.ldc, q);
  tile_product<L, R, W, K>(s, 5, i, j, m4);  // M6, in M4's registers
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) q[r][w] = (m1[r][w] + m4[r][w]) + x[r][w];
  }
  store_tile<L, R, W>(c22, s.ldc, q);
}

// Columns j.. of a block of R rows, fewer than L*W of them: one strip of each width L,
// L/2, ..., 1 that fits.
template <int L, int R, int K>
TSF_ALWAYS_INLINE void seven_products_columns_tail(const last_split &s, int i, int j) {
  for (; j + L <= s.p; j += L) seven_products_tile<L, R, 1, K>(s, i, j);
  if constexpr (L > 1) seven_products_columns_tail<L / 2, R, K>(s, i, j);
}

// Rows i.. in blocks of R (strips of L*W columns, then the ragged edge), then one block
// of each height R/2, ..., 1 that fits.
template <int L, int R, int W, int K>
TSF_ALWAYS_INLINE void seven_products_rows(const last_split &s, int i) {
  for (; i + R <= s.m; i += R) {
    int j = 0;
    for (; j + L * W <= s.p; j += L * W) seven_products_tile<L, R, W, K>(s, i, j);
    seven_products_columns_tail<L, R, K>(s, i, j);
  }
  if constexpr (R > 1) seven_products_rows<L, R / 2, W, K>(s, i);
}

// The inner size of the panel products (4) gets the register tiles; other sizes one row
// at a time.
template <int L, int R, int W>
TSF_ALWAYS_INLINE void seven_products(const last_split &s) {
  if (s.n == 4) {
    seven_products_rows<L, R, W, 4>(s, 0);
  } else {
    seven_products_rows<L, 1, 1, 0>(s, 0);
  }
}

// Tile shapes keep the 7*R*W accumulators within the register file: 16 vector registers
// for SSE2 and AVX2, 32 for AVX-512.
void last_split_baseline(const last_split &s) { seven_products<2, 2, 1>(s); }

#if defined(TSF_X86_KERNELS)
__attribute__((target("avx2"))) void last_split_avx2(const last_split &s) {
  seven_products<4, 2, 1>(s);
}

__attribute__((target("avx512f"))) void last_split_avx512(const last_split &s) {
  seven_products<8, 8, 1>(s);
}
#endif
#endif  // __GNUC__

}  // namespace

namespace tsf_matrix {

bool strassen_last_split_with(product_kernel kind, const double *left, const double *right, int m,
                              int n, int p, double *C, std::ptrdiff_t ldc) {
#if defined(__GNUC__)
  const last_split s{left, right, C, ldc, m, n, p};
  switch (kind) {
    case product_kernel::baseline:
      last_split_baseline(s);
      return true;
#if defined(TSF_X86_KERNELS)
    case product_kernel::avx2:
      last_split_avx2(s);
      return true;
    case product_kernel::avx512:
      last_split_avx512(s);
      return true;
#endif
    default:
      return false;
  }
#else
  (void)kind, (void)left, (void)right, (void)m, (void)n, (void)p, (void)C, (void)ldc;
  return false;
#endif
}

}  // namespace tsf_matrix
