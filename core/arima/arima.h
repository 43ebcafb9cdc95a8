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
   N < 1 print a notice and end the process with status -1. */
TSFORGE_API arima_object *arima_init(int p, int d, int q, int N);
/* 0 MLE, 1 CSS, 2 Box-Jenkins; other values print a notice and are ignored. */
TSFORGE_API void arima_setMethod(arima_object *obj, int value);
/* Optimiser 0..7 (7 = BFGS with More-Thuente line search, the default); other
   values print the list of methods and are ignored. */
TSFORGE_API void arima_setOptMethod(arima_object *obj, int value);
/* Estimates the model from the N undifferenced values of x. A series with N <= d
   cannot be differenced: no estimation is made and retval is 0 (input error). */
TSFORGE_API void arima_exec(arima_object *obj, const double *x);
/* Copies the lvcov entries of the covariance matrix into out. */
TSFORGE_API void arima_vcov(arima_object *obj, double *out);
/* Prints the report of the fit to standard output. */
TSFORGE_API void arima_summary(arima_object *obj);
TSFORGE_API void arima_free(arima_object *obj);

/* L forecasts of the undifferenced series and their mean square errors, from the
   fitted model and the same N values that were given to arima_exec. An ARIMA(0, d, 0)
   is forecast as an AR(1) with coefficient 0: the mean for d = 0, the extrapolated
   differencing for d >= 1. L < 1 or N <= d writes nothing. */
TSFORGE_API void arima_predict(arima_object *obj, const double *x, int L, double *forecasts,
                               double *mse);

/* Finite-sample ARIMA forecaster, Gardner, Harvey and Phillips (1980) / AS 182.
   Model: w[t] = sum phi[i] w[t-i] + a[t] + sum theta[j] a[t-j] (plus signs on the MA
   side), x[t] = w[t] + sum delta[k] x[t-k]. phi and theta have r = max(p, q + 1)
   entries (zero-padded), delta has d entries. w holds the n undifferenced values and
   is overwritten by the differenced series; resid (n - d) receives the standardised
   residuals of the filter; y and amse receive L forecasts and mean square errors.
   Returns 0, or a fault code without writing anything: 1, 2, 3 negative p and/or q,
   4 p = q = 0, 8 negative d, 11 L < 1, 9 n <= d. */
TSFORGE_API int forkal(int p, int q, int d, const double *phi, const double *theta,
                       const double *delta, int n, double *w, double *resid, int L, double *y,
                       double *amse);

/* ---- estimators ---- */

/* Work object of the conditional-sum-of-squares and exact-likelihood objectives:
   one heap block, this header followed by x (3N + 1 doubles). */
typedef struct alik_css_object {
  int p;
  int d;
  int q;
  int r;      /* max(p, q + 1) */
  int pq;     /* p + q + M */
  int N;
  int length; /* length of the series the objective works on */
  int M;
  double eps;
  double mean;
  double ssq;
  double loglik;
  double phi[100];
  double theta[100];
  double *x;
} alik_css_object;

typedef alik_css_object alik_object;

/* Box-Jenkins least squares (Marquardt) */
TSFORGE_API void USPE(const double *w, int n, int p, int q, double *phi, double *theta,
                      double *constant, double *var);
TSFORGE_API void avaluem(const double *w, int n, int p, int q, const double *phi,
                         const double *theta, int Q, double *a);
TSFORGE_API double sosqm(const double *a, int n);
TSFORGE_API int nlalsm(const double *x, int N, int p, int d, int q, double *phi, double *theta,
                       int M, double *mean, double *var, double *unused, double *vcov,
                       double *res, double eps);

/* Conditional sum of squares */
TSFORGE_API alik_css_object *alik_css_init(int p, int d, int q, int N);
TSFORGE_API void free_alik_css(alik_css_object *obj);
TSFORGE_API double fcss(double *b, int ncoeff, void *params);
TSFORGE_API int css(double *x, int N, int optmethod, int p, int d, int q, double *phi,
                    double *theta, double *mean, double *var, double *res, double *loglik,
                    double *vcov);

/* Exact likelihood by Kalman filter, Gardner, Harvey and Phillips (1980) / AS 154 */
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

TSFORGE_END_DECLS

#endif /* TSFORGE_CORE_ARIMA_H */
