// Finite-sample forecasts of seasonal ARIMA models: the expanded AR and MA polynomials
// and the combined differencing operator (1 - B)^d (1 - B^s)^D handed to forkal, the
// forecaster of Gardner, Harvey and Phillips (1980) / Harvey and McKenzie (1982),
// Algorithm AS 182.
#include <algorithm>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/seasonal_internal.h"

void sarima_predict(sarima_object *obj, const double *x, int L, double *forecasts, double *mse) {
  if (L < 1 || obj->Nused <= 0) return;
  const tsf_arima::seasonal_orders o(obj->p, obj->d, obj->q, obj->s, obj->P, obj->D, obj->Q);
  if (!o.valid()) return;
  const int N = obj->N, pe = o.ar_order(), qe = o.ma_order();
  // A model without ARMA terms has no state of its own: as an AR(1) with coefficient 0
  // the filter gives the mean (no differencing) or the extrapolated differencing.
  const int pf = (pe == 0 && qe == 0) ? 1 : pe;
  const int r = std::max(pf, qe + 1);
  std::vector<double> delta = tsf_arima::differencing_operator(o.d, o.D, o.s);
  for (std::size_t k = 1; k < delta.size(); ++k) delta[k] = -delta[k];
  const double mu = obj->M == 1 ? obj->mean : 0.0;
  std::vector<double> series(x, x + N), resid(static_cast<std::size_t>(N), 0.0);
  for (double &v : series) v -= mu;
  std::copy(obj->res, obj->res + obj->Nused, resid.begin());
  // forkal's MA side has plus signs: the expansion of (1 - sum theta B^i)(1 - sum THETA B^sj)
  // written as 1 + sum b[k] B^k.
  std::vector<double> ar(static_cast<std::size_t>(r), 0.0), ma(static_cast<std::size_t>(r), 0.0);
  std::vector<double> minus_theta(obj->theta, obj->theta + o.q), minus_THETA(obj->THETA, obj->THETA + o.Q);
  for (double &v : minus_theta) v = -v;
  for (double &v : minus_THETA) v = -v;
  tsf_arima::expand_seasonal(obj->phi, o.p, obj->PHI, o.P, o.s, -1.0, ar.data());
  tsf_arima::expand_seasonal(minus_theta.data(), o.q, minus_THETA.data(), o.Q, o.s, 1.0, ma.data());
  const int nd = static_cast<int>(delta.size()) - 1;
  const int fault = forkal(pf, qe, nd, ar.data(), ma.data(), delta.data() + 1, N, series.data(), resid.data(), L,
                           forecasts, mse);
  if (fault != 0) return;
  for (int l = 0; l < L; ++l) forecasts[l] += mu;
}
