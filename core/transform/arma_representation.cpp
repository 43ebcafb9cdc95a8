// ARMA representations: psi and pi weights; theoretical autocovariances from the first
// p + 1 equations and the AR recursion (Brockwell and Davis, Time Series: Theory and
// Methods, 2nd ed. (1991), section 3.3); the reparameterisation of stationary AR
// coefficients by their partial autocorrelations through the Durbin-Levinson recursion
// (Barndorff-Nielsen and Schou (1973), J. Multivariate Analysis 3, 408-419; Jones (1980),
// Technometrics 22, 389-395); and the inversion of MA zeros inside the unit circle.
#include <complex>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/matrix/matrix.h"
#include "core/polyroot/polyroot.h"
#include "core/transform/transform.h"

namespace {

// out (j) = 1, then out[i] = sb*b[i-1] (i <= nb) + sa*sum_{k <= na} a[k-1]*out[i-k]: the
// weights of (1 + sb*sum b B^k) / (1 - sa*sum a B^k).
void rational_weights(const double *a, int na, double sa, const double *b, int nb, double sb, double *out,
                      int j) {
  if (j <= 0) return;
  out[0] = 1.0;
  for (int i = 1; i < j; ++i) {
    double sum = 0.0;
    for (int k = 1; k <= na && k <= i; ++k) sum += a[k - 1] * out[i - k];
    out[i] = (i <= nb ? sb * b[i - 1] : 0.0) + sa * sum;
  }
}

[[noreturn]] void reject(const char *msg) {
  std::puts(msg);
  std::exit(-1);
}

// The Durbin-Levinson recursion run backwards: pacf (p) receives the partial
// autocorrelations of phi (p) (pacf may be phi itself). Returns false as soon as one of
// them is outside (-1, 1) (or NaN): phi is then not stationary and pacf is incomplete.
bool partial_autocorrelations(const double *phi, int p, double *pacf) {
  std::vector<double> cur(phi, phi + p), work(p);
  for (int j = p - 1; j >= 1; --j) {
    const double a = cur[j];
    if (!(std::fabs(a) < 1.0)) return false;
    const double d = 1.0 - a * a;
    for (int k = 0; k < j; ++k) work[k] = (cur[k] + a * cur[j - k - 1]) / d;
    for (int k = 0; k < j; ++k) cur[k] = work[k];
  }
  if (p > 0 && !(std::fabs(cur[0]) < 1.0)) return false;
  for (int i = 0; i < p; ++i) pacf[i] = cur[i];
  return true;
}

// Offsets of the four blocks of a seasonal parameter vector; negative lengths count as 0.
struct Blocks {
  int len[4];
  int off[4];
};

Blocks seasonal_blocks(int p, int q, int P, int Q) {
  Blocks b;
  const int lens[4] = {p, q, P, Q};
  int off = 0;
  for (int i = 0; i < 4; ++i) {
    b.len[i] = lens[i] > 0 ? lens[i] : 0;
    b.off[i] = off;
    off += b.len[i];
  }
  return b;
}

using cplx = std::complex<double>;

// Coefficients 1, c[1], ..., c[m] of prod_k (1 - w_k x), one factor at a time.
std::vector<cplx> product_of_factors(const std::vector<cplx> &w) {
  std::vector<cplx> c(w.size() + 1, cplx(0.0, 0.0));
  c[0] = 1.0;
  for (size_t k = 0; k < w.size(); ++k)
    for (size_t i = k + 1; i >= 1; --i) c[i] -= w[k] * c[i - 1];
  return c;
}

}  // namespace

void psiweight(double *phi, double *theta, double *psi, int p, int q, int j) {
  rational_weights(phi, p, 1.0, theta, q, 1.0, psi, j);
}

void piweight(double *phi, double *theta, double *piw, int p, int q, int j) {
  rational_weights(theta, q, -1.0, phi, p, -1.0, piw, j);
}

void arma_autocovar(double *phi, double *theta, int p, int q, double sigma2, double *acov, int lag) {
  if (lag <= 0) return;
  if (p < 0) p = 0;
  if (q < 0) q = 0;
  std::vector<double> pacf(p);
  if (!partial_autocorrelations(phi, p, pacf.data())) reject("arma_autocovar: the AR part is not stationary");
  const int n = p + 1, top = p > q ? p : q;
  // r[i] = sigma2 * sum_k theta'[i+k] psi[k], theta' = (1, theta): the covariance of the
  // MA side with the process at lag i.
  std::vector<double> psi(q + 1), r(top + 1, 0.0);
  psiweight(phi, theta, psi.data(), p, q, q + 1);
  for (int i = 0; i <= q; ++i) {
    double sum = 0.0;
    for (int k = 0; k <= q - i; ++k) sum += (i + k == 0 ? 1.0 : theta[i + k - 1]) * psi[k];
    r[i] = sigma2 * sum;
  }
  // gamma(i) - sum_j phi[j-1] gamma(|i - j|) = r[i], i = 0..p.
  std::vector<double> A(static_cast<size_t>(n) * n, 0.0), g(n);
  std::vector<int> ipiv(n);
  for (int i = 0; i < n; ++i) A[static_cast<size_t>(i) * n + i] = 1.0;
  for (int i = 0; i < n; ++i)
    for (int j = 1; j <= p; ++j) A[static_cast<size_t>(i) * n + std::abs(i - j)] -= phi[j - 1];
  ludecomp(A.data(), n, ipiv.data());
  linsolve(A.data(), n, r.data(), ipiv.data(), g.data());
  for (int i = 0; i < n && i < lag; ++i) acov[i] = g[i];
  for (int i = n; i < lag; ++i) {
    double sum = 0.0;
    for (int k = 1; k <= p; ++k) sum += phi[k - 1] * acov[i - k];
    acov[i] = sum + (i <= q ? r[i] : 0.0);
  }
}

void artrans(int p, double *raw, double *newphi) {
  if (p <= 0) return;
  std::vector<double> work(p);
  for (int i = 0; i < p; ++i) newphi[i] = std::tanh(raw[i]);
  for (int j = 1; j < p; ++j) {
    const double a = newphi[j];
    for (int k = 0; k < j; ++k) work[k] = newphi[k] - a * newphi[j - k - 1];
    for (int k = 0; k < j; ++k) newphi[k] = work[k];
  }
}

void arinvtrans(int p, double *phi, double *raw) {
  if (p <= 0) return;
  if (!partial_autocorrelations(phi, p, raw)) reject("arinvtrans: the coefficients are not stationary");
  for (int i = 0; i < p; ++i) raw[i] = std::atanh(raw[i]);
}

void transall(int p, int q, int P, int Q, double *old, double *newv) {
  const Blocks b = seasonal_blocks(p, q, P, Q);
  for (int i = 0; i < 4; ++i)
    if (b.len[i] > 0) artrans(b.len[i], old + b.off[i], newv + b.off[i]);
}

void invtransall(int p, int q, int P, int Q, double *old, double *newv) {
  const Blocks b = seasonal_blocks(p, q, P, Q);
  for (int i = 0; i < 4; ++i)
    if (b.len[i] > 0) arinvtrans(b.len[i], old + b.off[i], newv + b.off[i]);
}

int invertroot(int q, double *ma) {
  int m = 0;
  for (int i = q - 1; i >= 0; --i) {
    if (ma[i] != 0.0) {
      m = i + 1;
      break;
    }
  }
  if (m == 0) return 0;
  std::vector<double> coeff(m + 1), zr(m), zi(m);
  coeff[0] = 1.0;
  for (int i = 0; i < m; ++i) coeff[i + 1] = ma[i];
  if (polyroot(coeff.data(), m, zr.data(), zi.data()) != 0) return -1;
  bool any_inside = false;
  std::vector<cplx> w(m);
  for (int k = 0; k < m; ++k) {
    const cplx z(zr[k], zi[k]);
    const bool inside = zr[k] * zr[k] + zi[k] * zi[k] < 1.0;
    any_inside = any_inside || inside;
    w[k] = inside ? z : 1.0 / z;  // the factor (1 - x/z'), z' = 1/z for a zero inside
  }
  if (!any_inside) return 0;
  if (m == 1) {
    ma[0] = 1.0 / ma[0];
  } else {
    const std::vector<cplx> c = product_of_factors(w);
    for (int i = 0; i < m; ++i) ma[i] = c[i + 1].real();
  }
  for (int i = m; i < q; ++i) ma[i] = 0.0;
  return 1;
}
