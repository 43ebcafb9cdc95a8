/* Helpers shared by the seasonal ARIMA files (never installed): the orders of a seasonal
   model, its expanded polynomials and differencing operator, the seasonally differenced
   series and the fits behind css_seas and as154_seas with their residuals. */
#ifndef TSFORGE_CORE_ARIMA_SEASONAL_INTERNAL_H
#define TSFORGE_CORE_ARIMA_SEASONAL_INTERNAL_H

#include <climits>
#include <vector>

#include "core/arima/arima.h"
#include "core/optim/optim.h"

namespace tsf_arima {

/* Orders of a seasonal model as every routine uses them: with period 0 the seasonal
   orders are 0 (the model is the non-seasonal one). */
struct seasonal_orders {
  int p, d, q, s, P, D, Q;
  seasonal_orders(int p_, int d_, int q_, int s_, int P_, int D_, int Q_)
      : p(p_), d(d_), q(q_), s(s_), P(s_ == 0 ? 0 : P_), D(s_ == 0 ? 0 : D_), Q(s_ == 0 ? 0 : Q_) {}
  // Non-negative, with expanded orders and differencing span that an int holds.
  bool valid() const {
    if (p < 0 || d < 0 || q < 0 || s < 0 || P < 0 || D < 0 || Q < 0) return false;
    const long long limit = INT_MAX - 1;
    return p + static_cast<long long>(s) * P <= limit && q + static_cast<long long>(s) * Q <= limit &&
           lag_span() <= limit;
  }
  long long lag_span() const { return d + static_cast<long long>(s) * D; }  // values lost to differencing
  int ar_order() const { return p + s * P; }
  int ma_order() const { return q + s * Q; }
  int M() const { return d == 0 && D == 0 ? 1 : 0; }
  int ncoeff() const { return p + q + P + Q + M(); }
};

/* out (p + s P) = coefficients k = 1..p + s P of (1 + sum c[i] B^i)(1 + sum C[j] B^(s j))
   taken with the signs of c and C, that is out[i] = c[i], out[s j] += C[j] and
   out[i + s j] += cross c[i] C[j]: cross = -1 expands (1 - sum c B^i)(1 - sum C B^(sj))
   into 1 - sum out B^k, cross = +1 expands the plus form. */
void expand_seasonal(const double *c, int p, const double *C, int P, int s, double cross, double *out);

/* The d + s D + 1 coefficients of (1 - B)^d (1 - B^s)^D, leading 1 first. */
std::vector<double> differencing_operator(int d, int D, int s);

/* y (N - d - s D) = D seasonal differences at lag s of x, then d ordinary ones; returns
   their number (the caller has checked that it is positive). */
int seasonal_difference(const double *x, int N, const seasonal_orders &o, double *y);

/* Work objects (the caller has checked the orders); kalman: with the exact-likelihood
   work space. checked_seasonal_object first ends the process with the notice of
   sarima_init (status -1) for negative arguments, and with the allocation failure
   notice (status 1) for expanded orders beyond an int. */
alik_seas_object *alloc_seasonal_object(const seasonal_orders &o, int N, bool kalman);
alik_seas_object *checked_seasonal_object(const seasonal_orders &o, int N, bool kalman);

/* Sets the objectives up for parameter vector b (phi, -theta, PHI, -THETA, mean if M = 1):
   the expanded AR polynomial into obj->phi, the MA one in the internal plus sign into
   obj->theta, both zero-padded to r, and the working series less the mean. */
void set_parameters(alik_seas_object *obj, const double *b);

/* Differences x (N values) into the object as the series of the objectives, as
   load_series does; returns n (positive, checked by the caller). */
int load_seasonal_series(alik_seas_object *obj, const double *x, int N);

/* Minimises f from b (k values) through the shared tail of css and as154 and fills the
   outputs; res (n values, may be null) receives the residuals of the objective at the
   estimates. Returns the exit status. */
int minimise_seasonal(objective_function *f, alik_seas_object *obj, double *b, int optmethod, double *phi,
                      double *theta, double *PHI, double *THETA, double *mean, double *var, double *loglik,
                      double *vcov, double *res);

/* With period 0 the seasonal coefficients are not estimated: the caller's PHI (P) and
   THETA (Q) are set to zero. */
void zero_unused_seasonal(int s, int P, int Q, double *PHI, double *THETA);

/* css_seas and as154_seas with the residuals of the objective at the estimates written
   to res (n values) when res is not null. */
int fit_css_seas(const double *x, int N, int optmethod, const seasonal_orders &o, double *phi, double *theta,
                 double *PHI, double *THETA, double *mean, double *var, double *loglik, double *vcov,
                 double *res);
int fit_as154_seas(const double *x, int N, int optmethod, const seasonal_orders &o, double *phi,
                   double *theta, double *PHI, double *THETA, double *mean, double *var, double *loglik,
                   double *vcov, double *res);

}  // namespace tsf_arima

#endif  // TSFORGE_CORE_ARIMA_SEASONAL_INTERNAL_H
