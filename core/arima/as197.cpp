/* Exact maximum likelihood of ARIMA(p, d, q) models by the fast recursions of AS 197:
   twacf gives the autocovariances of the ARMA process and its covariances with the lagged
   innovations, flikam runs the Chandrasekhar-type recursions for the one-step prediction
   errors and the determinant of the covariance matrix, and switches to the plain residual
   recursion once the prediction variance has settled at the innovation variance. The
   objective fas197 is S |Gamma|^(1/n), minimised through fminunc from the css estimates.

   Melard, G. (1984), Algorithm AS 197: A fast algorithm for the exact likelihood of
   autoregressive-moving average models, Applied Statistics 33, 104-114. The
   autocovariances follow Tunnicliffe Wilson, G. (1979), Some efficient computational
   procedures for high order ARMA models, Journal of Statistical Computation and
   Simulation 8, 301-309.

   Parameters: phi, then theta in the sign reported (w[t] - sum phi w = e[t] - sum theta e),
   then the mean when d = 0. Array arguments of twacf and flikam are 1-based in the
   published algorithms; the accessors below keep that numbering. */
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/optim/optim.h"
#include "core/stats/stats.h"

namespace {

// x(i) reads or writes x[i - 1].
struct one_based {
  double *p;
  double &operator()(int i) const { return p[i - 1]; }
};
struct one_based_const {
  const double *p;
  double operator()(int i) const { return p[i - 1]; }
};

using work_vector = std::array<double, tsf_arima::kMaxOrder + 2>;

// twacf's stationarity test of phi_j s^j, j = 1..p (its inverse roots scaled by s).
bool stationary_when_scaled(const double *phi, int p, double s, double *scaled) {
  work_vector acf{}, cvli{}, alpha{};
  double sj = 1.0;
  for (int j = 0; j < p; ++j) {
    sj *= s;
    scaled[j] = phi[j] * sj;
  }
  return twacf(scaled, p, nullptr, 0, acf.data(), p + 1, cvli.data(), p + 1, alpha.data(), p) == 0;
}

// Largest scale s in (0, 1] at which phi_j s^j passes the stationarity test: 1 / s is the
// largest modulus of the inverse roots of the AR polynomial. Halving brackets it, then
// bisection; 0 when no scale above 1e-300 is stationary.
double stationary_scale(const double *phi, int p) {
  work_vector scaled{};
  auto stationary = [&](double s) { return stationary_when_scaled(phi, p, s, scaled.data()); };
  if (stationary(1.0)) return 1.0;
  double lo = 0.5;
  while (!stationary(lo)) {
    lo *= 0.5;
    if (lo < 1e-300) return 0.0;
  }
  double hi = 2.0 * lo;
  for (int it = 0; it < 60; ++it) {
    const double mid = 0.5 * (lo + hi);
    (stationary(mid) ? lo : hi) = mid;
  }
  return lo;
}

// flikam on the object's working series with its MA part and the AR coefficients phi;
// residuals into the object's residual area. Returns flikam's code.
int likelihood_factors(alik_object *obj, const double *phi, double *sumsq, double *fact) {
  const int n = obj->length;
  const int r = std::max(obj->p, obj->q + 1);
  work_vector vw{}, vl{}, vk{};
  return flikam(phi, obj->p, obj->theta, obj->q, obj->x, obj->x + n, n, sumsq, fact, vw.data(), vl.data(), r + 1,
                vk.data(), r, 0.001);
}

}  // namespace

extern "C" {

int twacf(const double *P_, int mp, const double *Q_, int mq, double *acf_, int ma, double *cvli_,
          int mxpqp1, double *alpha_, int mxpq) {
  int fault = 0;
  if (mp < 0 || mq < 0) fault = 1;
  if (mxpq != std::max(mp, mq)) fault = 2;
  if (mxpqp1 != mxpq + 1) fault = 3;
  if (ma < mxpqp1) fault = 4;
  if (fault != 0) return fault;
  const one_based_const P{P_}, Q{Q_};
  const one_based acf{acf_}, cvli{cvli_}, alpha{alpha_};

  acf(1) = 1.0;
  cvli(1) = 1.0;
  if (ma == 1) return 0;
  for (int i = 2; i <= ma; ++i) acf(i) = 0.0;
  if (mxpqp1 == 1) return 0;
  for (int i = 2; i <= mxpqp1; ++i) cvli(i) = 0.0;
  for (int k = 1; k <= mxpq; ++k) alpha(k) = 0.0;

  // Moving-average part.
  for (int k = 1; k <= mq; ++k) {
    cvli(k + 1) = -Q(k);
    acf(k + 1) = -Q(k);
    for (int j = 1; j <= mq - k; ++j) acf(k + 1) += Q(j) * Q(j + k);
    acf(1) += Q(k) * Q(k);
  }
  if (mp == 0) return 0;

  // Step down the AR polynomial to its partial correlations, solving for the
  // autocovariances on the way back up.
  for (int k = 1; k <= mp; ++k) {
    alpha(k) = P(k);
    cvli(k) = P(k);
  }
  for (int k = 1; k <= mxpq; ++k) {
    const int kc = mxpq - k;
    if (kc < mp) {
      const double div = 1.0 - alpha(kc + 1) * alpha(kc + 1);
      if (div <= 1e-10) return 5;
      if (kc == 0) break;
      for (int j = 1; j <= kc; ++j) alpha(j) = (cvli(j) + alpha(kc + 1) * cvli(kc + 1 - j)) / div;
    }
    if (kc < mq) {
      for (int j = std::max(kc + 1 - mp, 1); j <= kc; ++j) acf(j + 1) += acf(kc + 2) * alpha(kc + 1 - j);
    }
    if (kc < mp) {
      for (int j = 1; j <= kc; ++j) cvli(j) = alpha(j);
    }
  }
  acf(1) *= 0.5;
  for (int k = 1; k <= std::min(mxpq, mp); ++k) {
    const double div = 1.0 - alpha(k) * alpha(k);
    for (int j = 1; j <= k + 1; ++j) cvli(j) = (acf(j) + alpha(k) * acf(k + 2 - j)) / div;
    for (int j = 1; j <= k + 1; ++j) acf(j) = cvli(j);
  }
  for (int i = 1; i <= ma; ++i) {
    const int kc = std::min(i - 1, mp);
    for (int j = 1; j <= kc; ++j) acf(i) += P(j) * acf(i - j);
  }
  acf(1) *= 2.0;

  // Covariances with the lagged innovations.
  cvli(1) = 1.0;
  for (int k = 1; k <= mq; ++k) {
    cvli(k + 1) = -Q(k);
    for (int j = 1; j <= std::min(k, mp); ++j) cvli(k + 1) += P(j) * cvli(k + 1 - j);
  }
  return 0;
}

int flikam(const double *P_, int mp, const double *Q_, int mq, const double *w_, double *e_, int n,
           double *sumsq, double *fact, double *vw_, double *vl_, int mrp1, double *vk_, int mr,
           double toler) {
  *fact = 0.0;
  *sumsq = 0.0;
  const int mxpq = std::max(mp, mq);
  const int mxpqp1 = mxpq + 1;
  // The sizes are checked before twacf writes into the work vectors.
  if (mrp1 != mr + 1) return 7;
  if (mr != std::max(mp, mq + 1)) return 6;
  const int fault = twacf(P_, mp, Q_, mq, vw_, mxpqp1, vl_, mxpqp1, vk_, mxpq);
  if (fault > 0) return fault;
  const one_based_const P{P_}, Q{Q_}, w{w_};
  const one_based e{e_}, vw{vw_}, vl{vl_}, vk{vk_};

  // Initial gain vector and prediction variance.
  vk(1) = vw(1);
  for (int k = 2; k <= mr; ++k) {
    double s = 0.0;
    for (int j = k; j <= mp; ++j) s += P(j) * vw(j + 2 - k);
    for (int j = k; j <= mq + 1; ++j) s -= Q(j - 1) * vl(j + 1 - k);
    vk(k) = s;
  }
  double R = vk(1);
  vl(mr) = 0.0;
  for (int j = 1; j <= mr; ++j) {
    vw(j) = 0.0;
    if (j != mr) vl(j) = vk(j + 1);
    if (j <= mp) vl(j) += P(j) * R;
    vk(j) = vl(j);
  }

  int last = mp + 1 - mq;
  int loop = mp;
  int jfrom = mp + 1;
  vw(mp + 1) = 0.0;
  vl(mxpqp1) = 0.0;
  if (n < 1) return 9;

  // The determinant is kept as detman * 2^detcar so that it neither overflows nor
  // underflows over long series.
  double detman = 1.0;
  double detcar = 0.0;
  double ssq = 0.0;
  int switch_at = 0;
  for (int i = 1; i <= n; ++i) {
    if (i == last) {
      loop = std::min(mp, mq);
      jfrom = loop + 1;
      if (mq <= 0) {
        switch_at = i;
        break;
      }
    }
    // An infinite variance (from coefficients so large that the autocovariances
    // overflow) would never leave the scaling loops below.
    if (R <= 1e-10 || std::isinf(R)) {
      *sumsq = ssq;
      return 8;
    }
    if (std::fabs(R - 1.0) < toler && i > mxpq) {
      switch_at = i;
      break;
    }
    detman *= R;
    while (std::fabs(detman) >= 1.0) {
      detman *= 0.0625;
      detcar += 4.0;
    }
    while (std::fabs(detman) < 0.0625) {
      detman *= 16.0;
      detcar -= 4.0;
    }
    const double vw1 = vw(1);
    const double a = w(i) - vw1;
    e(i) = a / std::sqrt(R);
    const double aor = a / R;
    ssq += a * aor;
    const double vl1 = vl(1);
    const double alf = vl1 / R;
    R -= alf * vl1;
    for (int j = 1; j <= loop; ++j) {
      const double flj = vl(j + 1) + P(j) * vl1;
      vw(j) = vw(j + 1) + P(j) * vw1 + aor * vk(j);
      vl(j) = flj - alf * vk(j);
      vk(j) -= alf * flj;
    }
    for (int j = jfrom; j <= mq; ++j) {
      vw(j) = vw(j + 1) + aor * vk(j);
      vl(j) = vl(j + 1) - alf * vk(j);
      vk(j) -= alf * vl(j + 1);
    }
    for (int j = jfrom; j <= mp; ++j) vw(j) = vw(j + 1) + P(j) * w(i);
  }

  int result = 0;
  if (switch_at > 0) {
    result = -switch_at;
    for (int i = switch_at; i <= n; ++i) {
      double v = w(i);
      for (int j = 1; j <= mp; ++j) v -= P(j) * w(i - j);
      for (int j = 1; j <= mq; ++j) v += Q(j) * e(i - j);
      e(i) = v;
      ssq += v * v;
    }
  }
  *sumsq = ssq;
  *fact = std::pow(detman, 1.0 / n) * std::pow(2.0, detcar / n);
  return result;
}

double fas197(double *b, int ncoeff, void *params) {
  (void)ncoeff;
  auto *obj = static_cast<alik_object *>(params);
  const int p = obj->p, q = obj->q, n = obj->length;
  double *w = obj->x;
  if (obj->M == 1) {
    const double mu = b[p + q];
    const double *y = obj->x + 2 * n;
    for (int t = 0; t < n; ++t) w[t] = y[t] - mu;
  }
  std::copy(b, b + p, obj->phi);
  std::copy(b + p, b + p + q, obj->theta);
  double sumsq = 0.0, fact = 0.0;
  if (likelihood_factors(obj, obj->phi, &sumsq, &fact) <= 0) {
    obj->ssq = sumsq;
    return sumsq * fact;
  }
  // No likelihood at b: the AR part is not stationary (or the recursions broke down).
  // Such a point must not look better than the valid ones around it: it takes the value
  // of the model scaled back to an inverse-root modulus of 0.999, times 2 rho with rho the
  // modulus at b. That is above the valid values nearby and rises with the distance into
  // the region, so the minimiser backs off instead of settling there.
  const double s = stationary_scale(obj->phi, p);
  if (!(s > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  work_vector inside{};
  stationary_when_scaled(obj->phi, p, 0.999 * s, inside.data());
  if (likelihood_factors(obj, inside.data(), &sumsq, &fact) > 0) {
    // A breakdown that scaling does not cure: the white-noise sum of squares stands in.
    sumsq = 0.0;
    for (int t = 0; t < n; ++t) sumsq += w[t] * w[t];
    fact = 1.0;
  }
  obj->ssq = sumsq;
  return 2.0 / s * sumsq * fact;
}

void as197(double *x, int N, int optmethod, int p, int d, int q, double *phi, double *theta,
           double *mean, double *var, double *res, double *loglik, double *vcov) {
  if (!tsf_arima::valid_fit_input(N, p, d, q)) return;
  alik_object *obj = alik_init(p, d, q, N);
  const int css_code = css(x, N, optmethod, p, d, q, phi, theta, mean, var, res, loglik, vcov);
  const int n = tsf_arima::load_series(obj, x, N);
  const int k = obj->pq;
  std::vector<double> b(static_cast<std::size_t>(k), 0.0), xopt(static_cast<std::size_t>(k));
  work_vector probe{};
  if (css_code == 15 || !stationary_when_scaled(phi, p, 1.0, probe.data())) {
    // The conditional estimate is no start for the exact likelihood when its objective
    // overflowed or its AR part is not stationary (no likelihood there): the search
    // starts where the conditional one did, from zero coefficients and the sample mean.
    *mean = obj->M == 1 ? ::mean(obj->x, n) : 0.0;
  } else {
    for (int i = 0; i < p; ++i) b[i] = phi[i];
    for (int j = 0; j < q; ++j) b[p + j] = theta[j];
  }
  obj->mean = *mean;
  if (obj->M == 1) b[p + q] = obj->mean;
  xopt = b;
  objective_function f = {fas197, obj};
  if (k > 0) fminunc(&f, nullptr, k, b.data(), 1.0, optmethod, xopt.data());
  for (int i = 0; i < k; ++i) std::printf("%g ", xopt[i]);
  // The last evaluation of the minimiser need not be at its optimum: the residuals and
  // the variance are taken from one more evaluation there.
  fas197(xopt.data(), k, obj);
  for (int i = 0; i < p; ++i) phi[i] = xopt[i];
  for (int j = 0; j < q; ++j) theta[j] = xopt[p + j];
  *mean = obj->M == 1 ? xopt[p + q] : 0.0;
  for (int t = 0; t < n - d; ++t) res[t] = obj->x[n + t];
  *var = obj->ssq / n;
  free_alik(obj);
}

}  // extern "C"
