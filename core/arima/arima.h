/* Non-seasonal ARIMA(p, d, q) models: the model object and its estimation driver,
   the estimators (exact likelihood by Kalman filter, conditional sum of squares,
   Box-Jenkins least squares) and the finite-sample forecaster.

   Sign convention of the model object and the estimators, w the d-times differenced
   series:
     (w[t] - mu) - sum phi[i] (w[t-i] - mu) = a[t] - sum theta[j] a[t-j].
   The forecaster forkal takes the MA side with plus signs (see there).

   Plain C. */
#ifndef TSFORGE_CORE_ARIMA_H
#define TSFORGE_CORE_ARIMA_H

#include "core/export.h"

TSFORGE_BEGIN_DECLS

/* The model object: one heap block, this header followed by its arrays
   phi[p], theta[q], res[Nused], vcov[ncoeff * ncoeff]; arima_free releases it. */
typedef struct arima_object {
  int N;         /* length of the series given to arima_exec and arima_predict */
  int Nused;     /* N - d, length of the differenced series */
  int method;    /* 0 MLE, 1 CSS, 2 Box-Jenkins */
  int optmethod; /* optimiser number 0..7 handed to fminunc */
  int p;
  int d;
  int q;
  int M;         /* 1 when d = 0 (a mean is estimated), else 0 */
  int ncoeff;    /* p + q + M */
  double *phi;   /* p AR coefficients */
  double *theta; /* q MA coefficients */
  double *vcov;  /* ncoeff x ncoeff covariance of the estimates, row-major */
  int lvcov;     /* ncoeff * ncoeff */
  double *res;   /* Nused residuals */
  double mean;   /* methods 0, 1: the mean; method 2: the constant term */
  double var;    /* innovation variance sigma^2 */
  double loglik; /* methods 0 and 1 */
  double aic;    /* method 0 */
  int retval;    /* 0 input error, 1 probable success, 4 no convergence, 15 Inf/NaN */
} arima_object;

/* Creates a model of order (p, d, q) for a series of N values. Negative orders or
   N < 1 print a notice and end the process with status -1. Returns null when the
   object cannot be allocated, or when p + q + (d == 0) exceeds 46340 (its covariance
   matrix would hold more entries than an int counts). */
TSFORGE_API arima_object *arima_init(int p, int d, int q, int N);
/* 0 MLE, 1 CSS, 2 Box-Jenkins; other values print a notice and are ignored. */
TSFORGE_API void arima_setMethod(arima_object *obj, int value);
/* Optimiser 0..7 (7 = BFGS with More-Thuente line search, the default); other
   values print the list of methods and are ignored. */
TSFORGE_API void arima_setOptMethod(arima_object *obj, int value);
/* Estimates the model from the N undifferenced values of x. A series with N <= d, or
   holding a NaN or an infinity, is an input error for every method: no estimation is
   made, retval is 0 and loglik and aic are NaN. A fit never ends with retval 1 when
   its objective or an estimate is not finite at the point returned (a constant series
   has variance 0, its log-likelihood is infinite): retval is then 15. */
TSFORGE_API void arima_exec(arima_object *obj, const double *x);
/* Copies the lvcov entries of the covariance matrix into out. */
TSFORGE_API void arima_vcov(arima_object *obj, double *out);
/* Prints the report of the fit to standard output. */
TSFORGE_API void arima_summary(arima_object *obj);
TSFORGE_API void arima_free(arima_object *obj);

/* L forecasts of the undifferenced series and their mean square errors, from the
   fitted model and the same N values that were given to arima_exec. An ARIMA(0, d, 0)
   is forecast as an AR(1) with coefficient 0: the mean for d = 0, the extrapolated
   differencing for d >= 1. L < 1 or N <= d writes nothing. When the AR part is not
   stationary the mean square errors are not defined and are NaN (see forkal). */
TSFORGE_API void arima_predict(arima_object *obj, const double *x, int L, double *forecasts,
                               double *mse);

/* Finite-sample ARIMA forecaster, Gardner, Harvey and Phillips (1980) / AS 182.
   Model: w[t] = sum phi[i] w[t-i] + a[t] + sum theta[j] a[t-j] (plus signs on the MA
   side), x[t] = w[t] + sum delta[k] x[t-k]. phi and theta have r = max(p, q + 1)
   entries (zero-padded), delta has d entries. w holds the n undifferenced values and
   is overwritten by the differenced series; resid (n - d) receives the standardised
   residuals of the filter; y and amse receive L forecasts and mean square errors.
   Every mean square error is NaN when 1 - phi[1] z - ... - phi[p] z^p has a root on
   or inside the unit circle (a non-stationary AR part: the variances are not
   defined), and any that a failed covariance solve left negative is NaN too.
   Returns 0, or a fault code without writing anything: 1, 2, 3 negative p and/or q,
   4 p = q = 0, 8 negative d, 11 L < 1, 9 n <= d, 12 a state dimension max(p, q + 1)
   above 101 (the limit of starma). */
TSFORGE_API int forkal(int p, int q, int d, const double *phi, const double *theta,
                       const double *delta, int n, double *w, double *resid, int L, double *y,
                       double *amse);

/* ---- estimators ---- */

/* Work object of the conditional-sum-of-squares (alik_css_init) and exact-likelihood
   (alik_init) objectives: one heap block, this header followed by x (3N + 1 doubles) and,
   for alik_init only, the state-space work space of the Kalman filter. p and q are at
   most 100; the coefficient stores hold the r = max(p, q + 1) <= 101 state-space
   coefficients. With n = length: x[0..n-1] the working series (mean removed when M = 1),
   x[n..2n-1] the residuals, x[2n..3n-1] the differenced series. */
typedef struct alik_css_object {
  int p;
  int d;
  int q;
  int r;      /* max(p, q + 1) */
  int pq;     /* p + q + M, the number of parameters */
  int N;      /* length of the undifferenced series */
  int length; /* length n of the series the objective works on */
  int M;      /* 1 when d = 0 (a mean is estimated) */
  double eps; /* machine epsilon */
  double mean;
  double ssq;    /* sum of squares of the last evaluation */
  double loglik; /* objective value of the last evaluation */
  double phi[101];
  double theta[101];
  double *x;
  double *kalman; /* alik_init: a, P, V and the covariance solve's work space; else null */
} alik_css_object;

typedef alik_css_object alik_object;

/* Box-Jenkins least squares. USPE: moment estimates of phi (p), theta (q), the constant
   term and the innovation variance from the n values of the differenced series w.
   avaluem: the n + Q - 1 residuals of the ARMA model over w extended backwards by Q
   back-forecasts (the observed times are a[Q-1 .. Q+n-2]). sosqm: sum of a[i]^2, i < n.
   nlalsm: Marquardt least squares from the USPE estimates, Q = max(15, 20p + q); the
   parameter order of vcov is (level if M = 1, phi, theta), mean receives the constant
   term mu (1 - sum phi), res the N - d residuals at the observed times; the pointer
   before vcov is not used. A parameter that is exactly zero gets the absolute derivative
   step sqrt(eps) (a relative one would vanish). Returns 1, 4 (200 iterations), 15 (the
   sum of squares or its derivatives became infinite or NaN, announced on standard
   output), or 0 (input error: negative order, N <= d, or no more differenced values than
   parameters; nothing is written). */
TSFORGE_API void USPE(const double *w, int n, int p, int q, double *phi, double *theta,
                      double *constant, double *var);
TSFORGE_API void avaluem(const double *w, int n, int p, int q, const double *phi,
                         const double *theta, int Q, double *a);
TSFORGE_API double sosqm(const double *a, int n);
TSFORGE_API int nlalsm(const double *x, int N, int p, int d, int q, double *phi, double *theta,
                       int M, double *mean, double *var, double *unused, double *vcov,
                       double *res, double eps);

/* Conditional sum of squares. The work objects end the process (status 1) when p or q
   exceeds 100. fcss(b): 0.5 ln(ssq / (n - p)) at b = (phi, -theta, mean if d = 0).
   css: estimates from the N undifferenced values of x with optimiser optmethod; vcov
   (ncoeff^2, order phi, theta, mean) is the inverse of (n - d) times the Hessian of
   fcss; var = ssq / n with n = N - d; res receives N - 2d residuals; loglik receives the
   objective value. Returns 1, 4, 15 as the minimiser ends, 0 for an input error
   (negative order or N <= d: nothing is written). Whatever the code, the outputs belong
   to the minimiser's last point (the objective is evaluated there once more if the
   Hessian stopped on a non-finite value, whose missing entries are then taken as zero).
   With nothing to estimate (p = q = 0, d >= 1) one evaluation gives the outputs. */
TSFORGE_API alik_css_object *alik_css_init(int p, int d, int q, int N);
TSFORGE_API void free_alik_css(alik_css_object *obj);
TSFORGE_API double fcss(double *b, int ncoeff, void *params);
TSFORGE_API int css(double *x, int N, int optmethod, int p, int d, int q, double *phi,
                    double *theta, double *mean, double *var, double *res, double *loglik,
                    double *vcov);

/* Exact likelihood by Kalman filter, Gardner, Harvey and Phillips (1980) / AS 154.
   fas154(b): 0.5 (sum ln f_t / n + ln(sum u_t^2 / f_t / n)), the negative concentrated
   log-likelihood per observation up to constants. as154: as css, started from the css
   estimates (from zero coefficients and the sample mean when the css fit ended on a
   non-finite objective, code 15); res receives standardised residuals.
   starma: stationary state covariance P (packed upper triangle, r(r+1)/2) and V = g g'
   of the ARMA state with r = max(ip, iq + 1); phi and theta hold r entries (phi is
   zero-padded here). Returns 0, or without touching the arrays 1 (ip < 0), 2 (iq < 0),
   4 (ip = iq = 0), 8 (r = 1), 16 (r above 101: the covariance's regression would need
   more than about r^4/8 doubles). karma: the filter over n values of w from the state a, P
   (no prediction before the first value when iupd = 1); adds to sumlog and ssq, writes
   the standardised residuals and sets nit (at least 1). mode 0 is the full filter;
   another mode runs the conditional recursions instead and resets mode to 0. delta is
   not used. */
TSFORGE_API alik_object *alik_init(int p, int d, int q, int N);
TSFORGE_API void free_alik(alik_object *obj);
TSFORGE_API double fas154(double *b, int ncoeff, void *params);
TSFORGE_API int as154(double *x, int N, int optmethod, int p, int d, int q, double *phi,
                      double *theta, double *mean, double *var, double *res, double *loglik,
                      double *vcov);
TSFORGE_API int starma(int ip, int iq, double *phi, double *theta, double *a, double *P,
                       double *V);
TSFORGE_API void karma(int ip, int iq, double *phi, double *theta, double *a, double *P,
                       double *V, int n, double *w, double *resid, double *sumlog, double *ssq,
                       int iupd, double delta, int *nit, int *mode);

/* ---- end of estimators ---- */

/* ---- seasonal ARIMA ---- */

/* Multiplicative seasonal ARIMA(p, d, q) x (P, D, Q) with period s, in the sign convention
   above, with w = (1 - B)^d (1 - B^s)^D x:
     (1 - sum phi[i] B^i)(1 - sum PHI[j] B^(s j)) (w[t] - mu)
       = (1 - sum theta[i] B^i)(1 - sum THETA[j] B^(s j)) a[t].
   Every seasonal routine works on the expanded polynomials, of orders p + s P (AR) and
   q + s Q (MA), with the non-seasonal machinery; there is no fixed limit on the orders.
   A period s = 0 gives the non-seasonal model: P, D and Q are then ignored everywhere
   (sarima_init stores them as 0, the estimators write zeros to PHI and THETA and lay out
   vcov for p + q + M coefficients, M = 1 when d = 0). */

/* The model object: one heap block, this header followed by phi[p], theta[q], PHI[P],
   THETA[Q], res[Nused], vcov[ncoeff * ncoeff]; sarima_free releases it. */
typedef struct sarima_object {
  int N;         /* series length */
  int Nused;     /* N - d - s D, length of the differenced series */
  int method;    /* 0 MLE, 1 CSS, 2 Box-Jenkins */
  int optmethod; /* optimiser number 0..7 handed to fminunc */
  int p;
  int d;
  int q;
  int s; /* seasonal period */
  int P;
  int D;
  int Q;
  int M;         /* 1 when d = 0 and D = 0 (a mean is estimated), else 0 */
  int ncoeff;    /* p + q + P + Q + M */
  double *phi;   /* p non-seasonal AR coefficients */
  double *theta; /* q non-seasonal MA coefficients */
  double *PHI;   /* P seasonal AR coefficients */
  double *THETA; /* Q seasonal MA coefficients */
  double *vcov;  /* ncoeff x ncoeff covariance; methods 0, 1 in the order (phi, theta, PHI,
                    THETA, mean), method 2 (level, phi, theta, PHI, THETA) */
  int lvcov;     /* ncoeff * ncoeff */
  double *res;   /* Nused residuals */
  double mean;   /* methods 0, 1: the mean; method 2: the constant term */
  double var;    /* innovation variance sigma^2 */
  double loglik; /* methods 0 and 1; NaN until estimated */
  double aic;    /* method 0; NaN until estimated */
  int retval;    /* 0 input error, 1 probable success, 4 no convergence, 15 Inf/NaN */
} sarima_object;

/* Creates a model for a series of N values, everything zero (loglik and aic NaN).
   Negative orders, a negative period or N < 1 print a notice and end the process with
   status -1. A series no longer than d + s D (Nused <= 0) is accepted here; sarima_exec
   then reports an input error and sarima_predict writes nothing. */
TSFORGE_API sarima_object *sarima_init(int p, int d, int q, int s, int P, int D, int Q, int N);
/* As arima_setMethod and arima_setOptMethod. */
TSFORGE_API void sarima_setMethod(sarima_object *obj, int value);
TSFORGE_API void sarima_setOptMethod(sarima_object *obj, int value);
/* Estimates the model from the N undifferenced values of x. res receives the Nused
   residuals of the fit: methods 0 and 1 those of the objective at the estimates
   (standardised one-step innovations for ML; conditional residuals for CSS, zero before
   time p + s P), method 2 those of the least squares. loglik (methods 0, 1) and aic
   (method 0) count the mean among the coefficients. Nused <= 0, a series holding a
   NaN or an infinity, or expanded orders whose state max(p + s P, q + s Q + 1) exceeds
   101 (the limit of starma and forkal): retval 0, loglik and aic NaN, nothing
   estimated. As for
   arima_exec, a fit whose objective or any estimate is not finite at the point returned
   ends with retval 15, never 1. */
TSFORGE_API void sarima_exec(sarima_object *obj, const double *x);
/* L forecasts of the undifferenced series and their mean square errors, from the fitted
   model and the same N values, through forkal on the expanded polynomials. A model with
   no AR and no MA terms at all is forecast as an AR(1) with coefficient 0. L < 1 or
   Nused <= 0 writes nothing. */
TSFORGE_API void sarima_predict(sarima_object *obj, const double *x, int L, double *forecasts, double *mse);
/* Copies the lvcov entries of the covariance matrix into out. */
TSFORGE_API void sarima_vcov(sarima_object *obj, double *out);
/* Prints the report of the fit to standard output (no equation form). */
TSFORGE_API void sarima_summary(sarima_object *obj);
TSFORGE_API void sarima_free(sarima_object *obj);

/* Work object of the seasonal CSS (alik_css_seas_init) and exact-likelihood
   (alik_seas_init) objectives: one heap block. fit holds what the non-seasonal objectives
   hold (N; length n of the differenced series; M; eps; the mean; ssq and loglik of the
   last evaluation; the series x as there: working series, residuals, differenced series)
   and presents the parameter vector to the shared minimisation as one block of
   k - M coefficients (fit.p = k - M, fit.q = 0) of a series differenced d + s D times;
   its coefficient stores are not used. Orders and sizes come after it. */
typedef struct alik_seas_object {
  alik_css_object fit;
  int p;
  int d;
  int q;
  int s;
  int P;
  int D;
  int Q;
  int pe;        /* p + s P, order of the expanded AR polynomial */
  int qe;        /* q + s Q, order of the expanded MA polynomial */
  int r;         /* max(pe, qe + 1), the state dimension */
  double *phi;   /* r expanded AR coefficients, w[t] = sum phi[k] w[t-k-1] + ... */
  double *theta; /* r expanded MA coefficients in the internal (plus) sign */
  double *kalman; /* alik_seas_init: a, P, V and the covariance solve's work space */
} alik_seas_object;

typedef alik_seas_object alik_css_seas_object;

/* Parameter vector b of the seasonal objectives (k = ncoeff entries): phi, -theta, PHI,
   -THETA, then the mean when M = 1. fcss_seas(b): 0.5 ln(S / (n - p - s P)), S the sum of
   squares of the conditional residuals from time p + s P on (NaN when no residual is left).
   fas154_seas(b): the exact likelihood of fas154 on the expanded polynomials (a model
   with no AR and no MA terms starts from a = 0, P = 1). Both keep S and the value in fit.
   css_seas, as154_seas: estimates from the N undifferenced values of x (D seasonal
   differences at lag s first, then d ordinary ones; n the differenced length) as css and
   as154 do, with vcov (k x k, order of b) the inverse of (n - d - s D) times the
   symmetrised Hessian of the objective, var = S / n, and the objective value in loglik;
   as154_seas starts from the css_seas estimates (from zero coefficients and the mean
   when that fit ended with 15). Return 1, 4 or 15 as the minimiser ends, or 0 for an
   input error (negative order or period, N <= d + s D: nothing is written).
   The work objects end the process with the notice of sarima_init (status -1) for
   negative arguments. */
TSFORGE_API alik_css_seas_object *alik_css_seas_init(int p, int d, int q, int s, int P, int D, int Q, int N);
TSFORGE_API void free_alik_css_seas(alik_css_seas_object *obj);
TSFORGE_API alik_seas_object *alik_seas_init(int p, int d, int q, int s, int P, int D, int Q, int N);
TSFORGE_API void free_alik_seas(alik_seas_object *obj);
TSFORGE_API double fcss_seas(double *b, int ncoeff, void *params);
TSFORGE_API double fas154_seas(double *b, int ncoeff, void *params);
TSFORGE_API int css_seas(double *x, int N, int optmethod, int p, int d, int q, int s, int P, int D, int Q,
                         double *phi, double *theta, double *PHI, double *THETA, double *mean, double *var,
                         double *loglik, double *vcov);
TSFORGE_API int as154_seas(double *x, int N, int optmethod, int p, int d, int q, int s, int P, int D, int Q,
                           double *phi, double *theta, double *PHI, double *THETA, double *mean, double *var,
                           double *loglik, double *vcov);

/* Seasonal Box-Jenkins least squares. USPE_seasonal: moment estimates of PHI (P) and
   THETA (Q) from the autocovariances of w (n values) at lags 0, s, ..., (P + Q) s, by the
   AR and MA steps of USPE (lags beyond n - 1 count as 0). avalues: the seasonal-argument
   form of avaluem: the n + Qb - 1 residuals of the model (phi, theta, PHI, THETA) over w
   extended backwards by Qb back-forecasts, the observed times at a[Qb-1 .. Qb+n-2].
   nlalsms: nlalsm for the seasonal model, parameters (level if M = 1, phi, theta, PHI,
   THETA), back-forecast length 20 (p + s P) + q + s Q, at least s D + 15; mean receives
   the constant mu (1 - sum phi)(1 - sum PHI), var = S / (n - k), res the n residuals at
   the observed times; the pointer before vcov is not used. Returns 1, 4, 15, or 0 for an
   input error (negative order or period, M not 0 or 1, no more differenced values than
   parameters: nothing is written). */
TSFORGE_API void USPE_seasonal(const double *w, int n, int s, int P, int Q, double *PHI, double *THETA);
TSFORGE_API void avalues(const double *w, int n, int p, int q, const double *phi, const double *theta, int s,
                         int P, int Q, const double *PHI, const double *THETA, int Qb, double *a);
TSFORGE_API int nlalsms(const double *x, int N, int p, int d, int q, double *phi, double *theta, int s, int P,
                        int D, int Q, double *PHI, double *THETA, int M, double *mean, double *var,
                        double *unused, double *vcov, double *res, double eps);

/* ---- end of seasonal ARIMA ---- */

/* ---- autoregressive models, partial autocorrelation, order selection, AS 197 and the
   stand-alone predictor ---- */

/* Autoregressive model x[t] - mean = sum phi[i] (x[t-i] - mean) + a[t], its order chosen
   by the Akaike criterion. One heap block: this header, then phi (pmax) and res (N);
   ar_free releases it. pmax = min(N - 1, floor(10 ln N)), at most 12 for method 2 and at
   most N - 2 for method 1 (Burg fits the first N - 1 values and its order must stay below
   that count); never below 0. */
typedef struct ar_object {
  int N;
  int method;    /* 0 Yule-Walker, 1 Burg, 2 exact maximum likelihood (as154) */
  int optmethod; /* optimiser for method 2, default 7 */
  int p;         /* order in use: pmax until ar_exec selects one */
  int order;     /* the order selected by ar_exec */
  int pmax;      /* largest order considered */
  double *phi;   /* pmax coefficients, the first p in use */
  double *res;   /* N residuals (method 2; zeros otherwise) */
  double mean;
  double var;    /* innovation variance */
  double aic;    /* method 2 only; NaN until then */
  int retval;    /* exit status of the method-2 fit (codes of arima_object) */
} ar_object;

/* N < 1 prints a notice and ends the process with status -1. The method is not checked
   here: ar_exec with a method outside 0..2 selects order 0 and estimates nothing. */
TSFORGE_API ar_object *ar_init(int method, int N);
/* Selects the order with ar_estimate and fits it. Methods 0 and 1 set mean to the series
   mean and fit the centred series (Burg's fit uses its first N - 1 values); method 2 fits
   mean and coefficients by as154 with optmethod and sets aic = -2 loglik + 2 (p + 1) + 2
   with loglik = -0.5 N (2 l + 1 + ln 2 pi), l the as154 objective and ln 2 pi to full
   precision. */
TSFORGE_API void ar_exec(ar_object *obj, const double *x);
/* L forecasts and their mean square errors by forkal from the fitted model and the same N
   values. Order 0 is forecast as an AR(1) with coefficient 0 (the mean, with the sample
   variance as mean square error). L < 1 writes nothing. */
TSFORGE_API void ar_predict(ar_object *obj, const double *x, int L, double *xpred, double *amse);
/* Prints the order, coefficients, mean, variance and method name (none for a method
   outside 0..2). */
TSFORGE_API void ar_summary(ar_object *obj);
TSFORGE_API void ar_free(ar_object *obj);

/* Fits AR(1) .. AR(pmax) (pmax as for ar_init) to the centred series and returns the
   order of smallest ln v + 2 i / N, v the fit's innovation variance; prints it. A method
   outside 0..2 prints the accepted values once per candidate and selects order 0, as does
   a series too short for any candidate (pmax = 0). */
TSFORGE_API int ar_estimate(const double *x, int N, int method);
/* Direct fit of order p: 0 ywalg2, 1 burgalg on the centred series (its first N - 1
   values), 2 as154 with optimiser 7 (p above 100 ends the process as there). Orders a
   method cannot fit write nothing: p > N - 1 (method 0), p > N - 2 (method 1), p >= N
   (method 2). Another method prints the accepted values and writes nothing. */
TSFORGE_API void ar(const double *x, int N, int p, int method, double *phi, double *var);
/* ywalg2(x, N, p, phi, var). */
TSFORGE_API void yw(const double *x, int N, int p, double *phi, double *var);
/* burgalg(x, N - 1, p, phi, var): the values as given, no mean removed. */
TSFORGE_API void burg(const double *x, int N, int p, double *phi, double *var);
/* Yule-Walker estimates by Levinson-Durbin from the sample autocovariances; var is the
   lag-0 autocovariance times the product of (1 - k^2) over the partial correlations k.
   Needs 0 <= p <= N - 1 (p = 0 gives var alone); otherwise nothing is written. */
TSFORGE_API void ywalg2(const double *x, int N, int p, double *phi, double *var);
/* Burg's estimates over x[0..n-1] as given; var is the mean square of the order-p forward
   and backward prediction errors. Needs 0 <= p <= n - 1 (p = 0 gives var = sum x^2 / n);
   otherwise nothing is written. */
TSFORGE_API void burgalg(const double *x, int n, int p, double *phi, double *var);

/* Partial autocorrelations at lags 1..M (the last coefficient of the AR(k) fit):
   method 0 Yule-Walker, 1 Burg on the centred series (its first N - 1 values),
   2 Box-Jenkins conditional least squares (nlalsm with a mean). M < 1 writes nothing, as
   does a lag the series is too short for: M must not exceed N - 1 (method 0) or N - 2
   (methods 1 and 2). Another method prints the accepted values and writes nothing. */
TSFORGE_API void pacf_opt(const double *x, int N, int method, double *pacf, int M);
TSFORGE_API void pacf(const double *x, int N, double *pacf, int M);
TSFORGE_API void pacf_yw(const double *x, int N, double *pacf, int M);
TSFORGE_API void pacf_burg(const double *x, int N, double *pacf, int M);
TSFORGE_API void pacf_mle(const double *x, int N, double *pacf, int M);
/* ywalg2's coefficients without the variance. */
TSFORGE_API void ywalg(const double *x, int N, int p, double *phi);

/* Hannan-Rissanen estimate of x[t] = sum phi[i] x[t-i] + e[t] - sum theta[j] e[t-j] on the
   centred series: a long AR(m) by Yule-Walker (m = 10 when max(p, q) < 10 and
   p + q + 20 < N, else max(p, q) + 1) gives residuals e, then x[t] is regressed on
   (x[t-1..t-p], -e[t-1..t-q]) over t = m + q .. N - 1; var is the mean squared residual
   of that regression. Needs p, q >= 0 and more rows than coefficients, N - m - q > p + q;
   otherwise nothing is written. hr is the same function. */
TSFORGE_API void hr(const double *x, int N, int p, int q, double *phi, double *theta,
                    double *var);
TSFORGE_API void hralg(const double *x, int N, int p, int q, double *phi, double *theta,
                       double *var);
/* The regression of hralg on x as given with the long-AR residuals e (N) of order m:
   ssq receives the residual sum of squares and var = ssq / (N - m - q). Needs
   k = p + q, m >= 0, p <= m + q (no lag before x[0]) and N - m - q > k; otherwise
   nothing is written. */
TSFORGE_API void hrstep2(const double *x, int N, int m, int p, int q, int k, const double *e,
                         double *ssq, double *var);
/* Prints the AIC, SC and HQ of Hannan-Rissanen fits for p, q = 0..pmax (not both 0) to the
   d-times differenced, centred series (n values) with a long AR of order m, and the
   orders each criterion selects. Needs d >= 0, 1 <= pmax <= m (so that every regression
   stays inside the series) and n > m + 3 pmax (more rows than coefficients for every
   candidate); otherwise nothing is printed. */
TSFORGE_API void model_estimate(const double *x, int N, int d, int pmax, int m);
/* Innovations algorithm on the sample autocovariances: v (m + 1) the one-step prediction
   variances, Theta ((m + 1) x (m + 1), row-major) the coefficients Theta[n][j]. Needs
   0 <= m <= N - 1; otherwise nothing is written. */
TSFORGE_API void innalg(const double *x, int N, int m, double *v, double *Theta);
/* theta[j] = -Theta[m][j + 1], j < q, from innalg of order m. Needs 0 <= q <= m <= N - 1;
   otherwise nothing is written. */
TSFORGE_API void ma_inn(const double *x, int N, int q, double *theta, int m);

/* Exact maximum likelihood by the fast recursions of Melard (1984), AS 197. Arguments as
   as154, with theta in the sign reported (w[t] - sum phi w = e[t] - sum theta e). Starts
   from the css estimates (from zero coefficients and the sample mean when that fit ended
   on a non-finite objective or has a non-stationary AR part, where there is no exact
   likelihood), minimises fas197 and prints the optimum ("%g " per coefficient). phi,
   theta, mean, var = S / n and the n - d residuals belong to the optimum; loglik and vcov
   keep the css values. An input that css refuses (N <= d, a negative order) writes
   nothing; p or q above 100 ends the process as for as154. */
TSFORGE_API void as197(double *x, int N, int optmethod, int p, int d, int q, double *phi,
                       double *theta, double *mean, double *var, double *res, double *loglik,
                       double *vcov);
/* S |Gamma|^(1/n) at b = (phi, theta, mean if d = 0), with S and |Gamma|^(1/n) from flikam
   (switching at toler 0.001): the objective whose minimum is the exact maximum
   likelihood; ssq receives S. Where flikam faults (the AR part not stationary, or the
   recursions break down) the value is 2 rho times the objective of the model with the AR
   coefficients scaled, phi_j s^j, to a largest inverse-root modulus of 0.999, rho being
   the largest inverse-root modulus at b: worse than the valid points nearby and rising
   with the distance into the region, so the minimiser backs off. */
TSFORGE_API double fas197(double *b, int ncoeff, void *params);
/* Sum of squares S (sumsq) and determinant factor |Gamma|^(1/n) (fact) of the ARMA(mp, mq)
   model P, Q (theta sign as as197) for w (n), standardised residuals in e. vw, vl have
   mrp1 = mr + 1 entries and vk mr, mr = max(mp, mq + 1). Switches to the plain residual
   recursion once the prediction variance is within toler of 1 (at once for a pure AR).
   Returns 0, -i after switching at i (1-based), or a fault with fact left 0: 1..5 of
   twacf, 6 wrong mr, 7 wrong mrp1 (both checked before anything is written), 8 the
   prediction variance fell to 1e-10 or overflowed, 9 n < 1. */
TSFORGE_API int flikam(const double *P, int mp, const double *Q, int mq, const double *w,
                       double *e, int n, double *sumsq, double *fact, double *vw, double *vl,
                       int mrp1, double *vk, int mr, double toler);
/* Autocovariances acf (ma) of the ARMA(mp, mq) process relative to the innovation variance
   and covariances cvli (mxpqp1) of the process with its lagged innovations; alpha (mxpq)
   is work space. Returns 0, or 1 negative order, 2 mxpq != max(mp, mq),
   3 mxpqp1 != mxpq + 1, 4 ma < mxpqp1 (the last of these that applies), 5 the AR part is
   not stationary (a partial correlation of magnitude 1 - 5e-11 or more). */
TSFORGE_API int twacf(const double *P, int mp, const double *Q, int mq, double *acf, int ma,
                      double *cvli, int mxpqp1, double *alpha, int mxpq);

/* L forecasts of x from given ARIMA(p, d, q) coefficients (phi, theta in the sign of
   arima_object) and an intercept c added to each forecast of the differenced series y,
   by the plain recursion over y: one-step errors are rebuilt from pass t0 = max(3, p)
   on, the MA terms of a forecast use only errors before its origin, and the forecasts of
   y are integrated back onto x. The recursion polynomial is the AR operator alone: y is
   the series being modelled. Nothing is written when L < 1, an order is negative, or y
   (N - d values) is shorter than t0. */
TSFORGE_API void predictarima(const double *x, int N, int p, int d, int q, const double *phi,
                              const double *theta, double c, int L, double *xpred);

/* ---- end of autoregressive models and AS 197 ---- */

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_ARIMA_H */
