// BFGS on a factor, limited-memory BFGS and BFGS on the unfactored Hessian.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/optim/optim.h"
#include "support/test_util.h"
#include "test_problems.h"

using namespace optim_test;

namespace {

struct Tolerances {
  double eps = macheps();
  double gtol = std::pow(eps, 0.3333333333333333);
  double stol = gtol * gtol;
};

enum Method { kBfgs, kLbfgs, kNaive };

int run(Method m, objective_function *f, std::vector<double> &x0, std::vector<double> &dx, std::vector<double> &xf,
        int maxiter, int *iter) {
  Tolerances t;
  int N = static_cast<int>(x0.size());
  *iter = -1;
  switch (m) {
    case kBfgs:
      return bfgs_min(f, nullptr, x0.data(), N, dx.data(), 1.0, -1.0, maxiter, iter, t.eps, t.gtol, t.stol,
                      xf.data());
    case kLbfgs:
      return bfgs_l_min(f, nullptr, x0.data(), N, mvalue(N), dx.data(), 1.0, -1.0, maxiter, iter, t.eps, t.gtol,
                        t.stol, t.eps, xf.data());
    case kNaive:
      return bfgs_min_naive(f, nullptr, x0.data(), N, dx.data(), 1.0, -1.0, maxiter, t.eps, xf.data());
  }
  return -1;
}

// Explicit inverse BFGS updates H <- (I - r s y^T) H (I - r y s^T) + r s s^T, oldest pair
// first: the matrix that the two-loop recursion applies.
std::vector<double> explicit_inverse(std::vector<double> H, int N, const std::vector<std::vector<double>> &S,
                                     const std::vector<std::vector<double>> &Y) {
  for (size_t k = 0; k < S.size(); ++k) {
    double ys = 0.0;
    for (int i = 0; i < N; ++i) ys += Y[k][i] * S[k][i];
    double r = 1.0 / ys;
    std::vector<double> V(N * N), T(N * N, 0.0), Hn(N * N, 0.0);
    for (int i = 0; i < N; ++i)
      for (int j = 0; j < N; ++j) V[i * N + j] = (i == j ? 1.0 : 0.0) - r * Y[k][i] * S[k][j];
    for (int i = 0; i < N; ++i)  // T = V^T H
      for (int j = 0; j < N; ++j)
        for (int l = 0; l < N; ++l) T[i * N + j] += V[l * N + i] * H[l * N + j];
    for (int i = 0; i < N; ++i)  // Hn = T V + r s s^T
      for (int j = 0; j < N; ++j) {
        for (int l = 0; l < N; ++l) Hn[i * N + j] += T[i * N + l] * V[l * N + j];
        Hn[i * N + j] += r * S[k][i] * S[k][j];
      }
    H = Hn;
  }
  return H;
}

}  // namespace

TEST(QuasiNewton, StandardProblems) {
  const double tol[4] = {1e-4, 1e-6, 1e-2, 1e-5};
  for (Method m : {kBfgs, kLbfgs, kNaive}) {
    int k = 0;
    for (const Problem &pr : standard_problems()) {
      Counter c;
      objective_function f{pr.f, &c};
      std::vector<double> x0 = pr.x0, dx(pr.N, 1.0), xf(pr.N, 0.0);
      int iter;
      int code = run(m, &f, x0, dx, xf, 1000, &iter);
      // The BFGS methods with the backtracking search stop on the relative gradient (1);
      // the limited-memory method may also stop on the relative change of f (6).
      if (m == kLbfgs) {
        EXPECT_TRUE(code == 1 || code == 6) << pr.name << " " << code;
      } else {
        EXPECT_EQ(code, 1) << pr.name << " method " << m;
      }
      if (m != kNaive) {
        EXPECT_LT(iter, 200) << pr.name;
      }
      for (int i = 0; i < pr.N; ++i) EXPECT_NEAR(xf[i], pr.xmin[i], tol[k]) << pr.name << " method " << m;
      EXPECT_EQ(x0, pr.x0) << pr.name;
      ++k;
    }
  }
}

TEST(QuasiNewton, NaiveAndFactoredUpdatesAgree) {
  // Both keep H = L L^T equal in exact arithmetic (modelhess leaves a positive definite
  // BFGS matrix alone), so they walk the same path.
  for (const Problem &pr : standard_problems()) {
    Counter c1, c2;
    objective_function f1{pr.f, &c1}, f2{pr.f, &c2};
    std::vector<double> x0 = pr.x0, dx(pr.N, 1.0), xa(pr.N), xb(pr.N);
    int iter;
    EXPECT_EQ(run(kBfgs, &f1, x0, dx, xa, 1000, &iter), run(kNaive, &f2, x0, dx, xb, 1000, &iter));
    for (int i = 0; i < pr.N; ++i) EXPECT_NEAR(xa[i], xb[i], 1e-8) << pr.name;
    EXPECT_NEAR(c1.evals, c2.evals, 0.05 * c1.evals) << pr.name;
  }
}

TEST(QuasiNewton, StartAtTheMinimum) {
  // A zero gradient at the start: code 1 at once, xf = x0, one value and one gradient.
  struct Count {
    int f = 0, g = 0;
  };
  auto bowl = [](double *x, int, void *p) {
    ++static_cast<Count *>(p)->f;
    return (x[0] - 1.0) * (x[0] - 1.0) + (x[1] - 2.0) * (x[1] - 2.0);
  };
  auto bowl_g = [](double *x, int, double *g, void *p) {
    ++static_cast<Count *>(p)->g;
    g[0] = 2.0 * (x[0] - 1.0);
    g[1] = 2.0 * (x[1] - 2.0);
  };
  Tolerances t;
  for (Method m : {kBfgs, kLbfgs}) {
    Count c;
    objective_function f{bowl, &c};
    gradient_function g{bowl_g, &c};
    double x0[2] = {1.0, 2.0}, dx[2] = {1.0, 1.0}, xf[2] = {5.0, 5.0};
    int iter = -1;
    int code = m == kBfgs ? bfgs_min(&f, &g, x0, 2, dx, 1.0, -1.0, 1000, &iter, t.eps, t.gtol, t.stol, xf)
                          : bfgs_l_min(&f, &g, x0, 2, 2, dx, 1.0, -1.0, 1000, &iter, t.eps, t.gtol, t.stol, t.eps, xf);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(iter, 0);
    EXPECT_EQ(xf[0], 1.0);
    EXPECT_EQ(xf[1], 2.0);
    EXPECT_EQ(c.f, 1);
    EXPECT_EQ(c.g, 1);
  }
}

TEST(QuasiNewton, IterationLimit) {
  for (Method m : {kBfgs, kLbfgs, kNaive}) {
    Counter c;
    objective_function f{rosenbrock, &c};
    std::vector<double> x0 = {-1.2, 1.0}, dx = {1.0, 1.0}, xf(2);
    int iter;
    EXPECT_EQ(run(m, &f, x0, dx, xf, 3, &iter), 4) << m;
    // The limited-memory method's line search has the iteration limit as its evaluation
    // limit and may use it up first (also code 4).
    if (m == kBfgs) {
      EXPECT_EQ(iter, 3);
    } else if (m == kLbfgs) {
      EXPECT_GE(iter, 1);
      EXPECT_LE(iter, 3);
    }
  }
}

TEST(QuasiNewton, ScalesAreReturnedUnchanged) {
  for (Method m : {kBfgs, kLbfgs, kNaive}) {
    Counter c;
    objective_function f{quadratic5, &c};
    std::vector<double> x0 = {0.5, -1.0, 2.0, 0.0, 3.0}, dx = {2.0, 0.5, 4.0, 0.25, 1.0}, x0c = x0, dxc = dx;
    std::vector<double> xf(5);
    int iter;
    int code = run(m, &f, x0, dx, xf, 1000, &iter);
    EXPECT_TRUE(code == 1 || code == 6) << code;
    for (int i = 0; i < 5; ++i) {
      EXPECT_NEAR(x0[i], x0c[i], 1e-15 * std::fabs(x0c[i]));
      EXPECT_NEAR(dx[i], dxc[i], 1e-15 * dxc[i]);
      EXPECT_NEAR(xf[i], i + 1.0, 1e-5);
    }
  }
}

TEST(QuasiNewton, NonFiniteStartEndsTheRun) {
  auto inf_f = [](double *, int, void *) { return HUGE_VAL; };
  objective_function f{inf_f, nullptr};
  for (Method m : {kBfgs, kLbfgs, kNaive}) {
    std::vector<double> x0 = {1.0, 2.0}, dx = {1.0, 1.0}, xf = {7.0, 7.0};
    int iter = 0, code = 0;
    std::string out = tsf_test::CaptureStdout([&] { code = run(m, &f, x0, dx, xf, 1000, &iter); });
    EXPECT_EQ(code, 15) << m;
    EXPECT_EQ(out.rfind("Program Exiting as the function value exceeds the maximum double value", 0), 0u) << out;
    EXPECT_EQ(xf[0], 7.0);
    if (m != kNaive) {
      EXPECT_EQ(iter, 0);
    }
  }
}

TEST(QuasiNewton, TwoLoopRecursionUsesTheLastMPairs) {
  // Five pairs stored as bfgs_l_min leaves them with m = 3: only the last three, oldest
  // first, enter; the result is H g for the explicit inverse update over those three.
  const int N = 3, m = 3;
  std::vector<std::vector<double>> S = {{1.0, 0.2, 0.0}, {0.1, 1.0, -0.3}, {0.0, 0.4, 1.0}, {0.5, -0.2, 0.3},
                                        {-0.1, 0.3, 0.6}};
  std::vector<std::vector<double>> Y = {{2.0, 0.1, 0.0}, {0.3, 1.5, -0.2}, {0.1, 0.3, 3.0}, {1.1, -0.1, 0.9},
                                        {-0.2, 0.8, 1.9}};
  std::vector<double> Sm(m * N), Ym(m * N), H0(N * N, 0.0), g = {0.3, -1.0, 2.0}, r(N);
  for (int k = 0; k < m; ++k)
    for (int i = 0; i < N; ++i) {
      Sm[k * N + i] = S[2 + k][i];
      Ym[k * N + i] = Y[2 + k][i];
    }
  double dx[3] = {1.0, 2.0, 0.5};
  inithess_l(H0.data(), N, 5, S[4].data(), Y[4].data(), dx);
  double sy = 0.0, yy = 0.0;
  for (int i = 0; i < N; ++i) {
    sy += S[4][i] * Y[4][i];
    yy += Y[4][i] * Y[4][i];
  }
  for (int i = 0; i < N; ++i) EXPECT_DOUBLE_EQ(H0[i * N + i], dx[i] * (sy / yy) * dx[i]);
  EXPECT_EQ(H0[1], 0.0);
  bfgs_rec(H0.data(), N, 5, m, g.data(), Sm.data(), Ym.data(), r.data());
  std::vector<std::vector<double>> S3(S.begin() + 2, S.end()), Y3(Y.begin() + 2, Y.end());
  std::vector<double> H = explicit_inverse(H0, N, S3, Y3);
  for (int i = 0; i < N; ++i) {
    double hg = 0.0;
    for (int j = 0; j < N; ++j) hg += H[i * N + j] * g[j];
    EXPECT_NEAR(r[i], hg, 1e-13);
  }
  // Before the first pair (k = 0): H0 = diag(dx^2) and r = H0 g.
  inithess_l(H0.data(), N, 0, S[0].data(), Y[0].data(), dx);
  bfgs_rec(H0.data(), N, 0, m, g.data(), Sm.data(), Ym.data(), r.data());
  for (int i = 0; i < N; ++i) EXPECT_EQ(r[i], dx[i] * dx[i] * g[i]);
}

TEST(QuasiNewton, LimitedMemoryRejectsNoPairs) {
  Counter c;
  objective_function f{rosenbrock, &c};
  std::vector<double> x0 = {-1.2, 1.0}, dx = {1.0, 1.0}, xf(2);
  int iter = -1;
  Tolerances t;
  EXPECT_EQ(bfgs_l_min(&f, nullptr, x0.data(), 2, 0, dx.data(), 1.0, -1.0, 100, &iter, t.eps, t.gtol, t.stol,
                       t.eps, xf.data()),
            0);
  EXPECT_EQ(c.evals, 0);
  EXPECT_EQ(iter, 0);
}

TEST(QuasiNewton, NaiveUpdate) {
  const int N = 3;
  double eps = macheps();
  std::vector<double> H(N * N);
  double dx[3] = {1.0, 2.0, 0.5};
  inithess_naive(H.data(), N, -8.0, 2.0, dx);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) EXPECT_EQ(H[i * N + j], i == j ? 8.0 * dx[i] * dx[i] : 0.0);
  // s orthogonal to y: no update.
  std::vector<double> H0 = H;
  double xi[3] = {0, 0, 0}, xo[3] = {1, 0, 0}, gi[3] = {0, 0, 0}, go[3] = {0, 1, 0};
  bfgs_naive(H.data(), N, eps, xi, xo, gi, go);
  EXPECT_EQ(H, H0);
  // A proper pair: the secant condition H s = y holds for the symmetric matrix read from
  // the upper triangle, and the strict lower triangle stays zero.
  double xf[3] = {0.5, -0.2, 0.3}, gf[3] = {2.0, -0.5, 0.4};
  bfgs_naive(H.data(), N, eps, xi, xf, gi, gf);
  for (int i = 0; i < N; ++i) {
    double hs = 0.0;
    for (int j = 0; j < N; ++j) hs += H[(i < j ? i : j) * N + (i < j ? j : i)] * xf[j];
    EXPECT_NEAR(hs, gf[i], 1e-14);
    for (int j = 0; j < i; ++j) EXPECT_EQ(H[i * N + j], 0.0);
  }
}
