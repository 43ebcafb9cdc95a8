#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cstring>
#include <vector>

using matrix_test::RandomMatrix;
using matrix_test::ReferenceProduct;
using matrix_test::ScalarProduct;

namespace {

void ExpectNearProduct(const std::vector<double> &C, const std::vector<double> &A,
                       const std::vector<double> &B, int M, int N, int P, double factor) {
  std::vector<double> ref, bound;
  ReferenceProduct(A, B, M, N, P, ref, bound);
  const double eps = 2.220446049250313e-16;
  for (size_t i = 0; i < ref.size(); ++i) {
    ASSERT_LE(std::fabs(C[i] - ref[i]), factor * N * eps * bound[i] + 1e-300)
        << "element " << i << " of " << M << " x " << N << " x " << P;
  }
}

}  // namespace

TEST(Multiply, DirectLoopRoundsLikeScalarSum) {
  const int shapes[][3] = {{1, 1, 1}, {3, 4, 5}, {32, 32, 32}, {10, 80, 6}, {47, 1, 48}};
  for (const auto &s : shapes) {
    int M = s[0], N = s[1], P = s[2];
    std::vector<double> A = RandomMatrix(M, N, 11), B = RandomMatrix(N, P, 12);
    std::vector<double> want = ScalarProduct(A, B, M, N, P), C(want.size(), 7.0);
    nmult(A.data(), B.data(), C.data(), M, N, P);
    EXPECT_EQ(C, want);
    std::vector<double> T(want.size(), 7.0);
    tmult(A.data(), B.data(), T.data(), M, N, P);
    EXPECT_EQ(T, want);
  }
}

TEST(Multiply, BoundaryAt96And97) {
  // 32 + 32 + 32 = 96 is the direct loop: bitwise the scalar sum.
  std::vector<double> A = RandomMatrix(32, 32, 1), B = RandomMatrix(32, 32, 2);
  std::vector<double> C(32 * 32);
  mmult(A.data(), B.data(), C.data(), 32, 32, 32);
  EXPECT_EQ(C, ScalarProduct(A, B, 32, 32, 32));
  // 33 + 32 + 32 = 97 goes through smult; with k = 0 it is the same direct sum.
  std::vector<double> A2 = RandomMatrix(33, 32, 3), C2(33 * 32);
  mmult(A2.data(), B.data(), C2.data(), 33, 32, 32);
  EXPECT_EQ(C2, ScalarProduct(A2, B, 33, 32, 32));
  std::vector<double> S(33 * 32);
  smult(A2.data(), B.data(), S.data(), 33, 32, 32);
  EXPECT_EQ(S, C2);
}

TEST(Multiply, OutputMayAliasAnOperand) {
  // Direct path (sum 60) and Strassen path (sum 600; 603 padded), C written over A and
  // over B.
  for (int n : {20, 200, 201}) {
    std::vector<double> A = RandomMatrix(n, n, 5), B = RandomMatrix(n, n, 6);
    std::vector<double> want(A.size());
    mmult(A.data(), B.data(), want.data(), n, n, n);
    std::vector<double> a = A;
    mmult(a.data(), B.data(), a.data(), n, n, n);
    EXPECT_EQ(a, want) << n;
    std::vector<double> b = B;
    mmult(A.data(), b.data(), b.data(), n, n, n);
    EXPECT_EQ(b, want) << n;
  }
}

TEST(Multiply, RecursiveAccumulatesOnViews) {
  const int shapes[][3] = {{5, 6, 7}, {150, 20, 90}, {40, 300, 35}, {30, 40, 260}, {257, 129, 193}};
  for (const auto &s : shapes) {
    int M = s[0], N = s[1], P = s[2];
    std::vector<double> A = RandomMatrix(M, N, 21), B = RandomMatrix(N, P, 22);
    std::vector<double> C(static_cast<size_t>(M) * P, 3.0);
    rmult(A.data(), B.data(), C.data(), M, N, P);
    ExpectNearProduct(C, A, B, M, N, P, 2.0);
  }
  // recmult adds into C; B and C share row stride s3 (here 10 for 4 x 6 and 3 x 6 views).
  std::vector<double> A = RandomMatrix(3, 4, 7), B = RandomMatrix(4, 10, 8), C(3 * 10, 1.0);
  recmult(A.data(), B.data(), C.data(), 3, 4, 6, 0, 4, 10);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 10; ++j) {
      double s = 1.0;
      for (int k = 0; k < 4; ++k) s += A[i * 4 + k] * B[k * 10 + j];
      EXPECT_EQ(C[i * 10 + j], j < 6 ? s : 1.0);
    }
  }
}

TEST(Multiply, EmptySizes) {
  std::vector<double> A(6, 1.0), B(6, 1.0), C(4, 5.0);
  mmult(A.data(), B.data(), C.data(), 0, 3, 2);
  EXPECT_EQ(C, std::vector<double>(4, 5.0));
  // An empty inner size gives the zero matrix.
  mmult(A.data(), B.data(), C.data(), 2, 0, 2);
  EXPECT_EQ(C, std::vector<double>(4, 0.0));
  std::vector<double> big(200 * 200, 5.0);
  mmult(A.data(), B.data(), big.data(), 200, 0, 200);
  EXPECT_EQ(big, std::vector<double>(200 * 200, 0.0));
}

TEST(Multiply, EveryKernelRoundsLikeScalarSumOnAwkwardShapes) {
  using tsf_matrix::product_kernel;
  // Shapes that leave remainders in every direction of every tile, on views with strides
  // wider than the rows; signed zeros and an infinity show the lanes keep IEEE signs.
  const int shapes[][3] = {{1, 1, 1}, {7, 13, 5}, {9, 1, 17}, {17, 33, 31}, {13, 0, 6}, {64, 64, 64}, {3, 200, 41}};
  for (product_kernel kind : {product_kernel::baseline, product_kernel::avx2, product_kernel::avx512}) {
    if (!tsf_matrix::product_kernel_available(kind)) continue;
    for (const auto &s : shapes) {
      const int M = s[0], N = s[1], P = s[2], ld = P + 3, lda = N + 2;
      std::vector<double> A = RandomMatrix(M, lda, 31), B = RandomMatrix(N > 0 ? N : 1, ld, 32);
      std::vector<double> C0 = RandomMatrix(M, ld, 33);
      A[0] = -0.0;
      B[1] = -0.0;
      C0[0] = -0.0;
      C0[ld - 1] = HUGE_VAL;
      for (bool accumulate : {false, true}) {
        std::vector<double> want = C0, got = C0;
        auto run = accumulate ? tsf_matrix::product_accumulate_with : tsf_matrix::product_overwrite_with;
        run(product_kernel::scalar, A.data(), B.data(), want.data(), M, N, P, lda, ld, ld);
        run(kind, A.data(), B.data(), got.data(), M, N, P, lda, ld, ld);
        EXPECT_EQ(std::memcmp(want.data(), got.data(), want.size() * sizeof(double)), 0)
            << static_cast<int>(kind) << ": " << M << " x " << N << " x " << P << " " << accumulate;
      }
    }
  }
}
