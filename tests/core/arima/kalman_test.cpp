// starma, karma, inclu2 and regres: closed-form covariances, the stationarity equation,
// and the filter against a dense Cholesky factorisation of the exact covariance matrix.
#include <cmath>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "support/test_util.h"

namespace {

int Dim(int p, int q) { return p > q + 1 ? p : q + 1; }

// Unpacks the packed upper triangle into a full symmetric r x r matrix.
std::vector<double> Unpack(const std::vector<double> &P, int r) {
  std::vector<double> F(r * r);
  int ind = 0;
  for (int i = 0; i < r; ++i)
    for (int j = i; j < r; ++j) F[i * r + j] = F[j * r + i] = P[ind++];
  return F;
}

// Autocovariances (sigma^2 = 1) of w[t] = sum phi w[t-i] + e[t] + sum c e[t-j] from the
// psi weights; the series are strongly stationary so 4000 weights are plenty.
std::vector<double> Autocovariances(const std::vector<double> &phi, const std::vector<double> &c, int lags) {
  const int m = 4000;
  std::vector<double> psi(m, 0.0);
  for (int k = 0; k < m; ++k) {
    double v = k == 0 ? 1.0 : (k <= static_cast<int>(c.size()) ? c[k - 1] : 0.0);
    for (int i = 1; i <= static_cast<int>(phi.size()) && i <= k; ++i) v += phi[i - 1] * psi[k - i];
    psi[k] = v;
  }
  std::vector<double> g(lags);
  for (int h = 0; h < lags; ++h) {
    double s = 0.0;
    for (int k = 0; k + h < m; ++k) s += psi[k] * psi[k + h];
    g[h] = s;
  }
  return g;
}

struct Filtered {
  std::vector<double> resid;
  double sumlog, ssq;
  int nit;
  std::vector<double> a, P;  // the state and covariance the filter leaves
};

Filtered RunFilter(std::vector<double> phi, std::vector<double> c, const std::vector<double> &w) {
  const int p = static_cast<int>(phi.size()), q = static_cast<int>(c.size());
  const int r = Dim(p, q);
  const int np = r * (r + 1) / 2;
  phi.resize(r, 0.0);
  c.resize(r, 0.0);
  std::vector<double> a(r), P(np), V(np);
  EXPECT_EQ(starma(p, q, phi.data(), c.data(), a.data(), P.data(), V.data()), 0);
  Filtered f{std::vector<double>(w.size()), 0.0, 0.0, 0, {}, {}};
  int mode = 0;
  std::vector<double> wc(w);
  karma(p, q, phi.data(), c.data(), a.data(), P.data(), V.data(), static_cast<int>(w.size()), wc.data(),
        f.resid.data(), &f.sumlog, &f.ssq, 1, 0.001, &f.nit, &mode);
  EXPECT_EQ(mode, 0);
  f.a = a;
  f.P = P;
  return f;
}

TEST(Kalman, StarmaPureMovingAverageCovariance) {
  std::vector<double> phi(2, 0.0), theta = {0.5, 0.0}, a(2, 9.0), P(3), V(3);
  EXPECT_EQ(starma(0, 1, phi.data(), theta.data(), a.data(), P.data(), V.data()), 0);
  EXPECT_EQ(P, (std::vector<double>{1.25, 0.5, 0.25}));
  EXPECT_EQ(V, (std::vector<double>{1.0, 0.5, 0.25}));
  EXPECT_EQ(a, (std::vector<double>{0.0, 0.0}));
}

TEST(Kalman, StarmaFaultCodesLeaveArraysUntouched) {
  std::vector<double> phi(4, 7.0), theta(4, 7.0), a(4, 7.0), P(10, 7.0), V(10, 7.0);
  EXPECT_EQ(starma(0, 0, phi.data(), theta.data(), a.data(), P.data(), V.data()), 8);
  EXPECT_EQ(starma(1, 0, phi.data(), theta.data(), a.data(), P.data(), V.data()), 8);
  EXPECT_EQ(starma(-1, 2, phi.data(), theta.data(), a.data(), P.data(), V.data()), 1);
  EXPECT_EQ(starma(3, -1, phi.data(), theta.data(), a.data(), P.data(), V.data()), 2);
  EXPECT_EQ(starma(-2, -3, phi.data(), theta.data(), a.data(), P.data(), V.data()), 2);
  for (const auto *v : {&phi, &theta, &a, &P, &V})
    for (double e : *v) EXPECT_EQ(e, 7.0);
}

// P = T P T' + V for the companion transition T, for a spread of orders.
TEST(Kalman, StarmaSolvesTheStationarityEquation) {
  struct Case {
    std::vector<double> phi, c;
  };
  const std::vector<Case> cases = {{{0.6}, {0.3}},            {{0.5, 0.2}, {}},            {{1.2, -0.5}, {0.4}},
                                   {{0.3, 0.1, 0.2}, {0.5, -0.3}}, {{-0.4, 0.2, 0.1, 0.05}, {0.6}},
                                   {{0.9}, {0.2, 0.3, -0.1}},    {{0.0, 0.0, 0.8}, {}}};
  for (const Case &cs : cases) {
    const int p = static_cast<int>(cs.phi.size()), q = static_cast<int>(cs.c.size());
    const int r = Dim(p, q);
    std::vector<double> phi(cs.phi), theta(cs.c), a(r), P(r * (r + 1) / 2), V(P.size());
    phi.resize(r, 0.0);
    theta.resize(r, 0.0);
    ASSERT_EQ(starma(p, q, phi.data(), theta.data(), a.data(), P.data(), V.data()), 0);
    std::vector<double> F = Unpack(P, r), G = Unpack(V, r), T(r * r, 0.0);
    for (int i = 0; i < r; ++i) {
      T[i * r] = phi[i];
      if (i + 1 < r) T[i * r + i + 1] = 1.0;
    }
    for (int i = 0; i < r; ++i) {
      for (int j = 0; j < r; ++j) {
        double s = G[i * r + j];
        for (int k = 0; k < r; ++k)
          for (int l = 0; l < r; ++l) s += T[i * r + k] * F[k * r + l] * T[j * r + l];
        EXPECT_NEAR(F[i * r + j], s, 1e-12 * (1.0 + std::fabs(s))) << "p=" << p << " q=" << q;
      }
    }
    EXPECT_REL_NEAR(P[0], Autocovariances(cs.phi, cs.c, 1)[0], 1e-11);
  }
}

// The filter's innovations are the Cholesky factorisation of the covariance matrix of the
// observations: sumlog = ln det, ssq = w' Gamma^-1 w, resid = L^-1 w.
TEST(Kalman, KarmaMatchesDenseCholeskyLikelihood) {
  const std::vector<double> phi = {0.5, -0.3, 0.2}, c = {0.4, 0.25};
  std::vector<double> w = tsf_test::LoadSeries("lh.csv");
  for (double &v : w) v -= 2.4;
  const int n = static_cast<int>(w.size());
  std::vector<double> g = Autocovariances(phi, c, n);
  std::vector<double> L(n * n, 0.0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) {
      double s = g[i - j];
      for (int k = 0; k < j; ++k) s -= L[i * n + k] * L[j * n + k];
      L[i * n + j] = i == j ? std::sqrt(s) : s / L[j * n + j];
    }
  }
  std::vector<double> z(n);
  double logdet = 0.0, quad = 0.0;
  for (int i = 0; i < n; ++i) {
    double s = w[i];
    for (int k = 0; k < i; ++k) s -= L[i * n + k] * z[k];
    z[i] = s / L[i * n + i];
    logdet += 2.0 * std::log(L[i * n + i]);
    quad += z[i] * z[i];
  }
  Filtered f = RunFilter(phi, c, w);
  EXPECT_EQ(f.nit, n);
  EXPECT_REL_NEAR(f.sumlog, logdet, 1e-10);
  EXPECT_REL_NEAR(f.ssq, quad, 1e-10);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(f.resid[i], z[i], 1e-9) << i;
}

TEST(Kalman, KarmaWithoutObservationsCountsOne) {
  std::vector<double> phi = {0.5, 0.0}, theta = {0.3, 0.0}, a(2), P(3), V(3), w(1), resid(1, 4.0);
  starma(1, 1, phi.data(), theta.data(), a.data(), P.data(), V.data());
  const std::vector<double> a0 = a, P0 = P;
  double sumlog = 3.5, ssq = 7.25;
  int nit = -5, mode = 0;
  karma(1, 1, phi.data(), theta.data(), a.data(), P.data(), V.data(), 0, w.data(), resid.data(), &sumlog, &ssq, 1,
        0.001, &nit, &mode);
  EXPECT_EQ(nit, 1);
  EXPECT_EQ(sumlog, 3.5);
  EXPECT_EQ(ssq, 7.25);
  EXPECT_EQ(a, a0);
  EXPECT_EQ(P, P0);
  EXPECT_EQ(resid[0], 4.0);
}

TEST(Kalman, KarmaFastRecursionsAreTheConditionalResiduals) {
  const double f = 0.5, c = 0.4;
  std::vector<double> phi = {f, 0.0}, theta = {c, 0.0}, a(2), P(3), V(3);
  std::vector<double> w = {1.0, 2.0, -1.0, 0.5, 3.0}, resid(5);
  double sumlog = 1.5, ssq = 0.0;
  int nit = 0, mode = 1;
  karma(1, 1, phi.data(), theta.data(), a.data(), P.data(), V.data(), 5, w.data(), resid.data(), &sumlog, &ssq, 1,
        0.001, &nit, &mode);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(nit, 5);
  EXPECT_EQ(sumlog, 1.5);
  double e_prev = 0.0, s = 0.0;
  for (int t = 0; t < 5; ++t) {
    const double e = w[t] - (t > 0 ? f * w[t - 1] : 0.0) - c * e_prev;
    EXPECT_REL_NEAR(resid[t], e, 1e-15) << t;
    s += e * e;
    e_prev = e;
  }
  EXPECT_REL_NEAR(ssq, s, 1e-15);
}

TEST(Kalman, Inclu2RejectsNonPositiveWeight) {
  std::vector<double> xnext = {1.0, 2.0}, xrow(2, 9.0), d(2, 0.0), rbar(1, 0.0), thetab(2, 0.0);
  double ssqerr = 0.0, recres = 5.0;
  int irank = 0;
  EXPECT_EQ(inclu2(2, 1, 0.0, xnext.data(), xrow.data(), 3.0, d.data(), rbar.data(), thetab.data(), &ssqerr,
                   &recres, &irank),
            1);
  EXPECT_EQ(xrow, xnext);
  EXPECT_EQ(recres, 0.0);
  EXPECT_EQ(d, (std::vector<double>{0.0, 0.0}));
}

// Rows included one by one give the least-squares solution of an overdetermined system;
// the third row is consistent, so the fit is exact and the residual sum stays zero.
TEST(Kalman, Inclu2AndRegresSolveLeastSquares) {
  const double rows[3][2] = {{1.0, 1.0}, {1.0, -1.0}, {2.0, 1.0}};
  const double y[3] = {3.0, 1.0, 5.0};  // x = (2, 1)
  std::vector<double> d(2, 0.0), rbar(1, 0.0), thetab(2, 0.0), xrow(2), beta(2);
  double ssqerr = 0.0, recres = 0.0;
  int irank = 0;
  for (int i = 0; i < 3; ++i) {
    std::vector<double> xnext(rows[i], rows[i] + 2);
    EXPECT_EQ(inclu2(2, 1, 1.0, xnext.data(), xrow.data(), y[i], d.data(), rbar.data(), thetab.data(), &ssqerr,
                     &recres, &irank),
              0);
  }
  regres(2, 1, rbar.data(), thetab.data(), beta.data());
  EXPECT_REL_NEAR(beta[0], 2.0, 1e-14);
  EXPECT_REL_NEAR(beta[1], 1.0, 1e-14);
  EXPECT_NEAR(ssqerr, 0.0, 1e-24);
  EXPECT_EQ(irank, 2);
}

}  // namespace

// Regression: a state of a few hundred (a seasonal MA term at period 366) overflowed the
// int size of the covariance regression, about r^4/8 doubles, and crashed in starma;
// forkal and the seasonal driver reached it. The state now stops at 101.
TEST(Kalman, StateBeyondTheLimitIsRefusedBeforeAnySizeOverflows) {
  std::vector<double> phi(2, 0.0), theta(2, 0.0), a(2, 7.0), P(3, 7.0), V(3, 7.0);
  EXPECT_EQ(starma(400, 1, phi.data(), theta.data(), a.data(), P.data(), V.data()), 16);
  EXPECT_EQ(starma(102, 0, phi.data(), theta.data(), a.data(), P.data(), V.data()), 16);
  EXPECT_EQ(a[0], 7.0);
  EXPECT_EQ(P[0], 7.0);
  std::vector<double> w(50, 1.0), resid(50, 0.0), y(3, 5.0), mse(3, 5.0), delta(1, 1.0);
  std::vector<double> big(400, 0.0);
  EXPECT_EQ(forkal(1, 366, 0, big.data(), big.data(), delta.data(), 50, w.data(), resid.data(), 3, y.data(),
                   mse.data()),
            12);
  EXPECT_EQ(y[0], 5.0);
  EXPECT_EQ(mse[2], 5.0);
  // At the limit itself the covariance is computed (a pure MA of order 100 has r = 101).
  std::vector<double> ma(101, 0.0), ar(101, 0.0), a101(101), P101(101 * 102 / 2), V101(101 * 102 / 2);
  ma[0] = 0.5;
  EXPECT_EQ(starma(0, 100, ar.data(), ma.data(), a101.data(), P101.data(), V101.data()), 0);
  EXPECT_DOUBLE_EQ(P101[0], 1.25);
}
