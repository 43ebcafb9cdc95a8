/* Box-Jenkins estimation of ARMA models of a differenced series: moment estimates
   from the sample autocovariances (USPE), residuals with back-forecasting (avaluem) and
   nonlinear least squares by Marquardt's method (nlalsm).

   Box, G. E. P. and Jenkins, G. M. (1976), Time Series Analysis: Forecasting and
   Control, chapter 6 (initial estimates, programs 3 and 4) and chapter 7 (back-forecasting
   and nonlinear estimation); Marquardt, D. W. (1963), SIAM J. Appl. Math. 11, 431-441.

   Signs: w[t] - sum phi[i] w[t-i] = a[t] - sum theta[j] a[t-j]. */
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/matrix/matrix.h"
#include "core/stats/stats.h"
#include "core/transform/transform.h"

namespace tsf_arima {

void uspe_ar_step(const double *c, int p, int q, double *phi) {
  std::vector<double> A(static_cast<std::size_t>(p) * p);
  std::vector<double> rhs(static_cast<std::size_t>(p));
  std::vector<int> ipiv(static_cast<std::size_t>(p));
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j) A[i * p + j] = c[std::abs(q + i - j)];
    rhs[i] = c[q + i + 1];
  }
  ludecomp(A.data(), p, ipiv.data());
  linsolve(A.data(), p, rhs.data(), ipiv.data(), phi);
}

namespace {

/* Autocovariances c'[0..q] of the series filtered by (1 - phi(B)). */
void filtered_autocovariance(const double *c, int p, int q, const double *phi, double *cf) {
  if (p == 0) {
    for (int j = 0; j <= q; ++j) cf[j] = c[j];
    return;
  }
  std::vector<double> f(static_cast<std::size_t>(p) + 1);
  f[0] = -1.0;
  for (int i = 1; i <= p; ++i) f[i] = phi[i - 1];
  for (int j = 0; j <= q; ++j) {
    double s = 0.0;
    for (int i = 0; i <= p; ++i)
      for (int l = 0; l <= p; ++l) s += f[i] * f[l] * c[std::abs(j + i - l)];
    cf[j] = s;
  }
}

/* g[j] = sum_i tau[i] tau[i + j] - cf[j], j = 0..q. */
void factorisation_residual(const double *tau, const double *cf, int q, double *g) {
  for (int j = 0; j <= q; ++j) {
    double s = 0.0;
    for (int i = 0; i <= q - j; ++i) s += tau[i] * tau[i + j];
    g[j] = s - cf[j];
  }
}

}  // namespace

void uspe_ma_step(const double *c, int p, int q, const double *phi, double *tau) {
  const int m = q + 1;
  std::vector<double> cf(static_cast<std::size_t>(m));
  std::vector<double> g(static_cast<std::size_t>(m));
  std::vector<double> h(static_cast<std::size_t>(m));
  std::vector<double> T(static_cast<std::size_t>(m) * m);
  std::vector<int> ipiv(static_cast<std::size_t>(m));
  filtered_autocovariance(c, p, q, phi, cf.data());
  tau[0] = std::sqrt(cf[0]);
  for (int j = 1; j <= q; ++j) tau[j] = 0.0;
  factorisation_residual(tau, cf.data(), q, g.data());
  for (int step = 0; step < 200 && array_max_abs(g.data(), m) > 0.0001; ++step) {
    for (int i = 0; i < m; ++i)
      for (int j = 0; j < m; ++j)
        T[i * m + j] = (i + j <= q ? tau[i + j] : 0.0) + (j >= i ? tau[j - i] : 0.0);
    ludecomp(T.data(), m, ipiv.data());
    linsolve(T.data(), m, g.data(), ipiv.data(), h.data());
    for (int j = 0; j < m; ++j) tau[j] -= h[j];
    factorisation_residual(tau, cf.data(), q, g.data());
  }
}

void avaluem_work(const double *w, int n, int p, int q, const double *phi, const double *theta,
                  int Q, double *a, double *work) {
  const int m = p > q ? p : q;
  double *e = work;
  double *z = e + n;      // back-forecasts reversed, then the series: z[Q + s] is time s
  double *r = z + n + Q;  // forward residuals over the extended series
  // Backward residuals; the last m stay zero. Reads stay inside w because t + m < n.
  for (int t = 0; t < n; ++t) e[t] = 0.0;
  for (int t = n - m - 1; t >= 0; --t) {
    double s = w[t];
    for (int i = 1; i <= p; ++i) s -= phi[i - 1] * w[t + i];
    for (int j = 1; j <= q; ++j) s += theta[j - 1] * e[t + j];
    e[t] = s;
  }
  for (int t = 0; t < n; ++t) z[Q + t] = w[t];
  // Back-forecast of time -(k+1) from the later values (observed or back-forecast) and the
  // backward residuals at non-negative times. Times beyond the series count as zero.
  for (int k = 0; k < Q; ++k) {
    double s = 0.0;
    for (int i = 1; i <= p; ++i) {
      const int t = i - k - 1;
      if (t < n) s += phi[i - 1] * z[Q + t];
    }
    for (int j = k + 1; j <= q; ++j) {
      const int t = j - 1 - k;
      if (t < n) s -= theta[j - 1] * e[t];
    }
    z[Q - 1 - k] = s;
  }
  const int len = n + Q;
  for (int s = 0; s < len; ++s) {
    double v = z[s];
    for (int i = 1; i <= p && s - i >= 0; ++i) v -= phi[i - 1] * z[s - i];
    for (int j = 1; j <= q && s - j >= 0; ++j) v += theta[j - 1] * r[s - j];
    r[s] = v;
  }
  // The first extended position is dropped.
  for (int k = 0; k < len - 1; ++k) a[k] = r[k + 1];
}

namespace {

/* Work arrays of one Marquardt fit, allocated once and reused by every iteration. */
struct marquardt_fit {
  int k, L;
  double h0;
  const bj_residual_function &residuals;
  std::vector<double> X;      // k x L, minus the derivatives of the residuals
  std::vector<double> A, XXt; // scaled and damped normal matrix, unscaled X X'
  std::vector<double> g, D, s, lu;
  std::vector<int> ipiv;

  marquardt_fit(int k_, int L_, const bj_residual_function &residuals_, double eps)
      : k(k_), L(L_), h0(std::sqrt(eps)), residuals(residuals_), X(static_cast<std::size_t>(k) * L),
        A(static_cast<std::size_t>(k) * k), XXt(static_cast<std::size_t>(k) * k), g(k), D(k), s(k),
        lu(static_cast<std::size_t>(k) * k), ipiv(k) {}

  /* Jacobian at beta (whose residuals are a0), the normal equations and their scaling. A
     parameter that is exactly zero gets the absolute step h0: a relative step would vanish. */
  void linearise(std::vector<double> &beta, const double *a0, double *a1, double lambda) {
    for (int i = 0; i < k; ++i) {
      const double old = beta[i];
      beta[i] = old != 0.0 ? old + h0 * old : h0;
      const double h = beta[i] - old;
      residuals(beta.data(), a1);
      double *Xi = &X[static_cast<std::size_t>(i) * L];
      for (int t = 0; t < L; ++t) Xi[t] = (a0[t] - a1[t]) / h;
      beta[i] = old;
    }
    for (int i = 0; i < k; ++i) {
      const double *Xi = &X[static_cast<std::size_t>(i) * L];
      for (int j = 0; j < k; ++j) {
        const double *Xj = &X[static_cast<std::size_t>(j) * L];
        double sum = 0.0;
        for (int t = 0; t < L; ++t) sum += Xi[t] * Xj[t];
        XXt[i * k + j] = sum;
      }
      double sum = 0.0;
      for (int t = 0; t < L; ++t) sum += Xi[t] * a0[t];
      g[i] = sum;
    }
    for (int i = 0; i < k; ++i) D[i] = std::sqrt(XXt[i * k + i]);
    for (int i = 0; i < k; ++i) {
      for (int j = 0; j < k; ++j) A[i * k + j] = XXt[i * k + j] / (D[i] * D[j]);
      g[i] /= D[i];
    }
    damp(lambda);
  }

  /* Whether the scaled normal equations are usable (residuals that overflowed, or a
     parameter without influence, leave infinities or NaNs there). */
  bool finite_system() const {
    for (double v : A)
      if (!std::isfinite(v)) return false;
    for (double v : g)
      if (!std::isfinite(v)) return false;
    return true;
  }

  void damp(double lambda) {
    for (int i = 0; i < k; ++i) A[i * k + i] = 1.0 + lambda;
  }

  /* Marquardt step s from the damped scaled system; A itself is kept. */
  void solve_step() {
    lu = A;
    ludecomp(lu.data(), k, ipiv.data());
    linsolve(lu.data(), k, g.data(), ipiv.data(), s.data());
    for (int i = 0; i < k; ++i) s[i] /= D[i];
  }
};

/* 15 with the library's announcement when the sum of squares at the current parameters
   or the linearised system there is not finite, else 0. */
int finite_fit_status(double ssq, bool finite_system) {
  if (ssq >= DBL_MAX || ssq <= -DBL_MAX) {
    std::printf("Program Exiting as the function value exceeds the maximum double value");
    return 15;
  }
  if (std::isnan(ssq) || !finite_system) {
    std::printf("Program Exiting as the function returns NaN");
    return 15;
  }
  return 0;
}

}  // namespace

int marquardt_least_squares(int k, int L, const bj_residual_function &residuals, double eps, double *beta_io,
                            double *trial_out, double *ssq, double *latest_out, double *inv_xxt) {
  marquardt_fit fit(k, L, residuals, eps);
  std::vector<double> beta(beta_io, beta_io + k), trial(beta);
  std::vector<double> a0(static_cast<std::size_t>(L)), a1(static_cast<std::size_t>(L)),
      anew(static_cast<std::size_t>(L));
  const double *latest = a0.data();
  marquardt_damping damping;
  residuals(beta.data(), a0.data());
  fit.linearise(beta, a0.data(), a1.data(), damping.lambda);
  int code = finite_fit_status(sosqm(a0.data(), L), fit.finite_system());

  const double tolerance = 1e-8;
  const int max_iterations = 200;
  double stepsize = 1.0;
  int iter = 0;
  while (code == 0 && stepsize >= tolerance && iter < max_iterations) {
    ++iter;
    fit.solve_step();
    for (int i = 0; i < k; ++i) trial[i] = beta[i] + fit.s[i];
    residuals(trial.data(), anew.data());
    latest = anew.data();
    const double snew = sosqm(anew.data(), L);
    const double sold = sosqm(a0.data(), L);
    stepsize = array_max_abs(fit.s.data(), k);
    if (snew < sold) {
      if (stepsize < tolerance) break;
      beta = trial;
      damping.accept();
      residuals(beta.data(), a0.data());
      latest = a0.data();
      fit.linearise(beta, a0.data(), a1.data(), damping.lambda);
      code = finite_fit_status(sosqm(a0.data(), L), fit.finite_system());
    } else {
      damping.reject();
      fit.damp(damping.lambda);
    }
  }
  if (code == 0) code = iter >= max_iterations ? 4 : 1;

  *ssq = sosqm(a0.data(), L);
  for (int i = 0; i < k; ++i) {
    beta_io[i] = beta[i];
    trial_out[i] = trial[i];
  }
  for (int t = 0; t < L; ++t) latest_out[t] = latest[t];
  std::vector<int> ipiv(static_cast<std::size_t>(k));
  ludecomp(fit.XXt.data(), k, ipiv.data());
  minverse(fit.XXt.data(), k, ipiv.data(), inv_xxt);
  return code;
}

}  // namespace tsf_arima

extern "C" {

void USPE(const double *w, int n, int p, int q, double *phi, double *theta, double *constant, double *var) {
  std::vector<double> c(static_cast<std::size_t>(p) + q + 1, 0.0);
  autocovar(const_cast<double *>(w), n, c.data(), p + q + 1);
  const double xbar = ::mean(const_cast<double *>(w), n);
  for (int i = 0; i < p; ++i) phi[i] = 0.0;
  for (int j = 0; j < q; ++j) theta[j] = 0.0;
  if (p > 0) tsf_arima::uspe_ar_step(c.data(), p, q, phi);
  std::vector<double> tau(static_cast<std::size_t>(q) + 1);
  tsf_arima::uspe_ma_step(c.data(), p, q, phi, tau.data());
  double ar_sum = 0.0;
  for (int i = 0; i < p; ++i) ar_sum += phi[i];
  *constant = p == 0 ? xbar : (1.0 - ar_sum) * xbar;
  for (int j = 1; j <= q; ++j) theta[j - 1] = -tau[j] / tau[0];
  if (q == 0) {
    double v = c[0];
    for (int i = 1; i <= p; ++i) v -= phi[i - 1] * c[i];
    *var = v;
  } else {
    *var = tau[0] * tau[0];
  }
}

void avaluem(const double *w, int n, int p, int q, const double *phi, const double *theta, int Q,
             double *a) {
  if (n < 0 || Q < 0) return;
  std::vector<double> work(tsf_arima::avaluem_work_size(n, Q));
  tsf_arima::avaluem_work(w, n, p, q, phi, theta, Q, a, work.data());
}

double sosqm(const double *a, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += a[i] * a[i];
  return s;
}

int nlalsm(const double *x, int N, int p, int d, int q, double *phi, double *theta, int M,
           double *mean, double *var, double *unused, double *vcov, double *res, double eps) {
  (void)unused;
  // A series no longer than d cannot be differenced, and one without more values than
  // parameters leaves no degrees of freedom for the variance: input errors.
  if (p < 0 || d < 0 || q < 0 || (M != 0 && M != 1) || N <= d) return 0;
  const int n = N - d;
  if (n - p - q - M <= 0) return 0;
  const int k = p + q + M;
  const int Q = tsf_arima::backforecast_length(p, q);
  const int L = n + Q - 1;
  std::vector<double> w0(static_cast<std::size_t>(n));
  if (d >= 1) {
    diff(const_cast<double *>(x), N, d, w0.data());
  } else {
    for (int t = 0; t < n; ++t) w0[t] = x[t];
  }
  USPE(w0.data(), n, p, q, phi, theta, mean, var);
  std::vector<double> beta(static_cast<std::size_t>(k)), trial(static_cast<std::size_t>(k));
  if (M == 1) beta[0] = *mean;
  for (int i = 0; i < p; ++i) beta[M + i] = phi[i];
  for (int j = 0; j < q; ++j) beta[M + p + j] = theta[j];

  // Residuals of beta = (level if M = 1, phi, theta) over the series less the level.
  std::vector<double> series(static_cast<std::size_t>(n)), arphi(static_cast<std::size_t>(p)),
      matheta(static_cast<std::size_t>(q)), work(tsf_arima::avaluem_work_size(n, Q));
  auto residuals = [&](const double *b, double *out) {
    const double level = M == 1 ? b[0] : 0.0;
    for (int i = 0; i < p; ++i) arphi[i] = b[M + i];
    for (int j = 0; j < q; ++j) matheta[j] = b[M + p + j];
    for (int t = 0; t < n; ++t) series[t] = w0[t] - level;
    tsf_arima::avaluem_work(series.data(), n, p, q, arphi.data(), matheta.data(), Q, out, work.data());
  };
  std::vector<double> latest(static_cast<std::size_t>(L));
  double ssq = 0.0;
  const int code = tsf_arima::marquardt_least_squares(k, L, residuals, eps, beta.data(), trial.data(), &ssq,
                                                      latest.data(), vcov);
  *var = ssq / (n - p - q - M);
  double ar_sum = 0.0;
  for (int i = 0; i < p; ++i) {
    phi[i] = trial[M + i];
    ar_sum += phi[i];
  }
  for (int j = 0; j < q; ++j) theta[j] = trial[M + p + j];
  *mean = M == 1 ? beta[0] * (1.0 - ar_sum) : 0.0;
  for (int i = 0; i < k * k; ++i) vcov[i] *= *var;
  for (int t = 0; t < n; ++t) res[t] = latest[Q - 1 + t];
  return code;
}

}  // extern "C"
