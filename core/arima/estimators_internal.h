/* Helpers shared by the ARIMA estimators (never installed): the Givens regression of
   the stationary state covariance, the work space of the exact-likelihood objective,
   the common minimise-and-report tail of the CSS and exact-likelihood fits, and the
   pieces of the Box-Jenkins route that the seasonal estimators reuse. */
#ifndef TSFORGE_CORE_ARIMA_ESTIMATORS_INTERNAL_H
#define TSFORGE_CORE_ARIMA_ESTIMATORS_INTERNAL_H

#include <cstddef>
#include <functional>

#include "core/arima/arima.h"
#include "core/optim/optim.h"

extern "C" {
/* Givens inclusion of one weighted row (xnext, ynext) into the triangular regression
   (d, rbar, thetab) of AS 154. Returns 1 without including anything when weight <= 0. */
int inclu2(int np, int nrbar, double weight, double *xnext, double *xrow, double ynext,
           double *d, double *rbar, double *thetab, double *ssqerr, double *recres, int *irank);
/* Back-substitution of the packed triangular system: beta (np) = R^-1 thetab. */
void regres(int np, int nrbar, double *rbar, double *thetab, double *beta);
}

namespace tsf_arima {

/* Largest AR or MA order of the work objects (their coefficient stores hold r = q + 1). */
constexpr int kMaxOrder = 100;

/* Largest state dimension r = max(p, q + 1) of the exact likelihood and the forecaster:
   the stationary covariance is a regression on r(r+1)/2 unknowns whose triangle holds
   about r^4/8 doubles (106 MB at r = 101), and the model objects stop at order 100. */
constexpr int kMaxStateDimension = kMaxOrder + 1;

/* Sizes of the state-space form for state dimension r. */
inline std::size_t packed_size(int r) { return static_cast<std::size_t>(r) * (r + 1) / 2; }
inline std::size_t rbar_size(int r) {
  std::size_t np = packed_size(r);
  return np * (np - 1) / 2;
}

/* Doubles of work space that starma_solve needs for state dimension r:
   rbar, thetab, xnext and xrow. */
inline std::size_t starma_work_size(int r) { return rbar_size(r) + 3 * packed_size(r); }

/* starma with caller-provided work space (starma_work_size(r) doubles), so that the
   likelihood evaluation allocates nothing. */
int starma_solve(int ip, int iq, double *phi, double *theta, double *a, double *P, double *V,
                 double *work);

/* Marquardt damping of the Box-Jenkins least squares: a rejected step multiplies lambda by
   the growth factor and doubles the factor (0.01, 0.02, 0.08, 0.64, ...); an accepted
   step divides lambda by the current factor and resets it to 2. */
struct marquardt_damping {
  double lambda = 0.01;
  double growth = 2.0;
  void reject() {
    lambda *= growth;
    growth *= 2.0;
  }
  void accept() {
    lambda /= growth;
    growth = 2.0;
  }
};

/* Back-forecast length of the Box-Jenkins residuals. */
inline int backforecast_length(int p, int q) { return 20 * p + q > 15 ? 20 * p + q : 15; }

/* Doubles of work space avaluem_work needs for n observations and Q back-forecasts. */
inline std::size_t avaluem_work_size(int n, int Q) {
  return static_cast<std::size_t>(n) + 2 * (static_cast<std::size_t>(n) + Q);
}
/* avaluem with caller-provided work space (avaluem_work_size(n, Q) doubles). */
void avaluem_work(const double *w, int n, int p, int q, const double *phi, const double *theta,
                  int Q, double *a, double *work);

/* The L residuals of a Box-Jenkins model at parameter vector beta. */
using bj_residual_function = std::function<void(const double *beta, double *out)>;

/* Marquardt least squares of the Box-Jenkins route over the residual function, from beta
   (k values; on return the last accepted parameters): the damping schedule of
   marquardt_damping, relative derivative steps sqrt(eps) (absolute for a parameter that is
   exactly zero), at most 200 iterations, step tolerance 1e-8. Writes the last trial step
   (trial, k), the sum of squares at beta (ssq), the residuals of the last evaluation
   outside the Jacobian (latest, L) and (X X')^-1 of the last Jacobian (inv_xxt, k x k).
   Returns 1, 4 (200 iterations) or 15 (announced on standard output). */
int marquardt_least_squares(int k, int L, const bj_residual_function &residuals, double eps, double *beta,
                            double *trial, double *ssq, double *latest, double *inv_xxt);

/* Moment estimates from the autocovariances c[0 .. p+q] of a series: the AR step solves
   the Yule-Walker equations shifted by q lags for phi (p); the MA step factorises the
   autocovariances of the AR-filtered series into tau (q + 1) by Newton-Raphson (at most
   200 steps, stopping when every residual is below 1e-4 in magnitude). */
void uspe_ar_step(const double *c, int p, int q, double *phi);
void uspe_ma_step(const double *c, int p, int q, const double *phi, double *tau);

/* Conditional residuals e[t] = w[t] - sum phi_j w[t-j] - sum c_j e[t-j] for t = p..n-1
   (MA terms only from time p on; e[0..p-1] must hold zeros); returns their sum of
   squares. */
double css_residuals(int p, int q, const double *phi, const double *c, const double *w, int n, double *e);

/* Work objects of the CSS and exact-likelihood objectives. kalman_doubles extra doubles
   of state-space work space follow x in the same block (0 for the CSS object). */
alik_css_object *alloc_likelihood_object(int p, int d, int q, int N, std::size_t kalman_doubles);

/* Copies the d-times differenced x (or x itself when d = 0) into the object as the
   series of the objective: x[2n..3n-1] and x[0..n-1], residual area zeroed; sets
   length = n and returns n. */
int load_series(alik_css_object *obj, double *x, int N);

/* Shared tail of css and as154: minimises f from b (ncoeff = obj->pq values; b may be
   changed), forms the covariance from the finite-difference Hessian at the optimum and
   fills the outputs. Returns the exit status (0, 1, 4 or 15). */
int minimise_and_report(objective_function *f, alik_css_object *obj, double *b, int optmethod,
                        double *phi, double *theta, double *mean, double *var, double *res,
                        double *loglik, double *vcov);

/* Orders and length that the CSS and exact-likelihood estimators can work with. */
inline bool valid_fit_input(int N, int p, int d, int q) { return p >= 0 && d >= 0 && q >= 0 && N > d; }

}  // namespace tsf_arima

#endif /* TSFORGE_CORE_ARIMA_ESTIMATORS_INTERNAL_H */
