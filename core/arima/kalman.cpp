/* Kalman filter of the ARMA state-space form: the stationary initial state covariance
   (starma, solved by Givens-rotation least squares with inclu2 and regres) and the
   filter itself (karma).

   Gardner, G., Harvey, A. C. and Phillips, G. D. A. (1980), Algorithm AS 154: An
   algorithm for exact maximum likelihood estimation of autoregressive-moving average
   models by means of Kalman filtering, Applied Statistics 29, 311-322.

   State of dimension r = max(p, q + 1); covariances are packed upper triangles by rows,
   np = r(r + 1)/2 entries. */
#include <cmath>
#include <cstring>
#include <vector>

#include "core/arima/arima.h"
#include "core/arima/estimators_internal.h"
#include "core/arima/log_internal.h"

namespace {

int state_dimension(int ip, int iq) { return ip > iq + 1 ? ip : iq + 1; }

/* a, phi zero-padded to r entries and V = g g' with g = (1, theta[0..r-2]). */
void set_disturbance(int ip, int iq, int r, double *phi, const double *theta, double *a, double *V) {
  for (int i = 1; i < r; ++i) {
    a[i] = 0.0;
    if (i >= ip) phi[i] = 0.0;
    V[i] = (i <= iq) ? theta[i - 1] : 0.0;
  }
  a[0] = 0.0;
  if (ip == 0) phi[0] = 0.0;
  V[0] = 1.0;
  int ind = r;
  for (int j = 1; j < r; ++j)
    for (int i = j; i < r; ++i) V[ind++] = V[i] * V[j];
}

/* Pure MA: P(i, j) = sum of V along the diagonal from (i, j) to the end. */
void pure_ma_covariance(int r, int np, const double *V, double *P) {
  int ind = np;
  int indn = np;
  for (int i = 0; i < r; ++i) {
    for (int j = 0; j <= i; ++j) {
      --ind;
      P[ind] = V[ind];
      if (j != 0) P[ind] += P[--indn];
    }
  }
}

/* Solves P = T P T' + V for the stationary P. The np equations are generated row by
   row and included by Givens rotations; the unknowns are ordered with the last r
   elements of P first, which keeps the triangular factor well conditioned. */
void stationary_covariance(int r, const double *phi, const double *V, double *P, double *work) {
  const int np = static_cast<int>(tsf_arima::packed_size(r));
  const int nrbar = static_cast<int>(tsf_arima::rbar_size(r));
  double *rbar = work;
  double *thetab = rbar + nrbar;
  double *xnext = thetab + np;
  double *xrow = xnext + np;
  for (int i = 0; i < nrbar; ++i) rbar[i] = 0.0;
  for (int i = 0; i < np; ++i) {
    P[i] = 0.0;
    thetab[i] = 0.0;
    xnext[i] = 0.0;
  }
  int irank = 0;
  double ssqerr = 0.0;
  double recres = 0.0;
  int ind = 0;
  int ind1 = -1;
  const int npr = np - r;
  int indj = npr;
  int ind2 = npr - 1;
  for (int j = 0; j < r; ++j) {
    const double phij = phi[j];
    xnext[indj++] = 0.0;
    int indi = npr + j + 1;
    for (int i = j; i < r; ++i) {
      const double ynext = V[ind++];
      const double phii = phi[i];
      if (j != r - 1) {
        xnext[indj] = -phii;
        if (i != r - 1) {
          xnext[indi] -= phij;
          xnext[++ind1] = -1.0;
        }
      }
      xnext[npr] = -phii * phij;
      if (++ind2 >= np) ind2 = 0;
      xnext[ind2] += 1.0;
      inclu2(np, nrbar, 1.0, xnext, xrow, ynext, P, rbar, thetab, &ssqerr, &recres, &irank);
      xnext[ind2] = 0.0;
      if (i != r - 1) {
        xnext[indi++] = 0.0;
        xnext[ind1] = 0.0;
      }
    }
  }
  regres(np, nrbar, rbar, thetab, P);
  // Undo the ordering of the unknowns; xnext serves as the buffer of the last r.
  for (int i = 0; i < r; ++i) xnext[i] = P[npr + i];
  for (int i = np - 1, i1 = npr - 1; i1 >= 0; --i, --i1) P[i] = P[i1];
  for (int i = 0; i < r; ++i) P[i] = xnext[i];
}

/* Prediction a = T a, P = T P T' + V. P's first row is zero after every update (the
   first state element is the observation itself), so T P T' is P shifted by one row
   and one column. */
void predict_state(int ip, int r, const double *phi, double *a, double *P, const double *V) {
  const double a1 = a[0];
  for (int k = 0; k < r - 1; ++k) a[k] = a[k + 1];
  a[r - 1] = 0.0;
  for (int j = 0; j < ip; ++j) a[j] += phi[j] * a1;
  int ind = -1;
  int indn = r - 1;
  for (int l = 0; l < r; ++l) {
    for (int k = l; k < r; ++k) {
      ++ind;
      P[ind] = V[ind];
      if (k != r - 1) P[ind] += P[++indn];
    }
  }
}

/* Kalman update of a and P with the innovation ut and its variance ft = |P[0]|; the
   gains P[j]/ft go to gain[1..r-1] unless gain is null. Afterwards the first row of P
   is zero. */
void update_state(int r, double ft, double ut, double *a, double *P, double *gain) {
  int ind = r;
  for (int j = 1; j < r; ++j) {
    const double g = P[j] / ft;
    if (gain != nullptr) gain[j] = g;
    a[j] += g * ut;
    for (int l = j; l < r; ++l) P[ind++] -= g * P[l];
  }
  for (int i = 0; i < r; ++i) P[i] = 0.0;
}

bool same_bits(const double *x, const double *y, int n) {
  return std::memcmp(x, y, sizeof(double) * static_cast<std::size_t>(n)) == 0;
}

/* The predicted P depends on the previous one only, never on the data, so once one
   prediction reproduces the previous one bit for bit, ft, the gains and the updated P
   stay fixed for the rest of the series; from there only the state is filtered, with
   the same arithmetic as before. The full comparison runs only while ft repeats, and
   needs a copy of the predicted P, kept on the stack up to this state dimension
   (larger models filter in full throughout). */
constexpr int kSteadyMaxDim = 16;
constexpr int kSteadyMaxPacked = kSteadyMaxDim * (kSteadyMaxDim + 1) / 2;

/* The filter for any state dimension r. */
void filter_general(int ip, int r, const double *phi, double *a, double *P, const double *V, int n,
                    const double *w, double *resid, double *sumlog, double *ssq, int iupd, int *nit) {
  const int np = r * (r + 1) / 2;
  const bool detect = r <= kSteadyMaxDim;
  double previous[kSteadyMaxPacked];
  double gain[kSteadyMaxDim + 1];
  bool steady = false;
  bool previous_valid = false;  // previous holds the predicted P of the step before
  // log and sqrt of ft are reused while ft repeats exactly (same argument, same value).
  double ft_last = -1.0, log_ft = 0.0, sqrt_ft = 0.0;
  // Accumulated in locals (the output pointers could alias resid), in the same order.
  double ssq_acc = *ssq, sumlog_acc = *sumlog;
  int t = 0;
  for (; t < n && !steady; ++t) {
    const bool predicted = !(iupd == 1 && t == 0);
    if (predicted) predict_state(ip, r, phi, a, P, V);
    // A non-stationary model may make P[0] negative: its magnitude keeps the filter going.
    const double ft = std::fabs(P[0]);
    // Both are magnitudes (or -1 before the first step), so == compares the bits.
    const bool repeated = ft == ft_last;
    if (predicted && detect) {
      if (!repeated) {
        previous_valid = false;
      } else if (previous_valid && same_bits(previous, P, np)) {
        steady = true;
      } else {
        std::memcpy(previous, P, sizeof(double) * static_cast<std::size_t>(np));
        previous_valid = true;
      }
    }
    if (!repeated) {
      ft_last = ft;
      log_ft = tsf_log(ft);
      sqrt_ft = std::sqrt(ft);
    }
    const double ut = w[t] - a[0];
    // Gains are kept only where the fixed point can be detected (gain has room for them).
    update_state(r, ft, ut, a, P, detect ? gain : nullptr);
    a[0] = w[t];
    resid[t] = ut / sqrt_ft;
    ssq_acc += ut * ut / ft;
    sumlog_acc += log_ft;
  }
  // Steady state: P is the fixed updated covariance; predict and update the state only.
  for (; t < n; ++t) {
    const double a1 = a[0];
    for (int k = 0; k < r - 1; ++k) a[k] = a[k + 1];
    a[r - 1] = 0.0;
    for (int j = 0; j < ip; ++j) a[j] += phi[j] * a1;
    const double ut = w[t] - a[0];
    for (int j = 1; j < r; ++j) a[j] += gain[j] * ut;
    a[0] = w[t];
    resid[t] = ut / sqrt_ft;
    ssq_acc += ut * ut / ft_last;
    sumlog_acc += log_ft;
  }
  *ssq = ssq_acc;
  *sumlog = sumlog_acc;
  *nit += n > 0 ? n : 0;
}

template <int R>
constexpr int packed_index(int l, int k) { return l * R - l * (l - 1) / 2 + (k - l); }

/* The filter for a state dimension R known at compile time (the small models of the
   order search), on local copies of a, P and V addressed by constant indices, which
   the compiler keeps in registers; this matters most once the covariance is steady,
   where the state recursion would otherwise go through memory that resid might alias.
   The arithmetic is that of the general filter, operation for operation. */
template <int R>
void filter_fixed(int ip, const double *phi_in, double *a_io, double *P_io, const double *V_in, int n,
                  const double *w, double *resid, double *sumlog, double *ssq, int iupd, int *nit) {
  constexpr int NP = R * (R + 1) / 2;
  double a[R], P[NP], V[NP], phi[R], gain[R], previous[NP];
  for (int i = 0; i < R; ++i) {
    a[i] = a_io[i];
    phi[i] = phi_in[i];
    gain[i] = 0.0;
  }
  for (int i = 0; i < NP; ++i) {
    P[i] = P_io[i];
    V[i] = V_in[i];
    previous[i] = 0.0;
  }
  bool steady = false, previous_valid = false;
  double ft_last = -1.0, log_ft = 0.0, sqrt_ft = 0.0;
  double ssq_acc = *ssq, sumlog_acc = *sumlog;
  int t = 0;
  for (; t < n && !steady; ++t) {
    const bool predicted = !(iupd == 1 && t == 0);
    if (predicted) {
      const double a1 = a[0];
      for (int k = 0; k < R - 1; ++k) a[k] = a[k + 1];
      a[R - 1] = 0.0;
      for (int j = 0; j < R; ++j)
        if (j < ip) a[j] += phi[j] * a1;
      for (int l = 0; l < R; ++l)
        for (int k = l; k < R; ++k)
          P[packed_index<R>(l, k)] =
              k != R - 1 ? V[packed_index<R>(l, k)] + P[packed_index<R>(l + 1, k + 1)] : V[packed_index<R>(l, k)];
    }
    const double ft = std::fabs(P[0]);
    const bool repeated = ft == ft_last;
    if (predicted) {
      if (!repeated) {
        previous_valid = false;
      } else {
        bool same = previous_valid;
        for (int i = 0; i < NP; ++i) same = same && same_bits(previous + i, P + i, 1);
        if (same) steady = true;
        for (int i = 0; i < NP; ++i) previous[i] = P[i];
        previous_valid = true;
      }
    }
    if (!repeated) {
      ft_last = ft;
      log_ft = tsf_log(ft);
      sqrt_ft = std::sqrt(ft);
    }
    const double ut = w[t] - a[0];
    for (int j = 1; j < R; ++j) {
      const double g = P[j] / ft;
      gain[j] = g;
      a[j] += g * ut;
      for (int l = j; l < R; ++l) P[packed_index<R>(j, l)] -= g * P[l];
    }
    for (int i = 0; i < R; ++i) P[i] = 0.0;
    a[0] = w[t];
    resid[t] = ut / sqrt_ft;
    ssq_acc += ut * ut / ft;
    sumlog_acc += log_ft;
  }
  for (; t < n; ++t) {
    const double a1 = a[0];
    for (int k = 0; k < R - 1; ++k) a[k] = a[k + 1];
    a[R - 1] = 0.0;
    for (int j = 0; j < R; ++j)
      if (j < ip) a[j] += phi[j] * a1;
    const double ut = w[t] - a[0];
    for (int j = 1; j < R; ++j) a[j] += gain[j] * ut;
    a[0] = w[t];
    resid[t] = ut / sqrt_ft;
    ssq_acc += ut * ut / ft_last;
    sumlog_acc += log_ft;
  }
  for (int i = 0; i < R; ++i) a_io[i] = a[i];
  for (int i = 0; i < NP; ++i) P_io[i] = P[i];
  *ssq = ssq_acc;
  *sumlog = sumlog_acc;
  *nit += n > 0 ? n : 0;
}

void full_filter(int ip, int r, const double *phi, double *a, double *P, const double *V, int n,
                 const double *w, double *resid, double *sumlog, double *ssq, int iupd, int *nit) {
  switch (r) {
    case 1: filter_fixed<1>(ip, phi, a, P, V, n, w, resid, sumlog, ssq, iupd, nit); break;
    case 2: filter_fixed<2>(ip, phi, a, P, V, n, w, resid, sumlog, ssq, iupd, nit); break;
    case 3: filter_fixed<3>(ip, phi, a, P, V, n, w, resid, sumlog, ssq, iupd, nit); break;
    case 4: filter_fixed<4>(ip, phi, a, P, V, n, w, resid, sumlog, ssq, iupd, nit); break;
    default: filter_general(ip, r, phi, a, P, V, n, w, resid, sumlog, ssq, iupd, nit); break;
  }
}

/* The recursions of the conditional model, e[t] = w[t] - sum phi w - sum theta e, with
   the past innovations in a ring buffer of iq entries. */
void fast_recursions(int ip, int iq, int r, const double *phi, const double *theta, int n,
                     const double *w, double *resid, double *ssq, int *nit) {
  std::vector<double> E(static_cast<std::size_t>(r), 0.0);
  int inde = 0;
  for (int t = 0; t < n; ++t) {
    double e = w[t];
    for (int j = 1; j <= ip && t - j >= 0; ++j) e -= phi[j - 1] * w[t - j];
    for (int j = 1; j <= iq; ++j) {
      if (--inde < 0) inde = iq - 1;
      e -= theta[j - 1] * E[inde];
    }
    E[inde] = e;
    resid[t] = e;
    *ssq += e * e;
    *nit += 1;
    if (++inde >= iq) inde = 0;
  }
}

}  // namespace

extern "C" {

int inclu2(int np, int nrbar, double weight, double *xnext, double *xrow, double ynext,
           double *d, double *rbar, double *thetab, double *ssqerr, double *recres, int *irank) {
  (void)nrbar;
  for (int i = 0; i < np; ++i) xrow[i] = xnext[i];
  *recres = 0.0;
  if (weight <= 0.0) return 1;
  double y = ynext;
  double wt = weight;
  int ithisr = 0;
  for (int i = 0; i < np; ++i) {
    if (xrow[i] == 0.0) {
      ithisr += np - i - 1;
      continue;
    }
    const double xi = xrow[i];
    const double di = d[i];
    const double dpi = di + wt * xi * xi;
    d[i] = dpi;
    const double cbar = di / dpi;
    const double sbar = wt * xi / dpi;
    wt = cbar * wt;
    for (int k = i + 1; k < np; ++k) {
      const double xk = xrow[k];
      const double rb = rbar[ithisr];
      xrow[k] = xk - xi * rb;
      rbar[ithisr] = cbar * rb + sbar * xk;
      ++ithisr;
    }
    const double xk = thetab[i];
    thetab[i] = cbar * xk + sbar * y;
    y = y - xi * xk;
    if (di == 0.0) {
      *irank += 1;
      return 0;
    }
  }
  *ssqerr += wt * y * y;
  *recres = y * std::sqrt(wt);
  return 0;
}

void regres(int np, int nrbar, double *rbar, double *thetab, double *beta) {
  int ithisr = nrbar - 1;
  for (int im = np - 1; im >= 0; --im) {
    double bi = thetab[im];
    for (int jm = np - 1; jm > im; --jm) bi -= rbar[ithisr--] * beta[jm];
    beta[im] = bi;
  }
}

int starma(int ip, int iq, double *phi, double *theta, double *a, double *P, double *V) {
  const int r = state_dimension(ip, iq);
  std::vector<double> work;
  // Invalid orders return their fault code before any work space is needed.
  if (ip > 0 && iq >= 0 && r > 1) work.assign(tsf_arima::starma_work_size(r), 0.0);
  return tsf_arima::starma_solve(ip, iq, phi, theta, a, P, V, work.data());
}

void karma(int ip, int iq, double *phi, double *theta, double *a, double *P, double *V, int n,
           double *w, double *resid, double *sumlog, double *ssq, int iupd, double delta, int *nit,
           int *mode) {
  // delta would switch to the fast recursions once P has converged; the full filter
  // here never switches by itself.
  (void)delta;
  const int r = state_dimension(ip, iq);
  *nit = 0;
  if (*mode == 0) {
    full_filter(ip, r, phi, a, P, V, n, w, resid, sumlog, ssq, iupd, nit);
  } else {
    *mode = 0;
    fast_recursions(ip, iq, r, phi, theta, n, w, resid, ssq, nit);
  }
  if (*nit == 0) *nit = 1;
}

}  // extern "C"

namespace tsf_arima {

int starma_solve(int ip, int iq, double *phi, double *theta, double *a, double *P, double *V,
                 double *work) {
  const int r = state_dimension(ip, iq);
  int ifault = 0;
  if (ip < 0) ifault = 1;
  if (iq < 0) ifault = 2;
  if (ip * ip + iq * iq == 0) ifault = 4;
  if (r == 1) ifault = 8;
  if (ifault != 0) return ifault;
  set_disturbance(ip, iq, r, phi, theta, a, V);
  if (ip == 0) {
    pure_ma_covariance(r, static_cast<int>(packed_size(r)), V, P);
    return 0;
  }
  stationary_covariance(r, phi, V, P, work);
  return 0;
}

}  // namespace tsf_arima
