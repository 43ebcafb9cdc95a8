#include "core/matrix/matrix.h"
#include "support/test_util.h"
#include "matrix_test_util.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

using namespace matrix_test;

namespace {

// (I - beta v v^T) x.
std::vector<double> Reflect(const std::vector<double> &x, const std::vector<double> &v, double beta) {
  std::vector<double> H(x.size() * x.size());
  housemat(const_cast<double *>(v.data()), static_cast<int>(x.size()), beta, H.data());
  return Mul(H, x, static_cast<int>(x.size()), static_cast<int>(x.size()), 1);
}

// Sums of the diagonals of A, A^2, A^3: equal for similar matrices.
std::vector<double> PowerTraces(const std::vector<double> &A, int n) {
  std::vector<double> P = A, t;
  for (int p = 0; p < 3; ++p) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += P[i * n + i];
    t.push_back(s);
    P = Mul(P, A, n, n, n);
  }
  return t;
}

}  // namespace

TEST(Householder, ReflectionsMapXToAMultipleOfE1) {
  // house: beta = -2 for a negative multiple of e1 used to give I + 2 e1 e1^T = diag(3, 1, 1).
  // house_2: a sign of 0 for x[0] = 0 gave v = x / |x| and P x = -x.
  std::vector<std::vector<double>> xs{{3, 4}, {2, 0, 0}, {-2, 0, 0}, {0, 3, 4}};
  const double betas[] = {0.4, 0.0, 2.0};
  for (int n : {1, 2, 5, 60})
    for (unsigned seed = 0; seed < 4; ++seed) xs.push_back(RandomMatrix(n, 1, seed));
  for (size_t k = 0; k < xs.size(); ++k) {
    std::vector<double> &x = xs[k];
    const int n = static_cast<int>(x.size());
    std::vector<double> v(n), v2(n);
    const double beta = house(x.data(), n, v.data()), norm = l2norm(x.data(), n);
    EXPECT_EQ(v[0], 1.0);
    if (k < 3) {
      EXPECT_DOUBLE_EQ(beta, betas[k]) << k;
    }
    EXPECT_EQ(house_2(x.data(), n, v2.data()), 2.0);
    // house maps x to |x| e1, house_2 to |x| e1 for x[0] < 0 and to -|x| e1 otherwise.
    std::vector<double> y = Reflect(x, v, beta), y2 = Reflect(x, v2, 2.0);
    EXPECT_NEAR(l2norm(v2.data(), n), 1.0, 1e-15);
    EXPECT_NEAR(y[0], norm, 1e-14) << k;
    EXPECT_NEAR(y2[0], x[0] < 0 ? norm : -norm, 1e-14) << k;
    for (int i = 1; i < n; ++i) EXPECT_TRUE(std::fabs(y[i]) < 1e-14 && std::fabs(y2[i]) < 1e-14) << k;
  }
  std::vector<double> zero(3, 0.0), v(3);
  EXPECT_EQ(house_2(zero.data(), 3, v.data()), 2.0);
  EXPECT_EQ(v, (std::vector<double>{1, 0, 0}));
}

TEST(Householder, QrAndBidiagonalFactorsReproduceMatrix) {
  // Square matrices end QR with a reflection of length 1, which is -1 for a negative entry
  // about half the time; several seeds meet both signs.
  const int shapes[][2] = {{3, 2}, {5, 5}, {6, 6}, {7, 4}, {8, 8}, {30, 30}, {40, 17}, {50, 20}, {120, 120}};
  for (const auto &s : shapes) {
    const int M = s[0], N = s[1];
    for (unsigned seed = 0; seed < 3; ++seed) {
      std::vector<double> A = RandomMatrix(M, N, 100 * seed + M + N), F = A, beta(N), Q(M * N), R(N * N);
      qrdecomp(F.data(), M, N, beta.data());
      getQR(F.data(), M, N, beta.data(), Q.data(), R.data());
      EXPECT_LE(MaxAbsDiff(Mul(Q, R, M, N, N), A), 1e-13) << M << " x " << N;
      EXPECT_LE(OrthonormalityError(Q, M, N), 1e-13) << M << " x " << N;
      for (int i = 0; i < N; ++i) EXPECT_GE(R[i * N + i], 0.0);
      // bidiag gives the Bd of bidiag_orth, and A = U Bd V^T, i.e. U^T A V = Bd.
      std::vector<double> G = A, U(M * M), V(N * N), Bd(M * N, 0.0);
      F = A;
      bidiag_orth(F.data(), M, N, U.data(), V.data());
      bidiag(G.data(), M, N);
      EXPECT_EQ(F, G);
      for (int i = 0; i < N; ++i)
        for (int j = i; j < N && j <= i + 1; ++j) Bd[i * N + j] = F[i * N + j];
      EXPECT_LE(MaxAbsDiff(Mul(Mul(U, A, M, M, N, true), V, M, N, N), Bd), 1e-13) << M << " x " << N;
      EXPECT_LE(OrthonormalityError(U, M, M), 1e-13);
      EXPECT_LE(OrthonormalityError(V, N, N), 1e-13);
    }
  }
}

TEST(Householder, HessenbergIsAnOrthogonalSimilarity) {
  // The first case has A[2][0] = A[3][0] = 0 below a negative A[1][0]: the reflection
  // of a negative multiple of e1.
  std::vector<double> first{1, 2, 3, 4, -1.5, 2, 1, 0, 0, 3, 1, 2, 0, 1, -2, 1};
  for (int n : {4, 6, 30, 90}) {
    std::vector<double> A = n == 4 ? first : RandomMatrix(n, n, n), H = A;
    hessenberg(H.data(), n);
    double norm = l2norm(A.data(), n * n);
    EXPECT_NEAR(l2norm(H.data(), n * n), norm, 1e-13 * norm) << n;
    std::vector<double> ta = PowerTraces(A, n), th = PowerTraces(H, n);
    for (int p = 0; p < 3; ++p) EXPECT_NEAR(th[p], ta[p], 1e-12 * std::pow(norm, p + 1)) << n;
    for (int i = 2; i < n; ++i)
      for (int j = 0; j < i - 1; ++j) ASSERT_LE(std::fabs(H[i * n + j]), 1e-14 * norm) << n;
  }
}

TEST(MatrixDeathTest, WideMatricesEndTheProcess) {
  struct Case {
    const char *name;
    void (*call)(double *, double *, double *);
    int status;
  };
  const Case cases[] = {
      {"qrdecomp", [](double *A, double *b, double *) { qrdecomp(A, 2, 3, b); }, 1},
      {"lls_qr", [](double *A, double *b, double *x) { lls_qr(A, b, 2, 3, x); }, 255},
      {"bidiag", [](double *A, double *, double *) { bidiag(A, 2, 3); }, 1},
      {"bidiag_orth", [](double *A, double *b, double *x) { bidiag_orth(A, 2, 3, b, x); }, 1},
  };
  for (const Case &c : cases) {
    std::vector<double> A(6, 1.0), b(9, 1.0), x(9, 0.0);
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          dup2(2, 1);
          c.call(A.data(), b.data(), x.data());
        },
        ::testing::ExitedWithCode(c.status), "^M should be greater than or equal to N\n$")
        << c.name;
  }
}
