/* Sample partial autocorrelations: the last coefficient of the AR(k) fit for k = 1..M, by
   Yule-Walker (the reflection coefficients of the Levinson-Durbin recursion), by Burg's
   method, or by Box-Jenkins conditional least squares.

   Durbin, J. (1960), The fitting of time-series models, Revue de l'Institut International
   de Statistique 28, 233-244; Box, G. E. P. and Jenkins, G. M. (1976), Time Series
   Analysis: Forecasting and Control, section 6.2.1. */
#include <cstdio>
#include <vector>

#include "core/arima/ar_internal.h"
#include "core/arima/arima.h"
#include "core/matrix/matrix.h"
#include "core/stats/stats.h"

extern "C" {

void ywalg(const double *x, int N, int p, double *phi) {
  // ywalg2 divides the autocovariances by the lag-0 one exactly as autocorr does.
  double var = 0.0;
  ywalg2(x, N, p, phi, &var);
}

void pacf_yw(const double *x, int N, double *out, int M) {
  if (M < 1 || M > N - 1) return;
  // One recursion to order M: its reflection coefficients are the last coefficients of the
  // fits of every lower order.
  std::vector<double> rho(M + 1), phi(M);
  autocorr(const_cast<double *>(x), N, rho.data(), M + 1);
  tsf_arima::levinson_durbin(rho.data(), M, 1.0, phi.data(), out, nullptr);
}

void pacf(const double *x, int N, double *out, int M) { pacf_yw(x, N, out, M); }

void pacf_burg(const double *x, int N, double *out, int M) {
  if (M < 1 || M > N - 2) return;
  // Burg's recursion assumes a zero-mean series, as the AR order selection provides.
  const std::vector<double> xc = tsf_arima::centred(x, N);
  tsf_arima::burg_recursion(xc.data(), N - 1, M, nullptr, out, nullptr);
}

void pacf_mle(const double *x, int N, double *out, int M) {
  if (M < 1 || M > N - 2) return;
  const double eps = macheps();
  std::vector<double> phi(M), vcov(static_cast<std::size_t>(M + 1) * (M + 1)), res(N);
  double theta[1] = {0.0};
  for (int k = 1; k <= M; ++k) {
    double mean_term = 0.0, var = 0.0;
    nlalsm(x, N, k, 0, 0, phi.data(), theta, 1, &mean_term, &var, nullptr, vcov.data(), res.data(),
           eps);
    out[k - 1] = phi[k - 1];
  }
}

void pacf_opt(const double *x, int N, int method, double *out, int M) {
  switch (method) {
    case 0: pacf_yw(x, N, out, M); break;
    case 1: pacf_burg(x, N, out, M); break;
    case 2: pacf_mle(x, N, out, M); break;
    default:
      std::puts("\n The code only accepts numerical values 0,1 and 2 ");
      std::puts("\n Method 0 : Yule-Walker ");
      std::puts("\n Method 1 : Burg ");
      std::puts("\n Method 2 : Box-Jenkins Conditional MLE ");
  }
}

}  // extern "C"
