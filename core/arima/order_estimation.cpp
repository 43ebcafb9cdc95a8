/* ARMA order estimation: the two-stage regression estimate of Hannan and Rissanen, a
   table of information criteria over (p, q) built on it, and the innovations algorithm
   with the moving-average estimate it gives.

   Hannan, E. J. and Rissanen, J. (1982), Recursive estimation of mixed autoregressive-
   moving average order, Biometrika 69, 81-94. Brockwell, P. J. and Davis, R. A. (1991),
   Time Series: Theory and Methods, 2nd ed., section 5.2 (innovations algorithm) and
   section 8.3 (moving-average estimates).

   Sign convention: x[t] = sum phi[i] x[t-i] + e[t] - sum theta[j] e[t-j], x centred. */
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/arima/ar_internal.h"
#include "core/arima/arima.h"
#include "core/arima/log_internal.h"
#include "core/matrix/matrix.h"
#include "core/stats/stats.h"
#include "core/transform/transform.h"

namespace {

int long_ar_order(int N, int p, int q) {
  const int m = std::max(p, q);
  return (m < 10 && p + q + 20 < N) ? 10 : m + 1;
}

// A regression of hrstep2 stays inside the series and has more rows than coefficients.
bool regression_fits(int N, int m, int p, int q) {
  return p >= 0 && q >= 0 && m >= 0 && p <= m + q && N - m - q > p + q;
}

// Residuals of the Yule-Walker AR(m) fit to x: zero before time m.
std::vector<double> long_ar_residuals(const double *x, int N, int m) {
  std::vector<double> a(m), e(N, 0.0);
  if (m > 0) ywalg(x, N, m, a.data());
  for (int t = m; t < N; ++t) {
    double v = x[t];
    for (int i = 1; i <= m; ++i) v -= a[i - 1] * x[t - i];
    e[t] = v;
  }
  return e;
}

// Second-stage least squares: b (p + q) from the normal equations of x[t] on
// (x[t-1..t-p], -e[t-1..t-q]), t = m + q .. N - 1; returns the residual sum of squares.
double second_stage(const double *x, int N, int m, int p, int q, const double *e, double *b) {
  const int k = p + q;
  const int t0 = m + q;
  const int R = N - t0;
  if (k > 0) {
    std::vector<double> X(static_cast<std::size_t>(R) * k), Xt(X.size()), y(R);
    for (int r = 0; r < R; ++r) {
      const int t = t0 + r;
      for (int i = 1; i <= p; ++i) X[r * k + i - 1] = x[t - i];
      for (int j = 1; j <= q; ++j) X[r * k + p + j - 1] = -e[t - j];
      y[r] = x[t];
    }
    std::vector<double> XtX(static_cast<std::size_t>(k) * k), Xty(k);
    std::vector<int> ipiv(k);
    mtranspose(X.data(), R, k, Xt.data());
    mmult(Xt.data(), X.data(), XtX.data(), k, R, k);
    mmult(Xt.data(), y.data(), Xty.data(), k, R, 1);
    ludecomp(XtX.data(), k, ipiv.data());
    linsolve(XtX.data(), k, Xty.data(), ipiv.data(), b);
  }
  double ssq = 0.0;
  for (int t = t0; t < N; ++t) {
    double r = x[t];
    for (int i = 1; i <= p; ++i) r -= b[i - 1] * x[t - i];
    for (int j = 1; j <= q; ++j) r += b[p + j - 1] * e[t - j];
    ssq += r * r;
  }
  return ssq;
}

struct criterion_best {
  double value = 0.0;
  int p = 0, q = 1;
  void offer(double v, int cp, int cq, bool first) {
    if (first || v < value) {
      value = v;
      p = cp;
      q = cq;
    }
  }
};

}  // namespace

extern "C" {

void hralg(const double *x, int N, int p, int q, double *phi, double *theta, double *var) {
  const int m = long_ar_order(N, p, q);
  if (!regression_fits(N, m, p, q)) return;
  const std::vector<double> xc = tsf_arima::centred(x, N);
  const std::vector<double> e = long_ar_residuals(xc.data(), N, m);
  std::vector<double> b(p + q);
  const double ssq = second_stage(xc.data(), N, m, p, q, e.data(), b.data());
  for (int i = 0; i < p; ++i) phi[i] = b[i];
  for (int j = 0; j < q; ++j) theta[j] = b[p + j];
  *var = ssq / (N - m - q);
}

void hr(const double *x, int N, int p, int q, double *phi, double *theta, double *var) {
  hralg(x, N, p, q, phi, theta, var);
}

void hrstep2(const double *x, int N, int m, int p, int q, int k, const double *e, double *ssq,
             double *var) {
  if (k != p + q || !regression_fits(N, m, p, q)) return;
  std::vector<double> b(k);
  *ssq = second_stage(x, N, m, p, q, e, b.data());
  *var = *ssq / (N - m - q);
}

void model_estimate(const double *x, int N, int d, int pmax, int m) {
  if (d < 0 || N - d < 1 || pmax < 1 || pmax > m) return;
  std::vector<double> w(N);
  const int n = d > 0 ? diff(const_cast<double *>(x), N, d, w.data()) : N;
  if (d == 0) std::copy(x, x + N, w.begin());
  if (n <= m + 3 * pmax) return;
  const std::vector<double> wc = tsf_arima::centred(w.data(), n);
  const std::vector<double> e = long_ar_residuals(wc.data(), n, m);
  const double ln_n = tsf_log(static_cast<double>(n));
  const double ln_ln_n = tsf_log(ln_n);
  criterion_best aic, sc, hq;
  bool first = true;
  for (int p = 0; p <= pmax; ++p) {
    for (int q = 0; q <= pmax; ++q) {
      if (p == 0 && q == 0) continue;
      double ssq = 0.0, var = 0.0;
      hrstep2(wc.data(), n, m, p, q, p + q, e.data(), &ssq, &var);
      const int k = p + q;
      const double lv = tsf_log(var);
      const double a = lv + 2.0 * k / n;
      const double s = lv + ln_n * k / n;
      const double h = lv + 2.0 * ln_ln_n * k / n;
      std::printf("\n p = %d q = %d AIC = %g SC = %g HQ = %g \n", p, q, a, s, h);
      aic.offer(a, p, q, first);
      sc.offer(s, p, q, first);
      hq.offer(h, p, q, first);
      first = false;
    }
  }
  std::puts("\n");
  std::printf("AIC Estimate : p = %d q = %d \n", aic.p, aic.q);
  std::printf("SC Estimate  : p = %d q = %d \n", sc.p, sc.q);
  std::printf("HQ Estimate  : p = %d q = %d \n", hq.p, hq.q);
}

void innalg(const double *x, int N, int m, double *v, double *Theta) {
  if (m < 0 || m > N - 1) return;
  const int w = m + 1;
  std::vector<double> gamma(w);
  autocovar(const_cast<double *>(x), N, gamma.data(), w);
  for (int i = 0; i < w * w; ++i) Theta[i] = 0.0;
  auto T = [&](int row, int col) -> double & { return Theta[row * w + col]; };
  v[0] = gamma[0];
  for (int n = 1; n <= m; ++n) {
    for (int k = 0; k < n; ++k) {
      double s = gamma[n - k];
      for (int j = 0; j < k; ++j) s -= T(k, k - j) * T(n, n - j) * v[j];
      T(n, n - k) = s / v[k];
    }
    double s = v[0];
    for (int j = 0; j < n; ++j) s -= v[j] * T(n, n - j) * T(n, n - j);
    v[n] = s;
  }
}

void ma_inn(const double *x, int N, int q, double *theta, int m) {
  if (q < 0 || q > m || m > N - 1) return;
  std::vector<double> v(m + 1), Theta(static_cast<std::size_t>(m + 1) * (m + 1));
  innalg(x, N, m, v.data(), Theta.data());
  for (int j = 0; j < q; ++j) theta[j] = -Theta[static_cast<std::size_t>(m) * (m + 1) + j + 1];
}

}  // extern "C"
