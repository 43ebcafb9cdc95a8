#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <vector>

using namespace matrix_test;

namespace {

using svd_fn = int (*)(double *, int, int, double *, double *, double *);

// A = U diag(q) V^T (as A V = U diag(q)) with orthonormal U, V and q descending and
// non-negative.
void ExpectDecomposition(const std::vector<double> &A, int M, int N, std::vector<double> U,
                         const std::vector<double> &V, const std::vector<double> &q, double tol) {
  EXPECT_LE(OrthonormalityError(U, M, N), 1e-13) << M << " x " << N;
  EXPECT_LE(OrthonormalityError(V, N, N), 1e-13) << M << " x " << N;
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j) U[i * N + j] *= q[j];
  EXPECT_LE(MaxAbsDiff(Mul(A, V, M, N, N), U), tol) << M << " x " << N;
  for (int j = 0; j < N; ++j) EXPECT_TRUE(q[j] >= 0.0 && (j == 0 || q[j] <= q[j - 1])) << j;
}

}  // namespace

TEST(Svd, ReferencesAndRandomShapesConvergeWithPublishedShift) {
  // diag(1, 3) has its columns swapped; numpy.linalg.svd(B, compute_uv=False) (LAPACK
  // dgesdd); svd_gr2 formed no reflection below a sum of squares of eps^2 and returned
  // zeros for a matrix scaled by 1e-20. The shift used to divide by e[k-1] = 0 at 2 x 2
  // blocks: NaN and status 15 from 3 x 3 on. U and V start as garbage: V's rows and
  // columns must be cleared whatever g is. A is not changed.
  struct Case {
    std::vector<double> A;
    int M, N;
    std::vector<double> want;
    double tol;
  };
  std::vector<Case> cases{{{1, 0, 0, 3}, 2, 2, {3, 1}, 1e-14},
                          {Reference6x4(), 6, 4,
                           {7.277559340222679, 5.458556128580417, 4.569381128375502, 2.7133099978293367}, 1e-14}};
  std::vector<double> T = RandomMatrix(8, 5, 9), U(40), V(25), q(5);
  ASSERT_EQ(svd(T.data(), 8, 5, U.data(), V.data(), q.data()), 0);
  for (std::vector<double> *v : {&T, &q})
    for (double &e : *v) e *= 1e-20;
  cases.push_back({T, 8, 5, q, 1e-13});
  const int shapes[][2] = {{3, 3}, {5, 5}, {10, 4}, {60, 60}, {90, 30}};
  for (const auto &s : shapes) cases.push_back({RandomMatrix(s[0], s[1], s[0] + s[1]), s[0], s[1], {}, 0.0});
  for (svd_fn f : {svd, svd_gr, svd_gr2}) {
    for (const Case &c : cases) {
      std::vector<double> A = c.A, U(c.M * c.N, 7.0), V(c.N * c.N, 7.0), q(c.N);
      ASSERT_EQ(f(A.data(), c.M, c.N, U.data(), V.data(), q.data()), 0) << c.M << " x " << c.N;
      for (size_t i = 0; i < c.want.size(); ++i) EXPECT_REL_NEAR(q[i], c.want[i], c.tol);
      EXPECT_EQ(A, c.A);
      ExpectDecomposition(A, c.M, c.N, U, V, q, 1e-13 * c.N);
    }
  }
}

TEST(Svd, MessagesAndStatuses) {
  std::vector<double> A(6, 1.0), U(6), V(9), q(3);
  std::string wide = "Rows (M) should be greater than Columns (B) \nRetry By Transposing the Input Matrix";
  for (svd_fn f : {svd, svd_gr, svd_gr2}) {
    int status = 0;
    // svd_gr used to write past U for M < N.
    EXPECT_EQ(tsf_test::CaptureStdout([&] { status = f(A.data(), 2, 3, U.data(), V.data(), q.data()); }), wide);
    EXPECT_EQ(status, -1);
  }
  // A NaN never converges.
  std::vector<double> B{1, 2, NAN, 4};
  int status = 0;
  EXPECT_EQ(tsf_test::CaptureStdout([&] { status = svd(B.data(), 2, 2, U.data(), V.data(), q.data()); }),
            "Convergence Not Achieved \n");
  EXPECT_EQ(status, 15);
  double untouched = 3.0;
  EXPECT_EQ(svd(&untouched, 0, 0, &untouched, &untouched, &untouched), 0);
  EXPECT_EQ(untouched, 3.0);
}

TEST(Svd, RankOfDeficientAndWideMatrices) {
  // A 30 x 40 product of rank 12, and its transpose.
  std::vector<double> L = RandomMatrix(30, 12, 1), R = RandomMatrix(12, 40, 2), P = Mul(L, R, 30, 12, 40), Pt(40 * 30);
  mtranspose(P.data(), 30, 40, Pt.data());
  struct Case {
    std::vector<double> A;
    int M, N, rank;
  };
  const Case cases[] = {{{1, 2, 2, 4, 3, 6}, 3, 2, 1}, {{1, 2, 3, 4, 5, 7}, 2, 3, 2}, {Reference6x4(), 6, 4, 4},
                        {Reference6x4(true), 6, 4, 3}, {P, 30, 40, 12}, {Pt, 40, 30, 12}};
  for (Case c : cases) EXPECT_EQ(rank(c.A.data(), c.M, c.N), c.rank) << c.M << " x " << c.N;
}

TEST(Svd, MinfitTransformsExtraColumnsLikeUTranspose) {
  const int M = 9, N = 5, p = 2;
  std::vector<double> A = RandomMatrix(M, N, 4), Bx = RandomMatrix(M, p, 5), W(M * (N + p));
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N + p; ++j) W[i * (N + p) + j] = j < N ? A[i * N + j] : Bx[i * p + j - N];
  std::vector<double> q(N);
  ASSERT_EQ(minfit(W.data(), M, N, p, q.data()), 0);
  // A V = U diag(q): so (A V)^T B / q = U^T B, row by row.
  std::vector<double> V(N * N);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) V[i * N + j] = W[i * (N + p) + j];
  EXPECT_LE(OrthonormalityError(V, N, N), 1e-13);
  std::vector<double> AV = Mul(A, V, M, N, N), UtB = Mul(AV, Bx, N, M, p, true);
  for (int i = 0; i < N; ++i)
    for (int c = 0; c < p; ++c) EXPECT_NEAR(UtB[i * p + c] / q[i], W[i * (N + p) + N + c], 1e-13);
}
