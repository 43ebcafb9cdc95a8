// Matrix products: the dispatcher, the direct loop with its register-blocked kernels, the
// product through a transposed copy, and the recursive accumulating product
// (cache-oblivious splitting of the largest dimension, Frigo, Leiserson, Prokop and
// Ramachandran (1999)). The register blocking follows Goto and van de Geijn (2008),
// without their reordering of the k sums.
#include "core/matrix/matrix.h"
#include "core/matrix/lanes_internal.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

using std::ptrdiff_t;

#if defined(__GNUC__)
using tsf_matrix::lanes;

// C (R x L*W) += A (R x K) * B (K x L*W), or = when Load is false. The R*W accumulators
// stay in registers across the k loop; each lane is one element of C and receives its
// products one k at a time in increasing k, with a separate multiply and add, so every
// element rounds exactly as the scalar sum does.
template <int L, int R, int W, bool Load>
TSF_ALWAYS_INLINE void register_tile(const double *A, ptrdiff_t lda, const double *B, ptrdiff_t ldb,
                                     double *C, ptrdiff_t ldc, int K) {
  typedef typename lanes<L>::type V;
  V acc[R][W];
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) {
      if (Load) {
        std::memcpy(&acc[r][w], C + r * ldc + w * L, sizeof(V));
      } else {
        acc[r][w] = V{};
      }
    }
  }
  for (int k = 0; k < K; ++k) {
    V b[W];
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) std::memcpy(&b[w], B + k * ldb + w * L, sizeof(V));
#pragma GCC unroll 16
    for (int r = 0; r < R; ++r) {
      const double a = A[r * lda + k];
#pragma GCC unroll 16
      for (int w = 0; w < W; ++w) acc[r][w] += a * b[w];
    }
  }
#pragma GCC unroll 16
  for (int r = 0; r < R; ++r) {
#pragma GCC unroll 16
    for (int w = 0; w < W; ++w) std::memcpy(C + r * ldc + w * L, &acc[r][w], sizeof(V));
  }
}

// Columns j.. of a block of R rows, fewer than L*W of them: one strip of each width L,
// L/2, ..., 1 that fits, so a ragged edge costs a few narrow strips, not scalar columns.
template <int L, int R, bool Load>
TSF_ALWAYS_INLINE void register_columns_tail(const double *A, const double *B, double *C, int N,
                                             int P, int j, ptrdiff_t lda, ptrdiff_t ldb,
                                             ptrdiff_t ldc) {
  for (; j + L <= P; j += L) register_tile<L, R, 1, Load>(A, lda, B + j, ldb, C + j, ldc, N);
  if constexpr (L > 1) register_columns_tail<L / 2, R, Load>(A, B, C, N, P, j, lda, ldb, ldc);
}

// One block of R rows of C: strips of L*W columns, then the ragged edge.
template <int L, int R, int W, bool Load>
TSF_ALWAYS_INLINE void register_rows(const double *A, const double *B, double *C, int N, int P,
                                     ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  int j = 0;
  for (; j + L * W <= P; j += L * W) register_tile<L, R, W, Load>(A, lda, B + j, ldb, C + j, ldc, N);
  register_columns_tail<L, R, Load>(A, B, C, N, P, j, lda, ldb, ldc);
}

// Rows i.. of C in blocks of R, then one block of each height R/2, ..., 1 that fits.
template <int L, int R, int W, bool Load>
TSF_ALWAYS_INLINE void register_product_rows(const double *A, const double *B, double *C, int M,
                                             int N, int P, int i, ptrdiff_t lda, ptrdiff_t ldb,
                                             ptrdiff_t ldc) {
  for (; i + R <= M; i += R) register_rows<L, R, W, Load>(A + i * lda, B, C + i * ldc, N, P, lda, ldb, ldc);
  if constexpr (R > 1) register_product_rows<L, R / 2, W, Load>(A, B, C, M, N, P, i, lda, ldb, ldc);
}

template <int L, int R, int W, bool Load>
TSF_ALWAYS_INLINE void register_product(const double *A, const double *B, double *C, int M, int N,
                                        int P, ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  register_product_rows<L, R, W, Load>(A, B, C, M, N, P, 0, lda, ldb, ldc);
}

// Tile shapes fill the register file without spilling: 16 vector registers for SSE2 and
// AVX2 (4 x 2 accumulators), 32 for AVX-512 (8 x 2).
template <bool Load>
void product_baseline(const double *A, const double *B, double *C, int M, int N, int P,
                      ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  register_product<2, 4, 2, Load>(A, B, C, M, N, P, lda, ldb, ldc);
}

#if defined(TSF_X86_KERNELS)
template <bool Load>
__attribute__((target("avx2"))) void product_avx2(const double *A, const double *B, double *C,
                                                  int M, int N, int P, ptrdiff_t lda,
                                                  ptrdiff_t ldb, ptrdiff_t ldc) {
  register_product<4, 4, 2, Load>(A, B, C, M, N, P, lda, ldb, ldc);
}

template <bool Load>
__attribute__((target("avx512f"))) void product_avx512(const double *A, const double *B,
                                                       double *C, int M, int N, int P,
                                                       ptrdiff_t lda, ptrdiff_t ldb,
                                                       ptrdiff_t ldc) {
  register_product<8, 8, 2, Load>(A, B, C, M, N, P, lda, ldb, ldc);
}
#endif
#endif  // __GNUC__

// The i-k-j loop every kernel must reproduce bit for bit.
template <bool Load>
void product_scalar(const double *A, const double *B, double *C, int M, int N, int P,
                    ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  for (int i = 0; i < M; ++i) {
    double *__restrict c = C + i * ldc;
    const double *a = A + i * lda;
    if (!Load) {
      for (int j = 0; j < P; ++j) c[j] = 0.0;
    }
    for (int k = 0; k < N; ++k) {
      const double aik = a[k];
      const double *__restrict b = B + k * ldb;
      for (int j = 0; j < P; ++j) c[j] += aik * b[j];
    }
  }
}

template <bool Load>
void product_with(tsf_matrix::product_kernel kind, const double *A, const double *B, double *C,
                  int M, int N, int P, ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  using tsf_matrix::product_kernel;
  if (M <= 0 || P <= 0) return;
  if (N < 0) N = 0;
  switch (kind) {
#if defined(__GNUC__)
    case product_kernel::baseline:
      product_baseline<Load>(A, B, C, M, N, P, lda, ldb, ldc);
      return;
#if defined(TSF_X86_KERNELS)
    case product_kernel::avx2:
      product_avx2<Load>(A, B, C, M, N, P, lda, ldb, ldc);
      return;
    case product_kernel::avx512:
      product_avx512<Load>(A, B, C, M, N, P, lda, ldb, ldc);
      return;
#endif
#endif
    default:
      product_scalar<Load>(A, B, C, M, N, P, lda, ldb, ldc);
  }
}

}  // namespace

namespace tsf_matrix {

bool product_kernel_available(product_kernel kind) {
  switch (kind) {
    case product_kernel::scalar:
      return true;
#if defined(__GNUC__)
    case product_kernel::baseline:
      return true;
#if defined(TSF_X86_KERNELS)
    case product_kernel::avx2:
      // The processor model is read by a constructor of libgcc; a call from another
      // constructor may come first, and a second reading changes nothing.
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2");
    case product_kernel::avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f");
#endif
#endif
    default:
      return false;
  }
}

product_kernel best_product_kernel() {
  if (product_kernel_available(product_kernel::avx512)) return product_kernel::avx512;
  if (product_kernel_available(product_kernel::avx2)) return product_kernel::avx2;
  if (product_kernel_available(product_kernel::baseline)) return product_kernel::baseline;
  return product_kernel::scalar;
}

void product_overwrite_with(product_kernel kind, const double *A, const double *B, double *C,
                            int M, int N, int P, ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  product_with<false>(kind, A, B, C, M, N, P, lda, ldb, ldc);
}

void product_accumulate_with(product_kernel kind, const double *A, const double *B, double *C,
                             int M, int N, int P, ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  product_with<true>(kind, A, B, C, M, N, P, lda, ldb, ldc);
}

void product_overwrite(const double *A, const double *B, double *C, int M, int N, int P,
                       ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  product_with<false>(best_product_kernel(), A, B, C, M, N, P, lda, ldb, ldc);
}

void product_accumulate(const double *A, const double *B, double *C, int M, int N, int P,
                        ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc) {
  product_with<true>(best_product_kernel(), A, B, C, M, N, P, lda, ldb, ldc);
}

}  // namespace tsf_matrix

namespace {

using std::ptrdiff_t;
using std::size_t;

// Largest M * P of a product with M + N + P <= 96 and N >= 1.
constexpr int kDirectOutputMax = 47 * 48;

void recursive_accumulate(const double *A, const double *B, double *C, int m, int n, int p,
                          ptrdiff_t s1, ptrdiff_t s2, ptrdiff_t s3) {
  if (m <= 0 || n <= 0 || p <= 0) return;
  if (static_cast<double>(m) + n + p <= 192.0) {
    tsf_matrix::product_accumulate(A, B, C, m, n, p, s2, s3, s3);
    return;
  }
  if (m >= n && m >= p) {
    int h = static_cast<int>(std::ceil(m / 2.0));
    recursive_accumulate(A, B, C, h, n, p, s1, s2, s3);
    recursive_accumulate(A + h * s2, B, C + h * s3, m - h, n, p, s1, s2, s3);
  } else if (n >= p) {
    int h = static_cast<int>(std::ceil(n / 2.0));
    recursive_accumulate(A, B, C, m, h, p, s1, s2, s3);
    recursive_accumulate(A + h, B + h * s3, C, m, n - h, p, s1, s2, s3);
  } else {
    int h = static_cast<int>(std::ceil(p / 2.0));
    recursive_accumulate(A, B, C, m, n, h, s1, s2, s3);
    recursive_accumulate(A, B + h, C + h, m, n, p - h, s1, s2, s3);
  }
}

}  // namespace

void nmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  tsf_matrix::product_overwrite(A, B, C, M, N > 0 ? N : 0, P, N, P, P);
}

void mmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  if (static_cast<double>(M) + N + P > 96.0) {
    smult(A, B, C, M, N, P);
    return;
  }
  const size_t nc = static_cast<size_t>(M) * P;
  const size_t na = N > 0 ? static_cast<size_t>(M) * N : 0;
  const size_t nb = N > 0 ? static_cast<size_t>(N) * P : 0;
  if (!tsf_matrix::ranges_overlap(C, nc, A, na) && !tsf_matrix::ranges_overlap(C, nc, B, nb)) {
    nmult(A, B, C, M, N, P);
    return;
  }
  // C shares memory with an operand: form the product on the stack, then copy it out.
  double product[kDirectOutputMax];
  nmult(A, B, product, M, N, P);
  std::memcpy(C, product, nc * sizeof(double));
}

void tmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  if (N <= 0) {
    for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(M) * P; ++i) C[i] = 0.0;
    return;
  }
  double *BT = tsf_matrix::scratch_doubles(static_cast<size_t>(P) * N, "tmult");
  mtranspose(B, N, P, BT);
  for (int i = 0; i < M; ++i) {
    const double *a = A + static_cast<ptrdiff_t>(i) * N;
    for (int j = 0; j < P; ++j) {
      const double *bt = BT + static_cast<ptrdiff_t>(j) * N;
      double s = 0.0;
      for (int k = 0; k < N; ++k) s += a[k] * bt[k];
      C[static_cast<ptrdiff_t>(i) * P + j] = s;
    }
  }
  std::free(BT);
}

void recmult(double *A, double *B, double *C, int m, int n, int p, int s1, int s2, int s3) {
  recursive_accumulate(A, B, C, m, n, p, s1, s2, s3);
}

void rmult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(M) * P; ++i) C[i] = 0.0;
  recmult(A, B, C, M, N, P, M, N, P);
}
