// Eigenvalues of a real square matrix: reduction to Hessenberg form, the Francis
// double-shift QR step with deflation (Golub and Van Loan, Matrix Computations, 4th ed.,
// algorithms 7.5.1 and 7.5.2), the ad hoc exceptional shift of Wilkinson and Reinsch's
// hqr (Handbook for Automatic Computation, vol. II, contribution II/14) and the
// standardisation of 2 x 2 blocks to equal diagonal entries.
#include "core/matrix/matrix.h"
#include "core/matrix/matrix_internal.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

using std::ptrdiff_t;
using std::size_t;

// Applies I - beta v v^T (v of length len, 2 or 3) to rows r0.. of columns c0..c1 from
// the left, or to columns c0.. of rows r0..r1 from the right, of the view H (stride ld).
void reflect_rows(double *H, ptrdiff_t ld, int r0, int len, int c0, int c1, const double *v,
                  double beta) {
  for (int j = c0; j <= c1; ++j) {
    double s = 0.0;
    for (int i = 0; i < len; ++i) s += v[i] * H[(r0 + i) * ld + j];
    s = beta * s;
    for (int i = 0; i < len; ++i) H[(r0 + i) * ld + j] -= v[i] * s;
  }
}

void reflect_columns(double *H, ptrdiff_t ld, int c0, int len, int r0, int r1, const double *v,
                     double beta) {
  for (int i = r0; i <= r1; ++i) {
    double *h = H + i * ld + c0;
    double s = 0.0;
    for (int j = 0; j < len; ++j) s += h[j] * v[j];
    s = beta * s;
    for (int j = 0; j < len; ++j) h[j] -= s * v[j];
  }
}

// One implicit double-shift step on the unreduced Hessenberg view H (n x n, stride ld)
// with shifts the roots of z^2 - s z + t.
void francis_step(double *H, int n, ptrdiff_t ld, double s, double t) {
  if (n < 3) return;
  auto h = [&](int i, int j) -> double & { return H[i * ld + j]; };
  double x = h(0, 0) * h(0, 0) + h(0, 1) * h(1, 0) - s * h(0, 0) + t;
  double y = h(1, 0) * (h(0, 0) + h(1, 1) - s);
  double z = h(1, 0) * h(2, 1);
  double v[3];
  for (int k = -1; k <= n - 4; ++k) {
    double xyz[3] = {x, y, z};
    const double beta = house(xyz, 3, v);
    const int q = k > 0 ? k : 0;
    reflect_rows(H, ld, k + 1, 3, q, n - 1, v, beta);
    const int r = k + 4 < n - 1 ? k + 4 : n - 1;
    reflect_columns(H, ld, k + 1, 3, 0, r, v, beta);
    x = h(k + 2, k + 1);
    y = h(k + 3, k + 1);
    if (k < n - 4) z = h(k + 4, k + 1);
  }
  double xy[2] = {x, y};
  const double beta = house(xy, 2, v);
  reflect_rows(H, ld, n - 2, 2, n - 3, n - 1, v, beta);
  reflect_columns(H, ld, n - 2, 2, 0, n - 1, v, beta);
}

// Rotates the 2 x 2 block [[a, b], [c, d]] so that its diagonal entries are equal.
void standardise(double &a, double &b, double &c, double &d) {
  double cs = 0.7071067811865475, sn = 0.7071067811865475;
  if (b + c != 0.0) {
    const double tau = (a - d) / (b + c);
    const double u = tau / (std::sqrt(tau * tau + 1.0) + 1.0);
    cs = 1.0 / std::sqrt(u * u + 1.0);
    sn = cs * u;
  }
  const double C = cs * cs, S = sn * sn, P = cs * sn;
  const double a1 = C * a + S * d - (b + c) * P;
  const double b1 = C * b - S * c + (a - d) * P;
  const double c1 = C * c - S * b + (a - d) * P;
  const double d1 = C * d + S * a + (b + c) * P;
  a = a1;
  b = b1;
  c = c1;
  d = d1;
}

// The largest l in 1..e-1 with T[l][l-1] = 0, or 0.
int block_top(const double *T, ptrdiff_t N, int e) {
  for (int l = e - 1; l >= 1; --l) {
    if (T[l * N + l - 1] == 0.0) return l;
  }
  return 0;
}

}  // namespace

void francisQR(double *H, int n) {
  if (n < 3) return;
  const ptrdiff_t ld = n;
  const double *b = H + (n - 2) * ld + (n - 2);
  const double s = b[0] + b[ld + 1];
  const double t = b[0] * b[ld + 1] - b[1] * b[ld];
  francis_step(H, n, ld, s, t);
}

int francis_iter(double *A, int N, double *T) {
  if (N <= 0) return 1;
  std::memcpy(T, A, static_cast<size_t>(N) * N * sizeof(double));
  hessenberg(T, N);
  const ptrdiff_t ld = N;
  const long limit = 30L * N;
  long steps = 0;
  int e = N - 1, last_e = e, since_deflation = 0;
  while (e >= 2 && steps < limit) {
    while (e >= 2) {
      if (T[e * ld + e - 1] == 0.0) {
        e -= 1;
      } else if (T[(e - 1) * ld + e - 2] == 0.0) {
        e -= 2;
      } else {
        break;
      }
    }
    if (e < 1) break;
    if (e != last_e) {
      last_e = e;
      since_deflation = 0;
    }
    const int l = block_top(T, ld, e);
    const int n = e - l + 1;
    double *H = T + l * ld + l;
    ++since_deflation;
    if (n >= 3 && since_deflation % 10 == 0) {
      // Ten steps without deflation: shift by the roots a +- 0.66 i w instead, which
      // breaks the cycles that symmetric spectra such as the roots of unity lock into.
      const double w = std::fabs(H[(n - 1) * ld + n - 2]) + std::fabs(H[(n - 2) * ld + n - 3]);
      const double a = H[(n - 1) * ld + n - 1] + 0.75 * w;
      francis_step(H, n, ld, 2.0 * a, a * a + 0.4375 * w * w);
    } else if (n >= 3) {
      const double *b = H + (n - 2) * ld + (n - 2);
      francis_step(H, n, ld, b[0] + b[ld + 1], b[0] * b[ld + 1] - b[1] * b[ld]);
    }
    for (int j = l; j < e; ++j) {
      double &sub = T[(j + 1) * ld + j];
      if (std::fabs(sub) <= 1e-12 * (std::fabs(T[j * ld + j]) + std::fabs(T[(j + 1) * ld + j + 1]))) {
        sub = 0.0;
      }
    }
    ++steps;
  }
  return steps < limit ? 1 : 0;
}

void eig22(double *A, int lda, double *re, double *im) {
  double a = A[0], b = A[1], c = A[lda], d = A[lda + 1];
  standardise(a, b, c, d);
  if (b * c >= 0.0) {
    double E = 0.0;
    if (b != 0.0) {
      const double q = std::sqrt(c / b);
      E = (b + c) * q / (q * q + 1.0);
    }
    re[0] = a - E;
    re[1] = a + E;
    im[0] = 0.0;
    im[1] = 0.0;
  } else {
    re[0] = a;
    re[1] = a;
    im[0] = std::sqrt(-b * c);
    im[1] = -im[0];
  }
}

void eig(double *A, int N, double *re, double *im) {
  if (N <= 0) return;
  const ptrdiff_t ld = N;
  double *T = tsf_matrix::scratch_doubles(static_cast<size_t>(N) * N, "eig");
  francis_iter(A, N, T);
  auto t = [&](int i, int j) -> double & { return T[i * ld + j]; };
  int i = 0;
  while (i < N - 1) {
    if (t(i + 1, i) == 0.0) {
      i += 1;
    } else {
      standardise(t(i, i), t(i, i + 1), t(i + 1, i), t(i + 1, i + 1));
      i += 2;
    }
  }
  i = 0;
  while (i < N - 1) {
    if (t(i + 1, i) == 0.0) {
      re[i] = t(i, i);
      im[i] = 0.0;
      i += 1;
      continue;
    }
    const double b = t(i, i + 1), c = t(i + 1, i);
    if (b * c < 0.0) {
      re[i] = t(i, i);
      re[i + 1] = t(i + 1, i + 1);
      im[i] = std::sqrt(-b * c);
      im[i + 1] = -im[i];
    } else {
      double r = 0.0;
      if (b != 0.0) {
        const double q = std::sqrt(c / b);
        r = (b + c) * q / (q * q + 1.0);
      }
      re[i] = t(i, i) - r;
      re[i + 1] = t(i, i) + r;
      im[i] = 0.0;
      im[i + 1] = 0.0;
    }
    i += 2;
  }
  if (i == N - 1) {
    re[N - 1] = t(N - 1, N - 1);
    im[N - 1] = 0.0;
  }
  std::free(T);
}
