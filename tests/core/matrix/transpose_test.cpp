#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <vector>

using matrix_test::RandomMatrix;

namespace {

std::vector<double> Expected(const std::vector<double> &A, int M, int N) {
  std::vector<double> B(A.size());
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j) B[static_cast<size_t>(j) * M + i] = A[static_cast<size_t>(i) * N + j];
  return B;
}

}  // namespace

TEST(Transpose, AllKernelsAgree) {
  const int shapes[][2] = {{1, 1},   {1, 7},   {7, 1},    {3, 5},     {63, 64},   {64, 64},
                           {65, 63}, {64, 130}, {200, 64}, {1, 1024}, {1024, 3}, {1024, 1023},
                           {1023, 1024}, {1024, 1024}, {1030, 1025}};
  for (const auto &s : shapes) {
    int M = s[0], N = s[1];
    std::vector<double> A = RandomMatrix(M, N, M * 31 + N), want = Expected(A, M, N);
    std::vector<double> B(A.size(), 0.0);
    mtranspose(A.data(), M, N, B.data());
    EXPECT_EQ(B, want) << "mtranspose " << M << " x " << N;
    std::fill(B.begin(), B.end(), 0.0);
    stranspose(A.data(), M, N, B.data());
    EXPECT_EQ(B, want) << "stranspose " << M << " x " << N;
    std::fill(B.begin(), B.end(), 0.0);
    ctranspose(A.data(), M, N, B.data());
    EXPECT_EQ(B, want) << "ctranspose " << M << " x " << N;
    std::fill(B.begin(), B.end(), 0.0);
    dtranspose(A.data(), M, N, B.data());
    EXPECT_EQ(B, want) << "dtranspose " << M << " x " << N;
    std::fill(B.begin(), B.end(), 0.0);
    rtranspose(A.data(), M, N, B.data(), M, N);
    EXPECT_EQ(B, want) << "rtranspose " << M << " x " << N;
  }
}

TEST(Transpose, RecursiveOnView) {
  // The 70 x 90 block at (5, 7) of a 100 x 120 matrix into a 90 x 70 block at (2, 3) of a
  // 95 x 80 matrix; nothing outside the target block changes.
  std::vector<double> A = RandomMatrix(100, 120, 9), B(95 * 80, -1.0);
  rtranspose(A.data() + 5 * 120 + 7, 70, 90, B.data() + 2 * 80 + 3, 80, 120);
  for (int r = 0; r < 95; ++r) {
    for (int c = 0; c < 80; ++c) {
      bool inside = r >= 2 && r < 92 && c >= 3 && c < 73;
      double want = inside ? A[(5 + c - 3) * 120 + 7 + r - 2] : -1.0;
      ASSERT_EQ(B[r * 80 + c], want) << r << "," << c;
    }
  }
}
