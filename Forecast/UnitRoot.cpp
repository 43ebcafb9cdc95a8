// Unit-root tests for the choice of differencing.
//
// Kwiatkowski, D., Phillips, P. C. B., Schmidt, P. and Shin, Y. (1992), Testing the null
// hypothesis of stationarity against the alternative of a unit root, Journal of
// Econometrics 54, 159-178 (the level statistic eta_mu, its Table 1 critical values and
// the truncation lag l4).
// Canova, F. and Hansen, B. E. (1995), Are seasonal patterns constant over time? A test for
// seasonal stability, Journal of Business and Economic Statistics 13, 237-252 (the L
// statistic on the trigonometric seasonal terms, with a lagged dependent variable among
// the regressors); critical values from Hansen, B. E. (1992), Testing for parameter
// instability in linear models, Journal of Policy Modeling 14, 517-533, Table 1.
// Long-run variances: Newey, W. K. and West, K. D. (1987), Econometrica 55, 703-708.
// Ljung, G. M. and Box, G. E. P. (1978), On a measure of lack of fit in time series
// models, Biometrika 65, 297-303 (here on the seasonal lags only).
#include "Forecast/UnitRoot.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "Forecast/auto_arima_internal.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// 5% critical values of the Canova-Hansen statistic for 1..12 degrees of freedom.
constexpr double kCanovaHansen5[12] = {0.470, 0.749, 1.01, 1.24, 1.47, 1.68,
                                       1.90,  2.11,  2.32, 2.54, 2.75, 2.96};

double Bartlett(int k, int lags) { return 1.0 - static_cast<double>(k) / (lags + 1.0); }

// Least-squares residuals of y on the columns of X (n x k, column-major), by Householder
// QR: the columns here (a constant, a lagged level, sines and cosines) differ in scale by
// orders of magnitude, which normal equations would square.
std::vector<double> LeastSquaresResiduals(std::vector<double> X, std::vector<double> y, int n, int k) {
  std::vector<double> r = y;
  for (int j = 0; j < k; ++j) {
    double *col = &X[static_cast<std::size_t>(j) * n];
    double norm = 0.0;
    for (int i = j; i < n; ++i) norm = std::hypot(norm, col[i]);
    if (norm == 0.0) continue;  // a column already explained by the earlier ones
    const double alpha = col[j] > 0 ? -norm : norm;
    col[j] -= alpha;
    double vv = 0.0;
    for (int i = j; i < n; ++i) vv += col[i] * col[i];
    auto reflect = [&](double *v) {
      double s = 0.0;
      for (int i = j; i < n; ++i) s += col[i] * v[i];
      s = 2.0 * s / vv;
      for (int i = j; i < n; ++i) v[i] -= s * col[i];
    };
    for (int c = j + 1; c < k; ++c) reflect(&X[static_cast<std::size_t>(c) * n]);
    reflect(r.data());
  }
  // Q' y with the first k entries (the fitted part) removed, turned back by Q.
  for (int i = 0; i < k && i < n; ++i) r[i] = 0.0;
  for (int j = k - 1; j >= 0; --j) {
    const double *col = &X[static_cast<std::size_t>(j) * n];
    double vv = 0.0, s = 0.0;
    for (int i = j; i < n; ++i) vv += col[i] * col[i], s += col[i] * r[i];
    if (vv == 0.0) continue;
    s = 2.0 * s / vv;
    for (int i = j; i < n; ++i) r[i] -= s * col[i];
  }
  return r;
}

// b' A^-1 b from the Cholesky factor L of A: the squared norm of L^-1 b.
double InverseQuadraticForm(const std::vector<double> &L, int m, std::vector<double> b) {
  double q = 0.0;
  for (int i = 0; i < m; ++i) {
    for (int k = 0; k < i; ++k) b[i] -= L[i * m + k] * b[k];
    b[i] /= L[i * m + i];
    q += b[i] * b[i];
  }
  return q;
}

// The s - 1 trigonometric seasonal terms at time t: cos and sin at the harmonics
// 2 pi j t / s, j < s / 2, and (-1)^t for even s.
void SeasonalTerms(int t, int s, double *f) {
  int k = 0;
  for (int j = 1; 2 * j < s; ++j) {
    const double a = 2.0 * kPi * j * static_cast<double>(t % s) / s;
    f[k++] = std::cos(a);
    f[k++] = std::sin(a);
  }
  if (s % 2 == 0) f[k] = (t % 2 == 0) ? 1.0 : -1.0;
}

}  // namespace

namespace tsf_auto {

bool CholeskyFactor(std::vector<double> &A, int m) {
  for (int j = 0; j < m; ++j) {
    double d = A[j * m + j];
    for (int k = 0; k < j; ++k) d -= A[j * m + k] * A[j * m + k];
    if (!(d > 1e-12 * std::fabs(A[j * m + j])) || !std::isfinite(d)) return false;
    d = std::sqrt(d);
    A[j * m + j] = d;
    for (int i = j + 1; i < m; ++i) {
      double s = A[i * m + j];
      for (int k = 0; k < j; ++k) s -= A[i * m + k] * A[j * m + k];
      A[i * m + j] = s / d;
    }
  }
  return true;
}

}  // namespace tsf_auto

int KPSSLag(int n) { return n < 1 ? 0 : static_cast<int>(std::floor(4.0 * std::pow(n / 100.0, 0.25))); }

double KPSSStatistic(const std::vector<double> &x, int lags) {
  const int n = static_cast<int>(x.size());
  if (n < 2) return std::numeric_limits<double>::quiet_NaN();
  if (lags < 0) lags = KPSSLag(n);
  if (lags > n - 1) lags = n - 1;
  double mean = 0.0;
  for (double v : x) mean += v;
  mean /= n;
  std::vector<double> e(x.size());
  for (int t = 0; t < n; ++t) e[t] = x[t] - mean;
  double s2 = 0.0;
  for (double v : e) s2 += v * v;
  for (int k = 1; k <= lags; ++k) {
    double c = 0.0;
    for (int t = k; t < n; ++t) c += e[t] * e[t - k];
    s2 += 2.0 * Bartlett(k, lags) * c;
  }
  s2 /= n;
  if (!(s2 > 0.0)) return 0.0;
  double partial = 0.0, sum = 0.0;
  for (double v : e) {
    partial += v;
    sum += partial * partial;
  }
  return sum / (static_cast<double>(n) * n * s2);
}

double KPSSCritical() { return 0.463; }

int KPSSDiffs(const std::vector<double> &x, int maxd) {
  std::vector<double> w = x;
  int d = 0;
  while (d < maxd && w.size() >= 3 && KPSSStatistic(w) > KPSSCritical()) {
    w = tsf_auto::Differenced(w, 1);
    ++d;
  }
  return d;
}

double CanovaHansenStatistic(const std::vector<double> &x, int s, int lags) {
  const int m = s - 1;  // trigonometric terms
  const int k = m + 2;  // with the constant and the lagged value
  const int n = static_cast<int>(x.size()) - 1;
  if (s < 2 || n <= k + 1) return std::numeric_limits<double>::quiet_NaN();
  std::vector<double> X(static_cast<std::size_t>(n) * k), y(static_cast<std::size_t>(n));
  std::vector<double> f(static_cast<std::size_t>(n) * m);
  for (int i = 0; i < n; ++i) {
    y[i] = x[i + 1];
    X[i] = 1.0;
    X[static_cast<std::size_t>(n) + i] = x[i];
    SeasonalTerms(i + 1, s, &f[static_cast<std::size_t>(i) * m]);
    for (int j = 0; j < m; ++j) X[static_cast<std::size_t>(j + 2) * n + i] = f[static_cast<std::size_t>(i) * m + j];
  }
  const std::vector<double> e = LeastSquaresResiduals(X, y, n, k);
  // u_t = f_t e_t, overwriting f.
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j) f[static_cast<std::size_t>(i) * m + j] *= e[i];
  if (lags < 0) lags = KPSSLag(n);
  if (lags > n - 1) lags = n - 1;
  std::vector<double> W(static_cast<std::size_t>(m) * m, 0.0);
  for (int lag = 0; lag <= lags; ++lag) {
    const double w = lag == 0 ? 1.0 : Bartlett(lag, lags);
    for (int a = 0; a < m; ++a)
      for (int b = 0; b < m; ++b) {
        double c = 0.0;
        for (int t = lag; t < n; ++t) c += f[static_cast<std::size_t>(t) * m + a] * f[static_cast<std::size_t>(t - lag) * m + b];
        W[a * m + b] += w * c / n;
        if (lag > 0) W[b * m + a] += w * c / n;
      }
  }
  if (!tsf_auto::CholeskyFactor(W, m)) return 0.0;
  std::vector<double> F(static_cast<std::size_t>(m), 0.0);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < m; ++j) F[j] += f[static_cast<std::size_t>(i) * m + j];
    sum += InverseQuadraticForm(W, m, F);
  }
  return sum / (static_cast<double>(n) * n);
}

double CanovaHansenCritical(int s) {
  const int df = s - 1;
  if (df < 1) return std::numeric_limits<double>::quiet_NaN();
  if (df <= 12) return kCanovaHansen5[df - 1];
  const double nu = 2.5 * df;
  const double c = 2.0 / (9.0 * nu);
  const double z95 = 1.6448536269514722;
  const double q = 1.0 - c + z95 * std::sqrt(c);
  return nu * q * q * q / 15.0;
}

int CanovaHansenDiffs(const std::vector<double> &x, int s) {
  if (s < 2 || static_cast<int>(x.size()) < 3 * s) return 0;
  const double L = CanovaHansenStatistic(x, s);
  return L > CanovaHansenCritical(s) ? 1 : 0;
}

double SeasonalLjungBox(const std::vector<double> &x, int s) {
  const std::vector<double> w = tsf_auto::Differenced(x, 1);
  const int n = static_cast<int>(w.size());
  if (s < 1 || n <= 2 * s) return std::numeric_limits<double>::quiet_NaN();
  double mean = 0.0;
  for (double v : w) mean += v;
  mean /= n;
  double c0 = 0.0;
  for (double v : w) c0 += (v - mean) * (v - mean);
  if (!(c0 > 0.0)) return 0.0;
  double q = 0.0;
  for (int k : {s, 2 * s}) {
    double c = 0.0;
    for (int t = k; t < n; ++t) c += (w[t] - mean) * (w[t - k] - mean);
    const double r = c > 0.0 ? c / c0 : 0.0;
    q += r * r / (n - k);
  }
  return static_cast<double>(n) * (n + 2.0) * q;
}

int SeasonalDiffs(const std::vector<double> &x, int s) {
  if (s < 2 || static_cast<int>(x.size()) < 3 * s) return 0;
  // The 1% point of chi-square(2), an exponential variable of mean 2: -2 ln 0.01.
  const double chi2_99 = 9.210340371976184;
  return CanovaHansenDiffs(x, s) == 1 || SeasonalLjungBox(x, s) > chi2_99 ? 1 : 0;
}
