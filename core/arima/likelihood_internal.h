/* The recursions of the ARIMA likelihoods, each written once over the lane type L
   (lanes_internal.h): double for the exported scalar functions (starma, karma, inclu2,
   regres, fcss, fas154) and a vector of doubles for the batched objectives of the
   minimiser (likelihood_batch.cpp), so both compute the same operations in the same order
   and agree bit for bit (never installed).

   Gardner, G., Harvey, A. C. and Phillips, G. D. A. (1980), Algorithm AS 154, Applied
   Statistics 29, 311-322 (the state-space form, its stationary covariance and the filter);
   Box, G. E. P. and Jenkins, G. M. (1976), chapter 7 (conditional residuals).

   State of dimension r = max(p, q + 1); covariances are packed upper triangles by rows,
   np = r(r + 1)/2 entries. Loops over a compile-time state dimension run to that bound
   with the order as a condition, and the filter's loops are marked TSF_UNROLLED, so that
   they unroll and the arrays stay in registers. */
#ifndef TSFORGE_CORE_ARIMA_LIKELIHOOD_INTERNAL_H
#define TSFORGE_CORE_ARIMA_LIKELIHOOD_INTERNAL_H

#include <cmath>
#include <type_traits>

#include "core/arima/estimators_internal.h"
#include "core/arima/lanes_internal.h"
#include "core/arima/log_internal.h"

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace tsf_arima {

using tsf_lanes::splat;

/* The series a kernel works on, w[t] = y[t] - mu: read as it is (subtract false), or
   formed lane by lane with each lane's own mean, by the subtraction the scalar objectives
   make before filtering. */
template <class L>
struct centred_series {
  const double *y;
  L mu;
  bool subtract;
  TSF_LANE_INLINE L operator()(int t) const { return subtract ? y[t] - mu : splat<L>(y[t]); }
};

/* ---- Stationary state covariance (starma) ---- */

/* Givens inclusion of the row xrow (weight, response ynext) into the triangular regression
   (d, rbar, thetab). A lane skips a column where its row element is zero and stops at a
   zero pivot, which it records in deficient. y and wt receive the residual and the weight
   left over. */
template <class L>
void include_row(int np, const L &weight, L *xrow, const L &ynext, L *d, L *rbar, L *thetab, L &y, L &wt,
                 typename tsf_lanes::lanes<L>::mask &deficient) {
  using tsf_lanes::any;
  using tsf_lanes::both;
  y = ynext;
  wt = weight;
  deficient = tsf_lanes::no_lanes<L>();
  auto active = tsf_lanes::negate(deficient);
  int ithisr = 0;
  for (int i = 0; i < np; ++i) {
    const L xi = xrow[i];
    const auto use = both(active, xi != 0.0);
    if (!any(use)) {
      ithisr += np - i - 1;
      continue;
    }
    const L di = d[i];
    const L dpi = di + wt * xi * xi;
    d[i] = use ? dpi : di;
    const L cbar = di / dpi;
    const L sbar = wt * xi / dpi;
    wt = use ? cbar * wt : wt;
    for (int k = i + 1; k < np; ++k) {
      const L xk = xrow[k];
      const L rb = rbar[ithisr];
      xrow[k] = use ? xk - xi * rb : xk;
      rbar[ithisr] = use ? cbar * rb + sbar * xk : rb;
      ++ithisr;
    }
    const L xk = thetab[i];
    thetab[i] = use ? cbar * xk + sbar * y : xk;
    y = use ? y - xi * xk : y;
    const auto stop = both(use, di == 0.0);
    deficient = tsf_lanes::either(deficient, stop);
    active = both(active, tsf_lanes::negate(stop));
    if (!any(active)) break;  // each row of starma ends at its first empty pivot
  }
}

/* beta = R^-1 thetab by back-substitution in the packed triangle rbar. */
template <class L>
void back_substitute(int np, int nrbar, const L *rbar, const L *thetab, L *beta) {
  int ithisr = nrbar - 1;
  for (int im = np - 1; im >= 0; --im) {
    L bi = thetab[im];
    for (int jm = np - 1; jm > im; --jm) bi = bi - rbar[ithisr--] * beta[jm];
    beta[im] = bi;
  }
}

/* a = 0, phi zero-padded to r entries and V = g g' with g = (1, theta[0..r-2]). */
template <class L>
void set_disturbance(int ip, int iq, int r, L *phi, const L *theta, L *a, L *V) {
  for (int i = 1; i < r; ++i) {
    a[i] = splat<L>(0.0);
    if (i >= ip) phi[i] = splat<L>(0.0);
    V[i] = (i <= iq) ? theta[i - 1] : splat<L>(0.0);
  }
  a[0] = splat<L>(0.0);
  if (ip == 0) phi[0] = splat<L>(0.0);
  V[0] = splat<L>(1.0);
  int ind = r;
  for (int j = 1; j < r; ++j)
    for (int i = j; i < r; ++i) V[ind++] = V[i] * V[j];
}

/* Pure MA: P(i, j) = sum of V along the diagonal from (i, j) to the end. */
template <class L>
void pure_ma_covariance(int r, int np, const L *V, L *P) {
  int ind = np;
  int indn = np;
  for (int i = 0; i < r; ++i) {
    for (int j = 0; j <= i; ++j) {
      --ind;
      P[ind] = V[ind];
      if (j != 0) P[ind] = P[ind] + P[--indn];
    }
  }
}

/* Lanes of work space stationary_covariance needs: rbar, thetab, xnext and xrow. */
inline int stationary_work_size(int r) {
  const int np = r * (r + 1) / 2;
  return np * (np - 1) / 2 + 3 * np;
}

/* Solves P = T P T' + V for the stationary P. The np equations are generated row by row
   and included by Givens rotations; the unknowns are ordered with the last r elements of
   P first, which keeps the triangular factor well conditioned. */
template <class L>
void stationary_covariance(int r, const L *phi, const L *V, L *P, L *work) {
  const int np = r * (r + 1) / 2;
  const int nrbar = np * (np - 1) / 2;
  L *rbar = work;
  L *thetab = rbar + nrbar;
  L *xnext = thetab + np;
  L *xrow = xnext + np;
  for (int i = 0; i < nrbar; ++i) rbar[i] = splat<L>(0.0);
  for (int i = 0; i < np; ++i) {
    P[i] = splat<L>(0.0);
    thetab[i] = splat<L>(0.0);
    xnext[i] = splat<L>(0.0);
  }
  L y, wt;
  typename tsf_lanes::lanes<L>::mask deficient;
  int ind = 0;
  int ind1 = -1;
  const int npr = np - r;
  int indj = npr;
  int ind2 = npr - 1;
  for (int j = 0; j < r; ++j) {
    const L phij = phi[j];
    xnext[indj++] = splat<L>(0.0);
    int indi = npr + j + 1;
    for (int i = j; i < r; ++i) {
      const L ynext = V[ind++];
      const L phii = phi[i];
      if (j != r - 1) {
        xnext[indj] = -phii;
        if (i != r - 1) {
          xnext[indi] = xnext[indi] - phij;
          xnext[++ind1] = splat<L>(-1.0);
        }
      }
      xnext[npr] = -phii * phij;
      if (++ind2 >= np) ind2 = 0;
      xnext[ind2] = xnext[ind2] + 1.0;
      for (int k = 0; k < np; ++k) xrow[k] = xnext[k];
      include_row(np, splat<L>(1.0), xrow, ynext, P, rbar, thetab, y, wt, deficient);
      xnext[ind2] = splat<L>(0.0);
      if (i != r - 1) {
        xnext[indi++] = splat<L>(0.0);
        xnext[ind1] = splat<L>(0.0);
      }
    }
  }
  back_substitute(np, nrbar, rbar, thetab, P);
  // Undo the ordering of the unknowns; xnext serves as the buffer of the last r.
  for (int i = 0; i < r; ++i) xnext[i] = P[npr + i];
  for (int i = np - 1, i1 = npr - 1; i1 >= 0; --i, --i1) P[i] = P[i1];
  for (int i = 0; i < r; ++i) P[i] = xnext[i];
}

/* starma with work space of stationary_work_size(r) lanes: the fault code (1 ip < 0,
   2 iq < 0, 4 ip = iq = 0, 8 r = 1, 16 r above kMaxStateDimension; nothing touched
   then) or 0. */
template <class L>
int state_covariance(int ip, int iq, L *phi, const L *theta, L *a, L *P, L *V, L *work) {
  const long long order = ip > static_cast<long long>(iq) + 1 ? ip : static_cast<long long>(iq) + 1;
  int ifault = 0;
  if (ip < 0) ifault = 1;
  if (iq < 0) ifault = 2;
  if (ip == 0 && iq == 0) ifault = 4;
  if (order == 1) ifault = 8;
  if (ifault == 0 && order > kMaxStateDimension) ifault = 16;
  if (ifault != 0) return ifault;
  const int r = static_cast<int>(order);
  set_disturbance(ip, iq, r, phi, theta, a, V);
  if (ip == 0)
    pure_ma_covariance(r, r * (r + 1) / 2, V, P);
  else
    stationary_covariance(r, phi, V, P, work);
  return 0;
}

/* The initial state of the exact likelihood: for r = 1 (p <= 1, q = 0) the first
   observation enters with variance 1 / (1 - phi1^2), otherwise the stationary P. */
template <class L>
void initial_state(int p, int q, int r, L *phi, const L *theta, L *a, L *P, L *V, L *work) {
  if (r == 1) {
    const L phi1 = p > 0 ? phi[0] : splat<L>(0.0);
    V[0] = splat<L>(1.0);
    a[0] = splat<L>(0.0);
    P[0] = 1.0 / (1.0 - phi1 * phi1);
  } else {
    state_covariance(p, q, phi, theta, a, P, V, work);
  }
}

/* ---- Kalman filter (karma) ---- */

/* The predicted P depends on the previous one only, never on the data, so once one
   prediction reproduces the previous one bit for bit, ft, the gains and the updated P stay
   fixed for the rest of the series; from there only the state is filtered, with the same
   arithmetic as before. The comparison runs only while ft repeats and needs a copy of
   the predicted P, kept up to this state dimension in the scalar filter (larger models
   filter in full throughout). Lanes switch when all of them repeat at the same step; until
   then the full step of a lane at its fixed point reproduces the shortcut's bits. */
constexpr int kSteadyMaxDim = 16;

/* a = T a: the state shifted up by one, the AR coefficients (ip of them) times its old
   first element added. */
template <class L>
TSF_LANE_INLINE void predict_state(int r, int ip, const L *phi, L *a) {
  const L a1 = a[0];
  TSF_UNROLLED
  for (int k = 0; k < r - 1; ++k) a[k] = a[k + 1];
  a[r - 1] = splat<L>(0.0);
  TSF_UNROLLED
  for (int j = 0; j < r; ++j)
    if (j < ip) a[j] = a[j] + phi[j] * a1;
}

/* The filter over n values from the state a, P (no prediction before the first value when
   iupd = 1): adds ln f_t to sumlog and u_t^2 / f_t to ssq and, when kResiduals, writes the
   standardised residuals u_t / sqrt(f_t). gain (r) and previous (np) are work space;
   detect enables the fixed-point shortcut. */
template <class L, bool kResiduals, class S>
TSF_LANE_INLINE void filter_steps(int r, int ip, const L *phi, L *a, L *P, const L *V, L *gain,
                                  L *previous, bool detect, int n, const S &w, int iupd,
                                  double *resid, L &sumlog, L &ssq) {
  const int np = r * (r + 1) / 2;
  bool steady = false;
  bool known = false;  // previous holds the predicted P of the step before
  // ln f_t (and its root) are reused while f_t repeats exactly.
  L ft_last = splat<L>(-1.0), log_ft = splat<L>(0.0);
  double sqrt_ft = 0.0;
  // Accumulated in locals (the caller's sums may alias resid), in the same order.
  L ssq_acc = ssq, sumlog_acc = sumlog;
  int t = 0;
  for (; t < n && !steady; ++t) {
    const bool predicted = !(iupd == 1 && t == 0);
    if (predicted) {
      // a = T a, P = T P T' + V. P's first row is zero after every update (the first state
      // element is the observation itself), so T P T' is P shifted by one row and column.
      predict_state(r, ip, phi, a);
      int ind = -1;
      int indn = r - 1;
      TSF_UNROLLED
      for (int l = 0; l < r; ++l) {
        TSF_UNROLLED
        for (int k = l; k < r; ++k) {
          ++ind;
          P[ind] = V[ind];
          if (k != r - 1) P[ind] = P[ind] + P[++indn];
        }
      }
    }
    // A non-stationary model may make P[0] negative: its magnitude keeps the filter going.
    const L ft = tsf_lanes::magnitude(P[0]);
    // Magnitudes (or -1 before the first step): == compares the bits.
    const bool repeated = tsf_lanes::all(ft == ft_last);
    if (predicted && detect) {
      if (!repeated) {
        known = false;
      } else if (known) {
        auto same = tsf_lanes::same_bits(previous[0], P[0]);
        TSF_UNROLLED
        for (int i = 1; i < np; ++i) same = tsf_lanes::both(same, tsf_lanes::same_bits(previous[i], P[i]));
        steady = tsf_lanes::all(same);
      }
      if (repeated && !steady) {
        TSF_UNROLLED
        for (int i = 0; i < np; ++i) previous[i] = P[i];
        known = true;
      }
    }
    if (!repeated) {
      ft_last = ft;
      log_ft = tsf_lanes::log_lanes(ft);
      if constexpr (kResiduals) sqrt_ft = std::sqrt(ft);
    }
    const L wt = w(t);
    const L ut = wt - a[0];
    int ind = r;
    TSF_UNROLLED
    for (int j = 1; j < r; ++j) {
      const L g = P[j] / ft;
      if (detect) gain[j] = g;
      a[j] = a[j] + g * ut;
      TSF_UNROLLED
      for (int l = j; l < r; ++l) {
        P[ind] = P[ind] - g * P[l];
        ++ind;
      }
    }
    TSF_UNROLLED
    for (int i = 0; i < r; ++i) P[i] = splat<L>(0.0);
    a[0] = wt;
    if constexpr (kResiduals) resid[t] = ut / sqrt_ft;
    ssq_acc = ssq_acc + ut * ut / ft;
    sumlog_acc = sumlog_acc + log_ft;
  }
  // Steady state: P is the fixed updated covariance; predict and update the state only.
  for (; t < n; ++t) {
    predict_state(r, ip, phi, a);
    const L wt = w(t);
    const L ut = wt - a[0];
    TSF_UNROLLED
    for (int j = 1; j < r; ++j) a[j] = a[j] + gain[j] * ut;
    a[0] = wt;
    if constexpr (kResiduals) resid[t] = ut / sqrt_ft;
    ssq_acc = ssq_acc + ut * ut / ft_last;
    sumlog_acc = sumlog_acc + log_ft;
  }
  ssq = ssq_acc;
  sumlog = sumlog_acc;
}

/* The filter for a state dimension R known at compile time (the small models of the order
   search), on local copies of a, P and V that the compiler keeps in registers. */
template <class L, int R, bool kResiduals, class S>
void filter_fixed(int ip, const L *phi_in, L *a_io, L *P_io, const L *V_in, int n, const S &w, int iupd,
                  double *resid, L &sumlog, L &ssq) {
  constexpr int NP = R * (R + 1) / 2;
  L a[R], P[NP], V[NP], phi[R], gain[R], previous[NP];
  TSF_UNROLLED
  for (int i = 0; i < R; ++i) {
    a[i] = a_io[i];
    phi[i] = phi_in[i];
    gain[i] = splat<L>(0.0);
  }
  TSF_UNROLLED
  for (int i = 0; i < NP; ++i) {
    P[i] = P_io[i];
    V[i] = V_in[i];
    previous[i] = splat<L>(0.0);
  }
  filter_steps<L, kResiduals>(R, ip, phi, a, P, V, gain, previous, true, n, w, iupd, resid, sumlog, ssq);
  TSF_UNROLLED
  for (int i = 0; i < R; ++i) a_io[i] = a[i];
  TSF_UNROLLED
  for (int i = 0; i < NP; ++i) P_io[i] = P[i];
}

/* ---- Conditional residuals (fcss) ---- */

/* One group of lanes of the recursion: its coefficients phi (p) and c (q), its series, its
   residual store and, once run, its sum of squares. */
template <class L, class S>
struct css_lanes {
  const L *phi;
  const L *c;
  S w;
  L *e;
  L sum;
};

/* Residuals from time t0 >= p + q on, where every MA term is present, for orders P, Q
   known at compile time, one time step per call (so that two groups can run side by side,
   their chains of dependent operations overlapping): the last Q residuals stay in
   registers. The terms are subtracted in the order of the general loop, so the sums agree
   bit for bit. Residuals are stored in e only when kStore. */
template <int P, int Q, bool kStore, class L, class S>
struct css_tail {
  const L *phi;
  const L *c;
  const S &w;
  L *e;
  L ssq;
  L last[Q > 0 ? Q : 1];
  TSF_LANE_INLINE css_tail(const css_lanes<L, S> &g, int t0)
      : phi(g.phi), c(g.c), w(g.w), e(g.e), ssq(g.sum) {
    for (int j = 0; j < Q; ++j) last[j] = e[t0 - 1 - j];
  }
  TSF_LANE_INLINE void step(int t) {
    L et = w(t);
    for (int j = 1; j <= P; ++j) et = et - phi[j - 1] * w(t - j);
    for (int j = 1; j <= Q; ++j) et = et - c[j - 1] * last[j - 1];
    for (int j = Q - 1; j > 0; --j) last[j] = last[j - 1];
    if (Q > 0) last[0] = et;
    if (kStore) e[t] = et;
    ssq = ssq + et * et;
  }
};

/* The general loop: residuals of times p .. t_end-1, MA terms only from time p on. */
template <class L, class S>
TSF_LANE_INLINE L css_head(int p, int q, const css_lanes<L, S> &g, int t_end) {
  L ssq = splat<L>(0.0);
  for (int t = p; t < t_end; ++t) {
    L et = g.w(t);
    for (int j = 1; j <= p; ++j) et = et - g.phi[j - 1] * g.w(t - j);
    const int kq = q < t - p ? q : t - p;
    for (int j = 1; j <= kq; ++j) et = et - g.c[j - 1] * g.e[t - j];
    g.e[t] = et;
    ssq = ssq + et * et;
  }
  return ssq;
}

/* f(P, Q) with P = p and Q = q as compile-time constants, for p, q <= 3. */
template <int P, class F>
TSF_LANE_INLINE void with_ma_order(int q, const F &f) {
  switch (q) {
    case 0: f(std::integral_constant<int, P>{}, std::integral_constant<int, 0>{}); break;
    case 1: f(std::integral_constant<int, P>{}, std::integral_constant<int, 1>{}); break;
    case 2: f(std::integral_constant<int, P>{}, std::integral_constant<int, 2>{}); break;
    default: f(std::integral_constant<int, P>{}, std::integral_constant<int, 3>{}); break;
  }
}
template <class F>
TSF_LANE_INLINE void with_orders(int p, int q, const F &f) {
  switch (p) {
    case 0: with_ma_order<0>(q, f); break;
    case 1: with_ma_order<1>(q, f); break;
    case 2: with_ma_order<2>(q, f); break;
    default: with_ma_order<3>(q, f); break;
  }
}

/* Where the general loop hands over to the tails: at p + q for orders up to 3, which are
   specialised, else never (n). */
inline int css_general_end(int p, int q, int n) {
  if (p > 3 || q > 3) return n;
  return p + q < n ? p + q : n;
}

/* g.sum = the sum of squares of the conditional residuals e[t] = w[t] - sum phi_j w[t-j] -
   sum c_j e[t-j], t = p .. n-1, with MA terms only from time p on. g.e receives the
   residuals from time p: all of them when kStore, else those before p + q where orders
   up to 3 are specialised (so it needs p + q lanes then, n otherwise). */
template <bool kStore, class L, class S>
void css_sum_of_squares(int p, int q, int n, css_lanes<L, S> &g) {
  const int t0 = css_general_end(p, q, n);
  g.sum = css_head(p, q, g, t0);
  if (t0 == n) return;
  with_orders(p, q, [&](auto P, auto Q) {
    css_tail<P(), Q(), kStore, L, S> tail(g, t0);
    for (int t = t0; t < n; ++t) tail.step(t);
    g.sum = tail.ssq;
  });
}

/* The same for two groups side by side (no residuals kept past p + q). */
template <class L1, class S1, class L2, class S2>
void css_sums_of_squares(int p, int q, int n, css_lanes<L1, S1> &g1, css_lanes<L2, S2> &g2) {
  const int t0 = css_general_end(p, q, n);
  g1.sum = css_head(p, q, g1, t0);
  g2.sum = css_head(p, q, g2, t0);
  if (t0 == n) return;
  with_orders(p, q, [&](auto P, auto Q) {
    css_tail<P(), Q(), false, L1, S1> tail1(g1, t0);
    css_tail<P(), Q(), false, L2, S2> tail2(g2, t0);
    for (int t = t0; t < n; ++t) {
      tail1.step(t);
      tail2.step(t);
    }
    g1.sum = tail1.ssq;
    g2.sum = tail2.ssq;
  });
}

}  // namespace tsf_arima

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif  // TSFORGE_CORE_ARIMA_LIKELIHOOD_INTERNAL_H
