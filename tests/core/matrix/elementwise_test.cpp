#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <vector>

using matrix_test::RandomMatrix;

TEST(Elementwise, AddSubScale) {
  std::vector<double> a{1, 2, 3, 4, 5, 6}, b{0.5, -1, 2, 8, 0, -6}, c(6);
  madd(a.data(), b.data(), c.data(), 2, 3);
  EXPECT_EQ(c, (std::vector<double>{1.5, 1, 5, 12, 5, 0}));
  msub(a.data(), b.data(), c.data(), 2, 3);
  EXPECT_EQ(c, (std::vector<double>{0.5, 3, 1, -4, 5, 12}));
  // In place: C equal to A.
  madd(a.data(), b.data(), a.data(), 3, 2);
  EXPECT_EQ(a, (std::vector<double>{1.5, 1, 5, 12, 5, 0}));
  scale(a.data(), 2, 3, -2.0);
  EXPECT_EQ(a, (std::vector<double>{-3, -2, -10, -24, -10, 0}));
  scale(a.data(), 0, 3, 5.0);
  EXPECT_EQ(a[0], -3.0);
}

TEST(Elementwise, EyeIsIdentity) {
  std::vector<double> a(9, 7.0);
  eye(a.data(), 3);
  EXPECT_EQ(a, (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST(Elementwise, StridedViewsTouchOnlyTheView) {
  // 3 x 2 views inside arrays with row strides 5, 4 and 3.
  std::vector<double> A = RandomMatrix(3, 5, 1), B = RandomMatrix(3, 4, 2);
  std::vector<double> C(9, 99.0), D(9, 99.0);
  madd_stride(A.data() + 1, B.data() + 2, C.data(), 3, 2, 5, 4, 3);
  msub_stride(A.data() + 1, B.data() + 2, D.data(), 3, 2, 5, 4, 3);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 2; ++j) {
      EXPECT_EQ(C[i * 3 + j], A[i * 5 + 1 + j] + B[i * 4 + 2 + j]);
      EXPECT_EQ(D[i * 3 + j], A[i * 5 + 1 + j] - B[i * 4 + 2 + j]);
    }
    EXPECT_EQ(C[i * 3 + 2], 99.0);
    EXPECT_EQ(D[i * 3 + 2], 99.0);
  }
}

TEST(Elementwise, RecursiveStridedEqualsDirect) {
  const int shapes[][3] = {{5, 7, 3}, {150, 90, 40}, {301, 257, 300}, {1, 400, 400}, {400, 1, 10}};
  for (const auto &s : shapes) {
    int M = s[0], N = s[1], P = s[2];
    int lda = N + 3, ldb = N + 1, ldc = N + 2;
    std::vector<double> A = RandomMatrix(M, lda, 3), B = RandomMatrix(M, ldb, 4);
    std::vector<double> direct(static_cast<size_t>(M) * ldc, -5.0), rec = direct;
    madd_stride(A.data(), B.data(), direct.data(), M, N, lda, ldb, ldc);
    rmadd_stride(A.data(), B.data(), rec.data(), M, N, P, lda, ldb, ldc);
    EXPECT_EQ(rec, direct) << M << " x " << N;
    msub_stride(A.data(), B.data(), direct.data(), M, N, lda, ldb, ldc);
    rmsub_stride(A.data(), B.data(), rec.data(), M, N, P, lda, ldb, ldc);
    EXPECT_EQ(rec, direct) << M << " x " << N;
  }
}
