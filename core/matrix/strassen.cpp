// Strassen's product (Strassen (1969)) on zero-padded copies: the sizes are rounded up
// to multiples of 2^k so every level of the recursion splits into equal quadrants, and
// sub-problems whose sizes sum to at most 192 use the direct loop. All scratch of the
// recursion is one block, allocated once per product. A padded product's first split
// writes only the caller's elements of C, and a last split with a small inner size runs
// in one pass (strassen_last_split.cpp); neither changes a bit of the result.
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

using std::ptrdiff_t;
using std::size_t;

// A view and its row stride.
struct view {
  const double *p;
  ptrdiff_t ld;
};

// True when a product of these sizes is split into quadrants rather than formed by the
// direct loop. Odd sizes cannot be split into equal quadrants; findrec's sizes never are
// odd here, but a direct caller's may be, and the direct loop is then the exact
// alternative.
bool splits(int M, int N, int P) {
  const bool odd = (M % 2) != 0 || (N % 2) != 0 || (P % 2) != 0;
  return static_cast<double>(M) + N + P > 192.0 && !odd;
}

// Scratch doubles the recursion needs from a level of these sizes down: at each level
// the three products X1, X2, X3 and an operand sum for each side, or at the last split
// the seven operands of each side when it runs in one pass. One block serves the whole
// recursion, so the buffers of a level are reused by its seven products.
size_t scratch_needed(int M, int N, int P) {
  size_t total = 0;
  while (splits(M, N, P)) {
    M /= 2;
    N /= 2;
    P /= 2;
    const size_t mn = static_cast<size_t>(M) * N, np = static_cast<size_t>(N) * P;
    const size_t level = mn + np + 3 * static_cast<size_t>(M) * P;
    const size_t last = splits(M, N, P) ? 0 : 7 * (mn + np);
    total += level > last ? level : last;
  }
  return total;
}

// An operand of one of the seven products: quadrant x alone (sign 0), x + y (sign 1) or
// x - y (sign -1).
struct operand {
  view x, y;
  int sign;
};

// The operands of Strassen's seven products M1..M7 for the quadrants of A (M x N) and
// B (N x P), in the order the products are formed.
struct seven_operands {
  operand left[7], right[7];
};

seven_operands operands_of(const double *A, const double *B, int m, int n, int p, ptrdiff_t lda,
                           ptrdiff_t ldb) {
  const view A11{A, lda}, A12{A + n, lda}, A21{A + m * lda, lda}, A22{A + m * lda + n, lda};
  const view B11{B, ldb}, B12{B + p, ldb}, B21{B + n * ldb, ldb}, B22{B + n * ldb + p, ldb};
  const view none{nullptr, 0};
  return seven_operands{{{A11, A22, 1}, {A21, A22, 1}, {A11, none, 0}, {A22, none, 0}, {A11, A12, 1},
                         {A21, A11, -1}, {A12, A22, -1}},
                        {{B11, B22, 1}, {B11, none, 0}, {B12, B22, -1}, {B21, B11, -1}, {B22, none, 0},
                         {B11, B12, 1}, {B21, B22, 1}}};
}

// x + y, x - y or a copy of x into the contiguous rows x cols block out.
void write_operand(const operand &o, int rows, int cols, double *out) {
  if (o.sign > 0) {
    tsf_matrix::strassen_sum(1, o.x.p, o.x.ld, o.y.p, o.y.ld, out, cols, rows, cols);
  } else if (o.sign < 0) {
    tsf_matrix::strassen_sum(-1, o.x.p, o.x.ld, o.y.p, o.y.ld, out, cols, rows, cols);
  } else {
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j < cols; ++j) out[static_cast<ptrdiff_t>(i) * cols + j] = o.x.p[i * o.x.ld + j];
    }
  }
}

// The operand as a view: the quadrant itself, or the sum written into buffer.
view operand_view(const operand &o, int rows, int cols, double *buffer) {
  if (o.sign == 0) return o.x;
  write_operand(o, rows, cols, buffer);
  return view{buffer, cols};
}

void strassen(const double *A, const double *B, double *C, int M, int N, int P, ptrdiff_t lda,
              ptrdiff_t ldb, ptrdiff_t ldc, double *scratch);

// M1..M7 of the quadrants (each m x n times n x p) into out[t] with row stride ldo[t].
// scratch holds the two operand sums (m x n and n x p) and then the deeper levels'.
void seven_products(const seven_operands &ops, int m, int n, int p, double *const out[7],
                    const ptrdiff_t ldo[7], double *scratch) {
  double *SA = scratch, *SB = SA + static_cast<size_t>(m) * n;
  double *deeper = SB + static_cast<size_t>(n) * p;
  for (int t = 0; t < 7; ++t) {
    const view left = operand_view(ops.left[t], m, n, SA);
    const view right = operand_view(ops.right[t], n, p, SB);
    strassen(left.p, right.p, out[t], m, n, p, left.ld, right.ld, ldo[t], deeper);
  }
}

// The last split in one pass (strassen_last_split_with), its fourteen operands written
// one after another into scratch. False, with nothing written to C, when the processor's
// kernel has no such form or the inner size is above 4: there the products one by one
// are faster (their traffic to memory is small beside their arithmetic).
bool last_split_in_one_pass(const double *A, const double *B, double *C, int M, int N, int P,
                            ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc, double *scratch) {
  const tsf_matrix::product_kernel kind = tsf_matrix::best_product_kernel();
  const int m = M / 2, n = N / 2, p = P / 2;
  if (kind == tsf_matrix::product_kernel::scalar || n > 4) return false;
  const seven_operands ops = operands_of(A, B, m, n, p, lda, ldb);
  const size_t mn = static_cast<size_t>(m) * n, np = static_cast<size_t>(n) * p;
  double *L = scratch, *R = scratch + 7 * mn;
  for (int t = 0; t < 7; ++t) {
    write_operand(ops.left[t], m, n, L + t * mn);
    write_operand(ops.right[t], n, p, R + t * np);
  }
  return tsf_matrix::strassen_last_split_with(kind, L, R, m, n, p, C, ldc);
}

void strassen(const double *A, const double *B, double *C, int M, int N, int P, ptrdiff_t lda,
              ptrdiff_t ldb, ptrdiff_t ldc, double *scratch) {
  if (!splits(M, N, P)) {
    tsf_matrix::product_overwrite(A, B, C, M, N, P, lda, ldb, ldc);
    return;
  }
  const int m = M / 2, n = N / 2, p = P / 2;
  if (!splits(m, n, p) && last_split_in_one_pass(A, B, C, M, N, P, lda, ldb, ldc, scratch)) return;
  const size_t mp = static_cast<size_t>(m) * p;
  double *X1 = scratch, *X2 = X1 + mp, *X3 = X2 + mp;
  double *C11 = C, *C12 = C + p, *C21 = C + m * ldc, *C22 = C + m * ldc + p;
  double *const out[7] = {X1, C21, X2, X3, C12, C22, C11};
  const ptrdiff_t ldo[7] = {p, ldc, p, p, ldc, ldc, ldc};
  seven_products(operands_of(A, B, m, n, p, lda, ldb), m, n, p, out, ldo, X3 + mp);
  tsf_matrix::strassen_combine(X1, X2, X3, p, C, ldc, m, p);
}

// The recursion with its scratch block.
void strassen_product(const double *A, const double *B, double *C, int M, int N, int P,
                      ptrdiff_t lda, ptrdiff_t ldb, ptrdiff_t ldc, const char *who) {
  const size_t need = scratch_needed(M, N, P);
  double *scratch = need > 0 ? tsf_matrix::scratch_doubles(need, who) : nullptr;
  strassen(A, B, C, M, N, P, lda, ldb, ldc, scratch);
  std::free(scratch);
}


// A padded product (Mp x Np times Np x Pp, contiguous) into the caller's M x P matrix C:
// the seven products of the first split go to scratch and their combination writes C's
// own elements, so no padded copy of C is made or stripped. C is written only after every
// product is formed, so it may share memory with the operands.
void strassen_into_unpadded(const double *A, const double *B, double *C, int Mp, int Np, int Pp,
                            int M, int P, const char *who) {
  const int m = Mp / 2, n = Np / 2, p = Pp / 2;
  const size_t mp = static_cast<size_t>(m) * p;
  const size_t need = 7 * mp + static_cast<size_t>(m) * n + static_cast<size_t>(n) * p + scratch_needed(m, n, p);
  double *block = tsf_matrix::scratch_doubles(need, who);
  double *const out[7] = {block, block + mp, block + 2 * mp, block + 3 * mp,
                          block + 4 * mp, block + 5 * mp, block + 6 * mp};
  const ptrdiff_t ldo[7] = {p, p, p, p, p, p, p};
  seven_products(operands_of(A, B, m, n, p, Np, Pp), m, n, p, out, ldo, block + 7 * mp);
  tsf_matrix::strassen_combine_unpadded(out, m, p, C, M, P);
  std::free(block);
}

}  // namespace

int findrec(int *M, int *N, int *P) {
  int k = 0, f = 1;
  while (static_cast<double>(*M) + *N + *P > 192.0) {
    ++k;
    f *= 2;
    *M = static_cast<int>(std::ceil(*M / 2.0));
    *N = static_cast<int>(std::ceil(*N / 2.0));
    *P = static_cast<int>(std::ceil(*P / 2.0));
  }
  *M *= f;
  *N *= f;
  *P *= f;
  return k;
}

void add_zero_pad(double *A, int M, int N, int zrows, int zcols, double *X) {
  const int cols = N + zcols;
  for (int i = 0; i < M + zrows; ++i) {
    double *x = X + static_cast<ptrdiff_t>(i) * cols;
    const double *a = A + static_cast<ptrdiff_t>(i) * N;
    for (int j = 0; j < cols; ++j) x[j] = (i < M && j < N) ? a[j] : 0.0;
  }
}

void remove_zero_pad(double *X, int M, int N, int zrows, int zcols, double *C) {
  const int rows = M - zrows, cols = N - zcols;
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) C[static_cast<ptrdiff_t>(i) * cols + j] = X[static_cast<ptrdiff_t>(i) * N + j];
  }
}

void srecmult(double *A, double *B, double *C, int M, int N, int P, int lda, int ldb, int ldc) {
  if (M <= 0 || N <= 0 || P <= 0) return;
  strassen_product(A, B, C, M, N, P, lda, ldb, ldc, "srecmult");
}

void smult(double *A, double *B, double *C, int M, int N, int P) {
  if (M <= 0 || P <= 0) return;
  if (N <= 0) {
    for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(M) * P; ++i) C[i] = 0.0;
    return;
  }
  int Mp = M, Np = N, Pp = P;
  findrec(&Mp, &Np, &Pp);
  // Operands that need no padding are used where they are; C is written directly when it
  // needs none and shares no memory with them, else by the first split's combination.
  const size_t na = static_cast<size_t>(M) * N, nb = static_cast<size_t>(N) * P, nc = static_cast<size_t>(M) * P;
  const bool pad_a = Mp != M || Np != N, pad_b = Np != N || Pp != P;
  const bool direct_c = Mp == M && Pp == P && !tsf_matrix::ranges_overlap(C, nc, A, na) &&
                        !tsf_matrix::ranges_overlap(C, nc, B, nb);
  double *Apad = pad_a ? tsf_matrix::scratch_doubles(static_cast<size_t>(Mp) * Np, "smult") : A;
  double *Bpad = pad_b ? tsf_matrix::scratch_doubles(static_cast<size_t>(Np) * Pp, "smult") : B;
  if (pad_a) add_zero_pad(A, M, N, Mp - M, Np - N, Apad);
  if (pad_b) add_zero_pad(B, N, P, Np - N, Pp - P, Bpad);
  if (direct_c) {
    strassen_product(Apad, Bpad, C, Mp, Np, Pp, Np, Pp, Pp, "smult");
  } else if (splits(Mp, Np, Pp)) {
    strassen_into_unpadded(Apad, Bpad, C, Mp, Np, Pp, M, P, "smult");
  } else {
    // No split (and so no padding): C shares memory with an operand.
    double *Cpad = tsf_matrix::scratch_doubles(nc, "smult");
    strassen_product(Apad, Bpad, Cpad, Mp, Np, Pp, Np, Pp, Pp, "smult");
    std::memcpy(C, Cpad, nc * sizeof(double));
    std::free(Cpad);
  }
  if (pad_a) std::free(Apad);
  if (pad_b) std::free(Bpad);
}
