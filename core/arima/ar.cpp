/* Autoregressive models: the AR model object with its order chosen by the Akaike
   criterion, forecasts from it, direct fits of a given order, and the two estimators.

   Yule-Walker by the Levinson-Durbin recursion: Durbin, J. (1960), The fitting of
   time-series models, Revue de l'Institut International de Statistique 28, 233-244.
   Burg's method: Burg, J. P. (1968), A new analysis technique for time series data, NATO
   Advanced Study Institute on Signal Processing; in the form of Andersen, N. (1974), On the
   calculation of filter coefficients for maximum entropy spectral analysis, Geophysics 39,
   69-72. Exact maximum likelihood through as154 (Gardner, Harvey and Phillips, 1980). */
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "core/arima/ar_internal.h"
#include "core/arima/arima.h"
#include "core/arima/log_internal.h"
#include "core/stats/stats.h"

namespace {

// ln(2 pi) to double precision.
constexpr double kLog2Pi = 1.8378770664093453;

// Largest order the method is fitted at for a series of N values (see ar_object).
int order_limit(int method, int N) {
  if (N < 1) return 0;
  int limit = static_cast<int>(std::floor(10.0 * tsf_log(static_cast<double>(N))));
  limit = std::min(limit, N - 1);
  if (method == 2) limit = std::min(limit, 12);
  if (method == 1) limit = std::min(limit, N - 2);
  return std::max(limit, 0);
}

// as154 for an AR(p) with a mean; fills phi (p), mean and var and returns the exit status
// and the objective value in *l. Residuals and covariance go to scratch unless given.
int fit_exact_ar(const double *x, int N, int optmethod, int p, double *phi, double *mean_out,
                 double *var, double *res, double *l) {
  std::vector<double> scratch_res(res == nullptr ? N : 0);
  std::vector<double> vcov(static_cast<std::size_t>(p + 1) * (p + 1));
  double no_ma[1] = {0.0};
  return as154(const_cast<double *>(x), N, optmethod, p, 0, 0, phi, no_ma, mean_out, var,
               res != nullptr ? res : scratch_res.data(), l, vcov.data());
}

// Yule-Walker fits of order 1..p (1 <= p <= N - 1) from the sample autocovariances of x:
// phi (p) of the order-p fit and the innovation variance of every order.
void yule_walker(const double *x, int N, int p, double *phi, double *var_by_order) {
  std::vector<double> rho(p + 1);
  autocovar(const_cast<double *>(x), N, rho.data(), p + 1);
  const double gamma0 = rho[0];
  for (double &r : rho) r /= gamma0;
  tsf_arima::levinson_durbin(rho.data(), p, gamma0, phi, nullptr, var_by_order);
}

// Innovation variance of the fits of order 1..pmax, by the method; false for an unknown
// method.
bool variances_by_order(const std::vector<double> &xc, int N, int method, int pmax,
                        std::vector<double> &v) {
  if (method == 0) {
    std::vector<double> phi(pmax);
    yule_walker(xc.data(), N, pmax, phi.data(), v.data());
  } else if (method == 1) {
    tsf_arima::burg_recursion(xc.data(), N - 1, pmax, nullptr, nullptr, v.data());
  } else if (method == 2) {
    std::vector<double> phi(pmax);
    for (int i = 1; i <= pmax; ++i) {
      double m = 0.0, l = 0.0;
      fit_exact_ar(xc.data(), N, 7, i, phi.data(), &m, &v[i - 1], nullptr, &l);
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace

namespace tsf_arima {

std::vector<double> centred(const double *x, int N) {
  const double m = mean(const_cast<double *>(x), N);
  std::vector<double> xc(x, x + N);
  for (double &v : xc) v -= m;
  return xc;
}

void levinson_durbin(const double *rho, int p, double gamma0, double *phi, double *reflection,
                     double *var_by_order) {
  // a holds the negated coefficients, a[j] for lag j + 1.
  std::vector<double> a(p), old(p);
  a[0] = -rho[1];
  double k = a[0];
  double E = 1.0;
  auto record = [&](int order) {
    if (reflection != nullptr) reflection[order - 1] = -a[order - 1];
    if (var_by_order != nullptr) {
      double s = 0.0;
      for (int j = 1; j <= order; ++j) s += rho[j] * -a[j - 1];
      var_by_order[order - 1] = gamma0 * (1.0 - s);
    }
  };
  record(1);
  for (int i = 0; i <= p - 2; ++i) {
    E *= 1.0 - k * k;
    double s = 0.0;
    for (int m = 0; m <= i; ++m) s += rho[i - m + 1] * a[m];
    k = -(s + rho[i + 2]) / E;
    std::copy(a.begin(), a.begin() + i + 1, old.begin());
    for (int j = 0; j <= i; ++j) a[j] = old[j] + k * old[i - j];
    a[i + 1] = k;
    record(i + 2);
  }
  for (int j = 0; j < p; ++j) phi[j] = -a[j];
}

void burg_recursion(const double *x, int n, int p, double *phi, double *reflection,
                    double *var_by_order) {
  const int m = n - 1;
  std::vector<double> f(x, x + n), b(x, x + n), a(p + 1, 0.0);
  a[0] = 1.0;
  double D = 0.0;
  for (int t = 0; t < n; ++t) D += f[t] * f[t];
  D = 2.0 * D - f[0] * f[0] - b[m] * b[m];
  for (int k = 0; k < p; ++k) {
    double s = 0.0;
    for (int j = 0; j <= m - k - 1; ++j) s += f[k + j + 1] * b[j];
    // With every remaining error zero there is nothing left to reflect.
    const double mu = D > 0.0 ? -2.0 * s / D : 0.0;
    for (int j = 0; j <= (k + 1) / 2; ++j) {
      const double u = a[j], w = a[k + 1 - j];
      a[j] = u + mu * w;
      a[k + 1 - j] = w + mu * u;
    }
    for (int j = 0; j <= m - k - 1; ++j) {
      const double F = f[k + j + 1], B = b[j];
      f[k + j + 1] = F + mu * B;
      b[j] = B + mu * F;
    }
    const double v = (1.0 - mu * mu) * D;
    D = v - f[k + 1] * f[k + 1] - b[m - k - 1] * b[m - k - 1];
    if (reflection != nullptr) reflection[k] = -mu;
    if (var_by_order != nullptr) var_by_order[k] = v / (2.0 * (m - k));
  }
  if (phi != nullptr)
    for (int i = 0; i < p; ++i) phi[i] = -a[i + 1];
}

}  // namespace tsf_arima

extern "C" {

ar_object *ar_init(int method, int N) {
  if (N < 1) {
    std::puts("\n Input Values cannot be Negative. Program Exiting. ");
    std::exit(-1);
  }
  const int pmax = order_limit(method, N);
  const std::size_t ndouble = static_cast<std::size_t>(pmax) + static_cast<std::size_t>(N);
  // The header holds doubles, so its size keeps the arrays behind it aligned.
  void *block = std::malloc(sizeof(ar_object) + ndouble * sizeof(double));
  if (block == nullptr) return nullptr;
  auto *obj = static_cast<ar_object *>(block);
  double *data = reinterpret_cast<double *>(obj + 1);
  for (std::size_t k = 0; k < ndouble; ++k) data[k] = 0.0;
  obj->N = N;
  obj->method = method;
  obj->optmethod = 7;
  obj->p = pmax;
  obj->order = pmax;
  obj->pmax = pmax;
  obj->phi = data;
  obj->res = data + pmax;
  obj->mean = 0.0;
  obj->var = 1.0;
  obj->aic = std::numeric_limits<double>::quiet_NaN();
  obj->retval = 0;
  return obj;
}

int ar_estimate(const double *x, int N, int method) {
  const int pmax = order_limit(method, N);
  int best = 0;
  if (pmax >= 1) {
    const std::vector<double> xc = tsf_arima::centred(x, N);
    std::vector<double> v(pmax);
    if (variances_by_order(xc, N, method, pmax, v)) {
      double best_aic = 0.0;
      for (int i = 1; i <= pmax; ++i) {
        const double aic = tsf_log(v[i - 1]) + 2.0 * i / N;
        if (i == 1 || aic < best_aic) {
          best = i;
          best_aic = aic;
        }
      }
    } else {
      for (int i = 1; i <= pmax; ++i) {
        std::puts("\n The code only accepts numerical values 0,1 and 2 ");
        std::puts("\n Method 0 : Yule-Walker ");
        std::puts("\n Method 1 : Burg ");
        std::puts("\n Method 2 : MLE ");
      }
    }
  }
  std::puts("\n");
  std::printf("AIC Estimate : p = %d \n", best);
  return best;
}

void ar_exec(ar_object *obj, const double *x) {
  const int N = obj->N;
  const int p = ar_estimate(x, N, obj->method);
  obj->p = p;
  if (obj->method == 2) {
    double l = std::numeric_limits<double>::quiet_NaN();
    obj->retval = fit_exact_ar(x, N, obj->optmethod, p, obj->phi, &obj->mean, &obj->var, obj->res, &l);
    const double loglik = -0.5 * N * (2.0 * l + 1.0 + kLog2Pi);
    obj->aic = -2.0 * loglik + 2.0 * (p + 1) + 2.0;
  } else if (obj->method == 0) {
    obj->mean = mean(const_cast<double *>(x), N);
    ywalg2(x, N, p, obj->phi, &obj->var);
  } else if (obj->method == 1) {
    obj->mean = mean(const_cast<double *>(x), N);
    // Burg's recursion assumes a zero-mean series: fitted to the raw values of a series
    // whose level is large against its spread it would find a unit root.
    const std::vector<double> xc = tsf_arima::centred(x, N);
    burgalg(xc.data(), N - 1, p, obj->phi, &obj->var);
  }
  obj->order = p;
}

void ar_predict(ar_object *obj, const double *x, int L, double *xpred, double *amse) {
  if (L < 1) return;
  const int N = obj->N;
  // Order 0 has no state of its own: an AR(1) with coefficient 0 forecasts the mean.
  const int r = std::max(obj->p, 1);
  std::vector<double> series(x, x + N), resid(N), phi(r, 0.0), theta(r, 0.0);
  for (double &v : series) v -= obj->mean;
  for (int i = 0; i < obj->p; ++i) phi[i] = obj->phi[i];
  const double no_delta[1] = {0.0};
  if (forkal(r, 0, 0, phi.data(), theta.data(), no_delta, N, series.data(), resid.data(), L, xpred,
             amse) != 0)
    return;
  for (int l = 0; l < L; ++l) xpred[l] += obj->mean;
}

void ar_summary(ar_object *obj) {
  static const char *const kMethodName[3] = {"Yule Walker", "Burg", "MLE"};
  std::puts("\n");
  std::printf(" AR Order : ( %d) \n", obj->p);
  std::putchar('\n');
  std::printf("%-20s%-20s \n\n", "Coefficients", "Value");
  for (int i = 1; i <= obj->p; ++i) std::printf("AR%-15d%-20g \n", i, obj->phi[i - 1]);
  std::putchar('\n');
  std::printf("%-17s%-20g \n", "MEAN", obj->mean);
  std::putchar('\n');
  std::printf("%-17s%-20g \n", "SIGMA^2", obj->var);
  std::putchar('\n');
  std::printf("ESTIMATION METHOD : ");
  if (obj->method >= 0 && obj->method <= 2) std::printf("%s", kMethodName[obj->method]);
  std::puts("\n");
}

void ar_free(ar_object *obj) { std::free(obj); }

void ar(const double *x, int N, int p, int method, double *phi, double *var) {
  if (method == 0) {
    ywalg2(x, N, p, phi, var);
  } else if (method == 1) {
    if (N < 1) return;
    // The same centring as ar_exec: the three methods fit the same zero-mean model.
    const std::vector<double> xc = tsf_arima::centred(x, N);
    burgalg(xc.data(), N - 1, p, phi, var);
  } else if (method == 2) {
    if (p < 0 || p >= N) return;
    double m = 0.0, l = 0.0;
    fit_exact_ar(x, N, 7, p, phi, &m, var, nullptr, &l);
  } else {
    std::printf("The program only accepts 0,1 and 2 as input values for method");
  }
}

void yw(const double *x, int N, int p, double *phi, double *var) { ywalg2(x, N, p, phi, var); }

void burg(const double *x, int N, int p, double *phi, double *var) { burgalg(x, N - 1, p, phi, var); }

void ywalg2(const double *x, int N, int p, double *phi, double *var) {
  if (N < 1 || p < 0 || p > N - 1) return;
  if (p == 0) {
    autocovar(const_cast<double *>(x), N, var, 1);
    return;
  }
  std::vector<double> v(p);
  yule_walker(x, N, p, phi, v.data());
  *var = v[p - 1];
}

void burgalg(const double *x, int n, int p, double *phi, double *var) {
  if (n < 1 || p < 0 || p > n - 1) return;
  if (p == 0) {
    double s = 0.0;
    for (int t = 0; t < n; ++t) s += x[t] * x[t];
    *var = s / n;
    return;
  }
  std::vector<double> v(p);
  tsf_arima::burg_recursion(x, n, p, phi, nullptr, v.data());
  *var = v[p - 1];
}

}  // extern "C"
