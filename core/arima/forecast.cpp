// Finite-sample forecasts of ARIMA processes: Gardner, Harvey and Phillips (1980),
// Algorithm AS 154, and Harvey and McKenzie (1982), Algorithm AS 182. The ARMA state is
// filtered over the differenced series; the differencing is then folded into an
// augmented state (the last d observations) and predicted forward.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/stationarity_internal.h"
#include "core/transform/transform.h"

namespace {

// Index of element (i, j), i <= j, of an r x r upper triangle packed by rows.
inline int packed_index(int i, int j, int r) { return i * r - i * (i - 1) / 2 + (j - i); }

// Rows of T.S for the transition of the augmented state (ARMA block of r entries,
// differencing block of d entries): the companion form on the ARMA block, the row that
// rebuilds the undifferenced value, and the shift of the differencing block. S is
// rd x rd dense, column stride rd; out receives T.S.
void apply_transition_rows(const double *S, int r, int d, const double *phi, const double *delta,
                           double *out) {
  const int rd = r + d;
  for (int c = 0; c < rd; ++c) {
    const double s0 = S[c];
    for (int i = 0; i < r; ++i) {
      double v = phi[i] * s0;
      if (i + 1 < r) v += S[(i + 1) * rd + c];
      out[i * rd + c] = v;
    }
    if (d > 0) {
      double x = s0;
      for (int k = 0; k < d; ++k) x += delta[k] * S[(r + k) * rd + c];
      out[r * rd + c] = x;
      for (int k = 1; k < d; ++k) out[(r + k) * rd + c] = S[(r + k - 1) * rd + c];
    }
  }
}

// P <- T.P.T' + V on the augmented state; V acts on the ARMA block only. Applying the
// row transition to P and then to the transpose of the result gives T.P.T'.
void predict_covariance(std::vector<double> &P, std::vector<double> &work, int r, int d,
                        const double *phi, const double *delta, const double *V) {
  const int rd = r + d;
  apply_transition_rows(P.data(), r, d, phi, delta, work.data());
  for (int i = 0; i < rd; ++i)
    for (int j = 0; j < i; ++j) std::swap(work[i * rd + j], work[j * rd + i]);
  apply_transition_rows(work.data(), r, d, phi, delta, P.data());
  for (int i = 0; i < r; ++i)
    for (int j = i; j < r; ++j) P[i * rd + j] += V[packed_index(i, j, r)];
  // Keep P exactly symmetric: the two products round differently on either side.
  for (int i = 0; i < rd; ++i)
    for (int j = 0; j < i; ++j) P[i * rd + j] = P[j * rd + i];
}

// One prediction step of the state: the ARMA companion form, then the undifferenced
// value a1 + sum delta[k] x[t-k] enters the front of the differencing block.
void predict_state(std::vector<double> &a, int r, int d, const double *phi, const double *delta) {
  const double a1 = a[0];
  for (int i = 0; i + 1 < r; ++i) a[i] = a[i + 1];
  a[r - 1] = 0.0;
  for (int i = 0; i < r; ++i) a[i] += phi[i] * a1;
  if (d > 0) {
    double x = a1;
    for (int k = 0; k < d; ++k) x += delta[k] * a[r + k];
    for (int k = d - 1; k > 0; --k) a[r + k] = a[r + k - 1];
    a[r] = x;
  }
}

// A non-stationary AR part has no stationary state covariance to start from, so the
// filter's variances (negative ones among them) mean nothing: they are reported as NaN.
// A negative variance of any other model can only come from a failed covariance
// solve, and is reported the same way.
void mark_undefined_variances(const double *phi, int p, int L, double *amse) {
  const bool stationary = tsf_arima::ar_polynomial_is_stationary(phi, p);
  for (int l = 0; l < L; ++l)
    if (!stationary || amse[l] < 0.0) amse[l] = std::numeric_limits<double>::quiet_NaN();
}

int forkal_fault(int p, int q, int d, int n, int L) {
  int fault = 0;
  if (p < 0) fault = 1;
  if (q < 0) fault += 2;
  if (p == 0 && q == 0) fault = 4;
  if (d < 0) fault = 8;
  if (L < 1) fault = 11;
  if (fault == 0 && std::max(static_cast<long long>(p), static_cast<long long>(q) + 1) > tsf_arima::kMaxStateDimension)
    fault = 12;
  if (fault == 0 && n <= d) fault = 9;
  return fault;
}

}  // namespace

int forkal(int p, int q, int d, const double *phi, const double *theta, const double *delta,
           int n, double *w, double *resid, int L, double *y, double *amse) {
  const int fault = forkal_fault(p, q, d, n, L);
  if (fault != 0) return fault;
  const int r = std::max(p, q + 1);
  const int np = r * (r + 1) / 2;
  const int rd = r + d;
  // starma and karma take the coefficients as writable arrays (starma zeroes phi
  // beyond p): work on copies so the caller's stay as given.
  std::vector<double> ph(phi, phi + r), th(theta, theta + r);
  std::vector<double> a(rd, 0.0), Pk(np, 0.0), V(np, 0.0);
  V[0] = 1.0;
  if (r == 1)
    Pk[0] = 1.0 / (1.0 - ph[0] * ph[0]);
  else
    starma(p, q, ph.data(), th.data(), a.data(), Pk.data(), V.data());

  // The d observations before the last one, most recent first, start the
  // differencing block; then w is differenced in place.
  std::vector<double> kept(d);
  for (int k = 0; k < d; ++k) kept[k] = w[n - 2 - k];
  const int nt = n - d;
  for (int j = 0; j < nt && d > 0; ++j) {
    double v = w[j + d];
    for (int k = 1; k <= d; ++k) v -= delta[k - 1] * w[j + d - k];
    w[j] = v;
  }

  double sumlog = 0.0, ssq = 0.0;
  int nit = 0, mode = 0;
  karma(p, q, ph.data(), th.data(), a.data(), Pk.data(), V.data(), nt, w, resid, &sumlog, &ssq, 1,
        -1.0, &nit, &mode);
  double sigma2 = 0.0;
  for (int i = 0; i < nt; ++i) sigma2 += resid[i] * resid[i];
  sigma2 /= nt;

  // Augmented covariance, dense and symmetric: the filtered ARMA block top left.
  std::vector<double> P(static_cast<std::size_t>(rd) * rd, 0.0), work(P.size());
  for (int i = 0; i < r; ++i)
    for (int j = i; j < r; ++j) P[i * rd + j] = P[j * rd + i] = Pk[packed_index(i, j, r)];
  for (int k = 0; k < d; ++k) a[r + k] = kept[k];

  for (int l = 0; l < L; ++l) {
    predict_state(a, r, d, ph.data(), delta);
    predict_covariance(P, work, r, d, ph.data(), delta, V.data());
    // Observation vector c = (1, 0, ..., 0, delta[1..d]).
    double f = a[0];
    for (int k = 0; k < d; ++k) f += delta[k] * a[r + k];
    y[l] = f;
    double cpc = 0.0;
    for (int i = 0; i < rd; ++i) {
      const double ci = i == 0 ? 1.0 : (i >= r ? delta[i - r] : 0.0);
      if (ci == 0.0) continue;
      for (int j = 0; j < rd; ++j) {
        const double cj = j == 0 ? 1.0 : (j >= r ? delta[j - r] : 0.0);
        cpc += ci * P[i * rd + j] * cj;
      }
    }
    amse[l] = cpc * sigma2;
  }
  mark_undefined_variances(ph.data(), p, L, amse);
  return 0;
}

void arima_predict(arima_object *obj, const double *x, int L, double *forecasts, double *mse) {
  const int N = obj->N, p = obj->p, d = obj->d, q = obj->q;
  if (L < 1 || N <= d) return;
  // An ARIMA(0, d, 0) has no ARMA state of its own: as an AR(1) with coefficient 0 the
  // filter gives the mean (d = 0) or the extrapolated differencing, with random-walk
  // mean square errors.
  const int pf = (p == 0 && q == 0) ? 1 : p;
  const int r = std::max(pf, q + 1);
  std::vector<double> coef(d + 1);
  double mu = 0.0;
  if (d > 0) {
    deld(d, coef.data());
    for (int k = 1; k <= d; ++k) coef[k] = -coef[k];
  } else {
    coef[0] = 1.0;
    mu = obj->mean;
  }
  std::vector<double> series(x, x + N), resid(N, 0.0);
  if (d == 0)
    for (double &v : series) v -= mu;
  std::vector<double> ar(r, 0.0), ma(r, 0.0);
  for (int i = 0; i < p; ++i) ar[i] = obj->phi[i];
  for (int j = 0; j < q; ++j) ma[j] = -obj->theta[j];
  const int fault = forkal(pf, q, d, ar.data(), ma.data(), coef.data() + 1, N, series.data(),
                           resid.data(), L, forecasts, mse);
  if (fault != 0) return;
  for (int l = 0; l < L; ++l) forecasts[l] += mu;
}
