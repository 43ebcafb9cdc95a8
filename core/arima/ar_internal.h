/* The order-recursive autoregressive fits shared by the AR model and the partial
   autocorrelations, and the centring they and the order estimation use (never installed). Each runs to order p once and reports, if asked,
   what the fit of every lower order gives: the same numbers as separate fits, since the
   recursions build order k + 1 from order k. */
#ifndef TSFORGE_CORE_ARIMA_AR_INTERNAL_H
#define TSFORGE_CORE_ARIMA_AR_INTERNAL_H

#include <vector>

namespace tsf_arima {

/* x (N >= 1) less its mean. */
std::vector<double> centred(const double *x, int N);

/* Levinson-Durbin on the autocorrelations rho[0..p] (rho[0] = 1) of a series with lag-0
   autocovariance gamma0: phi (p) of the order-p fit; reflection[k] (if not null) the last
   coefficient of the order-(k + 1) fit; var_by_order[k] (if not null) its innovation
   variance gamma0 (1 - sum rho[j] phi[j-1]). p >= 1. */
void levinson_durbin(const double *rho, int p, double gamma0, double *phi, double *reflection,
                     double *var_by_order);

/* Burg's recursion over x[0..n-1], 1 <= p <= n - 1: phi (p, if not null) of the order-p
   fit; reflection[k] and var_by_order[k] (if not null) the last coefficient and the mean
   square forward and backward error of the order-(k + 1) fit. */
void burg_recursion(const double *x, int n, int p, double *phi, double *reflection,
                    double *var_by_order);

}  // namespace tsf_arima

#endif /* TSFORGE_CORE_ARIMA_AR_INTERNAL_H */
