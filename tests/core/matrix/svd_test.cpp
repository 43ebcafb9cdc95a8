#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <cmath>
#include <vector>

using matrix_test::MaxAbsDiff;
using matrix_test::Mul;
using matrix_test::MulT;
using matrix_test::OrthonormalityError;
using matrix_test::RandomMatrix;

namespace {

using svd_fn = int (*)(double *, int, int, double *, double *, double *);

// A = U diag(q) V^T with orthonormal U, V and q descending and non-negative.
void ExpectDecomposition(const std::vector<double> &A, int M, int N, const std::vector<double> &U,
                         const std::vector<double> &V, const std::vector<double> &q, double tol) {
  std::vector<double> Uq = U;
  for (int i = 0; i < M; ++i)
    for (int j = 0; j < N; ++j) Uq[i * N + j] *= q[j];
  std::vector<double> Vt(N * N);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) Vt[j * N + i] = V[i * N + j];
  EXPECT_LE(MaxAbsDiff(Mul(Uq, Vt, M, N, N), A), tol) << M << " x " << N;
  EXPECT_LE(OrthonormalityError(U, M, N), 1e-13) << M << " x " << N;
  EXPECT_LE(OrthonormalityError(V, N, N), 1e-13) << M << " x " << N;
  for (int j = 0; j < N; ++j) {
    EXPECT_GE(q[j], 0.0);
    if (j > 0) {
      EXPECT_LE(q[j], q[j - 1]);
    }
  }
}

// The 6 x 4 matrix of the references and its copy whose last column is c0 + 2 c1.
const std::vector<double> kB{2, -1, 0, 3, 1, 4, -2, 0, 0, 1, 5, -1, 3, 0, 1, 2, -1, 2, 0, 1, 4, -3, 2, 0};
std::vector<double> RankThree() {
  std::vector<double> B = kB;
  for (int i = 0; i < 6; ++i) B[i * 4 + 3] = B[i * 4] + 2 * B[i * 4 + 1];
  return B;
}

}  // namespace

TEST(Svd, WorkedExampleSwapsColumns) {
  std::vector<double> A{1, 0, 0, 3}, U(4, 7.0), V(4, 7.0), q(2);
  ASSERT_EQ(svd(A.data(), 2, 2, U.data(), V.data(), q.data()), 0);
  EXPECT_EQ(q, (std::vector<double>{3, 1}));
  for (const std::vector<double> *F : {&U, &V}) {
    EXPECT_EQ(std::fabs((*F)[0]), 0.0);
    EXPECT_EQ(std::fabs((*F)[1]), 1.0);
    EXPECT_EQ(std::fabs((*F)[2]), 1.0);
    EXPECT_EQ(std::fabs((*F)[3]), 0.0);
  }
}

TEST(Svd, AgreesWithLapackReference) {
  // numpy.linalg.svd(B, compute_uv=False) (LAPACK dgesdd).
  const double want[] = {7.277559340222679, 5.458556128580417, 4.569381128375502, 2.7133099978293367};
  for (svd_fn f : {svd, svd_gr, svd_gr2}) {
    std::vector<double> A = kB, U(24), V(16), q(4);
    ASSERT_EQ(f(A.data(), 6, 4, U.data(), V.data(), q.data()), 0);
    for (int i = 0; i < 4; ++i) EXPECT_REL_NEAR(q[i], want[i], 1e-14);
    EXPECT_EQ(A, kB);
  }
}

TEST(Svd, ThreeByThreeAndLargerConvergeWithPublishedShift) {
  // The shift used to divide by e[k-1] = 0 at 2 x 2 blocks: NaN and status 15 from 3 x 3
  // on. V starts as garbage: its rows and columns must be cleared whatever g is.
  const int shapes[][2] = {{3, 3}, {5, 5}, {10, 4}, {60, 60}, {90, 30}};
  for (svd_fn f : {svd, svd_gr, svd_gr2}) {
    for (const auto &s : shapes) {
      const int M = s[0], N = s[1];
      std::vector<double> A = RandomMatrix(M, N, M + N), U(M * N, 7.0), V(N * N, 7.0), q(N);
      ASSERT_EQ(f(A.data(), M, N, U.data(), V.data(), q.data()), 0) << M << " x " << N;
      ExpectDecomposition(A, M, N, U, V, q, 1e-13 * N);
    }
  }
}

TEST(Svd, UnscaledFormKeepsTinyMatrices) {
  // svd_gr2 formed no reflection below a sum of squares of eps^2 and returned zeros.
  std::vector<double> A = RandomMatrix(8, 5, 9), small = A, U(40), V(25), q(5), U2(40), V2(25), q2(5);
  for (double &v : small) v *= 1e-20;
  ASSERT_EQ(svd(A.data(), 8, 5, U.data(), V.data(), q.data()), 0);
  for (svd_fn f : {svd, svd_gr2}) {
    ASSERT_EQ(f(small.data(), 8, 5, U2.data(), V2.data(), q2.data()), 0);
    for (int i = 0; i < 5; ++i) EXPECT_REL_NEAR(q2[i] * 1e20, q[i], 1e-13);
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
  std::vector<double> A{1, 2, 2, 4, 3, 6}, W{1, 2, 3, 4, 5, 7};
  EXPECT_EQ(rank(A.data(), 3, 2), 1);
  EXPECT_EQ(rank(W.data(), 2, 3), 2);
  std::vector<double> B = kB, D = RankThree();
  EXPECT_EQ(rank(B.data(), 6, 4), 4);
  EXPECT_EQ(rank(D.data(), 6, 4), 3);
  // A 30 x 40 product of rank 12, and its transpose.
  std::vector<double> L = RandomMatrix(30, 12, 1), R = RandomMatrix(12, 40, 2), P = Mul(L, R, 30, 12, 40), Pt(40 * 30);
  mtranspose(P.data(), 30, 40, Pt.data());
  EXPECT_EQ(rank(P.data(), 30, 40), 12);
  EXPECT_EQ(rank(Pt.data(), 40, 30), 12);
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
  std::vector<double> AV = Mul(A, V, M, N, N), UtB = MulT(AV, Bx, M, N, p);
  for (int i = 0; i < N; ++i)
    for (int c = 0; c < p; ++c) EXPECT_NEAR(UtB[i * p + c] / q[i], W[i * (N + p) + N + c], 1e-13);
}
